// The server's TLS files: each mistake an operator can make is named with its
// file at start, and an encrypted key never makes the server wait for a
// password (the test would hang, and its time limit fail it).
#include "ErrorOf.h"
#include "TestEnvironment.h"
#include "wbem/TlsContext.h"

#include <boost/asio/ssl/context.hpp>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> Key;

// What `write` puts into a memory BIO.
template <typename Write>
std::string Pem(Write write) {
    const std::unique_ptr<BIO, int (*)(BIO*)> bio(BIO_new(BIO_s_mem()), BIO_free);
    write(bio.get());
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

std::string KeyPem(const Key& key, const EVP_CIPHER* cipher = nullptr) {
    unsigned char password[] = "password";
    return Pem([&](BIO* bio) { PEM_write_bio_PrivateKey(bio, key.get(), cipher, password, 8, nullptr, nullptr); });
}

// A self-signed certificate valid from `fromDays` to `toDays` days from now.
std::string CertificatePem(const Key& key, long fromDays, long toDays) {
    const std::unique_ptr<X509, void (*)(X509*)> certificate(X509_new(), X509_free);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), fromDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), toDays * 86400);
    X509_set_pubkey(certificate.get(), key.get());
    X509_sign(certificate.get(), key.get(), EVP_sha256());
    return Pem([&](BIO* bio) { PEM_write_bio_X509(bio, certificate.get()); });
}

TEST(TlsContext, NamesEachFaultOfTheFiles) {
    const Key key(EVP_EC_gen("P-256"), EVP_PKEY_free), other(EVP_EC_gen("P-256"), EVP_PKEY_free);
    const std::string certificate = CertificatePem(key, -1, 30), keyPem = KeyPem(key);
    const std::string chained = certificate + CertificatePem(other, -1, 30);
    testsupport::ScratchFolder folder("tls");
    const std::string cert = folder.File("cert.pem"), pem = folder.File("key.pem"), none = folder.File("none.pem");
    const struct { std::string certificate, key, error, warning; } cases[] = {
        {certificate, keyPem, "", ""},
        {chained, keyPem + certificate, "", ""},  // a chain; one file for both
        {CertificatePem(key, -30, -2), keyPem, "", cert + " expired on 20"},
        {CertificatePem(key, 2, 30), keyPem, "", cert + " is not valid before 20"},
        {certificate, KeyPem(key, EVP_aes_256_cbc()),
         "the TLS key " + pem + " is encrypted; give an unencrypted key (openssl pkey -in " + pem + " -out NEW)", ""},
        {certificate, KeyPem(other), "the key " + pem + " does not match the certificate " + cert, ""},
        {keyPem, keyPem, cert + " holds no PEM certificate", ""},
        {certificate, certificate, pem + " holds no PEM private key", ""},
        {"-----BEGIN CERTIFICATE-----\nnot base64!\n-----END CERTIFICATE-----\n", keyPem,
         "cannot read the TLS certificate " + cert + ": ", ""},
        {certificate, "", "cannot read the TLS key " + none + ": No such file", ""},
    };
    for (const auto& c : cases) {
        testsupport::WriteFile(cert, c.certificate);
        testsupport::WriteFile(pem, c.key);
        std::vector<std::string> warnings;
        std::shared_ptr<boost::asio::ssl::context> tls;
        const auto warn = [&](int level, const std::string& line) { warnings.push_back(std::to_string(level) + line); };
        const std::string made =
            ErrorOf([&] { tls = syv::wbem::MakeServerTlsContext(cert, c.key.empty() ? none : pem, warn); });
        EXPECT_EQ(made.empty(), c.error.empty()) << made;
        EXPECT_NE(made.find(c.error), std::string::npos) << made;
        EXPECT_EQ(warnings.size(), c.warning.empty() ? 0u : 1u);
        for (const std::string& line : warnings) EXPECT_EQ(line.find("1the TLS certificate " + c.warning), 0u) << line;
        STACK_OF(X509)* chain = nullptr;
        if (tls) SSL_CTX_get0_chain_certs(tls->native_handle(), &chain);
        EXPECT_EQ(chain ? sk_X509_num(chain) : 0, c.certificate == chained ? 1 : 0);
        EXPECT_EQ(ERR_peek_error(), 0u) << made;  // no stale error for the next TLS call
    }
}

}  // namespace
