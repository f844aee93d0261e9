#include "HostOptions.h"

#include "plugin/Constants.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <limits>

namespace syv {

const std::vector<std::string>& DefaultClasses() {
    static const std::vector<std::string> classes{
        velkor::kFibreChannelRawDataClass,        velkor::kFibreChannelFirmwareElementClass,
        velkor::kFibreChannelBiosElementClass,    velkor::kFibreChannelControllerFirmwareClass,
        velkor::kFibreChannelControllerBiosClass, velkor::kFibreChannelControllerClass,
        velkor::kIScsiRawDataClass,               velkor::kIScsiFirmwareElementClass,
        velkor::kIScsiBiosElementClass,           velkor::kIScsiControllerFirmwareClass,
        velkor::kIScsiControllerBiosClass,        velkor::kIScsiControllerClass,
    };
    return classes;
}

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
    ParsedCommandLine parsed;
    HostOptions& options = parsed.options;

    CLI::App app("Loads the collector plug-in the way the host framework does, runs one query for the named "
                 "classes and prints every instance the plug-in commits.",
                 "syvhost");
    app.add_option("--plugin", options.plugin,
                   "The plug-in library to load. Default: velkor_collector.so (velkor_collector.dll on Windows) "
                   "beside syvhost. Example: --plugin build/linux/bin/velkor_collector.so")
        ->type_name("PATH");
    app.add_option("--tools", options.tools,
                   "The folder that tool paths are resolved against: \"qlogic//scli.exe\" runs "
                   "DIR/qlogic//scli.exe. Default: syvhost's own folder, which holds the simulated tools. "
                   "Example: --tools /mnt/vendor-tools")
        ->type_name("DIR");
    app.add_option("--format", options.format,
                   "The report: MOF instance declarations, or one JSON document that also holds every tool run, "
                   "log message and error. Default: mof. Example: --format json")
        ->type_name("mof|json")
        ->check(CLI::IsMember({"mof", "json"}).description(""));
    app.add_option("--repeat", options.repeat,
                   "Runs the same query N times in one process, every repeat even after one fails. Default: 1. "
                   "Example: --repeat 2")
        ->type_name("N")
        ->check(CLI::Range(1, std::numeric_limits<int>::max()).description(""));
    app.add_flag("--shutdown-between", options.shutdownBetween,
                 "Calls the plug-in's Shutdown between repeats, so that every query collects afresh. "
                 "Example: --repeat 2 --shutdown-between");
    app.add_option("--max-tool-seconds", options.maxToolSeconds,
                   "Caps the timeout that the plug-in asks for when it runs a tool; 0 leaves it as asked. "
                   "Default: 0. Example: --max-tool-seconds 10")
        ->type_name("S")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()).description(""));
    app.add_option("--log-level", options.logLevel,
                   "Writes log messages at or below this level to standard error (1 errors, 2 host warnings, "
                   "3 detail; 0 none). Default: 1. Example: --log-level 3")
        ->type_name("L")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()).description(""));
    app.add_flag("--serve", options.serve,
                 "Serves the plug-in's instances to WBEM clients (CIM-XML over HTTP) until SIGINT or SIGTERM, "
                 "instead of running one query. Prints the base URL as one line once it listens.");
    app.add_option("--listen", options.listen,
                   "With --serve: the address and port to listen on; port 0 picks a free one. Addresses other "
                   "than loopback need --credentials and TLS. Default: 127.0.0.1:5988. Example: --listen 127.0.0.1:0")
        ->type_name("ADDRESS:PORT");
    app.add_option("--credentials", options.credentials,
                   "With --serve: every request must carry HTTP Basic credentials of a user of FILE, whose lines "
                   "are USER:HASH with hashes made by openssl passwd -6; the file must be readable by its owner "
                   "only. Linux build only. Example: --credentials /etc/syvhost/users")
        ->type_name("FILE");
    CLI::Option* certificate =
        app.add_option("--tls-cert", options.tlsCertificate,
                       "With --serve: serves HTTPS with this PEM certificate chain (with --tls-key). Linux build "
                       "only. Example: --tls-cert server.pem")
            ->type_name("FILE");
    app.add_option("--tls-key", options.tlsKey,
                   "With --serve and --tls-cert: the certificate's PEM private key. Example: --tls-key server.key")
        ->type_name("FILE")
        ->needs(certificate);
    certificate->needs("--tls-key");
    app.add_option("--refresh-seconds", options.refreshSeconds,
                   "With --serve: a request more than S seconds after the last collection first calls the "
                   "plug-in's Shutdown, so that it collects afresh. Default: collect once. Example: --refresh-seconds 300")
        ->type_name("S")
        ->check(CLI::Range(0, std::numeric_limits<int>::max()).description(""));
    app.add_option("classes", options.classes,
                   "The classes of the query, in order, passed on exactly as typed. Default: all twelve classes "
                   "the plug-in serves. Example: ORNSG_QLogicFibreChannelSCSIProtocolController")
        ->type_name("CLASS");
    app.footer(
        "Exit status: 0 when every query succeeded, 1 when a query ended with an error (the report is still "
        "printed whole), 2 for a usage error or a plug-in that cannot be loaded or does not register.\n\n"
        "Examples:\n"
        "  syvhost\n"
        "  syvhost --format json ORNSG_QLogicIScsiSCSIProtocolController\n"
        "  syvhost --tools /mnt/vendor-tools --max-tool-seconds 60\n"
        "  syvhost --serve --listen 127.0.0.1:0\n");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return parsed;
    } catch (const CLI::ParseError& error) {
        std::string message = error.what();
        for (char& c : message) {
            c = (c == '\n' || c == '\r') ? ' ' : c;
        }
        std::cerr << "syvhost: " << message << " (see syvhost --help)\n";
        parsed.exitStatus = 2;
        return parsed;
    }
    if (options.classes.empty()) {
        options.classes = DefaultClasses();
    }
    parsed.run = true;
    return parsed;
}

}  // namespace syv
