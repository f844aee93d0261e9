// The steps both raw-data captures share.
#ifndef VELKOR_RAWDATA_RAWCAPTURE_H
#define VELKOR_RAWDATA_RAWCAPTURE_H

#include "host/TCIMValue.h"

#include <string>
#include <vector>

namespace velkor {

// Runs the tool with "-z". A tool that cannot be run is no error here: it is
// logged at level 1 as TOOL + " aborted: " + the reason, and gives no output.
std::string RunToolForRawData(const std::string& toolPath);

// Keeps the output's lines when it carries the marker; then appends " -z" to
// the command, since the output proved to be what that command prints.
void CaptureRawLines(const std::string& output, const std::string& marker, std::string& command,
                     std::vector<std::string>& resultLines, bool& hasResults);

// The lines as a CIM string array; a null value when there are none.
NORNSYV20::TCIMValue MakeRawResults(const std::vector<std::string>& resultLines);

}  // namespace velkor

#endif
