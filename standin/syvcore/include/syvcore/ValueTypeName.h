// The type of a CIM value as the host names it in error texts and reports.
#ifndef SYVCORE_VALUETYPENAME_H
#define SYVCORE_VALUETYPENAME_H

#include "host/SyvExport.h"
#include "host/TCIMValue.h"

#include <string>

namespace syv {

// "null", "string", "uint16", "uint32", "reference", or the element type
// followed by "[]" ("string[]").
SYV_API std::string ValueTypeName(const NORNSYV20::TCIMValue& value);

// "string", "uint16", ... as MOF spells the type; "reference" for a reference.
SYV_API std::string TypeName(NORNSYV20::ECIMType type);

}  // namespace syv

#endif
