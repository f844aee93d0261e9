// What the process service needs of the host's state: its configuration and
// the report of the running query.
#ifndef SYVCORE_HOSTSTATE_H
#define SYVCORE_HOSTSTATE_H

#include "syvcore/StandinHost.h"

#include <cstdint>

namespace syv {
namespace detail {

// 0 means that plug-ins' timeouts are not capped.
int GetMaxToolSeconds();

std::uint64_t GetMaxOutputBytes();

// Empty unless a caller set one.
const InProcessTool& GetInProcessTool();

// Appends the run to the report of the running query, if one is running.
void RecordToolRun(const ToolRun& run);

}  // namespace detail
}  // namespace syv

#endif
