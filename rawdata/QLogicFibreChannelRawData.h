#ifndef VELKOR_RAWDATA_QLOGICFIBRECHANNELRAWDATA_H
#define VELKOR_RAWDATA_QLOGICFIBRECHANNELRAWDATA_H

#include "host/TCIMValue.h"

#include <string>
#include <vector>

namespace velkor {

// One capture of the Fibre Channel tool's output, from the inventory's kept output when discovery has run, else from a run of the tool, cut into lines. Construction does the whole
// capture; a tool that cannot be run is logged and leaves no results.
class QLogicFibreChannelRawData {
public:
    QLogicFibreChannelRawData();
    virtual ~QLogicFibreChannelRawData();

    QLogicFibreChannelRawData(const QLogicFibreChannelRawData&) = delete;
    QLogicFibreChannelRawData& operator=(const QLogicFibreChannelRawData&) = delete;

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
