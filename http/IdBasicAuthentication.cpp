#include "http/IdBasicAuthentication.h"

#include "http/IdEncoderMIME.h"

namespace w20 {

TIdAuthenticationClass TIdBasicAuthentication::Class() {
    return {"TIdBasicAuthentication", [] { return std::make_unique<TIdBasicAuthentication>(); }};
}

TIdAuthWhatsNext TIdBasicAuthentication::Decide() {
    std::string challenge;
    for (const std::string& value : challenges_.Lines()) {
        if (value.rfind("Basic", 0) == 0) {
            challenge = value;
            break;
        }
    }
    // "Basic realm="x", a=b": the pairs after the scheme word become lines "realm: "x"", "a: b".
    const std::size_t blank = challenge.find(' ');
    std::string rest = blank == std::string::npos ? std::string() : challenge.substr(blank + 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(", ");
        std::string item = rest.substr(0, comma);
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 2);
        const std::size_t equals = item.find('=');
        if (equals != std::string::npos)
            item.replace(equals, 1, ": ");
        authValues_.Add(item);
    }
    const std::string realm = authValues_.Values("realm");
    realm_ = realm.size() >= 2 ? realm.substr(1, realm.size() - 2) : std::string();

    if (currentStep_ != 0)
        return wnFail;
    ++authRetries_;
    return Username().empty() ? wnAskTheProgram : wnDoRequest;
}

void TIdBasicAuthentication::Reset() {
    TIdAuthentication::Reset();
    currentStep_ = 0;
}

std::string TIdBasicAuthentication::HeaderValue() {
    return "Basic " + TIdEncoderMIME().Encode(Username() + ":" + Password());
}

}  // namespace w20
