// Written here because no packaged library offers this hash format as an API
// on Windows: Linux's libcrypt exists only there, and OpenSSL exports only the
// SHA-512 digest (its `passwd` command keeps the format to itself). Both
// builds share this one implementation of the published algorithm, over
// OpenSSL's EVP digest API.
#include "wbem/Sha512Crypt.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

namespace syv {
namespace wbem {

namespace {

constexpr char kAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr std::size_t kDigestBytes = 64;
typedef unsigned char Digest[kDigestBytes];

struct MdFree {
    void operator()(EVP_MD* md) const { EVP_MD_free(md); }
};
struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// One SHA-512 digest after another on one context.
class Sha512 {
public:
    Sha512() : md_(EVP_MD_fetch(nullptr, "SHA512", nullptr)), context_(EVP_MD_CTX_new()) {
        if (!md_ || !context_) throw std::runtime_error("OpenSSL offers no SHA-512 digest");
    }
    void Begin() { Check(EVP_DigestInit_ex(context_.get(), md_.get(), nullptr)); }
    void Add(const void* data, std::size_t size) { Check(EVP_DigestUpdate(context_.get(), data, size)); }
    void Add(std::string_view text) { Add(text.data(), text.size()); }
    void End(Digest digest) { Check(EVP_DigestFinal_ex(context_.get(), digest, nullptr)); }

private:
    static void Check(int done) {
        if (done != 1) throw std::runtime_error("OpenSSL's SHA-512 digest failed");
    }
    std::unique_ptr<EVP_MD, MdFree> md_;
    std::unique_ptr<EVP_MD_CTX, MdContextFree> context_;
};

// Bytes that hold a secret are wiped before they are freed.
struct Wiped : std::vector<unsigned char> {
    using std::vector<unsigned char>::vector;
    ~Wiped() {
        if (!empty()) OPENSSL_cleanse(data(), size());
    }
};

// `size` bytes made of the digest repeated.
Wiped Repeated(const Digest digest, std::size_t size) {
    Wiped bytes(size);
    for (std::size_t i = 0; i < size; i += kDigestBytes) {
        std::memcpy(bytes.data() + i, digest, std::min(kDigestBytes, size - i));
    }
    return bytes;
}

void AppendBase64(std::string& out, unsigned char high, unsigned char middle, unsigned char low, int characters) {
    unsigned long bits = (static_cast<unsigned long>(high) << 16) | (static_cast<unsigned long>(middle) << 8) | low;
    for (int i = 0; i < characters; ++i, bits >>= 6) out += kAlphabet[bits & 0x3F];
}

}  // namespace

bool IsCryptCharacter(char c) { return c != '\0' && std::strchr(kAlphabet, c) != nullptr; }

Sha512Setting ReadSha512Setting(std::string_view setting) {
    static constexpr std::string_view kPrefix = "$6$";
    static constexpr std::string_view kRounds = "rounds=";
    if (setting.substr(0, kPrefix.size()) != kPrefix) throw std::invalid_argument("not a SHA-512 crypt setting");
    setting.remove_prefix(kPrefix.size());
    Sha512Setting read;
    if (setting.substr(0, kRounds.size()) == kRounds) {
        std::size_t end = kRounds.size();
        typedef unsigned long long Count;
        Count rounds = 0;
        for (; end < setting.size() && setting[end] >= '0' && setting[end] <= '9'; ++end) {
            rounds = std::min<Count>(rounds * 10 + static_cast<unsigned>(setting[end] - '0'), kSha512MaxRounds + 1ULL);
        }
        if (end > kRounds.size() && end < setting.size() && setting[end] == '$') {
            read.rounds = static_cast<unsigned>(std::clamp<Count>(rounds, kSha512MinRounds, kSha512MaxRounds));
            read.roundsGiven = true;
            setting.remove_prefix(end + 1);
        }
    }
    read.salt = std::string(setting.substr(0, std::min(setting.find('$'), kSha512MaxSalt)));
    return read;
}

std::string Sha512Crypt(std::string_view password, std::string_view setting) {
    const Sha512Setting read = ReadSha512Setting(setting);
    const std::string_view salt = read.salt;
    const std::size_t length = password.size();
    Sha512 sha;
    Digest alternate;
    sha.Begin();
    sha.Add(password);
    sha.Add(salt);
    sha.Add(password);
    sha.End(alternate);

    Digest digest;
    sha.Begin();
    sha.Add(password);
    sha.Add(salt);
    std::size_t left = length;
    for (; left > kDigestBytes; left -= kDigestBytes) sha.Add(alternate, kDigestBytes);
    sha.Add(alternate, left);
    for (left = length; left > 0; left >>= 1) {
        if (left & 1) {
            sha.Add(alternate, kDigestBytes);
        } else {
            sha.Add(password);
        }
    }
    sha.End(digest);

    Digest repeated;
    sha.Begin();
    for (std::size_t i = 0; i < length; ++i) sha.Add(password);
    sha.End(repeated);
    const Wiped passwordBytes = Repeated(repeated, length);

    sha.Begin();
    for (unsigned i = 0; i < 16u + digest[0]; ++i) sha.Add(salt);
    sha.End(repeated);
    const Wiped saltBytes = Repeated(repeated, salt.size());

    for (unsigned round = 0; round < read.rounds; ++round) {
        sha.Begin();
        if (round & 1) {
            sha.Add(passwordBytes.data(), length);
        } else {
            sha.Add(digest, kDigestBytes);
        }
        if (round % 3 != 0) sha.Add(saltBytes.data(), saltBytes.size());
        if (round % 7 != 0) sha.Add(passwordBytes.data(), length);
        if (round & 1) {
            sha.Add(digest, kDigestBytes);
        } else {
            sha.Add(passwordBytes.data(), length);
        }
        sha.End(digest);
    }

    std::string hash = "$6$";
    if (read.roundsGiven) hash += "rounds=" + std::to_string(read.rounds) + "$";
    hash.append(salt.data(), salt.size());
    hash += '$';
    // Each group of three digest bytes, taken in the algorithm's order,
    // becomes four characters, least significant bits first.
    for (int group = 0; group < 21; ++group) {
        const unsigned char a = digest[group], b = digest[group + 21], c = digest[group + 42];
        switch (group % 3) {
            case 0: AppendBase64(hash, a, b, c, 4); break;
            case 1: AppendBase64(hash, b, c, a, 4); break;
            default: AppendBase64(hash, c, a, b, 4); break;
        }
    }
    AppendBase64(hash, 0, 0, digest[63], 2);
    OPENSSL_cleanse(alternate, sizeof alternate);
    OPENSSL_cleanse(digest, sizeof digest);
    OPENSSL_cleanse(repeated, sizeof repeated);
    return hash;
}

}  // namespace wbem
}  // namespace syv
