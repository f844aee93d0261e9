// Small helpers over tool output shared by both parsers: cleaning a value
// with the space character as the only blank.
#ifndef VELKOR_DISCOVERY_TEXTSCAN_H
#define VELKOR_DISCOVERY_TEXTSCAN_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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

// Block i up to where block i + 1 begins, when that lies inside it: a block
// may reach into the next adapter's lines (an iSCSI block has a minimum
// length, which may even end inside the next marker), and those lines and
// their labels are not this adapter's. The blocks are views of one output.
std::string_view OwnLines(const std::vector<std::string_view>& blocks, std::size_t i);
// Blocks held as copies of their own never reach into each other.
inline const std::string& OwnLines(const std::vector<std::string>& blocks, std::size_t i) { return blocks[i]; }

}  // namespace velkor

#endif
