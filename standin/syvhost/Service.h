// syvhost as a Windows service: registering it, removing it, and running
// under the service control manager. ServiceWindows.cpp holds the code; in
// other builds (ServicePosix.cpp) every call throws, since the options that
// lead here are refused there.
#ifndef SYVHOST_SERVICE_H
#define SYVHOST_SERVICE_H

#include "wbem/HttpServer.h"

#include <functional>
#include <string>
#include <vector>

namespace syv {

extern const char* const kServiceName;  // "VelkorCollector"

// The service-specific exit codes of a service that stopped on a failure
// (sc query shows them as SERVICE_EXIT_CODE; WIN32_EXIT_CODE is then 1066).
enum ServiceExitCode {
    kServiceCannotLoad = 1,    // the plug-in or the class schema cannot be loaded
    kServiceCannotServe = 2,   // the server refused its options or cannot listen
    kServiceCannotUnload = 3,  // the plug-in failed to shut down
    kServiceCannotLog = 4,     // the log file cannot be written
};

// What the service runs fails with this; the message goes to the log.
struct ServiceFailure {
    int code;
    std::string message;
};

// The log file of the service: syvhost.log beside syvhost.exe.
std::string ServiceLogPath();

// Registers the service, started automatically, to run this program with
// these arguments. Returns the line that says what was done; throws
// std::runtime_error with the line that says why it could not.
std::string InstallService(const std::vector<std::string>& arguments);

// Stops the service when it runs, and removes it. Returns and throws as
// InstallService does.
std::string UninstallService();

// What the service does: serves until control stops it, calling
// listening(baseUrl) once it accepts connections; throws ServiceFailure.
typedef std::function<void(wbem::StopControl& control, const std::function<void(const std::string&)>& listening)>
    ServiceBody;

// Runs body as the service for the service control manager, with standard
// error going to the log file, and returns once it stopped. Throws
// std::runtime_error when the process was not started by that manager.
void RunAsService(const ServiceBody& body);

}  // namespace syv

#endif
