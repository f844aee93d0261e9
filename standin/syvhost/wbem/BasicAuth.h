// HTTP Basic authentication (RFC 7617), read strictly.
#ifndef SYVHOST_WBEM_BASICAUTH_H
#define SYVHOST_WBEM_BASICAUTH_H

#include "wbem/Credentials.h"
#include "wbem/HttpServer.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace syv {
namespace wbem {

struct BasicCredentials {
    std::string user;
    std::string password;
};

// "Basic BASE64(user:password)" (the scheme in any letter case) into its
// parts; nothing when the value is not exactly that: another scheme, base64
// that is not the canonical padded encoding of RFC 4648, a decoded text
// without a colon, or a NUL byte in the user or the password.
std::optional<BasicCredentials> DecodeBasic(std::string_view authorization);

// Accepts the requests whose Basic credentials the file's users pass; the
// outcome names the user as the client gave it.
Authenticator MakeAuthenticator(std::shared_ptr<const Credentials> credentials);

}  // namespace wbem
}  // namespace syv

#endif
