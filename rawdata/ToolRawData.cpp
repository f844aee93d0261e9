#include "rawdata/ToolRawData.h"

#include "host/ILogger.h"
#include "host/TOSSpecific.h"
#include "host/TRootObject.h"
#include "host/TSYVException.h"
#include "rawdata/RawLines.h"

#include <utility>

namespace velkor {

using namespace NORNSYV20;

namespace {

// A tool that cannot be run is no error here: it is logged at level 1 as
// TOOL + " aborted: " + the reason, and gives no output.
std::string RunTool(const std::string& toolPath) {
    const int timeoutSeconds = 300;
    const int failureLevel = 1;
    try {
        return TOSSpecific::SpawnProcess(toolPath, std::vector<std::string>{"-z"}, timeoutSeconds);
    } catch (const TSYVException& error) {
        TRootObject::GetCoreLogger()->Log(failureLevel, toolPath + " aborted: " + error.what());
        return {};
    }
}

}  // namespace

ToolRawData::ToolRawData(std::string toolPath, const std::string& marker, std::optional<std::string> keptOutput)
    : command(std::move(toolPath)) {
    const std::string output = keptOutput ? std::move(*keptOutput) : RunTool(command);
    if (output.find(marker) == std::string::npos) {
        return;
    }
    command += " -z";  // the output proved to be what that command prints
    resultLines = CutRawLines(output);
    hasResults = !resultLines.empty();
}

ToolRawData::~ToolRawData() = default;

TCIMValue ToolRawData::GetRawResults() const {
    TCIMValue results;
    if (!resultLines.empty()) {
        const std::vector<TCIMValue> elements(resultLines.begin(), resultLines.end());
        results.Set(TCIMValue::TCIMType(eCIMTypeString), static_cast<unsigned int>(resultLines.size()), elements);
    }
    return results;
}

}  // namespace velkor
