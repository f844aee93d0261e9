#include "wbem/Credentials.h"

#include "wbem/Sha512Crypt.h"

#include <openssl/crypto.h>

#include <cstdio>
#include <stdexcept>

namespace syv {
namespace wbem {

namespace {

// An unknown user's password is hashed against this salt, at the file's
// highest rounds; the hash part, made of a character no hash holds, never
// matches.
constexpr std::string_view kUnknownUserSalt = "noSuchUser/0123.";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string ByteText(char c) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
    return text;
}

// Why a hash can never verify, or empty when it is a well-formed "$6$" hash
// (the salt, rounds and length that Sha512Crypt echoes unchanged).
std::string HashFault(std::string_view hash) {
    if (hash.empty()) return "the hash is empty";
    if (hash[0] != '$') return "not a hash from openssl passwd -6 (a plain password?)";
    for (std::size_t i = 0; i < hash.size(); ++i) {
        if (IsCryptCharacter(hash[i]) || hash[i] == '$' || hash[i] == '=') continue;
        if ((hash[i] == ' ' || hash[i] == '\t') && hash.find_first_not_of(" \t", i) == std::string_view::npos) {
            return "the hash ends in a blank";
        }
        return "the hash holds the byte " + ByteText(hash[i]) + ", outside the crypt alphabet ./0-9A-Za-z";
    }
    const std::size_t methodEnd = hash.find('$', 1);
    if (methodEnd == std::string_view::npos) return "the hash names no method (\"$6$...\")";
    if (hash.substr(0, methodEnd + 1) != "$6$") {
        return "the hash method " + std::string(hash.substr(0, methodEnd + 1)) +
               " is not verified here; only $6$ (openssl passwd -6) is";
    }
    std::string_view rest = hash.substr(methodEnd + 1);
    if (rest.substr(0, 7) == "rounds=") {
        const std::size_t end = rest.find('$');
        const std::string_view number = rest.substr(7, end == std::string_view::npos ? 0 : end - 7);
        bool valid = !number.empty() && number.size() <= 9 && number[0] != '0';
        for (char c : number) valid = valid && IsDigit(c);
        if (!valid || std::stoul(std::string(number)) < kSha512MinRounds) {
            return "rounds= must be a number from " + std::to_string(kSha512MinRounds) + " to " +
                   std::to_string(kSha512MaxRounds) + " without leading zeros, followed by '$'";
        }
        rest.remove_prefix(end + 1);
    }
    const std::size_t saltEnd = rest.find('$');
    if (saltEnd == std::string_view::npos) return "the hash has no '$' between its salt and its hash part";
    const std::string_view salt = rest.substr(0, saltEnd), digest = rest.substr(saltEnd + 1);
    if (salt.empty() || salt.size() > kSha512MaxSalt) {
        return "the salt has " + std::to_string(salt.size()) + " characters, not 1 to " +
               std::to_string(kSha512MaxSalt);
    }
    for (char c : salt) {
        if (!IsCryptCharacter(c)) return std::string("the salt holds '") + c + "', outside ./0-9A-Za-z";
    }
    if (digest.size() != kSha512HashChars) {
        return "the hash part after the salt has " + std::to_string(digest.size()) + " characters, not " +
               std::to_string(kSha512HashChars);
    }
    for (char c : digest) {
        if (!IsCryptCharacter(c)) return std::string("the hash part holds '") + c + "', outside ./0-9A-Za-z";
    }
    // The last character carries the digest's last two bits only.
    if (std::string_view("./01").find(digest.back()) == std::string_view::npos) {
        return "the hash part ends in a character no SHA-512 crypt hash ends in";
    }
    return "";
}

std::string UserFault(std::string_view user) {
    if (user.empty()) return "the user name is empty";
    for (char c : user) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return "the user name holds the control character " + ByteText(c);
    }
    return "";
}

}  // namespace

Credentials Credentials::Read(const std::string& file) { return Parse(ReadPrivateFile(file), file); }

Credentials Credentials::Parse(std::string_view text, const std::string& name, HashFunction hash) {
    Credentials credentials;
    credentials.hash_ = hash ? std::move(hash) : HashFunction(Sha512Crypt);
    std::map<std::string, int, std::less<>> lines;
    unsigned rounds = kSha512MinRounds;
    int number = 0;
    // Notepad may begin a UTF-8 file with a byte order mark.
    for (std::size_t start = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line[0] == '#') continue;
        const auto fail = [&](const std::string& reason) {
            return std::runtime_error("--credentials " + name + ":" + std::to_string(number) + ": " + reason);
        };
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) throw fail("not \"user:hash\" (no colon)");
        const std::string_view user = line.substr(0, colon), userHash = line.substr(colon + 1);
        std::string fault = UserFault(user);
        if (fault.empty()) fault = HashFault(userHash);
        if (!fault.empty()) throw fail(fault);
        const auto added = lines.emplace(user, number);
        if (!added.second) {
            throw fail("the user of line " + std::to_string(added.first->second) + " is listed again");
        }
        credentials.hashes_.emplace(user, userHash);
        rounds = std::max(rounds, ReadSha512Setting(userHash).rounds);
    }
    if (credentials.hashes_.empty()) {
        throw std::runtime_error("--credentials " + name + ": names no user; add USER:HASH lines with hashes from "
                                 "openssl passwd -6");
    }
    credentials.unknownUser_ = "$6$rounds=" + std::to_string(rounds) + "$" + std::string(kUnknownUserSalt) + "$" +
                               std::string(kSha512HashChars, '*');
    return credentials;
}

bool Credentials::Accepts(std::string_view user, std::string_view password) const {
    if (password.size() >= kMaxPassword) return false;
    const auto found = hashes_.find(user);
    const bool known = found != hashes_.end();
    const std::string& expected = known ? found->second : unknownUser_;
    const std::string computed = hash_(password, expected);
    // Compared in full whatever differs first, so the time tells nothing.
    const bool same = computed.size() == expected.size() &&
                      CRYPTO_memcmp(computed.data(), expected.data(), expected.size()) == 0;
    return same && known;
}

}  // namespace wbem
}  // namespace syv
