// Services are a Windows matter: the options that lead here are refused
// elsewhere (Platform.h's kHasServices), so these are never reached.
#include "Service.h"

#include <stdexcept>

namespace syv {

namespace {

std::logic_error NoServices() { return std::logic_error("services exist only in the Windows build"); }

}  // namespace

const char* const kServiceName = "VelkorCollector";

std::string ServiceLogPath() { throw NoServices(); }
std::string InstallService(const std::vector<std::string>&) { throw NoServices(); }
std::string UninstallService() { throw NoServices(); }
void RunAsService(const ServiceBody&) { throw NoServices(); }

}  // namespace syv
