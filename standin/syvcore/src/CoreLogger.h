// The core logger: every message goes into the running query's report, and
// to standard error when its level is at or below the configured one, there
// with control characters escaped (the stored message stays as given).
#ifndef SYVCORE_CORELOGGER_H
#define SYVCORE_CORELOGGER_H

#include "host/ILogger.h"

namespace syv {
namespace detail {

class CoreLogger : public NORNSYV20::ILogger {
public:
    void Log(int level, const std::string& message) override;

    // 0 (the default) writes nothing to standard error.
    void SetLevel(int level) { level_ = level; }

private:
    int level_ = 0;
};

CoreLogger& TheCoreLogger();

}  // namespace detail
}  // namespace syv

#endif
