// The JSON report: one document holding the plug-in's identity and, per
// query, its classes, instances, tool runs, log and error.
#ifndef SYVHOST_JSONREPORT_H
#define SYVHOST_JSONREPORT_H

#include "PluginIdentity.h"
#include "syvcore/StandinHost.h"

#include <string>
#include <vector>

namespace syv {

// The document, indented, ending with a newline. Text that is not valid
// UTF-8 (tool output may hold any byte) has each bad byte replaced by
// U+FFFD rather than failing the report.
std::string WriteJsonReport(const PluginIdentity& plugin, const std::vector<QueryReport>& queries);

}  // namespace syv

#endif
