// Reading the iSCSI tool's output: cutting it into one block per adapter and
// reading each adapter's chip model and versions from its block. Pure
// functions over text, so that they can be tested and fuzzed without a tool.
#ifndef VELKOR_DISCOVERY_ISCSIPARSER_H
#define VELKOR_DISCOVERY_ISCSIPARSER_H

#include "discovery/AdapterRecord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// How many characters after its "Board Type" an adapter block holds at least,
// fewer only at the end of the output.
constexpr std::size_t kIScsiMinimumBlockTail = 512;

// Nothing when the output lacks "Displaying Port inst" (the tool listed no
// adapters); otherwise one block per "Board Type", in output order, possibly
// none. A block runs from its marker to the next one or the end of the
// output, but holds at least the marker and the kIScsiMinimumBlockTail
// characters after it, so blocks of adapters close together overlap.
// The blocks are views into the output: copies would let hostile output, a
// marker every few bytes, multiply itself some fifty times in memory.
std::optional<std::vector<std::string_view>> CutIScsiBlocks(const std::string& output);
// The views would dangle.
std::optional<std::vector<std::string_view>> CutIScsiBlocks(std::string&& output) = delete;

// The record of the adapter at the zero-based index, read from its block,
// which begins with its "Board Type": index, chip model, firmware version,
// ROM version. Given the adapter's own lines (OwnLines), the lookups stop at
// the next "Board Type", so a label missing from them gives empty text. Each lookup continues where
// the previous one stopped, so the labels count only in that order.
AdapterRecord ReadIScsiRecord(std::uint32_t index, std::string_view block);

// The value of the first occurrence of label at or after position: the text
// after the first ":" that follows it, up to and including the next carriage
// return, cleaned. Without a carriage return the whole rest of the text is
// the value, as it stands. Empty when the label or the ":" is missing.
// position moves past what was read: past the carriage return, past the ":"
// when there is none, past the label's first character when there is no ":",
// and stays when the label is missing.
std::string GetIScsiValue(std::string_view text, std::string_view label, std::size_t& position);

// The text before the first line feed and the first carriage return, without
// leading spaces; without trailing spaces only where they stood before a line
// feed or at the end, so spaces before a carriage return stay.
std::string CleanIScsiValue(std::string_view value);

}  // namespace velkor

#endif
