#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "http/IdHeaderList.h"
#include "net/IdException.h"

namespace w20 {

// What a scheme asks for after reading the server's challenge.
enum TIdAuthWhatsNext { wnAskTheProgram, wnDoRequest, wnFail };

// An authentication scheme: produces the "Authorization" (or "Proxy-Authorization") value.
class TIdAuthentication {
public:
    TIdAuthentication() = default;
    virtual ~TIdAuthentication() = default;
    TIdAuthentication(const TIdAuthentication&) = delete;
    TIdAuthentication& operator=(const TIdAuthentication&) = delete;

    // Reads the challenge values in Challenges() and says what to do next.
    virtual TIdAuthWhatsNext Decide() = 0;
    // The number of steps the scheme needs.
    virtual int Steps() const { return 0; }
    virtual void SetPassword(const std::string& value) { authValues_.SetValues("Password", value); }
    virtual void SetUsername(const std::string& value) { authValues_.SetValues("Username", value); }
    virtual void Reset() { authRetries_ = 0; }
    virtual std::string HeaderValue() = 0;

    std::string Username() const { return authValues_.Values("username"); }
    std::string Password() const { return authValues_.Values("password"); }

    // "Username", "Password" and the name/value pairs of the challenge.
    TIdHeaderList& AuthValues() { return authValues_; }
    // A copy of the response's "WWW-Authenticate" (or "Proxy-Authenticate") values.
    TIdHeaderList& Challenges() { return challenges_; }
    int CurrentStep() const { return currentStep_; }
    void SetCurrentStep(int value) { currentStep_ = value; }
    // Attempts so far, compared by the request cycle against the client's AuthRetries.
    int AuthRetries() const { return authRetries_; }

protected:
    TIdHeaderList authValues_;
    TIdHeaderList challenges_;
    int currentStep_ = 0;
    int authRetries_ = 0;
};

// A scheme's class as the registry knows it: its name for messages and how to make one.
struct TIdAuthenticationClass {
    std::string ClassName;
    std::function<std::unique_ptr<TIdAuthentication>()> Create;
};

class EIdAlreadyRegisteredAuthenticationMethod : public EIdException {
public:
    using EIdException::EIdException;
};

// The process-wide list of schemes, names compared ignoring case. It starts with "Basic".
// Registering a name twice raises EIdAlreadyRegisteredAuthenticationMethod.
void RegisterAuthenticationMethod(const std::string& scheme, const TIdAuthenticationClass& authClass);
void UnregisterAuthenticationMethod(const std::string& scheme);
std::optional<TIdAuthenticationClass> FindAuthenticationMethod(const std::string& scheme);

}  // namespace w20
