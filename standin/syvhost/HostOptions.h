// syvhost's command line.
#ifndef SYVHOST_HOSTOPTIONS_H
#define SYVHOST_HOSTOPTIONS_H

#include <string>
#include <vector>

namespace syv {

struct HostOptions {
    std::string plugin;                // empty: the layout's plug-in (HostLayout.h)
    std::string tools;                 // empty: the layout's tools folder
    std::string format = "mof";        // "mof", "json" or "openmetrics"
    int repeat = 1;
    bool shutdownBetween = false;
    int maxToolSeconds = 0;            // 0: the plug-in's timeouts stand
    int logLevel = 1;
    bool version = false;              // print the versions instead of querying
    std::vector<std::string> classes;  // empty: every served class
    bool serve = false;                // serve over WBEM instead of running one query
    std::string listen = "127.0.0.1:5988";
    int refreshSeconds = -1;           // -1: collect once per server lifetime
    std::string credentials;           // empty: no authentication
    std::string tlsCertificate;        // both empty: plain HTTP
    std::string tlsKey;
    bool service = false;              // with serve: run under the service control manager (Windows)
    bool installService = false;       // register the server as a service (Windows)
    bool uninstallService = false;     // remove that service (Windows)
};

// The parse's outcome: run with the options, or end at once with the exit
// status, after the text has been written (help to standard output, a usage
// error as one line to standard error).
struct ParsedCommandLine {
    bool run = false;
    int exitStatus = 0;
    HostOptions options;
};

ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace syv

#endif
