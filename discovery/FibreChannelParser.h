// Reading the Fibre Channel tool's output: cutting it into one block per
// adapter and reading each adapter's model and versions from its block. Pure
// functions over text, so that they can be tested and fuzzed without a tool.
#ifndef VELKOR_DISCOVERY_FIBRECHANNELPARSER_H
#define VELKOR_DISCOVERY_FIBRECHANNELPARSER_H

#include "discovery/AdapterRecord.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkor {

// One block per "HBA General Information", in output order; none when the
// output holds no such marker. A block runs from its marker to the first
// "Finish in" after it, but never past the next marker or the end of the
// output, so a missing or misplaced end marker cannot merge or lose adapters.
std::vector<std::string> CutFibreChannelBlocks(const std::string& output);

// The record of the adapter at the zero-based index, read from its block:
// index, model, BIOS version, driver firmware version, firmware version.
AdapterRecord ReadFibreChannelRecord(std::uint32_t index, const std::string& block);

// The value of the first occurrence of label at or after position from (also
// inside a longer label): the text after the first ":" that follows it, up to
// the next carriage return, cleaned. Without a carriage return the whole rest
// of the text is the value, as it stands. Firmware values keep their first
// word only; a version reported as "N/A" is looked up again after the next
// "HBA VPD Information". Empty when the label or the ":" is missing.
std::string GetFibreChannelValue(const std::string& text, const std::string& label, std::size_t from);

// The text before the first line feed and the first carriage return, without
// leading or trailing spaces.
std::string CleanFibreChannelValue(std::string_view value);

}  // namespace velkor

#endif
