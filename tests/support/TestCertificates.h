#pragma once

#include <string>
#include <vector>

namespace w20::test {

// The kind of every key of a set: P-256 takes no time to make; RSA-2048 takes about half a second
// a key, for peers that need it.
enum class TestKeyKind { EcP256, Rsa2048 };

// Makes a fresh set of TLS test certificates into `folder` (made when missing), with new keys
// each time, so that no private key ever lives in the tree. POSIX only (the system's TLS library).
//   authority.pem           a test authority (CA:TRUE, keyCertSign), valid from a day ago for ten years
//   NAME.pem, NAME.key      a server certificate and its unencrypted private key (PKCS#8), for each
//                           NAME of TestCertificateNames():
//     good                  signed by the authority, valid from a day ago for 30 days, names
//                           DNS:localhost and IP:127.0.0.1, CN localhost, for servers (serverAuth)
//     expired               as good, valid from 30 days ago until yesterday
//     not-yet-valid         as good, valid from 10 days ahead
//     wrong-name            as good, with DNS:wrong.example only (CN wrong.example)
//     self-signed           as good, its own issuer
//     unknown-authority     as good, signed by a second authority that is not written out
// Every certificate is X509v3 with a SHA-256 signature and a random serial number. Throws
// std::runtime_error naming the step that failed.
void MakeTestCertificates(const std::string& folder, TestKeyKind kind = TestKeyKind::EcP256);

// The NAMEs above, in that order.
const std::vector<std::string>& TestCertificateNames();

// The folder of one set made for the whole test program, whose authority alone the program's TLS
// clients trust: SSL_CERT_FILE points at it from the first call on, before any session is made.
const std::string& TrustedTestCertificates();

}  // namespace w20::test
