#include "tests/support/TestCertificates.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

#include "tests/support/TempDir.h"

namespace w20::test {
namespace {

struct Free {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    void operator()(X509* certificate) const { X509_free(certificate); }
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
    void operator()(BIGNUM* number) const { BN_free(number); }
    void operator()(BIO* bio) const { BIO_free(bio); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

[[noreturn]] void Fail(const std::string& step) {
    char text[256] = "no detail";
    if (const unsigned long code = ERR_get_error(); code != 0)
        ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    throw std::runtime_error("test certificates: " + step + ": " + text);
}

void Check(bool ok, const std::string& step) {
    if (!ok)
        Fail(step);
}

constexpr long Day = 24 * 60 * 60;

Owned<EVP_PKEY> NewKey(TestKeyKind kind) {
    Owned<EVP_PKEY> key(kind == TestKeyKind::EcP256
                            ? EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256")
                            : EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<std::size_t>(2048)));
    Check(key != nullptr, "key");
    return key;
}

// Who signs a certificate: its certificate (none for a self-signed one) and key.
struct Signer {
    X509* certificate;
    EVP_PKEY* key;
};

struct Shape {
    std::string commonName;
    long fromDays;
    long toDays;
    bool authority;
    std::string names;  // subjectAltName, for a server certificate
};

void Extend(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    Owned<X509_EXTENSION> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    Check(extension != nullptr && X509_add_ext(certificate, extension.get(), -1) == 1,
          "extension " + std::string(OBJ_nid2sn(nid)));
}

Owned<X509> Certify(const Shape& shape, EVP_PKEY* key, const Signer& signer, bool rsa) {
    Owned<X509> certificate(X509_new());
    Check(certificate != nullptr && X509_set_version(certificate.get(), X509_VERSION_3) == 1, "certificate");
    // 127 random bits: distinct serials without any counter kept between runs.
    Owned<BIGNUM> serial(BN_new());
    Check(serial != nullptr && BN_rand(serial.get(), 127, BN_RAND_TOP_ONE, BN_RAND_BOTTOM_ANY) == 1 &&
              BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(certificate.get())) != nullptr,
          "serial number");
    X509_NAME* subject = X509_get_subject_name(certificate.get());
    Check(X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>(shape.commonName.c_str()), -1, -1,
                                     0) == 1,
          "subject");
    X509* issuer = signer.certificate != nullptr ? signer.certificate : certificate.get();
    Check(X509_set_issuer_name(certificate.get(), X509_get_subject_name(issuer)) == 1 &&
              X509_gmtime_adj(X509_getm_notBefore(certificate.get()), shape.fromDays * Day) != nullptr &&
              X509_gmtime_adj(X509_getm_notAfter(certificate.get()), shape.toDays * Day) != nullptr &&
              X509_set_pubkey(certificate.get(), key) == 1,
          "fields");
    if (shape.authority) {
        Extend(certificate.get(), issuer, NID_basic_constraints, "critical,CA:TRUE");
        Extend(certificate.get(), issuer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        Extend(certificate.get(), issuer, NID_basic_constraints, "critical,CA:FALSE");
        // An RSA key also carries the key exchange of the oldest TLS versions.
        Extend(certificate.get(), issuer, NID_key_usage,
               rsa ? "critical,digitalSignature,keyEncipherment" : "critical,digitalSignature");
        Extend(certificate.get(), issuer, NID_ext_key_usage, "serverAuth");
        Extend(certificate.get(), issuer, NID_subject_alt_name, shape.names);
    }
    Extend(certificate.get(), issuer, NID_subject_key_identifier, "hash");
    Extend(certificate.get(), issuer, NID_authority_key_identifier, "keyid:always");
    Check(X509_sign(certificate.get(), signer.key, EVP_sha256()) > 0, "signature");
    return certificate;
}

void WritePem(const std::string& path, const std::function<int(BIO*)>& write, bool secret) {
    Owned<BIO> memory(BIO_new(BIO_s_mem()));
    Check(memory != nullptr && write(memory.get()) == 1, "PEM of " + path);
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory.get(), &data);
    WriteFileBytes(path, std::string(data, static_cast<std::size_t>(size)));
    if (secret && chmod(path.c_str(), 0600) != 0)
        throw std::runtime_error("test certificates: cannot restrict " + path);
}

void WriteCertificate(const std::string& path, X509* certificate) {
    WritePem(
        path, [&](BIO* bio) { return PEM_write_bio_X509(bio, certificate); }, false);
}

void WriteKey(const std::string& path, EVP_PKEY* key) {
    WritePem(
        path,
        [&](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr); },
        true);
}

}  // namespace

const std::vector<std::string>& TestCertificateNames() {
    static const std::vector<std::string> names{"good",       "expired",     "not-yet-valid",
                                                "wrong-name", "self-signed", "unknown-authority"};
    return names;
}

void MakeTestCertificates(const std::string& folder, TestKeyKind kind) {
    std::filesystem::create_directories(folder);
    const bool rsa = kind == TestKeyKind::Rsa2048;
    const std::string local = "DNS:localhost,IP:127.0.0.1";

    Owned<EVP_PKEY> authorityKey = NewKey(kind);
    Owned<X509> authority = Certify({"W20 Test Authority", -1, 3650, true, ""}, authorityKey.get(),
                                    {nullptr, authorityKey.get()}, rsa);
    Owned<EVP_PKEY> strangerKey = NewKey(kind);
    Owned<X509> stranger = Certify({"W20 Other Test Authority", -1, 3650, true, ""}, strangerKey.get(),
                                   {nullptr, strangerKey.get()}, rsa);
    WriteCertificate(folder + "/authority.pem", authority.get());

    struct Leaf {
        std::string name;
        Shape shape;
        X509* issuer;  // none: self-signed
        EVP_PKEY* issuerKey;
    };
    const Leaf leaves[] = {
        {"good", {"localhost", -1, 30, false, local}, authority.get(), authorityKey.get()},
        {"expired", {"localhost", -30, -1, false, local}, authority.get(), authorityKey.get()},
        {"not-yet-valid", {"localhost", 10, 40, false, local}, authority.get(), authorityKey.get()},
        {"wrong-name",
         {"wrong.example", -1, 30, false, "DNS:wrong.example"},
         authority.get(),
         authorityKey.get()},
        {"self-signed", {"localhost", -1, 30, false, local}, nullptr, nullptr},
        {"unknown-authority", {"localhost", -1, 30, false, local}, stranger.get(), strangerKey.get()},
    };
    for (const Leaf& leaf : leaves) {
        Owned<EVP_PKEY> key = NewKey(kind);
        const Signer signer{leaf.issuer, leaf.issuer != nullptr ? leaf.issuerKey : key.get()};
        Owned<X509> certificate = Certify(leaf.shape, key.get(), signer, rsa);
        WriteCertificate(folder + "/" + leaf.name + ".pem", certificate.get());
        WriteKey(folder + "/" + leaf.name + ".key", key.get());
    }
}

const std::string& TrustedTestCertificates() {
    static const TempDir folder;
    static const bool trusted = [] {
        MakeTestCertificates(folder.Path());
        setenv("SSL_CERT_FILE", folder.File("authority.pem").c_str(), 1);
        return true;
    }();
    static_cast<void>(trusted);
    return folder.Path();
}

}  // namespace w20::test
