#ifndef VELKOR_RAWDATA_QLOGICISCSIRAWDATA_H
#define VELKOR_RAWDATA_QLOGICISCSIRAWDATA_H

#include "host/TCIMValue.h"

#include <string>
#include <vector>

namespace velkor {

// One capture of the iSCSI tool's output, always from a run of the tool: the iSCSI inventory keeps no output, cut into lines. Construction does the whole
// capture; a tool that cannot be run is logged and leaves no results.
class QLogicIScsiRawData {
public:
    QLogicIScsiRawData();
    virtual ~QLogicIScsiRawData();

    QLogicIScsiRawData(const QLogicIScsiRawData&) = delete;
    QLogicIScsiRawData& operator=(const QLogicIScsiRawData&) = delete;

    // The tool path, with " -z" once the output proved usable.
    std::string GetCommand() const { return command; }
    bool HasResults() const { return hasResults; }
    // The lines as a string array; null without lines.
    NORNSYV20::TCIMValue GetRawResults() const;

private:
    std::string command;
    std::vector<std::string> resultLines;
    bool hasResults = false;
};

}  // namespace velkor

#endif
