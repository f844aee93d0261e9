#include "wbem/BasicAuth.h"

#include <cstring>
#include <utility>

namespace syv {
namespace wbem {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    const char* found = c == '\0' ? nullptr : std::strchr(kBase64, c);
    return found ? static_cast<int>(found - kBase64) : -1;
}

// The canonical base64 of RFC 4648 only: whole groups of four, padding only
// at the end and only where needed, and padding bits zero, so that one text
// has one encoding. Unpadded input is refused: RFC 7617 sends the padded
// encoding, and every client pads.
std::optional<std::string> DecodeBase64(std::string_view text) {
    if (text.empty() || text.size() % 4 != 0) return std::nullopt;
    const std::size_t padding = text.size() - std::min(text.find_last_not_of('=') + 1, text.size());
    if (padding > 2) return std::nullopt;
    std::string decoded;
    unsigned long bits = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<unsigned long>(value);
        if (i % 4 == 3) {
            decoded += static_cast<char>((bits >> 16) & 0xFF);
            decoded += static_cast<char>((bits >> 8) & 0xFF);
            decoded += static_cast<char>(bits & 0xFF);
            bits = 0;
        }
    }
    if (padding == 2) {  // two characters: 12 bits for one byte
        if (bits & 0xF) return std::nullopt;
        decoded += static_cast<char>((bits >> 4) & 0xFF);
    } else if (padding == 1) {  // three characters: 18 bits for two bytes
        if (bits & 0x3) return std::nullopt;
        decoded += static_cast<char>((bits >> 10) & 0xFF);
        decoded += static_cast<char>((bits >> 2) & 0xFF);
    }
    return decoded;
}

bool IsBasicScheme(std::string_view scheme) {
    static constexpr std::string_view kBasic = "basic";
    if (scheme.size() != kBasic.size()) return false;
    for (std::size_t i = 0; i < kBasic.size(); ++i) {
        const char c = scheme[i] >= 'A' && scheme[i] <= 'Z' ? static_cast<char>(scheme[i] - 'A' + 'a') : scheme[i];
        if (c != kBasic[i]) return false;
    }
    return true;
}

}  // namespace

std::optional<BasicCredentials> DecodeBasic(std::string_view authorization) {
    const std::size_t space = authorization.find(' ');
    if (space == std::string_view::npos || !IsBasicScheme(authorization.substr(0, space))) return std::nullopt;
    const std::size_t start = authorization.find_first_not_of(' ', space);
    if (start == std::string_view::npos) return std::nullopt;
    const std::optional<std::string> decoded = DecodeBase64(authorization.substr(start));
    if (!decoded || decoded->find('\0') != std::string::npos) return std::nullopt;
    const std::size_t colon = decoded->find(':');
    if (colon == std::string::npos) return std::nullopt;
    return BasicCredentials{decoded->substr(0, colon), decoded->substr(colon + 1)};
}

Authenticator MakeAuthenticator(std::shared_ptr<const Credentials> credentials) {
    return [credentials = std::move(credentials)](std::string_view authorization) {
        AuthOutcome outcome;
        if (const std::optional<BasicCredentials> given = DecodeBasic(authorization)) {
            outcome.accepted = credentials->Accepts(given->user, given->password);
            outcome.user = given->user;
        }
        return outcome;
    };
}

}  // namespace wbem
}  // namespace syv
