#include "http/PublicSuffix.h"

#include <gtest/gtest.h>

namespace w20 {
namespace {

TEST(PublicSuffix, LongestRuleDecidesAndExceptionsWin) {
    const struct {
        const char* domain;
        bool publicSuffix;
    } cases[] = {
        {"com.pl", true},
        {".com.pl", true},
        {"COM.PL.", true},
        {"shop.com.pl", false},
        {".shop.com.pl", false},
        {"co.uk", true},
        {"bbc.co.uk", false},
        {"uk", true},
        // No rule matches: a single label is a suffix, anything longer is not.
        {"localhost", true},
        {"intranet.localhost", false},
        // Wildcard "*.ck": every name one label below is a suffix.
        {"ck", true},
        {"shop.ck", true},
        {"a.shop.ck", false},
        // Exception "!www.ck" outweighs the wildcard.
        {"www.ck", false},
        {"a.www.ck", false},
        {"foo.kawasaki.jp", true},
        {"city.kawasaki.jp", false},
        {"kawasaki.jp", false},
        // A rule of the list's private part.
        {"github.io", true},
        {"me.github.io", false},
        {"x.compute.amazonaws.com", true},
        // Rules written in Unicode match their "xn--" form ("公司.cn", "ålesund.no").
        {"xn--55qx5d.cn", true},
        {"shop.xn--55qx5d.cn", false},
        {"xn--lesund-hua.no", true},
        {"lesund.no", false},
        {"", false},
        {".", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsPublicSuffix(c.domain), c.publicSuffix) << c.domain;
}

}  // namespace
}  // namespace w20
