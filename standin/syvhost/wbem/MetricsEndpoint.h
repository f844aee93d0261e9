// GET /metrics: the metrics of --format openmetrics with the server's own
// figures, in the Prometheus text format, or OpenMetrics when the scraper
// asks for it. A collection is kept until the refresh period has passed
// (for ever without one, as the plug-in keeps what it collected), so a
// scrape is answered at once from it; only a scrape after that waits for a
// query, and scrapes that come meanwhile share its answer.
#ifndef SYVHOST_WBEM_METRICSENDPOINT_H
#define SYVHOST_WBEM_METRICSENDPOINT_H

#include "HttpServer.h"
#include "MetricsReport.h"
#include "PluginQueries.h"
#include "ServerStats.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace syv {
namespace wbem {

class MetricsEndpoint {
public:
    // classes: those of the query whose metrics are shown.
    MetricsEndpoint(PluginQueries& queries, std::vector<std::string> classes, int refreshSeconds, ServerStats& stats,
                    std::function<void(std::function<void()>)> runOnQueryThread);

    // Network thread: answers now, or once the collection it waits for ends.
    void Handle(const HttpRequest& request, std::shared_ptr<AnswerSink> sink);

private:
    typedef std::chrono::steady_clock Clock;
    struct Waiting {
        MetricsFormat format;
        std::shared_ptr<AnswerSink> sink;
        Clock::time_point received;
    };

    void Collect();  // query thread
    void Answer(const Waiting& waiting, const std::vector<MetricFamily>& collected);

    PluginQueries& queries_;
    std::vector<std::string> classes_;
    int refreshSeconds_;
    ServerStats& stats_;
    std::function<void(std::function<void()>)> runOnQueryThread_;

    std::mutex mutex_;
    std::optional<std::vector<MetricFamily>> collected_;  // the last good collection
    std::optional<Clock::time_point> validUntil_;          // none: for ever
    bool collecting_ = false;
    std::vector<Waiting> waiting_;
};

}  // namespace wbem
}  // namespace syv

#endif
