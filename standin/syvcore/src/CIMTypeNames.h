// Readable names of CIM types and value kinds, for error texts and for the
// schema reader.
#ifndef SYVCORE_CIMTYPENAMES_H
#define SYVCORE_CIMTYPENAMES_H

#include "host/TCIMValue.h"

#include <string>

namespace syv {
namespace detail {

// "string", "uint16", ... as MOF spells the type; "reference" for 15.
std::string CIMTypeName(NORNSYV20::ECIMType type);

// What a value holds: "null", "string", "uint16", "uint32", "reference" or
// "string[]" (the element type followed by []).
std::string DescribeValue(const NORNSYV20::TCIMValue& value);

// The value kind that holds scalars of a CIM type; eNull when no kind does.
NORNSYV20::TCIMValue::EKind KindOfType(NORNSYV20::ECIMType type);

}  // namespace detail
}  // namespace syv

#endif
