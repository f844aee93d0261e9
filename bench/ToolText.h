// Realistic tool output of any number of adapters, shared by the benchmarks:
// every adapter prints the same block a real tool prints for one port, so the
// text grows linearly with the adapter count.
#ifndef VELKOR_BENCH_TOOLTEXT_H
#define VELKOR_BENCH_TOOLTEXT_H

#include <cstdint>
#include <string>

namespace velkor {
namespace bench {

// What the Fibre Channel tool prints for that many adapters.
std::string FibreChannelToolOutput(std::int64_t adapters);

// The same without any "Finish in" end marker: every block then ends at the
// next block's start.
std::string FibreChannelToolOutputWithoutEndMarkers(std::int64_t adapters);

// What the iSCSI tool prints for that many adapters.
std::string IScsiToolOutput(std::int64_t adapters);

}  // namespace bench
}  // namespace velkor

#endif
