// What a reference holds, and how an object path is written.
#ifndef SYVCORE_REFERENCEIMPL_H
#define SYVCORE_REFERENCEIMPL_H

#include "host/TCIMReference.h"
#include "host/TCIMValue.h"

#include <atomic>
#include <string>

namespace NORNSYV20 {

// Never changes once made, so copies of a reference share one.
struct TCIMReference::Impl {
    Impl(std::string namespaceName, std::string className, TCIMValueMap keys);

    const std::string namespaceName;
    const std::string className;
    const TCIMValueMap keys;  // in name order
    const std::string path;
    std::atomic<long> owners{1};
};

// The object path of the class's instance with these keys: what a reference
// made from them prints.
std::string WriteObjectPath(const std::string& namespaceName, const std::string& className,
                            const TCIMValueMap& keys);

}  // namespace NORNSYV20

#endif
