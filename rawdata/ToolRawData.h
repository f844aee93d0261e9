// The raw-data capture both tools share: one tool output, checked for its
// marker and cut into lines.
#ifndef VELKOR_RAWDATA_TOOLRAWDATA_H
#define VELKOR_RAWDATA_TOOLRAWDATA_H

#include "host/TCIMValue.h"

#include <optional>
#include <string>
#include <vector>

namespace velkor {

// Construction does the whole capture; a tool that cannot be run is logged
// and leaves no results.
class ToolRawData {
public:
    virtual ~ToolRawData();

    ToolRawData(const ToolRawData&) = delete;
    ToolRawData& operator=(const ToolRawData&) = delete;

    // The tool path, with " -z" once the output proved usable.
    std::string GetCommand() const { return command; }
    bool HasResults() const { return hasResults; }
    // The lines as a string array; null without lines.
    NORNSYV20::TCIMValue GetRawResults() const;

protected:
    // Captures keptOutput when there is one, else the output of a run of the
    // tool with "-z". The lines are kept when the output carries the marker.
    ToolRawData(std::string toolPath, const std::string& marker, std::optional<std::string> keptOutput);

private:
    std::string command;
    std::vector<std::string> resultLines;
    bool hasResults = false;
};

}  // namespace velkor

#endif
