// The metrics report: one query's adapters in the Prometheus text exposition
// format, for node_exporter's textfile collector.
#ifndef SYVHOST_METRICSREPORT_H
#define SYVHOST_METRICSREPORT_H

#include "ReportWriter.h"

#include <memory>
#include <string>

namespace syv {

// A label value between its double quotes: the text as reports show it
// (syvcore/ReportText.h), with backslash, double quote and line feed escaped
// as the format requires.
std::string EscapeLabelValue(const std::string& text);

// Series of one metric must stand together, so the writer keeps its series
// until the query ends: a few lines per adapter, never the raw tool output.
// It reports the last query it is given.
std::unique_ptr<ReportWriter> MakeMetricsWriter(ReportOutput& output);

}  // namespace syv

#endif
