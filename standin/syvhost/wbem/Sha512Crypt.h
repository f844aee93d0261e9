// SHA-512 crypt, the "$6$" password hashes that `openssl passwd -6` makes,
// the same on every platform.
#ifndef SYVHOST_WBEM_SHA512CRYPT_H
#define SYVHOST_WBEM_SHA512CRYPT_H

#include <string>
#include <string_view>

namespace syv {
namespace wbem {

constexpr unsigned kSha512DefaultRounds = 5000;
constexpr unsigned kSha512MinRounds = 1000;
constexpr unsigned kSha512MaxRounds = 999999999;
constexpr std::size_t kSha512MaxSalt = 16;
constexpr std::size_t kSha512HashChars = 86;

// The characters of a crypt hash's salt and encoded digest.
bool IsCryptCharacter(char c);

// What a "$6$[rounds=N$]SALT[$...]" setting asks for, read as the published
// algorithm reads it: N clamped to 1000..999999999, a "rounds=" that does not
// end in '$' taken as salt, the salt cut at '$' and after 16 characters.
struct Sha512Setting {
    unsigned rounds = kSha512DefaultRounds;
    bool roundsGiven = false;  // echoed in the hash only when given
    std::string salt;
};

// Throws std::invalid_argument when the setting does not start with "$6$".
Sha512Setting ReadSha512Setting(std::string_view setting);

// "$6$[rounds=N$]SALT$HASH" for the password's bytes and the setting (a whole
// stored hash serves as its own setting, as with crypt(3)).
std::string Sha512Crypt(std::string_view password, std::string_view setting);

}  // namespace wbem
}  // namespace syv

#endif
