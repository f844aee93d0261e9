// One property of a CIM instance and its value.
#ifndef NORNSYV20_ICIMPROPERTY_H
#define NORNSYV20_ICIMPROPERTY_H

#include "SyvExport.h"
#include "TCIMValue.h"

namespace NORNSYV20 {

class SYV_API ICIMProperty {
public:
    virtual ~ICIMProperty();

    virtual const TCIMValue& GetValue(TCIMValueMap context) = 0;
};

}  // namespace NORNSYV20

#endif
