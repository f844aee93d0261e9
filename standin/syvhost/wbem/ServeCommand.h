// syvhost --serve: the WBEM server over the loaded plug-in.
#ifndef SYVHOST_WBEM_SERVECOMMAND_H
#define SYVHOST_WBEM_SERVECOMMAND_H

#include "HostOptions.h"
#include "host/Host.h"

#include <string>

namespace syv {

// Serves until SIGINT or SIGTERM. The caller then shuts the plug-in down.
// Throws std::runtime_error for an address it must not or cannot listen on.
// interopSchemaFolder: the classes of the server's self-description.
void ServeWbem(const HostOptions& options, NORNSYV20::IPluginCallbacks& plugin, const std::string& interopSchemaFolder);

}  // namespace syv

#endif
