#include "wbem/ServeCommand.h"

#include "wbem/WbemServer.h"

#include <boost/asio/ip/address.hpp>

#include <chrono>
#include <iostream>
#include <stdexcept>

namespace syv {

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
    // Without authentication and TLS, anyone who reaches the port reads the
    // inventory: only this machine may.
    if (!ip.is_loopback()) {
        throw std::runtime_error("will not listen on " + address +
                                 ": serving beyond the loopback address needs credentials and TLS, which this "
                                 "build does not offer");
    }

    // The plug-in keeps its inventories until Shutdown: with a refresh
    // period, the first query after it has passed collects afresh.
    using Clock = std::chrono::steady_clock;
    bool collected = false;
    Clock::time_point collectedAt;
    const wbem::QueryFunction query = [&](const std::vector<std::string>& classes) {
        if (collected && options.refreshSeconds >= 0 &&
            Clock::now() - collectedAt > std::chrono::seconds(options.refreshSeconds)) {
            try {
                plugin.Shutdown();
            } catch (const std::exception& error) {
                QueryReport failed;
                failed.failed = true;
                failed.status = 1;
                failed.message = std::string("the plug-in failed to shut down: ") + error.what();
                return failed;
            }
            collected = false;
        }
        const Clock::time_point start = Clock::now();
        QueryReport report = StandinHost::RunQuery(classes);
        if (!collected && !report.failed) {
            collected = true;
            collectedAt = start;
        }
        return report;
    };
    const wbem::WbemHandler handler(StandinHost::GetSchemaClasses(), query);
    const auto log = [&](int level, const std::string& text) {
        if (level <= options.logLevel) std::cerr << "syvhost: " << text << "\n";
    };
    wbem::Serve(ip.to_string(), port, wbem::ServerLimits(), handler, log);
}

}  // namespace syv
