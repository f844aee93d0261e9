// What a reference holds, and how an object path is written.
#ifndef SYVCORE_REFERENCEIMPL_H
#define SYVCORE_REFERENCEIMPL_H

#include "host/TCIMReference.h"
#include "host/TCIMValue.h"

#include <boost/shared_ptr.hpp>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace NORNSYV20 {

// A key of a reference: its name, owned by whoever made the reference, and
// its value.
struct ReferenceKey {
    const std::string* name;
    TCIMValue value;
};

// Never changes once made, so copies of a reference share one.
struct TCIMReference::Impl {
    // Keys given as a map, which the reference keeps.
    Impl(std::string namespaceName, std::string className, TCIMValueMap keys);
    // Keys in name order, no name twice, their names and the class name kept
    // alive by nameOwner (an instance's schema): an instance makes a
    // reference for every commit and every enumeration, and copying the
    // names into a map cost more than the rest of it.
    Impl(std::string namespaceName, const std::string& className, std::vector<ReferenceKey> keys,
         boost::shared_ptr<const void> nameOwner);

    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // The keys as a map, made on the first request; safe from any thread.
    const TCIMValueMap& KeyMap() const;

    std::string namespaceName;
    std::string ownClassName;
    const std::string* className;  // ownClassName or nameOwner's
    boost::shared_ptr<const void> nameOwner;
    std::vector<ReferenceKey> keys;  // in name order
    std::string path;
    std::atomic<long> owners{1};

private:
    mutable std::once_flag keyMapMade_;
    mutable TCIMValueMap keyMap_;
};

// The object path of the class's instance with these keys, in name order:
// what a reference made from them prints.
std::string WriteObjectPath(const std::string& namespaceName, const std::string& className,
                            const std::vector<ReferenceKey>& keys);

}  // namespace NORNSYV20

#endif
