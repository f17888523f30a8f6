#include <netdb.h>

#include <cerrno>
#include <cstring>

#include <gtest/gtest.h>

#include "net/IdExceptions.h"
#include "net/IdStackPosix.h"
#include "net/SocketErrorMapPosix.h"

namespace w20 {
namespace {

TEST(SocketErrorText, TextsAndTheirOddities) {
    TIdStackPosix stack;
    const struct {
        std::int32_t code;
        std::string text;
    } cases[] = {
        {10004, "Interrupted system call."},
        {10035, "Operation would block. "},  // the trailing blank belongs to the text
        {10047, "Address family not supported by protocol family."},
        {10054, "Connection reset by peer."},
        {10058, "Cannot send or receive after socket is closed."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10065, "No route to host."},
        {10066, "Directory not empty"},  // no full stop
        {11001, "Host not found."},
        // Codes without a text.
        {10093, ""},
        {10000, ""},
        {10067, ""},
        {11002, ""},
        {0, ""},
        {-1, ""},
        {2147483647, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stack.SocketErrorText(c.code),
                  "Socket Error # " + std::to_string(c.code) + "\r\n" + c.text);
    }
}

TEST(CheckSocketResult, ToleratedAndRaisedFailures) {
    TIdStackPosix stack;
    const struct {
        std::int32_t result;
        std::int32_t lastError;
        std::initializer_list<std::int32_t> tolerated;
        bool expected;
        bool raises;
        std::int32_t codeAfter;  // LastSocketErrorCode afterwards
    } cases[] = {
        {-1, 10054, {10054}, true, false, 10054},
        {-1, 10058, {10058, 10053}, true, false, 10058},
        {-1, 10053, {10058, 10053, 10054}, true, false, 10053},
        {0, 10061, {10054}, false, false, 10053},  // success: code left as it was
        {5, 10061, {}, false, false, 10053},
        {-2, 10061, {}, false, false, 10053},  // only -1 is a failure
        {-1, 10061, {10054}, false, true, 10061},
        {-1, 10048, {}, false, true, 10048},
    };
    for (const auto& c : cases) {
        stack.SetLastSocketError(c.lastError);
        if (c.raises) {
            try {
                stack.CheckSocketResult(c.result, c.tolerated);
                ADD_FAILURE() << "no exception for " << c.lastError;
            } catch (const EIdSocketError& e) {
                EXPECT_EQ(e.SocketErrorCode(), c.lastError);
                EXPECT_EQ(e.Message(), stack.SocketErrorText(c.lastError));
            }
        } else {
            EXPECT_EQ(stack.CheckSocketResult(c.result, c.tolerated), c.expected)
                << c.result << " " << c.lastError;
        }
        EXPECT_EQ(stack.LastSocketErrorCode(), c.codeAfter) << c.result << " " << c.lastError;
    }
}

// The codes that tolerated lists, bind scans and messages depend on.
TEST(SocketErrorMap, ErrnoValues) {
    const struct {
        int error;
        std::int32_t code;
    } cases[] = {
        {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},  {ECONNRESET, 10054},    {ENETUNREACH, 10051},
        {EHOSTUNREACH, 10065}, {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049}, {EBADF, 10009},
        {ENOTSOCK, 10038},     {EPIPE, 10058},      {ESHUTDOWN, 10058},     {ECONNABORTED, 10053},
        {EINTR, 10004},        {EIO, EIO},  // no counterpart: passed on, and it has no text
    };
    for (const auto& c : cases)
        EXPECT_EQ(SocketErrorFromErrno(c.error), c.code) << c.error;
}

TEST(SocketErrorMap, ResolverFailures) {
    const struct {
        int resolverCode;
        int error;
        std::int32_t code;
    } cases[] = {
        {EAI_NONAME, 0, 11001},     {EAI_AGAIN, 0, 11002},       {EAI_FAIL, 0, 11003},
        {EAI_MEMORY, 0, 10055},     {EAI_SYSTEM, EMFILE, 10024}, {EAI_NODATA, 0, 11004},
        {EAI_ADDRFAMILY, 0, 11004},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SocketErrorFromResolver(c.resolverCode, c.error), c.code);
}

// The texts that no raising test meets, and the bases callers catch by.
TEST(NetworkExceptions, MessagesAndBases) {
    EXPECT_EQ(EIdStackSetSizeExceeded().Message(), "Set Size Exceeded.");
    EXPECT_EQ(EIdInvalidIPAddress(std::string("a\0b", 3)).Message(),
              std::string("a\0b is not a valid IP address.", 30));

    EXPECT_THROW(throw EIdConnClosedGracefully(), EIdSilentException);
    EXPECT_THROW(throw EIdInvalidIPAddress("x"), EIdStackError);
    EXPECT_THROW(throw EIdCanNotBindPortInRange(1, 2), EIdSocketHandleError);
    EXPECT_THROW(throw EIdNotEnoughDataInBuffer(), EIdTCPConnectionError);
    EXPECT_THROW(throw EIdSocketError(1, "x"), EIdException);
    EXPECT_THROW(throw EIdWS2StubError("x", 0), Exception);
}

TEST(NetworkExceptions, StubErrorMessage) {
    const EIdWS2StubError quiet("Error on loading Winsock2 library (WS2_32.DLL)", 0);
    EXPECT_EQ(quiet.Message(), "Error on loading Winsock2 library (WS2_32.DLL)");
    EXPECT_EQ(quiet.OSErrorText(), "");

    const EIdWS2StubError withCode("Error on call Winsock2 library function send", ENOENT);
    EXPECT_EQ(withCode.OSErrorCode(), static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(withCode.OSErrorText(), std::strerror(ENOENT));
    EXPECT_EQ(withCode.Message(),
              "Error on call Winsock2 library function send: " + std::string(std::strerror(ENOENT)));
}

}  // namespace
}  // namespace w20
