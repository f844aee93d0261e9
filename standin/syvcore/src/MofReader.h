// A reader for the subset of MOF that the class schema uses: class
// declarations with a superclass, qualifier lists ([Key], [Association],
// Description(...) and any other qualifier, whose values are skipped),
// typed properties including arrays and REF properties, default values,
// #pragma lines and comments. Instance declarations and methods are refused.
//
// Hand-written because no packaged MOF parser exists for either build
// target; the subset is small and fixed by the schema files we ship.
#ifndef SYVCORE_MOFREADER_H
#define SYVCORE_MOFREADER_H

#include "syvcore/Schema.h"

#include <string>
#include <vector>

namespace syv {
namespace detail {

// The classes declared in the text, in order. fileName only labels errors.
// Throws TSYVException (status 14) "FILE:LINE: what is wrong".
std::vector<ClassDefinition> ReadMof(const std::string& text, const std::string& fileName);

}  // namespace detail
}  // namespace syv

#endif
