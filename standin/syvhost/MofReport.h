// The MOF report: every committed instance as a MOF instance declaration,
// each query headed by a comment line, a failed query ended by one.
#ifndef SYVHOST_MOFREPORT_H
#define SYVHOST_MOFREPORT_H

#include "PluginIdentity.h"
#include "syvcore/StandinHost.h"

#include <string>
#include <vector>

namespace syv {

// The text between the quotes of a MOF string literal: the text as reports
// show it (syvcore/ReportText.h), with backslash, double quote and control
// characters escaped (\b \t \n \f \r, others \xHHHH).
std::string EscapeMofString(const std::string& text);

// One value as a MOF initializer: "string", decimal integer, quoted object
// path, {...} for arrays, NULL.
std::string FormatMofValue(const NORNSYV20::TCIMValue& value);

std::string WriteMofReport(const PluginIdentity& plugin, const std::vector<QueryReport>& queries);

}  // namespace syv

#endif
