#include "wbem/ServeCommand.h"

#include "wbem/Credentials.h"
#include "wbem/WbemServer.h"

#include <boost/asio/ip/address.hpp>

#include <chrono>
#include <iostream>
#include <optional>
#include <stdexcept>
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
    std::optional<wbem::Credentials> credentials;
    if (!options.credentials.empty()) credentials = wbem::Credentials::Read(options.credentials);
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
    wbem::PasswordCheck check;
    if (credentials) {
        check = [&](const std::string& user, const std::string& password) { return credentials->Accepts(user, password); };
    }
    const wbem::WbemHandler handler(StandinHost::GetSchemaClasses(), query, check, log);
    wbem::Serve(ip.to_string(), port, wbem::ServerLimits(), wbem::TlsFiles{options.tlsCertificate, options.tlsKey},
                handler, log);
}

}  // namespace syv
