// The users a server accepts, read from a file of "user:hash" lines whose
// hashes are SHA-512 crypt strings as `openssl passwd -6` makes them.
#ifndef SYVHOST_WBEM_CREDENTIALS_H
#define SYVHOST_WBEM_CREDENTIALS_H

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace syv {
namespace wbem {

class Credentials {
public:
    // Computes a "$6$" hash of a password for a setting (Sha512Crypt).
    typedef std::function<std::string(std::string_view password, std::string_view setting)> HashFunction;

    // Passwords this long or longer are refused without hashing: the work of
    // a hash grows with the password, and Linux's libcrypt refuses them too.
    static constexpr std::size_t kMaxPassword = 512;

    // Throws std::runtime_error naming the file (and the line, where there is
    // one) when the file could never serve: it is missing, no regular file,
    // readable or writable by others than its owner (and SYSTEM and
    // Administrators on Windows), names no user, or holds a line that is
    // neither blank, nor a comment ('#'), nor "user:hash" with a user named
    // once and a well-formed "$6$" hash.
    static Credentials Read(const std::string& file);

    // The same checks on a file's text; `name` is the file named in messages.
    static Credentials Parse(std::string_view text, const std::string& name, HashFunction hash = {});

    // True when the password hashes to the user's hash. An unknown user costs
    // a hash of the file's highest rounds, so the time tells no user names.
    bool Accepts(std::string_view user, std::string_view password) const;

private:
    std::map<std::string, std::string, std::less<>> hashes_;
    std::string unknownUser_;  // what an unknown user's password is hashed against
    HashFunction hash_;
};

// The bytes of a credentials file, read only when it is a regular file that
// no one but its owner may read or write (platform code); throws
// std::runtime_error naming the file.
std::string ReadPrivateFile(const std::string& file);

#ifdef _WIN32
// Who besides a file's owner, SYSTEM and Administrators may read or write it,
// by its SECURITY_DESCRIPTOR (an allowing entry of its access control list
// for anyone else, or no list at all); empty when no one.
std::string OthersWithAccess(const void* securityDescriptor);
#endif

}  // namespace wbem
}  // namespace syv

#endif
