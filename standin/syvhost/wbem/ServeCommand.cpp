#include "wbem/ServeCommand.h"

#include "wbem/BasicAuth.h"
#include "wbem/Credentials.h"
#include "wbem/TlsContext.h"
#include "wbem/HttpServer.h"
#include "wbem/WbemHandler.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/post.hpp>
#ifdef VELKOR_WBEM_TLS
#include <boost/asio/ssl/context.hpp>
#endif

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

namespace syv {

namespace {

// Passes a query on and notes whether it succeeded.
class RecordingEnd : public QueryObserver {
public:
    explicit RecordingEnd(QueryObserver& next) : next_(next) {}
    void Committed(CommittedInstance instance) override { next_.Committed(std::move(instance)); }
    void RanTool(const ToolRun& run) override { next_.RanTool(run); }
    void Logged(const LogEntry& entry) override { next_.Logged(entry); }
    void Ended(const QueryError* error) override {
        succeeded = !error;
        next_.Ended(error);
    }
    bool succeeded = false;

private:
    QueryObserver& next_;
};

// The WBEM handler behind the HTTP layer: each request is handled in turn
// on one query thread, so the plug-in is never called concurrently.
class HandlerApplication : public wbem::Application {
public:
    HandlerApplication(const wbem::WbemHandler& handler, const wbem::LogFunction& log)
        : handler_(handler), log_(log), work_(queries_.get_executor()), thread_([this]() { queries_.run(); }) {}

    ~HandlerApplication() override {
        work_.reset();
        thread_.join();
    }

    void Handle(wbem::HttpRequest request, std::shared_ptr<wbem::AnswerSink> sink) override {
        boost::asio::post(queries_, [this, request = std::move(request), sink]() {
            try {
                handler_.Handle(wbem::ViewOf(request), *sink);
            } catch (const std::exception& error) {
                log_(1, std::string("a request failed: ") + error.what());  // the HTTP layer ends the answer
            }
        });
    }

    // The requests queued are still answered.
    void Stop() override {}

private:
    const wbem::WbemHandler& handler_;
    const wbem::LogFunction& log_;
    boost::asio::io_context queries_{1};
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    std::thread thread_;
};

}  // namespace

void ServeWbem(const HostOptions& options, NORNSYV20::IPluginCallbacks& plugin) {
    std::string address;
    unsigned short port = 0;
    try {
        wbem::SplitListenAddress(options.listen, address, port);
    } catch (const std::invalid_argument& error) {
        throw std::runtime_error(error.what());
    }
    boost::system::error_code parseError;
    const boost::asio::ip::address ip = boost::asio::ip::make_address(address, parseError);
    if (parseError) throw std::runtime_error("--listen: " + address + " is not an IP address");
    std::shared_ptr<const wbem::Credentials> credentials;
    if (!options.credentials.empty()) {
        credentials = std::make_shared<const wbem::Credentials>(wbem::Credentials::Read(options.credentials));
    }
    // Beyond this machine, only known users may read the inventory, and
    // neither their passwords nor the inventory may cross the network in clear.
    if (!ip.is_loopback() && (!credentials || options.tlsCertificate.empty())) {
        throw std::runtime_error("will not listen on " + address +
                                 ": serving beyond the loopback address needs --credentials and --tls-cert/--tls-key");
    }

    // The plug-in keeps its inventories until Shutdown: with a refresh
    // period, the first query after it has passed collects afresh.
    using Clock = std::chrono::steady_clock;
    bool collected = false;
    Clock::time_point collectedAt;
    const wbem::QueryFunction query = [&](const std::vector<std::string>& classes, QueryObserver& observer) {
        if (collected && options.refreshSeconds >= 0 &&
            Clock::now() - collectedAt > std::chrono::seconds(options.refreshSeconds)) {
            try {
                plugin.Shutdown();
            } catch (const std::exception& error) {
                QueryError failed;
                failed.status = 1;
                failed.message = std::string("the plug-in failed to shut down: ") + error.what();
                return observer.Ended(&failed);
            }
            collected = false;
        }
        const Clock::time_point start = Clock::now();
        RecordingEnd recording(observer);
        StandinHost::RunQuery(classes, recording);
        if (!collected && recording.succeeded) {
            collected = true;
            collectedAt = start;
        }
    };
    const wbem::LogFunction log = [&](int level, const std::string& text) {
        if (level <= options.logLevel) std::cerr << "syvhost: " << text << "\n";
    };
    wbem::ServerSettings settings;
    settings.address = ip.to_string();
    settings.port = port;
    if (!options.tlsCertificate.empty()) settings.tls = wbem::MakeServerTlsContext(options.tlsCertificate, options.tlsKey, log);
    settings.log = log;
    if (credentials) settings.authenticate = wbem::MakeAuthenticator(credentials);
    const wbem::WbemHandler handler(StandinHost::GetSchemaClasses(), query);
    HandlerApplication application(handler, log);
    wbem::StopControl control;
    wbem::Serve(settings, application, control, [](const std::string& baseUrl) {
        const std::string line = baseUrl + "\n";
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) {
            throw std::runtime_error("cannot write the server's address to standard output");
        }
    });
}

}  // namespace syv
