// The network side of the WBEM server: HTTP connections accepted and read
// concurrently on one thread, every request handled in turn on another, so
// that the plug-in is never called concurrently.
#ifndef SYVHOST_WBEM_WBEMSERVER_H
#define SYVHOST_WBEM_WBEMSERVER_H

#include "WbemHandler.h"

#include <cstddef>
#include <functional>
#include <string>

namespace syv {
namespace wbem {

struct LegacyLimits {
    std::size_t maxBodyBytes = 1024 * 1024;  // 413 beyond
    int readSeconds = 30;    // a request must arrive whole within this; idle connections are closed after it
    std::size_t maxConnections = 64;  // further connections get 503
};

// PEM files of the server's certificate chain and private key; empty: plain
// HTTP. Builds without TLS refuse them.
struct TlsFiles {
    std::string certificate;
    std::string key;
};

// The answer a connection gets for these bytes when they are its whole
// request: the server's own HTTP reading and limits, without a socket.
HttpAnswer AnswerBytes(const WbemHandler& handler, const std::string& bytes, const LegacyLimits& limits);


// Listens, writes the base URL as one line to standard output, then serves
// until SIGINT or SIGTERM (Ctrl+C or Ctrl+Break on Windows). Returns once the
// request in progress is answered. log(level, text) reports refused requests.
// Throws std::runtime_error when it cannot listen.
void Serve(const std::string& address, unsigned short port, const LegacyLimits& limits, const TlsFiles& tls,
           const WbemHandler& handler, const std::function<void(int, const std::string&)>& log);

}  // namespace wbem
}  // namespace syv

#endif
