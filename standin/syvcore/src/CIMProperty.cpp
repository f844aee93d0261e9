#include "CIMProperty.h"

namespace syv {
namespace detail {

const NORNSYV20::TCIMValue& CIMProperty::GetValue(NORNSYV20::TCIMValueMap /*context*/) { return value_; }

}  // namespace detail
}  // namespace syv
