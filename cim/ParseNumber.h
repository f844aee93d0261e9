// Reading a number from the start of a text, as a string stream does.
#ifndef VELKOR_CIM_PARSENUMBER_H
#define VELKOR_CIM_PARSENUMBER_H

#include <cstdint>
#include <string>

namespace velkor {

// Reads one number from the start of the text as a classic-locale stream's >>
// does: leading white space skipped, an optional sign, decimal digits, the
// rest ignored. Extracted as kind 0 unsigned 16-bit, 1 unsigned 64-bit (low
// 32 bits returned), 2 unsigned 32-bit, 3 signed 32-bit (its bit pattern
// returned). Any other kind, and a text that does not begin with a number,
// give 0. A number past its kind's range gives the nearer limit; a minus sign
// before an unsigned kind negates modulo the kind's range.
std::uint32_t ParseNumber(std::string text, int kind);

}  // namespace velkor

#endif
