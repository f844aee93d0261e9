// Small helpers over tool output shared by both parsers: cleaning a value
// with the space character as the only blank.
#ifndef VELKOR_DISCOVERY_TEXTSCAN_H
#define VELKOR_DISCOVERY_TEXTSCAN_H

#include <string>
#include <string_view>

namespace velkor {

// Cuts the text at the first occurrence of c (the text is kept whole when c
// does not occur).
std::string_view CutAt(std::string_view text, char c);

// Removes leading / trailing space characters; tabs and other characters stay.
std::string_view TrimLeadingSpaces(std::string_view text);
std::string_view TrimTrailingSpaces(std::string_view text);

// The text before the first line feed and the first carriage return, without
// leading spaces and without the spaces that stood before the line feed or at
// the end; those before the carriage return go only when trimAtCarriageReturn.
std::string CleanValue(std::string_view value, bool trimAtCarriageReturn);

}  // namespace velkor

#endif
