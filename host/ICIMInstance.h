// A CIM instance: its properties, its object reference, its commit.
#ifndef NORNSYV20_ICIMINSTANCE_H
#define NORNSYV20_ICIMINSTANCE_H

#include "SyvExport.h"
#include "TCIMValue.h"

#include <boost/shared_ptr.hpp>

#include <string>

namespace NORNSYV20 {

class ICIMProperty;

class SYV_API ICIMInstance {
public:
    virtual ~ICIMInstance();

    // Makes the instance a result of the running query. Throws TSYVException
    // when it was committed before.
    virtual void Commit(TCIMValueMap context) = 0;

    // A reference to this instance, made of its class and key properties.
    virtual TCIMReference GetReference(TCIMValueMap context) = 0;

    // The property of that name, or an empty pointer when it was never set.
    virtual boost::shared_ptr<ICIMProperty> GetProperty(const std::string& name, TCIMValueMap context) = 0;

    // Sets the property, replacing an earlier value. Throws TSYVException
    // when the class does not declare the property or declares another type.
    virtual void SetProperty(const std::string& name, const TCIMValue& value, TCIMValueMap context) = 0;
};

}  // namespace NORNSYV20

#endif
