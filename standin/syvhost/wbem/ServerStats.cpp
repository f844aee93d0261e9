#include "ServerStats.h"

#include <cstdio>

namespace syv {
namespace wbem {

constexpr std::array<double, 10> ServerStats::kBuckets;

namespace {

std::string Bound(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
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

std::vector<MetricFamily> ServerStats::Families() {
    std::lock_guard<std::mutex> lock(mutex_);
    MetricFamily requests{"velkor_server_requests", MetricType::kCounter, "",
                          "Requests the server answered, by operation, HTTP status and CIM status.", {}};
    for (const auto& entry : requests_) {
        requests.samples.push_back({"_total",
                                    {{"operation", std::get<0>(entry.first)},
                                     {"code", std::to_string(std::get<1>(entry.first))},
                                     {"cim_status", std::to_string(std::get<2>(entry.first))}},
                                    static_cast<double>(entry.second)});
    }
    MetricFamily durations{"velkor_server_request_duration_seconds", MetricType::kHistogram, "seconds",
                           "How long the server took to answer, by operation.", {}};
    for (const auto& entry : durations_) {
        std::uint64_t cumulative = 0;
        for (std::size_t i = 0; i < kBuckets.size(); ++i) {
            cumulative += entry.second.buckets[i];
            durations.samples.push_back(
                {"_bucket", {{"operation", entry.first}, {"le", Bound(kBuckets[i])}}, static_cast<double>(cumulative)});
        }
        const double count = static_cast<double>(entry.second.count);
        durations.samples.push_back({"_bucket", {{"operation", entry.first}, {"le", "+Inf"}}, count});
        durations.samples.push_back({"_sum", {{"operation", entry.first}}, entry.second.sum});
        durations.samples.push_back({"_count", {{"operation", entry.first}}, count});
    }
    std::vector<MetricFamily> families;
    if (!requests.samples.empty()) families.push_back(std::move(requests));
    if (!durations.samples.empty()) families.push_back(std::move(durations));
    return families;
}

}  // namespace wbem
}  // namespace syv
