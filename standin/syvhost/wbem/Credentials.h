// The users a server accepts, read from a file of "user:hash" lines whose
// hashes are crypt(3) strings as `openssl passwd -6` makes them.
#ifndef SYVHOST_WBEM_CREDENTIALS_H
#define SYVHOST_WBEM_CREDENTIALS_H

#include <map>
#include <string>

namespace syv {
namespace wbem {

class Credentials {
public:
    // Throws std::runtime_error when the file can be read by others than its
    // owner, cannot be read, holds a line that is not "user:$id$...", or when
    // the build cannot verify hashes (Windows).
    static Credentials Read(const std::string& file);

    // True when the password hashes to the user's hash.
    bool Accepts(const std::string& user, const std::string& password) const;

private:
    std::map<std::string, std::string> hashes_;
};

}  // namespace wbem
}  // namespace syv

#endif
