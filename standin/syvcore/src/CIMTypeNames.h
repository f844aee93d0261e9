// Readable names of CIM types, for error texts and for the schema reader.
#ifndef SYVCORE_CIMTYPENAMES_H
#define SYVCORE_CIMTYPENAMES_H

#include "host/TCIMValue.h"

#include <string>

namespace syv {
namespace detail {

// "string", "uint16", ... as MOF spells the type; "reference" for 15.
std::string CIMTypeName(NORNSYV20::ECIMType type);

// The value kind that holds scalars of a CIM type; eNull when no kind does.
NORNSYV20::TCIMValue::EKind KindOfType(NORNSYV20::ECIMType type);

}  // namespace detail
}  // namespace syv

#endif
