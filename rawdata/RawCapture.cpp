#include "rawdata/RawCapture.h"

#include "host/ILogger.h"
#include "host/TOSSpecific.h"
#include "host/TRootObject.h"
#include "host/TSYVException.h"
#include "plugin/Constants.h"
#include "rawdata/RawLines.h"

namespace velkor {

using namespace NORNSYV20;

namespace {
const int kToolTimeoutSeconds = 300;
const int kToolFailureLevel = 1;
}  // namespace

std::string RunToolForRawData(const std::string& toolPath) {
    try {
        return TOSSpecific::SpawnProcess(toolPath, std::vector<std::string>{"-z"}, kToolTimeoutSeconds);
    } catch (const TSYVException& error) {
        TRootObject::GetCoreLogger()->Log(kToolFailureLevel, toolPath + " aborted: " + error.what());
        return {};
    }
}

void CaptureRawLines(const std::string& output, const std::string& marker, std::string& command,
                     std::vector<std::string>& resultLines, bool& hasResults) {
    if (output.find(marker) == std::string::npos) {
        return;
    }
    command += " -z";
    resultLines = CutRawLines(output);
    hasResults = !resultLines.empty();
}

TCIMValue MakeRawResults(const std::vector<std::string>& resultLines) {
    TCIMValue results;
    if (!resultLines.empty()) {
        const std::vector<TCIMValue> elements(resultLines.begin(), resultLines.end());
        results.Set(TCIMValue::TCIMType(eCIMTypeString), static_cast<unsigned int>(resultLines.size()), elements);
    }
    return results;
}

}  // namespace velkor
