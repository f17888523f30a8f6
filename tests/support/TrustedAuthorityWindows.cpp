#include "tests/support/TrustedAuthority.h"

#include <windows.h>

#include <wincrypt.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <utility>

namespace w20::test {

namespace {

HCERTSTORE Root() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
}

// Wine's chain engine sees a change only once the store is written (a deletion only on a commit).
bool Commit(HCERTSTORE store) {
    const bool committed = CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    CertCloseStore(store, 0);
    return committed;
}

}  // namespace

TrustedAuthority::TrustedAuthority(const std::string& pemFile) {
    std::ifstream file(pemFile, std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<unsigned char> der(pem.size());
    DWORD size = static_cast<DWORD>(der.size());
    if (pem.empty() || !CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                                             CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        throw std::runtime_error("no certificate in " + pemFile);
    der.resize(size);
    const HCERTSTORE store = Root();
    const bool added =
        store != nullptr && CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size,
                                                             CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (store == nullptr || !Commit(store) || !added)
        throw std::runtime_error("the root store took no certificate from " + pemFile);
    der_ = std::move(der);
}

TrustedAuthority::~TrustedAuthority() {
    Remove();
}

bool TrustedAuthority::Remove() {
    if (der_.empty())
        return true;
    const HCERTSTORE store = Root();
    if (store == nullptr)
        return false;
    const CERT_CONTEXT* wanted =
        CertCreateCertificateContext(X509_ASN_ENCODING, der_.data(), static_cast<DWORD>(der_.size()));
    const CERT_CONTEXT* found =
        CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, wanted, nullptr);
    const bool deleted = found != nullptr && CertDeleteCertificateFromStore(found);
    CertFreeCertificateContext(wanted);
    der_.clear();
    return Commit(store) && deleted;
}

}  // namespace w20::test
