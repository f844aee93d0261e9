#include "wbem/Credentials.h"

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

#ifndef _WIN32
#include <crypt.h>
#endif

namespace syv {
namespace wbem {

Credentials Credentials::Read(const std::string& file) {
#ifdef _WIN32
    throw std::runtime_error("--credentials " + file + ": this build cannot verify password hashes; serve the "
                             "loopback address without credentials");
#else
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::perms perms = fs::status(file, error).permissions();
    if (error) throw std::runtime_error("--credentials: cannot read " + file + ": " + error.message());
    if ((perms & (fs::perms::group_read | fs::perms::others_read | fs::perms::group_write | fs::perms::others_write)) !=
        fs::perms::none) {
        throw std::runtime_error("--credentials: " + file + " may be read or written by others than its owner (chmod 600 it)");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("--credentials: cannot open " + file);
    Credentials credentials;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::size_t colon = line.find(':');
        // A crypt(3) hash names its method: "$6$salt$hash". Anything else may
        // be a plain password, which is refused rather than compared.
        if (colon == 0 || colon == std::string::npos || line.compare(colon + 1, 1, "$") != 0) {
            throw std::runtime_error("--credentials: " + file + ":" + std::to_string(number) +
                                     ": not \"user:hash\" with a hash from openssl passwd -6");
        }
        credentials.hashes_[line.substr(0, colon)] = line.substr(colon + 1);
    }
    if (in.bad()) throw std::runtime_error("--credentials: cannot read " + file);
    if (credentials.hashes_.empty()) throw std::runtime_error("--credentials: " + file + " names no user");
    return credentials;
#endif
}

bool Credentials::Accepts(const std::string& user, const std::string& password) const {
    const auto found = hashes_.find(user);
    if (found == hashes_.end()) return false;
#ifdef _WIN32
    (void)password;
    return false;
#else
    auto data = std::make_unique<crypt_data>();
    const char* hash = crypt_r(password.c_str(), found->second.c_str(), data.get());
    if (!hash || hash[0] == '*') return false;  // libcrypt's failure tokens start with '*'
    // Compared in full whatever differs first, so the time tells nothing.
    const std::string& expected = found->second;
    const std::string computed(hash);
    unsigned char difference = computed.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < computed.size() && i < expected.size(); ++i) {
        difference |= static_cast<unsigned char>(computed[i] ^ expected[i]);
    }
    return difference == 0;
#endif
}

}  // namespace wbem
}  // namespace syv
