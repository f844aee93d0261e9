// The server's TLS settings, made once at start from PEM files.
#ifndef SYVHOST_WBEM_TLSCONTEXT_H
#define SYVHOST_WBEM_TLSCONTEXT_H

#include "wbem/HttpServer.h"

#include <memory>
#include <string>

namespace syv {
namespace wbem {

// A server context for TLS 1.2 and later with the certificate (and the chain
// that follows it in the file) and its unencrypted private key. Throws
// std::runtime_error naming the file and the cause: a file that cannot be
// read, holds no PEM certificate or key, an encrypted key (never asked for on
// the terminal), a key that does not match the certificate. A certificate
// that has expired or is not yet valid is only warned of, at level 1.
std::shared_ptr<boost::asio::ssl::context> MakeServerTlsContext(const std::string& certificateFile,
                                                                const std::string& keyFile, const LogFunction& warn);

}  // namespace wbem
}  // namespace syv

#endif
