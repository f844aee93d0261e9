// The server's TLS files: each mistake an operator can make is named with its
// file at start, and an encrypted key never makes the server wait for a
// password (the test would hang, and its time limit fail it).
#include "TestEnvironment.h"
#include "wbem/TlsContext.h"

#include <boost/asio/ssl/context.hpp>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// What `write` puts into a memory BIO.
template <typename Write>
std::string Pem(Write write) {
    BIO* bio = BIO_new(BIO_s_mem());
    write(bio);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string text(data, static_cast<std::size_t>(size));
    BIO_free(bio);
    return text;
}

// A self-signed certificate valid from `fromDays` to `toDays` days from now.
std::string CertificatePem(EVP_PKEY* key, long fromDays, long toDays) {
    const std::unique_ptr<X509, void (*)(X509*)> certificate(X509_new(), X509_free);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), fromDays * 86400);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), toDays * 86400);
    X509_set_pubkey(certificate.get(), key);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(certificate.get()), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate.get(), X509_get_subject_name(certificate.get()));
    X509_sign(certificate.get(), key, EVP_sha256());
    return Pem([&](BIO* bio) { PEM_write_bio_X509(bio, certificate.get()); });
}

TEST(TlsContext, NamesEachFaultOfTheFiles) {
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256")), other(EVP_EC_gen("P-256"));
    ASSERT_TRUE(key && other);
    const std::string certificate = CertificatePem(key.get(), -1, 30);
    const std::string keyPem = Pem([&](BIO* b) { PEM_write_bio_PrivateKey(b, key.get(), nullptr, nullptr, 0, 0, 0); });
    unsigned char password[] = "password";
    const std::string encryptedKey = Pem(
        [&](BIO* bio) { PEM_write_bio_PrivateKey(bio, key.get(), EVP_aes_256_cbc(), password, 8, nullptr, nullptr); });
    testsupport::ScratchFolder folder("tls");
    const struct {
        std::string certificate, key;
        bool made;
        std::string text;  // the warning when made, else the error
    } cases[] = {
        {certificate, keyPem, true, ""},
        {certificate + CertificatePem(other.get(), -1, 30), keyPem + certificate, true, ""},  // a chain; one file
        {CertificatePem(key.get(), -30, -2), keyPem, true, "DIR/cert.pem expired on 20"},
        {CertificatePem(key.get(), 2, 30), keyPem, true, "DIR/cert.pem is not valid before 20"},
        {certificate, encryptedKey, false,
         "the TLS key DIR/key.pem is encrypted; give an unencrypted key (openssl pkey -in DIR/key.pem -out NEW)"},
        {certificate, Pem([&](BIO* bio) { PEM_write_bio_PrivateKey(bio, other.get(), nullptr, nullptr, 0, 0, 0); }),
         false, "the key DIR/key.pem does not match the certificate DIR/cert.pem"},
        {keyPem, keyPem, false, "DIR/cert.pem holds no PEM certificate"},
        {certificate, certificate, false, "DIR/key.pem holds no PEM private key"},
        {"-----BEGIN CERTIFICATE-----\nnot base64!\n-----END CERTIFICATE-----\n", keyPem, false,
         "cannot read the TLS certificate DIR/cert.pem: "},
        {certificate, "", false, "cannot read the TLS key DIR/missing.pem: No such file"},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        for (std::size_t at; (at = text.find("DIR")) != std::string::npos;) text.replace(at, 3, folder.Path());
        testsupport::WriteFile(folder.File("cert.pem"), c.certificate);
        testsupport::WriteFile(folder.File("key.pem"), c.key);
        std::vector<std::string> warnings;
        const auto warn = [&](int level, const std::string& line) { warnings.push_back(std::to_string(level) + line); };
        try {
            const auto tls = syv::wbem::MakeServerTlsContext(
                folder.File("cert.pem"), folder.File(c.key.empty() ? "missing.pem" : "key.pem"), warn);
            STACK_OF(X509)* chain = nullptr;
            SSL_CTX_get0_chain_certs(tls->native_handle(), &chain);
            int chained = -1;  // the certificates after the first
            for (std::size_t at = 0; (at = c.certificate.find("BEGIN CERT", at)) != std::string::npos; ++at) ++chained;
            EXPECT_EQ(chain ? sk_X509_num(chain) : 0, chained);
            EXPECT_TRUE(c.made) << text;
            ASSERT_EQ(warnings.size(), c.text.empty() ? 0u : 1u) << text;
            for (const std::string& line : warnings) EXPECT_EQ(line.find("1the TLS certificate " + text), 0u) << line;
        } catch (const std::runtime_error& error) {
            EXPECT_FALSE(c.made) << error.what();
            EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << error.what();
        }
        EXPECT_EQ(ERR_peek_error(), 0u) << text;  // no stale error for the next TLS call
    }
}

}  // namespace
