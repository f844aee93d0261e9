#include "MetricsEndpoint.h"

#include "XmlText.h"

namespace syv {
namespace wbem {

namespace {

bool AsksForOpenMetrics(std::string_view accept) {
    static const std::string_view kType = "application/openmetrics-text";
    for (std::size_t at = 0; at + kType.size() <= accept.size(); ++at) {
        if (NamesEqual(accept.substr(at, kType.size()), kType)) return true;
    }
    return false;
}

}  // namespace

MetricsEndpoint::MetricsEndpoint(PluginQueries& queries, std::vector<std::string> classes, int refreshSeconds,
                                 ServerStats& stats, std::function<void(std::function<void()>)> runOnQueryThread)
    : queries_(queries),
      classes_(std::move(classes)),
      refreshSeconds_(refreshSeconds),
      stats_(stats),
      runOnQueryThread_(std::move(runOnQueryThread)) {}

void MetricsEndpoint::Answer(const Waiting& waiting, const std::vector<MetricFamily>& collected) {
    std::vector<MetricFamily> families = collected;
    for (MetricFamily& family : stats_.Families()) families.push_back(std::move(family));
    HttpAnswer answer;
    answer.headers.emplace_back("Content-Type", MetricsContentType(waiting.format));
    answer.body = MetricsText(families, waiting.format);
    stats_.Record("metrics", 200, 0, std::chrono::duration<double>(Clock::now() - waiting.received).count());
    waiting.sink->Whole(std::move(answer));
}

void MetricsEndpoint::Handle(const HttpRequest& request, std::shared_ptr<AnswerSink> sink) {
    const Waiting waiting{AsksForOpenMetrics(request.Header("Accept")) ? MetricsFormat::kOpenMetrics
                                                                       : MetricsFormat::kPrometheus,
                          std::move(sink), Clock::now()};
    std::unique_lock<std::mutex> lock(mutex_);
    if (collected_ && (!validUntil_ || waiting.received < *validUntil_)) {
        const std::vector<MetricFamily> collected = *collected_;
        lock.unlock();
        return Answer(waiting, collected);
    }
    waiting_.push_back(waiting);
    if (collecting_) return;
    collecting_ = true;
    lock.unlock();
    runOnQueryThread_([this]() { Collect(); });
}

// A failed collection answers the scrapes that waited for it and is not
// kept, so the next scrape tries again. Whatever the query throws fails it,
// as it fails a CIM request: nothing may leave the query thread's job.
void MetricsEndpoint::Collect() {
    const Clock::time_point start = Clock::now();
    MetricsCollector collector;
    collector.Begin(classes_);
    bool succeeded = false;
    try {
        queries_.BeginRequest();
        queries_.Run(classes_, collector);
        succeeded = collector.Succeeded();
    } catch (const CimError& error) {
        const QueryError failed{error.code, error.description};
        collector.Ended(&failed);
    } catch (const std::exception& error) {
        const QueryError failed{kErrFailed, error.what()};
        collector.Ended(&failed);
    }
    const std::vector<MetricFamily> collected = collector.Families();
    std::vector<Waiting> waiting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        collecting_ = false;
        waiting.swap(waiting_);
        if (succeeded) {
            collected_ = collected;
            validUntil_.reset();
            if (refreshSeconds_ >= 0) validUntil_ = start + std::chrono::seconds(refreshSeconds_);
        }
    }
    for (const Waiting& one : waiting) Answer(one, collected);
}

}  // namespace wbem
}  // namespace syv
