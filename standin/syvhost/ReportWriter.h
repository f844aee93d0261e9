// What every report format does: told the plug-in's identity, then each
// query's classes and, as the query runs, what it does, it writes the report
// as it goes, holding no more than a bounded buffer beyond what it must keep
// for the query's end.
#ifndef SYVHOST_REPORTWRITER_H
#define SYVHOST_REPORTWRITER_H

#include "PluginIdentity.h"
#include "ReportOutput.h"
#include "syvcore/StandinHost.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace syv {

class ReportWriter : public QueryObserver {
public:
    // Starts the report of that many queries.
    virtual void Begin(const PluginIdentity& plugin, std::size_t queries) = 0;
    // Starts the next query; the observer calls follow, Ended last.
    virtual void BeginQuery(const std::vector<std::string>& classes) = 0;
    // Ends the report and flushes the output.
    virtual void Finish() = 0;

    void Ended(const QueryError* error) final {
        anyFailed_ = anyFailed_ || error != nullptr;
        EndQuery(error);
    }
    bool AnyQueryFailed() const { return anyFailed_; }

protected:
    virtual void EndQuery(const QueryError* error) = 0;

private:
    bool anyFailed_ = false;
};

std::unique_ptr<ReportWriter> MakeMofWriter(ReportOutput& output);
std::unique_ptr<ReportWriter> MakeJsonWriter(ReportOutput& output);

// Writes the whole report of queries already collected.
void WriteCollected(ReportWriter& writer, const PluginIdentity& plugin, const std::vector<QueryReport>& queries);

}  // namespace syv

#endif
