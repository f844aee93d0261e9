// The collector plug-in object inside this process with syvcore as its host,
// its tools answered in process with prepared text, so that a benchmark
// measures the plug-in and the host without starting programs.
#ifndef VELKOR_BENCH_INPROCESSCOLLECTOR_H
#define VELKOR_BENCH_INPROCESSCOLLECTOR_H

#include "plugin/TQLogicControllerPluginCallbacks.h"
#include "syvcore/StandinHost.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velkor {
namespace bench {

// The four controller-to-element association classes.
const std::vector<std::string>& AssociationClasses();

class InProcessCollector {
public:
    // Reads the schema built beside the program, registers a new plug-in
    // object and makes both tools list that many adapters (of each kind).
    explicit InProcessCollector(std::int64_t adaptersPerKind);
    ~InProcessCollector();

    InProcessCollector(const InProcessCollector&) = delete;
    InProcessCollector& operator=(const InProcessCollector&) = delete;

    syv::QueryReport Query(const std::vector<std::string>& classNames) const;

    // Drops the inventories: the next query runs discovery again.
    void Shutdown();

    // Runs of either tool since construction.
    std::int64_t ToolRuns() const { return toolRuns_; }

private:
    std::string fibreChannelOutput_;
    std::string iScsiOutput_;
    std::int64_t toolRuns_ = 0;
    TQLogicControllerPluginCallbacks* plugin_ = nullptr;
};

// Committed instances of a query of all classes, or of the association
// classes alone, for that many adapters of each kind.
std::size_t ExpectedInstancesOfAllClasses(std::int64_t adaptersPerKind);
std::size_t ExpectedAssociations(std::int64_t adaptersPerKind);

}  // namespace bench
}  // namespace velkor

#endif
