#ifndef VELKOR_CIM_PARSENUMBER_H
#define VELKOR_CIM_PARSENUMBER_H

#include <cstdint>
#include <string>

namespace velkor {

// Reads one number from the start of the text with the stream rules (leading
// white space skipped, the rest after the digits ignored), extracted as
// kind 0 unsigned 16-bit, 1 unsigned 64-bit (low 32 bits returned),
// 2 unsigned 32-bit, 3 signed 32-bit (its bit pattern returned). Any other
// kind, and a text that does not begin with a number, give 0; a number too
// large for its kind gives the kind's largest value, as the stream stores it.
std::uint32_t ParseNumber(std::string text, int kind);

}  // namespace velkor

#endif
