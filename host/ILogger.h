// The host's core logger.
#ifndef NORNSYV20_ILOGGER_H
#define NORNSYV20_ILOGGER_H

#include "SyvExport.h"

#include <string>

namespace NORNSYV20 {

// The host's core logger. Lower levels are more severe: 1 errors, 2 host
// warnings, 3 detail.
class SYV_API ILogger {
public:
    virtual ~ILogger();

    virtual void Log(int level, const std::string& message) = 0;
};

}  // namespace NORNSYV20

#endif
