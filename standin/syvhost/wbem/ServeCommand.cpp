#include "wbem/ServeCommand.h"

#include "VelkorVersion.h"
#include "plugin/Constants.h"
#include "plugin/ServedClasses.h"
#include "syvcore/ReportText.h"
#include "wbem/BasicAuth.h"
#include "wbem/CimService.h"
#include "wbem/Credentials.h"
#include "wbem/HttpServer.h"
#include "wbem/InteropNamespace.h"
#include "wbem/PluginQueries.h"
#include "wbem/QueryThread.h"
#include "wbem/TlsContext.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/host_name.hpp>
#include <boost/make_shared.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <utility>

namespace syv {

namespace {

const char* const kPluginNamespace = "root/ornsg";

void WriteBaseUrl(const std::string& baseUrl) {
    const std::string line = baseUrl + "\n";
    if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size() || std::fflush(stdout) != 0) {
        throw std::runtime_error("cannot write the server's address to standard output");
    }
}

// The server's settings from the options: the address, the credentials and
// TLS, with the rule that ties them.
wbem::ServerSettings Settings(const HostOptions& options, const wbem::LogFunction& log) {
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
    wbem::ServerSettings settings;
    settings.address = ip.to_string();
    settings.port = port;
    if (!options.tlsCertificate.empty()) {
        settings.tls = wbem::MakeServerTlsContext(options.tlsCertificate, options.tlsKey, log);
    }
    if (credentials) settings.authenticate = wbem::MakeAuthenticator(credentials);
    settings.log = log;
    return settings;
}

wbem::LogFunction StandardErrorLog(const HostOptions& options) {
    return [&options](int level, const std::string& text) {
        if (level <= options.logLevel) std::cerr << "syvhost: " << TerminalText(text) << "\n";
    };
}

}  // namespace

void CheckServeOptions(const HostOptions& options) { Settings(options, StandardErrorLog(options)); }

void ServeWbem(const HostOptions& options, NORNSYV20::IPluginCallbacks& plugin, const std::string& interopSchemaFolder,
               wbem::StopControl& control, const std::function<void(const std::string&)>& listening) {
    const wbem::LogFunction log = StandardErrorLog(options);
    const wbem::ServerSettings settings = Settings(options, log);

    wbem::PluginQueries queries([](const std::vector<std::string>& classes,
                                   QueryObserver& observer) { StandinHost::RunQuery(classes, observer); },
                                [&plugin]() { plugin.Shutdown(); }, options.refreshSeconds, log);
    auto collected =
        std::make_unique<wbem::PluginNamespace>(wbem::SchemaView(kPluginNamespace, StandinHost::GetSchema()), queries);
    wbem::ServerIdentity identity;
    identity.systemName = boost::asio::ip::host_name();
    identity.version = VELKOR_VERSION;
    identity.authenticates = static_cast<bool>(settings.authenticate);
    identity.namespaces = {wbem::kInteropNamespace, kPluginNamespace};
    identity.collectedNamespace = kPluginNamespace;
    identity.centralClasses = {velkor::kFibreChannelControllerClass, velkor::kIScsiControllerClass};
    boost::shared_ptr<const Schema> interopSchema;
    try {
        interopSchema = boost::make_shared<const Schema>(LoadSchemaFolder(interopSchemaFolder));
    } catch (const std::exception& error) {
        throw std::runtime_error("cannot read the interop schema in " + interopSchemaFolder + ": " + error.what());
    }
    wbem::Namespaces namespaces;
    namespaces.Add(std::make_unique<wbem::InteropNamespace>(
                       wbem::SchemaView(wbem::kInteropNamespace, std::move(interopSchema)), identity, *collected),
                   {"interop"});
    namespaces.Add(std::move(collected));

    // The plug-in is called from the query thread only; it has ended its
    // work when Serve returns, before the caller shuts the plug-in down.
    wbem::QueryThread queryThread;
    wbem::CimServiceSettings service;
    service.runOnQueryThread = [&queryThread](std::function<void()> job) { queryThread.Post(std::move(job)); };
    service.onStop = []() { StandinHost::AbortToolRuns(); };
    service.log = log;
    service.metricsClasses = velkor::ServedClasses();
    service.refreshSeconds = options.refreshSeconds;
    wbem::CimService application(namespaces, queries, service);
    wbem::Serve(settings, application, control, listening ? listening : WriteBaseUrl);
    queryThread.Finish();
}

}  // namespace syv
