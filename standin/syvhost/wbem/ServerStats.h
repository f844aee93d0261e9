// The server's own figures for /metrics: requests by operation and status,
// and how long they took. Safe from any thread.
#ifndef SYVHOST_WBEM_SERVERSTATS_H
#define SYVHOST_WBEM_SERVERSTATS_H

#include "MetricsReport.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

namespace syv {
namespace wbem {

class ServerStats {
public:
    // operation: the CIM method ("EnumerateInstances"), "metrics", or
    // "other" for a request refused before its method was known; status:
    // the HTTP status; cimStatus: 0, or the CIM status of an ERROR answer.
    void Record(const std::string& operation, int status, std::uint32_t cimStatus, double seconds);

    std::vector<MetricFamily> Families();

private:
    static constexpr std::array<double, 10> kBuckets{0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 1, 5};
    struct Durations {
        std::array<std::uint64_t, kBuckets.size()> buckets{};  // at most each bound, not cumulative
        std::uint64_t count = 0;
        double sum = 0;
    };

    std::mutex mutex_;
    std::map<std::tuple<std::string, int, std::uint32_t>, std::uint64_t> requests_;
    std::map<std::string, Durations> durations_;
};

}  // namespace wbem
}  // namespace syv

#endif
