#include "HostOptions.h"

#include "Platform.h"
#include "plugin/ServedClasses.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <limits>

namespace syv {

namespace {

// An empty value would otherwise stand for the default, which an unset shell
// variable must not select silently.
CLI::Validator NotEmpty() {
    return CLI::Validator(
        [](std::string& value) {
            return value.empty() ? std::string("an empty value is not allowed; leave the option out for the default")
                                 : std::string();
        },
        "");
}

// Decimal digits only, with an optional sign: CLI11's own reading takes a
// leading 0 for octal and says only "not in range" for any bad text. The
// value is handed on without leading zeros, so that the reading sees ten in
// "010".
CLI::Validator WholeNumber(int low, int high) {
    return CLI::Validator(
        [low, high](std::string& value) {
            const bool negative = !value.empty() && value[0] == '-';
            const std::size_t digitsStart = (negative || (!value.empty() && value[0] == '+')) ? 1 : 0;
            std::size_t digitsEnd = digitsStart;
            long long magnitude = 0;
            const long long limit = std::max(std::abs(static_cast<long long>(low)), static_cast<long long>(high));
            for (; digitsEnd < value.size() && value[digitsEnd] >= '0' && value[digitsEnd] <= '9'; ++digitsEnd) {
                magnitude = std::min(magnitude * 10 + (value[digitsEnd] - '0'), limit + 1);
            }
            if (digitsEnd == digitsStart) {
                return "\"" + value + "\" is not a number";
            }
            if (digitsEnd != value.size()) {
                return "\"" + value + "\" is not a whole decimal number";
            }
            const long long number = negative ? -magnitude : magnitude;
            if (number < low || number > high) {
                return value + " is out of the range " + std::to_string(low) + " to " + std::to_string(high);
            }
            value = std::to_string(number);
            return std::string();
        },
        "");
}

// syvhost's modes, each selected by an option (a report by none).
enum Mode : unsigned { kReport = 1u << 0, kServe = 1u << 1, kInstall = 1u << 2, kUninstall = 1u << 3 };

const unsigned kServes = kServe | kInstall;  // an installed service serves with these options
const unsigned kRunsPlugin = kReport | kServes;

// The options that select a mode (at most one), and those that work in some
// modes only: given in another, they would do nothing, which is a usage error.
const struct {
    const char* name;  // as CLI11 names it
    Mode mode;
} kModeSelectors[] = {{"--serve", kServe}, {"--install-service", kInstall}, {"--uninstall-service", kUninstall}};
const struct {
    const char* name;
    unsigned modes;
} kModeOptions[] = {
    {"--format", kReport},       {"--repeat", kReport},        {"--shutdown-between", kReport},
    {"--version", kReport},      {"classes", kReport},         {"--listen", kServes},
    {"--credentials", kServes},  {"--tls-cert", kServes},      {"--tls-key", kServes},
    {"--refresh-seconds", kServes}, {"--service", kServe},     {"--plugin", kRunsPlugin},
    {"--tools", kRunsPlugin},    {"--max-tool-seconds", kRunsPlugin}, {"--log-level", kRunsPlugin},
};

Mode ModeOf(const HostOptions& options) {
    return options.installService ? kInstall : options.uninstallService ? kUninstall : options.serve ? kServe : kReport;
}

std::string ModeName(Mode mode) {
    for (const auto& selector : kModeSelectors) {
        if (selector.mode == mode) return std::string("with ") + selector.name;
    }
    return "without --serve";
}

// The options given that do nothing in the mode, as a list for a message;
// empty when there are none.
std::string OutOfMode(const CLI::App& app, Mode mode) {
    std::string names;
    for (const auto& option : kModeOptions) {
        if ((option.modes & mode) != 0 || app.get_option(option.name)->count() == 0) continue;
        names += names.empty() ? "" : ", ";
        names += std::string(option.name) == "classes" ? "class names" : option.name;
    }
    return names;
}

// What is wrong with the choice of mode; empty when nothing is.
std::string ModeChoiceError(const CLI::App& app) {
    std::string given;
    for (const char* name : {"--install-service", "--uninstall-service", "--service"}) {
        if (!kHasServices && app.get_option(name)->count() > 0) return std::string(name) + " works only in the Windows build";
    }
    for (const auto& selector : kModeSelectors) {
        if (app.get_option(selector.name)->count() == 0) continue;
        if (!given.empty()) return given + " and " + selector.name + " choose different modes; give one";
        given = selector.name;
    }
    return "";
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv) {
    ParsedCommandLine parsed;
    HostOptions& options = parsed.options;

    CLI::App app("Loads the collector plug-in the way the host framework does, runs one query for the named "
                 "classes and prints every instance the plug-in commits.",
                 "syvhost");
    app.add_option("--plugin", options.plugin,
                   "The plug-in library to load. Default: velkor_collector.so (velkor_collector.dll on Windows) "
                   "beside syvhost, else the installed one (../lib/velkor-collector/ from syvhost's folder). "
                   "Example: --plugin build/linux/bin/velkor_collector.so")
        ->type_name("PATH")
        ->check(NotEmpty());
    app.add_option("--tools", options.tools,
                   "The folder that tool paths are resolved against: \"qlogic//scli.exe\" runs "
                   "DIR/qlogic//scli.exe. Default: syvhost's own folder (in the build, the simulated tools), "
                   "installed the plug-in's folder. Example: --tools /mnt/vendor-tools")
        ->type_name("DIR")
        ->check(NotEmpty());
    app.add_option("--format", options.format,
                   "The report: mof, MOF instance declarations; json, one JSON document that also holds every "
                   "tool run, log message and error; openmetrics, the metrics of one query as OpenMetrics text, "
                   "which node_exporter's textfile collector also reads. Default: mof. Example: --format json")
        ->type_name("FORMAT")
        ->check(CLI::IsMember({"mof", "json", "openmetrics"}).description(""));
    app.add_option("--repeat", options.repeat,
                   "Runs the same query N times in one process, every repeat even after one fails. Default: 1. "
                   "Example: --repeat 2")
        ->type_name("N")
        ->transform(WholeNumber(1, std::numeric_limits<int>::max()));
    app.add_flag("--shutdown-between", options.shutdownBetween,
                 "Calls the plug-in's Shutdown between repeats, so that every query collects afresh. "
                 "Example: --repeat 2 --shutdown-between");
    app.add_option("--max-tool-seconds", options.maxToolSeconds,
                   "Caps the timeout that the plug-in asks for when it runs a tool; 0 leaves it as asked. "
                   "Default: 0. Example: --max-tool-seconds 10")
        ->type_name("S")
        ->transform(WholeNumber(0, std::numeric_limits<int>::max()));
    app.add_option("--log-level", options.logLevel,
                   "Writes log messages at or below this level to standard error (1 errors, 2 host warnings, "
                   "3 detail; 0 none). Default: 1. Example: --log-level 3")
        ->type_name("L")
        ->transform(WholeNumber(0, std::numeric_limits<int>::max()));
    app.add_flag("--version", options.version,
                 "Prints syvhost's version and the loaded plug-in's name, version and revision, and exits.");
    app.add_flag("--serve", options.serve,
                 "Serves the plug-in's instances to WBEM clients (CIM-XML over HTTP) until SIGINT or SIGTERM, "
                 "instead of running one query. Prints the base URL as one line once it listens.");
    app.add_flag("--service", options.service,
                 "With --serve, Windows build only: runs under the service control manager, which starts "
                 "syvhost so once --install-service registered it; messages go to syvhost.log beside syvhost.exe.");
    app.add_flag("--install-service", options.installService,
                 "Windows build only: registers syvhost.exe --serve --service with the serve options given (paths "
                 "made absolute) as the service VelkorCollector, started automatically, once the options pass the "
                 "checks of a start. Needs an administrator. Example: --install-service --listen 0.0.0.0:5989 "
                 "--credentials users.txt --tls-cert server.pem --tls-key server.key");
    app.add_flag("--uninstall-service", options.uninstallService,
                 "Windows build only: stops the service VelkorCollector if it runs, and removes it. Needs an "
                 "administrator.");
    app.add_option("--listen", options.listen,
                   "With --serve: the address and port to listen on; port 0 picks a free one. Addresses other "
                   "than loopback need --credentials and TLS. Default: 127.0.0.1:5988. Example: --listen 127.0.0.1:0")
        ->type_name("ADDRESS:PORT")
        ->check(NotEmpty());
    app.add_option("--credentials", options.credentials,
                   "With --serve: every request must carry HTTP Basic credentials of a user of FILE, whose lines "
                   "are USER:HASH with hashes made by openssl passwd -6; the file must be readable by its owner "
                   "only. Example: --credentials /etc/syvhost/users")
        ->type_name("FILE")
        ->check(NotEmpty());
    CLI::Option* certificate =
        app.add_option("--tls-cert", options.tlsCertificate,
                       "With --serve: serves HTTPS with this PEM certificate chain (with --tls-key). Example: "
                       "--tls-cert server.pem")
            ->type_name("FILE")
            ->check(NotEmpty());
    app.add_option("--tls-key", options.tlsKey,
                   "With --serve and --tls-cert: the certificate's PEM private key. Example: --tls-key server.key")
        ->type_name("FILE")
        ->check(NotEmpty())
        ->needs(certificate);
    certificate->needs("--tls-key");
    app.add_option("--refresh-seconds", options.refreshSeconds,
                   "With --serve: a request more than S seconds after the last collection first calls the "
                   "plug-in's Shutdown, so that it collects afresh. Default: collect once. Example: --refresh-seconds 300")
        ->type_name("S")
        ->transform(WholeNumber(0, std::numeric_limits<int>::max()));
    app.add_option("classes", options.classes,
                   "The classes of the query, in order, passed on exactly as typed. Default: all twelve classes "
                   "the plug-in serves. Example: ORNSG_QLogicFibreChannelSCSIProtocolController")
        ->type_name("CLASS");
    app.footer(
        "Exit status: 0 when every query succeeded, 1 when a query ended with an error (the report is still "
        "printed whole), 2 for a usage error, a plug-in that cannot be loaded or does not register, or standard "
        "output that cannot be written (a full disk, a closed pipe).\n\n"
        "Examples:\n"
        "  syvhost\n"
        "  syvhost --format json ORNSG_QLogicIScsiSCSIProtocolController\n"
        "  syvhost --tools /mnt/vendor-tools --max-tool-seconds 60\n"
        "  syvhost --serve --listen 127.0.0.1:0\n"
        "  syvhost.exe --install-service --tools D:\\vendor-tools\n");

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
    const std::string modeChoice = ModeChoiceError(app);
    if (!modeChoice.empty()) {
        std::cerr << "syvhost: " << modeChoice << " (see syvhost --help)\n";
        parsed.exitStatus = 2;
        return parsed;
    }
    const std::string outOfMode = OutOfMode(app, ModeOf(options));
    if (!outOfMode.empty()) {
        std::cerr << "syvhost: options that do nothing " << ModeName(ModeOf(options)) << ": " << outOfMode
                  << " (see syvhost --help)\n";
        parsed.exitStatus = 2;
        return parsed;
    }
    if (options.format == "openmetrics" && options.repeat != 1) {
        std::cerr << "syvhost: --format openmetrics reports one query; --repeat must be 1 (see syvhost --help)\n";
        parsed.exitStatus = 2;
        return parsed;
    }
    if (options.classes.empty()) {
        options.classes = velkor::ServedClasses();
    }
    parsed.run = true;
    return parsed;
}

}  // namespace syv
