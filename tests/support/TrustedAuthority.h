#pragma once

#include <string>
#include <vector>

namespace w20::test {

// Trusts a test authority (a PEM file) in the current user's root store for the object's life:
// under wine that is the tests' own prefix, never the host. Windows only.
class TrustedAuthority {
public:
    explicit TrustedAuthority(const std::string& pemFile);  // throws std::runtime_error
    ~TrustedAuthority();
    TrustedAuthority(const TrustedAuthority&) = delete;
    TrustedAuthority& operator=(const TrustedAuthority&) = delete;

    // Takes the trust back at once; false when the store did not let go of it.
    bool Remove();

private:
    std::vector<unsigned char> der_;
};

}  // namespace w20::test
