#include "net/AddressText.h"

#include <gtest/gtest.h>

namespace w20 {
namespace {

TEST(ReadDottedPart, NumberSyntax) {
    const struct {
        std::string text;
        std::uint32_t maximum;
        bool valid;
        std::uint32_t value;
    } cases[] = {
        {"0", 255, true, 0},         {"255", 255, true, 255},      {"256", 255, false, 0},
        {"010", 255, true, 10},      {"  7", 255, true, 7},        {"7 ", 255, false, 0},
        {"+7", 255, true, 7},        {"-0", 255, true, 0},         {"-1", 255, false, 0},
        {"$ff", 255, true, 255},     {"x7F", 255, true, 127},      {"X10", 255, true, 16},
        {"0x7f", 255, true, 127},    {"0X100", 255, false, 0},     {"-$1", 255, false, 0},
        {"", 255, false, 0},         {"$", 255, false, 0},         {"0x", 255, false, 0},
        {"65535", 65535, true, 65535}, {"16777215", 16777215, true, 16777215},
        {"99999999999999999999999", 16777215, false, 0},           {std::string("1\0", 2), 255, false, 0},
        {"1a", 255, false, 0},       {"\t1", 255, false, 0},
    };
    for (const auto& c : cases) {
        std::uint32_t value = 4242;
        EXPECT_EQ(ReadDottedPart(c.text, c.maximum, value), c.valid) << "'" << c.text << "'";
        if (c.valid) {
            EXPECT_EQ(value, c.value) << "'" << c.text << "'";
        }
    }
}

TEST(HostText, DottedQuadsHostNamesAndDomains) {
    const struct {
        std::string text;
        bool dottedQuad;
        bool hostName;
        std::string domain;
    } cases[] = {
        {"1.2.3.4", true, false, ".2.3.4"},
        {" 1.2.3.4 ", true, false, ".2.3.4 "},
        {"1.2.3.4.5", true, false, ".2.3.4.5"},  // what follows the fourth part is not examined
        {"1.2.3", false, true, ".2.3"},
        {"1.2.3.256", false, true, ".2.3.256"},
        {"0x7f.0.0.$1", true, false, ".0.0.$1"},
        {".a.b", false, false, ".a.b"},
        {"a.b", false, true, ".b"},
        {"a.b.c", false, true, ".b.c"},
        {"host", false, true, "host"},
        {"", false, true, ""},
        {"\x01" "1.2.3.4\r\n", true, false, ".2.3.4\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDottedQuad(c.text), c.dottedQuad) << "'" << c.text << "'";
        EXPECT_EQ(IsHostNameText(c.text), c.hostName) << "'" << c.text << "'";
        EXPECT_EQ(DomainPart(c.text), c.domain) << "'" << c.text << "'";
    }
}

}  // namespace
}  // namespace w20
