// The plug-in as the server's requests reach it: on the query thread, one
// query at a time, and the plug-in's namespace made of its answers.
#ifndef SYVHOST_WBEM_PLUGINQUERIES_H
#define SYVHOST_WBEM_PLUGINQUERIES_H

#include "CimNamespace.h"
#include "HttpServer.h"
#include "syvcore/StandinHost.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace syv {
namespace wbem {

// Runs one query for the classes, telling the observer what it does.
typedef std::function<void(const std::vector<std::string>& classes, QueryObserver& observer)> QueryFunction;

// The plug-in keeps what it collected until Shutdown. With a refresh
// period, a request that begins more than that after the last collection
// first shuts the plug-in down, so that it collects afresh; the decision is
// taken once per request, so that every query of one request sees one
// collection (and the tools run once for it).
class PluginQueries {
public:
    // refreshSeconds < 0: collect once for the server's life.
    PluginQueries(QueryFunction query, std::function<void()> shutdown, int refreshSeconds, LogFunction log);

    // Starts a request: decides the refresh. Throws CimError (CIM_ERR_FAILED)
    // when the plug-in fails to shut down.
    void BeginRequest();

    // One query; a failed one is logged as one line at level 1.
    void Run(const std::vector<std::string>& classes, QueryObserver& observer);

private:
    typedef std::chrono::steady_clock Clock;

    QueryFunction query_;
    std::function<void()> shutdown_;
    int refreshSeconds_;
    LogFunction log_;
    bool collected_ = false;
    Clock::time_point collectedAt_;
};

// The namespace whose instances are the plug-in's: each enumeration is one
// query of the classes asked for, what else the plug-in commits left out.
class PluginNamespace : public CimNamespace {
public:
    PluginNamespace(SchemaView schema, PluginQueries& queries) : CimNamespace(std::move(schema)), queries_(queries) {}

    void Enumerate(const std::vector<const ClassDefinition*>& classes, const InstanceVisitor& each) override;

private:
    PluginQueries& queries_;
};

}  // namespace wbem
}  // namespace syv

#endif
