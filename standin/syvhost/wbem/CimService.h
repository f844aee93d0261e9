// The CIM server behind the HTTP layer: each request is checked as CIM over
// HTTP (DSP0200), read into a typed request, and answered by its operation.
// What the schema alone answers is answered at once on the network thread;
// what needs instances runs on the query thread, after whatever runs there,
// and streams its answer. GET /metrics goes to the metrics endpoint.
#ifndef SYVHOST_WBEM_CIMSERVICE_H
#define SYVHOST_WBEM_CIMSERVICE_H

#include "CimNamespace.h"
#include "Enumerations.h"
#include "HttpServer.h"
#include "MetricsEndpoint.h"
#include "PluginQueries.h"
#include "ServerStats.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>

namespace syv {
namespace wbem {

struct CimServiceSettings {
    // Runs a job on the query thread (in tests, at once).
    std::function<void(std::function<void()>)> runOnQueryThread;
    // Called once when the server stops: ends what a request in progress
    // waits for (tool runs).
    std::function<void()> onStop;
    LogFunction log;
    // A streamed answer is held until it passes this many bytes.
    std::size_t headBytes = 64 * 1024;
    Enumerations::Limits enumerations;
    // GET /metrics: the classes of the query it shows, and how long a
    // collection is kept (< 0: for ever).
    std::vector<std::string> metricsClasses;
    int refreshSeconds = -1;
};

class CimService : public Application {
public:
    CimService(const Namespaces& namespaces, PluginQueries& queries, CimServiceSettings settings);

    void Handle(HttpRequest request, std::shared_ptr<AnswerSink> sink) override;
    void Stop() override;

private:
    void Refuse(const HttpRequest& request, AnswerSink& sink, int status, const std::string& cimError,
                const std::string& why);

    const Namespaces& namespaces_;
    PluginQueries& queries_;
    CimServiceSettings settings_;
    Enumerations enumerations_;
    ServerStats stats_;
    MetricsEndpoint metrics_;
    std::atomic<bool> stopped_{false};
};

}  // namespace wbem
}  // namespace syv

#endif
