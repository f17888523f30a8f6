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
        {"0", 255, true, 0},
        {"255", 255, true, 255},
        {"256", 255, false, 0},
        {"010", 255, true, 10},
        {"  7", 255, true, 7},
        {"7 ", 255, false, 0},
        {"+7", 255, true, 7},
        {"-0", 255, true, 0},
        {"-1", 255, false, 0},
        {"$ff", 255, true, 255},
        {"x7F", 255, true, 127},
        {"X10", 255, true, 16},
        {"0x7f", 255, true, 127},
        {"0X100", 255, false, 0},
        {"-$1", 255, false, 0},
        {"", 255, false, 0},
        {"$", 255, false, 0},
        {"0x", 255, false, 0},
        {"65535", 65535, true, 65535},
        {"16777215", 16777215, true, 16777215},
        {"99999999999999999999999", 16777215, false, 0},
        {std::string("1\0", 2), 255, false, 0},
        {"1a", 255, false, 0},
        {"\t1", 255, false, 0},
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
        {"::1", false, false, "::1"},
        {"::ffff:1.2.3.4", false, false, ".2.3.4"},
        {"fe80::1%eth0", false, true, "fe80::1%eth0"},  // a zone is no part of an address text
        {"\x01"
         "1.2.3.4\r\n",
         true, false, ".2.3.4\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsDottedQuad(c.text), c.dottedQuad) << "'" << c.text << "'";
        EXPECT_EQ(IsHostNameText(c.text), c.hostName) << "'" << c.text << "'";
        EXPECT_EQ(DomainPart(c.text), c.domain) << "'" << c.text << "'";
    }
}

TEST(AddressText, AcceptedFormsGiveTheirBytes) {
    const struct {
        std::string text;
        TIdIPv4Bytes bytes;
    } cases[] = {
        {"10", {0, 0, 0, 10}},
        {"10.1", {10, 0, 0, 1}},
        {"10.1.2", {10, 1, 0, 2}},
        {"127.1", {127, 0, 0, 1}},
        {"1.2.3.4", {1, 2, 3, 4}},
        {"4294967295", {255, 255, 255, 255}},
        {"$7F000001", {127, 0, 0, 1}},
        {"0x01020304", {1, 2, 3, 4}},
        {"0X01020304", {1, 2, 3, 4}},
        {"+16909060", {1, 2, 3, 4}},
        {"-0", {0, 0, 0, 0}},
        {"-$0", {0, 0, 0, 0}},
        {"0", {0, 0, 0, 0}},
        {"0x7f.1", {127, 0, 0, 1}},
        {" 127.0.0.1", {127, 0, 0, 1}},
        {"  1. 2. 3. 4", {1, 2, 3, 4}},
        {"010.0.0.1", {10, 0, 0, 1}},  // no octal
        {"10.", {0, 0, 0, 10}},        // part 2 empty: the single number
        {"10..5", {0, 0, 0, 10}},
        {"1..2.3", {0, 0, 0, 1}},
        {"1.2.", {1, 0, 0, 2}},
        {"1.2.3.", {1, 2, 0, 3}},
        {"1.65535", {1, 0, 255, 255}},
        {"255.16777215", {255, 255, 255, 255}},
        {"1.2.65535", {1, 2, 255, 255}},
        {"1.2.$ff.x10", {1, 2, 255, 16}},
        {"1.2.3.-0", {1, 2, 3, 0}},
        {std::string(100000, '0') + "1", {0, 0, 0, 1}},
    };
    for (const auto& c : cases) {
        TIdIPv4Bytes bytes = {9, 9, 9, 9};
        EXPECT_TRUE(ParseAddressText(c.text, bytes)) << "'" << c.text.substr(0, 40) << "'";
        EXPECT_EQ(bytes, c.bytes) << "'" << c.text.substr(0, 40) << "'";
    }
}

TEST(AddressText, RejectedTexts) {
    const std::string cases[] = {
        "",
        " ",
        "4294967296",
        "-1",
        "-4294967295",
        "x10",  // a lone "x" introduces no hexadecimal single number
        "X10",
        "0x",
        "$",
        "+-1",
        "1e3",
        "\t1",
        "18446744073709551615",
        "18446744073709551616",  // beyond 64 bits
        "$FFFFFFFFFFFFFFFF",
        "$10000000000000000",
        std::string(100000, '9'),
        "256.1.1.1",
        "1.2.3.256",
        "1.2.3.4.5",
        "1.2.3.4 ",
        "1.16777216",
        "1.2.65536",
        "1.2.3.-1",
        "-0x1.2",  // no sign before a hexadecimal part
        ".1",
        "..",
        "localhost",
        std::string("1\0", 2),
        std::string("1.2.3.4\0", 8),
        std::string("127.0\0.0.1", 10),
    };
    for (const std::string& text : cases) {
        TIdIPv4Bytes bytes = {9, 9, 9, 9};
        EXPECT_FALSE(ParseAddressText(text, bytes)) << "'" << text.substr(0, 40) << "'";
        EXPECT_EQ(bytes, (TIdIPv4Bytes{9, 9, 9, 9})) << "a rejected text leaves the bytes alone";
    }
}

TEST(AddressText, FormatsDottedDecimal) {
    const struct {
        TIdIPv4Bytes bytes;
        std::string text;
    } cases[] = {
        {{10, 0, 0, 1}, "10.0.0.1"},
        {{0, 0, 0, 0}, "0.0.0.0"},
        {{255, 255, 255, 255}, "255.255.255.255"},
        {{127, 0, 100, 9}, "127.0.100.9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatAddress(c.bytes), c.text);
}

// Each text with the form it is written back in; an empty form: rejected.
TEST(AddressText, IPv6TextsAndTheirShortestForm) {
    const struct {
        std::string text;
        std::string written;
    } cases[] = {
        {"::1", "::1"},
        {"::", "::"},
        {"0:0:0:0:0:0:0:1", "::1"},
        {"2001:DB8:0:0:0:0:0:1", "2001:db8::1"},
        {"2001:0db8:0000:0001:0000:0000:0000:0001", "2001:db8:0:1::1"},  // the longer run goes
        {"2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},                   // a tie: the first run goes
        {"2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},                // one zero group stays
        {"1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0"},
        {"::ffff:1.2.3.4", "::ffff:1.2.3.4"},
        {"::FFFF:0102:0304", "::ffff:1.2.3.4"},
        {"64:ff9b::192.0.2.33", "64:ff9b::c000:221"},
        {":::", ""},
        {"1::2::3", ""},
        {"1:2:3:4:5:6:7:8:9", ""},
        {"1:2:3:4:5:6:7", ""},
        {"12345::1", ""},
        {"1::2:", ""},
        {"::g", ""},
        {"::1.2.3", ""},
        {"::1.2.3.256", ""},
        {"::01.2.3.4x", ""},
        {"1.2.3.4::", ""},
        {"::1 ", ""},
        {"[::1]", ""},
        {"fe80::1%eth0", ""},
        {std::string("::1\0", 4), ""},
    };
    for (const auto& c : cases) {
        TIdIPAddress address;
        const bool valid = ParseIPAddressText(c.text, address);
        EXPECT_EQ(valid, !c.written.empty()) << "'" << c.text << "'";
        if (valid) {
            EXPECT_TRUE(address.ipv6) << c.text;
            EXPECT_EQ(FormatIPAddress(address), c.written) << c.text;
            EXPECT_TRUE(IsIPHostText(c.text)) << c.text;
        }
    }
}

}  // namespace
}  // namespace w20
