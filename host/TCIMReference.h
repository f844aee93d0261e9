// The object reference (path) of a CIM instance.
#ifndef NORNSYV20_TCIMREFERENCE_H
#define NORNSYV20_TCIMREFERENCE_H

#include "SyvExport.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>

namespace NORNSYV20 {

class ICIMNamespace;
class TCIMValue;

// The context argument of every CIM operation, and the key bindings of a
// reference.
typedef std::map<std::string, TCIMValue> TCIMValueMap;

// A reference to a CIM instance: namespace, class and key bindings. It keeps
// the namespace's name, not the namespace, so that references stored in
// committed instances never keep their namespace alive.
class SYV_API TCIMReference {
public:
    // A reference without a class; a null namespace has an empty name.
    TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const TCIMValueMap& keys);
    TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className,
                  const TCIMValueMap& keys);
    TCIMReference(boost::shared_ptr<ICIMNamespace> ns, const std::string& className, TCIMValueMap&& keys);
    TCIMReference(const TCIMReference& other);
    TCIMReference& operator=(const TCIMReference& other);
    ~TCIMReference();

    const std::string& GetNamespaceName() const;
    const std::string& GetClassName() const;
    const TCIMValueMap& GetKeys() const;

    // NAMESPACE:CLASS.KEY=VALUE,... with keys in alphabetical order, strings
    // quoted with \\ and \" escaped, integers in decimal, references as
    // quoted paths; NAMESPACE:CLASS for an instance without keys. Without a
    // namespace name the "NAMESPACE:" part is left out. Made once, with the
    // reference.
    const std::string& ToObjectPath() const;

    // The host core's own representation; only the host core can make one,
    // and the reference takes it over.
    struct Impl;
    explicit TCIMReference(Impl* impl);

private:
    Impl* impl_;
};

}  // namespace NORNSYV20

#endif
