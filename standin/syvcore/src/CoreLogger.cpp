#include "CoreLogger.h"

#include "QueryFrame.h"
#include "syvcore/ReportText.h"

#include <iostream>

namespace syv {
namespace detail {

void CoreLogger::Log(int level, const std::string& message) {
    if (QueryFrame* query = ReportingQuery()) query->Observer()->Logged(LogEntry{level, message});
    if (level_ > 0 && level <= level_) std::cerr << "[log " << level << "] " << TerminalText(message) << std::endl;
}

CoreLogger& TheCoreLogger() {
    static CoreLogger logger;
    return logger;
}

}  // namespace detail
}  // namespace syv
