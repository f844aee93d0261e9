// A CIM namespace of the host: where classes are looked up.
#ifndef NORNSYV20_ICIMNAMESPACE_H
#define NORNSYV20_ICIMNAMESPACE_H

#include "SyvExport.h"
#include "TCIMValue.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace NORNSYV20 {

class ICIMClass;

// A CIM namespace: where classes are looked up.
class SYV_API ICIMNamespace {
public:
    virtual ~ICIMNamespace();

    // The class of that name, exactly as spelled. A name the namespace does
    // not define still gives a class that answers its name; creating or
    // enumerating its instances throws TSYVException.
    virtual boost::shared_ptr<ICIMClass> GetClass(const std::string& className, TCIMValueMap context) = 0;

    // The namespace's name, as object paths print it.
    virtual const std::string& GetName() const = 0;
};

}  // namespace NORNSYV20

#endif
