// syvhost --serve: the WBEM server over the loaded plug-in.
#ifndef SYVHOST_WBEM_SERVECOMMAND_H
#define SYVHOST_WBEM_SERVECOMMAND_H

#include "HostOptions.h"
#include "host/Host.h"
#include "wbem/HttpServer.h"

#include <functional>
#include <string>

namespace syv {

// Serves until SIGINT or SIGTERM, or control.RequestStop(); the caller then
// shuts the plug-in down. interopSchemaFolder holds the classes of the
// server's self-description. listening(baseUrl) is called once connections
// are accepted; without it the URL is written as one line to standard
// output. Throws std::runtime_error for settings it refuses or an address
// it cannot listen on.
void ServeWbem(const HostOptions& options, NORNSYV20::IPluginCallbacks& plugin, const std::string& interopSchemaFolder,
               wbem::StopControl& control, const std::function<void(const std::string&)>& listening = {});

// Checks the options as ServeWbem does before it listens (the address, the
// credentials file, the TLS files), for a service that is about to be
// installed; throws std::runtime_error as ServeWbem does.
void CheckServeOptions(const HostOptions& options);

}  // namespace syv

#endif
