#include "ServerStats.h"

#include <cstdio>

namespace syv {
namespace wbem {

constexpr std::array<double, 10> ServerStats::kBuckets;

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

}  // namespace

void ServerStats::Record(const std::string& operation, int status, std::uint32_t cimStatus, double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++requests_[std::make_tuple(operation, status, cimStatus)];
    Durations& durations = durations_[operation];
    for (std::size_t i = 0; i < kBuckets.size(); ++i) {
        if (seconds <= kBuckets[i]) {
            ++durations.buckets[i];
            break;
        }
    }
    ++durations.count;
    durations.sum += seconds;
}

// Operation names are the server's own (methods it knows, or "other"), so
// they need no escaping.
std::string ServerStats::Families(bool openMetrics) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out = "# HELP velkor_server_requests Requests the server answered, by operation and status.\n";
    out += openMetrics ? "# TYPE velkor_server_requests counter\n" : "# TYPE velkor_server_requests_total counter\n";
    for (const auto& entry : requests_) {
        out += "velkor_server_requests_total{operation=\"" + std::get<0>(entry.first) + "\",code=\"" +
               std::to_string(std::get<1>(entry.first)) + "\",cim_status=\"" + std::to_string(std::get<2>(entry.first)) +
               "\"} " + std::to_string(entry.second) + "\n";
    }
    out += "# HELP velkor_server_request_duration_seconds How long requests took to answer, by operation.\n"
           "# TYPE velkor_server_request_duration_seconds histogram\n";
    if (openMetrics) out += "# UNIT velkor_server_request_duration_seconds seconds\n";
    for (const auto& entry : durations_) {
        const std::string prefix = "velkor_server_request_duration_seconds";
        const std::string label = "operation=\"" + entry.first + "\"";
        std::uint64_t cumulative = 0;
        for (std::size_t i = 0; i < kBuckets.size(); ++i) {
            cumulative += entry.second.buckets[i];
            out += prefix + "_bucket{" + label + ",le=\"" + Number(kBuckets[i]) + "\"} " + std::to_string(cumulative) + "\n";
        }
        out += prefix + "_bucket{" + label + ",le=\"+Inf\"} " + std::to_string(entry.second.count) + "\n";
        out += prefix + "_sum{" + label + "} " + Number(entry.second.sum) + "\n";
        out += prefix + "_count{" + label + "} " + std::to_string(entry.second.count) + "\n";
    }
    return out;
}

}  // namespace wbem
}  // namespace syv
