// The JSON report: one document holding the plug-in's identity and, per
// query, its classes, instances, tool runs, log and error.
#ifndef SYVHOST_JSONREPORT_H
#define SYVHOST_JSONREPORT_H

#include "PluginIdentity.h"
#include "syvcore/StandinHost.h"

#include <string>
#include <vector>

namespace syv {

// The document, indented by two spaces, ending with a newline. Every text is
// shown as syvcore/ReportText.h says, so the document is valid UTF-8 whatever
// bytes the tools wrote.
std::string WriteJsonReport(const PluginIdentity& plugin, const std::vector<QueryReport>& queries);

}  // namespace syv

#endif
