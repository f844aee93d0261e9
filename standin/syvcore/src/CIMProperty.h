// A property as an instance hands it out: a copy of the value at the time it
// was asked for.
#ifndef SYVCORE_CIMPROPERTY_H
#define SYVCORE_CIMPROPERTY_H

#include "host/ICIMProperty.h"

namespace syv {
namespace detail {

class CIMProperty : public NORNSYV20::ICIMProperty {
public:
    explicit CIMProperty(const NORNSYV20::TCIMValue& value) : value_(value) {}

    const NORNSYV20::TCIMValue& GetValue(NORNSYV20::TCIMValueMap context) override;

private:
    NORNSYV20::TCIMValue value_;
};

}  // namespace detail
}  // namespace syv

#endif
