// A CIM class of the host's namespace: its name, new instances, enumeration.
#ifndef NORNSYV20_ICIMCLASS_H
#define NORNSYV20_ICIMCLASS_H

#include "SyvExport.h"
#include "TCIMValue.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <string>

namespace NORNSYV20 {

class ICIMInstance;

// Called once per instance that an enumeration delivers; returning false
// stops the enumeration.
typedef boost::function<bool(boost::shared_ptr<ICIMInstance>)> TCIMInstanceCallback;

class SYV_API ICIMClass {
public:
    virtual ~ICIMClass();

    virtual const std::string& GetName(TCIMValueMap context) = 0;

    // A new instance of this class with no property set.
    virtual boost::shared_ptr<ICIMInstance> CreateInstance(TCIMValueMap context) = 0;

    // Delivers every instance of this class to the callback, in a stable
    // order. deep also delivers instances of subclasses.
    virtual void EnumerateInstances(TCIMInstanceCallback callback, bool deep, TCIMValueMap context) = 0;
};

}  // namespace NORNSYV20

#endif
