#pragma once

#include <string>

#include "http/IdAuthentication.h"

namespace w20 {

// "Basic" + Base64 of user name, ":" and password.
class TIdBasicAuthentication : public TIdAuthentication {
public:
    static TIdAuthenticationClass Class();

    TIdAuthWhatsNext Decide() override;
    int Steps() const override { return 1; }
    void Reset() override;
    std::string HeaderValue() override;

    const std::string& Realm() const { return realm_; }

private:
    std::string realm_;
};

}  // namespace w20
