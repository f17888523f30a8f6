// make-test-certificates FOLDER [--rsa]
//
// Makes a fresh set of TLS test certificates into FOLDER (made when missing), for test runs that
// cannot make them themselves (the Windows programs under wine). Keys are P-256, or RSA-2048 with
// --rsa. Writes, as PEM:
//   authority.pem                                    the test authority to trust
//   good.pem, good.key                               localhost and 127.0.0.1, signed by the authority
//   expired.pem, expired.key                         as good, ended yesterday
//   not-yet-valid.pem, not-yet-valid.key             as good, starts in 10 days
//   wrong-name.pem, wrong-name.key                   wrong.example only
//   self-signed.pem, self-signed.key                 as good, its own issuer
//   unknown-authority.pem, unknown-authority.key     as good, signed by an authority not written out
// Exits with 0 when all are written, 1 with the reason on standard error otherwise, 2 on a wrong
// command line.
#include <exception>
#include <iostream>
#include <string>

#include "tests/support/TestCertificates.h"

int main(int argc, char** argv) {
    const bool rsa = argc == 3 && std::string(argv[2]) == "--rsa";
    if (argc != 2 && !rsa) {
        std::cerr << "usage: make-test-certificates FOLDER [--rsa]\n";
        return 2;
    }
    try {
        w20::test::MakeTestCertificates(
            argv[1], rsa ? w20::test::TestKeyKind::Rsa2048 : w20::test::TestKeyKind::EcP256);
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return 1;
    }
    return 0;
}
