// The metrics of a query in the Prometheus text format (version 0.0.4) or as
// OpenMetrics 1.0 text: what --format openmetrics writes, and what a server
// answers a scrape with, its own families added to the query's.
#ifndef SYVHOST_METRICSREPORT_H
#define SYVHOST_METRICSREPORT_H

#include "ReportWriter.h"

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace syv {

enum class MetricsFormat { kPrometheus, kOpenMetrics };

// The Content-Type of an HTTP answer in the format.
const char* MetricsContentType(MetricsFormat format);

enum class MetricType { kGauge, kCounter, kHistogram };

typedef std::vector<std::pair<std::string, std::string>> MetricLabels;

struct MetricSample {
    // What follows the family's name: nothing for a gauge, "_total" for a
    // counter, "_bucket", "_sum" or "_count" for a histogram.
    std::string suffix;
    MetricLabels labels;  // names, and values as they are (escaped when written)
    double value = 0;
};

struct MetricFamily {
    std::string name;  // without its samples' suffixes: "velkor_requests" for velkor_requests_total
    MetricType type = MetricType::kGauge;
    std::string unit;  // empty, or the last word of the name ("seconds")
    std::string help;
    std::vector<MetricSample> samples;
};

// Keeps what the metrics show of one query as it runs: the adapter ports,
// firmware and BIOS elements committed (each series once), which kinds'
// adapters were asked for, and how the query ended.
class MetricsCollector : public QueryObserver {
public:
    // Starts a query of these classes, forgetting the last one.
    void Begin(const std::vector<std::string>& classes);

    void Committed(CommittedInstance instance) override;
    void RanTool(const ToolRun&) override {}
    void Logged(const LogEntry&) override {}
    void Ended(const QueryError* error) override;

    // The query's families, each with at least one sample; none before the
    // query ended. velkor_adapters has a series for a kind only when the
    // query asked for the kind's controller class and succeeded: otherwise
    // the number of adapters is not known.
    std::vector<MetricFamily> Families() const;

    bool Succeeded() const { return ended_ && !failed_; }

private:
    static const int kInfoFamilies = 3;
    static const int kKinds = 2;

    std::vector<MetricSample> info_[kInfoFamilies];
    std::set<MetricLabels> seen_[kInfoFamilies];
    bool askedControllers_[kKinds] = {};
    int adapters_[kKinds] = {};
    std::chrono::steady_clock::time_point start_;
    bool ended_ = false;
    bool failed_ = false;
    double seconds_ = 0;
};

// Writes the families in the format, in order; their names must differ. In
// OpenMetrics, "# EOF" ends the text, so that a family added later goes into
// the list, not after the text.
void WriteMetrics(const std::vector<MetricFamily>& families, MetricsFormat format, ReportOutput& output);
std::string MetricsText(const std::vector<MetricFamily>& families, MetricsFormat format);

// A label value between its double quotes: the text as reports show it
// (syvcore/ReportText.h), with backslash, double quote and line feed escaped
// as both formats require.
std::string EscapeLabelValue(const std::string& text);

// The report of --format openmetrics: the last query it is given, as
// OpenMetrics text.
std::unique_ptr<ReportWriter> MakeMetricsWriter(ReportOutput& output);

}  // namespace syv

#endif
