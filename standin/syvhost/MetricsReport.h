// The metrics report: one query's adapters in the Prometheus text exposition
// format, for node_exporter's textfile collector.
#ifndef SYVHOST_METRICSREPORT_H
#define SYVHOST_METRICSREPORT_H

#include "syvcore/StandinHost.h"

#include <string>

namespace syv {

// A label value between its double quotes: backslash, double quote and line
// feed escaped, as the format requires.
std::string EscapeLabelValue(const std::string& text);

// The whole report of one query that took the given time. Series of one
// metric must stand together, so the report is assembled before it is
// written; it holds a few lines per adapter, never the raw tool output.
std::string FormatMetricsReport(const QueryReport& query, double durationSeconds);

}  // namespace syv

#endif
