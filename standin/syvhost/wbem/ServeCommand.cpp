#include "wbem/ServeCommand.h"

#include "wbem/CimService.h"
#include "wbem/Credentials.h"
#include "wbem/InteropNamespace.h"
#include "wbem/PluginQueries.h"
#include "wbem/WbemServer.h"

#include "VelkorVersion.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <boost/make_shared.hpp>

#include "syvcore/ReportText.h"

#include <memory>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <utility>

namespace syv {

namespace {

const char* const kPluginNamespace = "root/ornsg";

}  // namespace

void ServeWbem(const HostOptions& options, NORNSYV20::IPluginCallbacks& plugin, const std::string& interopSchemaFolder) {
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

    const wbem::LogFunction log = [&](int level, const std::string& text) {
        if (level <= options.logLevel) std::cerr << "syvhost: " << TerminalText(text) << "\n";
    };
    wbem::PluginQueries queries([](const std::vector<std::string>& classes,
                                   QueryObserver& observer) { StandinHost::RunQuery(classes, observer); },
                                [&plugin]() { plugin.Shutdown(); }, options.refreshSeconds, log);
    wbem::Namespaces namespaces;
    auto collected = std::make_unique<wbem::PluginNamespace>(wbem::SchemaView(kPluginNamespace, StandinHost::GetSchema()),
                                                             queries);
    wbem::ServerIdentity identity;
    identity.systemName = boost::asio::ip::host_name();
    identity.version = VELKOR_VERSION;
    identity.authenticates = credentials.has_value();
    identity.namespaces = {wbem::kInteropNamespace, kPluginNamespace};
    identity.collectedNamespace = kPluginNamespace;
    identity.centralClasses = {velkor::kFibreChannelControllerClass, velkor::kIScsiControllerClass};
    auto interop = std::make_unique<wbem::InteropNamespace>(
        wbem::SchemaView(wbem::kInteropNamespace, boost::make_shared<const Schema>(LoadSchemaFolder(interopSchemaFolder))),
        identity, *collected);
    namespaces.Add(std::move(interop), {"interop"});
    namespaces.Add(std::move(collected));
    wbem::CimServiceSettings settings;
    settings.runOnQueryThread = [](std::function<void()> job) { job(); };
    settings.log = log;
    settings.metricsClasses = velkor::ServedClasses();
    settings.refreshSeconds = options.refreshSeconds;
    wbem::CimService service(namespaces, queries, settings);
    wbem::PasswordCheck check;
    if (credentials) {
        check = [&](const std::string& user, const std::string& password) { return credentials->Accepts(user, password); };
    }
    const wbem::WbemHandler handler(service, check, log);
    wbem::Serve(ip.to_string(), port, wbem::LegacyLimits(), wbem::TlsFiles{options.tlsCertificate, options.tlsKey},
                handler, log);
}

}  // namespace syv
