// What a reference holds. Instances make their references from their key
// properties without copying the names: a map of key strings cost more than
// the rest of a commit.
#ifndef SYVCORE_REFERENCEIMPL_H
#define SYVCORE_REFERENCEIMPL_H

#include "host/TCIMReference.h"
#include "host/TCIMValue.h"

#include <boost/container/small_vector.hpp>
#include <boost/shared_ptr.hpp>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace NORNSYV20 {

// Never changes once made, so copies of a reference share one.
struct TCIMReference::Impl {
    // A key: its name, owned by the key map or by nameOwner, and its value.
    using Key = std::pair<const std::string*, TCIMValue>;
    // Held inline up to the served classes' five keys: a reference is made
    // for every instance committed or enumerated.
    using Keys = boost::container::small_vector<Key, 5>;

    // Keys given as a map, which the reference keeps.
    Impl(std::string namespaceName, std::string className, TCIMValueMap keys);
    // Keys in name order, whose names and class name nameOwner keeps alive; no
    // two keys bear the same name.
    Impl(std::string namespaceName, const std::string& className, Keys&& keys,
         boost::shared_ptr<const void> nameOwner);
    ~Impl();

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    const TCIMValueMap& KeyMap() const;

    std::string namespaceName;
    std::string ownedClassName;
    const std::string* className;
    Keys keys;  // in name order
    boost::shared_ptr<const void> nameOwner;
    std::string path;
    // Owned; given, or made on first request: hosts print references far more
    // often than they take them apart.
    mutable std::atomic<const TCIMValueMap*> keyMap{nullptr};
    std::atomic<long> owners{1};

private:
    void MakePath();
};

// The object path of the class's instance with these keys, in name order:
// what a reference made from them prints.
std::string WriteObjectPath(const std::string& namespaceName, const std::string& className,
                            const TCIMReference::Impl::Keys& keys);

}  // namespace NORNSYV20

#endif
