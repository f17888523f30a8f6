#include "http/IdAuthentication.h"

#include <gtest/gtest.h>

#include "http/IdBasicAuthentication.h"

namespace w20 {
namespace {

TEST(TIdBasicAuthentication, HeaderValueFromCredentials) {
    const struct {
        const char* username;
        const char* password;
        const char* value;
    } cases[] = {
        {"", "", "Basic Og=="},
        {"Aladdin", "open sesame", "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ=="},
        {"u", "", "Basic dTo="},
        {"", "p", "Basic OnA="},
    };
    for (const auto& c : cases) {
        TIdBasicAuthentication auth;
        auth.SetUsername(c.username);
        auth.SetPassword(c.password);
        EXPECT_EQ(auth.HeaderValue(), c.value);
    }
}

TEST(TIdBasicAuthentication, DecidesFromTheChallenge) {
    const struct {
        std::vector<std::string> challenges;
        const char* username;
        TIdAuthWhatsNext next;
        const char* realm;
    } cases[] = {
        {{"Basic realm=\"Quotes\""}, "", wnAskTheProgram, "Quotes"},
        {{"Basic realm=\"Quotes\""}, "user", wnDoRequest, "Quotes"},
        {{"Digest realm=\"d\", nonce=\"1\"", "Basic realm=\"b\", charset=\"UTF-8\""},
         "",
         wnAskTheProgram,
         "b"},
        {{"basic realm=\"lower\""}, "", wnAskTheProgram, ""},
        {{"Basic"}, "u", wnDoRequest, ""},
        {{"Basic realm="}, "", wnAskTheProgram, ""},
        {{}, "", wnAskTheProgram, ""},
    };
    for (const auto& c : cases) {
        TIdBasicAuthentication auth;
        auth.SetUsername(c.username);
        for (const std::string& challenge : c.challenges)
            auth.Challenges().Add(challenge);
        EXPECT_EQ(auth.Decide(), c.next);
        EXPECT_EQ(auth.Realm(), c.realm);
        EXPECT_EQ(auth.AuthRetries(), 1);
    }
}

TEST(TIdBasicAuthentication, OneStepThenFailUntilReset) {
    TIdBasicAuthentication auth;
    auth.SetUsername("u");
    EXPECT_EQ(auth.Steps(), 1);
    EXPECT_EQ(auth.Decide(), wnDoRequest);
    EXPECT_EQ(auth.Decide(), wnDoRequest);
    EXPECT_EQ(auth.AuthRetries(), 2);
    auth.SetCurrentStep(1);
    EXPECT_EQ(auth.Decide(), wnFail);
    EXPECT_EQ(auth.AuthRetries(), 2);
    auth.Reset();
    EXPECT_EQ(auth.CurrentStep(), 0);
    EXPECT_EQ(auth.AuthRetries(), 0);
    EXPECT_EQ(auth.Decide(), wnDoRequest);
}

TEST(AuthenticationRegistry, StartsWithBasicAndRefusesDuplicates) {
    for (const char* scheme : {"Basic", "basic", "BASIC"}) {
        const auto found = FindAuthenticationMethod(scheme);
        ASSERT_TRUE(found.has_value()) << scheme;
        EXPECT_EQ(found->ClassName, "TIdBasicAuthentication");
        const auto object = found->Create();
        EXPECT_NE(dynamic_cast<TIdBasicAuthentication*>(object.get()), nullptr);
    }
    EXPECT_FALSE(FindAuthenticationMethod("Digest").has_value());
    EXPECT_FALSE(FindAuthenticationMethod("").has_value());
    try {
        RegisterAuthenticationMethod("basic", TIdBasicAuthentication::Class());
        ADD_FAILURE() << "registered twice";
    } catch (const EIdAlreadyRegisteredAuthenticationMethod& e) {
        EXPECT_EQ(e.Message(),
                  "This authentication method is already registered with class name TIdBasicAuthentication.");
    }
}

TEST(AuthenticationRegistry, RegistersAndUnregistersSchemes) {
    TIdAuthenticationClass custom{"TTestAuthentication",
                                  [] { return std::make_unique<TIdBasicAuthentication>(); }};
    RegisterAuthenticationMethod("X-Test", custom);
    ASSERT_TRUE(FindAuthenticationMethod("x-test").has_value());
    EXPECT_EQ(FindAuthenticationMethod("x-test")->ClassName, "TTestAuthentication");
    EXPECT_THROW(RegisterAuthenticationMethod("X-TEST", custom), EIdAlreadyRegisteredAuthenticationMethod);
    UnregisterAuthenticationMethod("X-test");
    EXPECT_FALSE(FindAuthenticationMethod("X-Test").has_value());
    EXPECT_TRUE(FindAuthenticationMethod("Basic").has_value());
}

}  // namespace
}  // namespace w20
