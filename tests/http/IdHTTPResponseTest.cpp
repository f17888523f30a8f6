#include "http/IdHTTPResponse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "tests/net/MemoryIOHandler.h"

namespace w20 {
namespace {

TEST(TIdHTTPResponse, ResponseCodeIsTheSecondWordReadAsDecimal) {
    struct Row {
        std::string statusLine;
        std::int32_t code;
    };
    const std::vector<Row> rows = {
        {"HTTP/1.1 200 OK", 200},
        {"HTTP/1.0 404 Not Found", 404},
        {"HTTP/1.1   301   Moved", 301},
        {"HTTP/1.1 204", 204},
        {"garbage", -1},
        {"", -1},
        {"HTTP/1.1 $C8 OK", -1},
        {"HTTP/1.1 2OO OK", -1},
        {"HTTP/1.1 -200 OK", -1},
        {"HTTP/1.1 99999999999 x", -1},
        {"200 OK", -1},
    };
    TIdHTTP http;
    for (const Row& row : rows) {
        http.Response().SetResponseText(row.statusLine);
        EXPECT_EQ(http.Response().ResponseCode(), row.code) << row.statusLine;
    }
}

// KeepAlive from what was read, the client's version and the connection's state; it is worked
// out again on every read, so a close noticed later turns it off.
TEST(TIdHTTPResponse, KeepAliveIsWorkedOutOnEveryRead) {
    struct Row {
        TIdHTTPProtocolVersion version;
        std::string statusLine;
        std::vector<std::string> headers;
        bool keepAlive;
        TIdHTTPProtocolVersion responseVersion;
    };
    const std::vector<Row> rows = {
        {pv1_1, "HTTP/1.1 200 OK", {}, true, pv1_1},
        {pv1_1, "HTTP/1.0 200 OK", {}, true, pv1_0},
        {pv1_1, "HTTP/1.1 200 OK", {"Connection: close"}, false, pv1_1},
        {pv1_1, "HTTP/1.1 200 OK", {"Connection: Close "}, false, pv1_1},
        {pv1_1, "HTTP/1.1 200 OK", {"Connection: close, foo"}, true, pv1_1},
        {pv1_1, "HTTP/1.1 200 OK", {"Proxy-Connection: CLOSE"}, false, pv1_1},
        {pv1_1, "HTTP/1.1 200 OK", {"Content-Length: 5", "Transfer-Encoding: chunked"}, false, pv1_1},
        {pv1_0, "HTTP/1.1 200 OK", {}, false, pv1_1},
        {pv1_0, "HTTP/1.0 200 OK", {"Connection: Keep-Alive"}, true, pv1_0},
        {pv1_0, "http/1.0 200 OK", {"Proxy-Connection: keep-alive"}, true, pv1_0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.statusLine + " " + (row.headers.empty() ? "" : row.headers[0]));
        test::MemoryIOHandler handler;
        std::string head = row.statusLine + "\r\n";
        for (const std::string& line : row.headers)
            head += line + "\r\n";
        handler.Add(test::RandomPieces(head + "\r\n", 5, 7));
        handler.arrivals.push_back(test::Closed());
        TIdHTTP http;
        http.SetIOHandler(&handler);
        http.SetProtocolVersion(row.version);
        TIdHTTPResponse& response = http.Response();
        response.SetResponseText(http.ReadLine());
        response.ReadHeaders();
        EXPECT_EQ(response.KeepAlive(), row.keepAlive);
        EXPECT_EQ(response.ResponseVersion(), row.responseVersion);
        http.PollClosed(false);
        EXPECT_FALSE(response.KeepAlive());
        http.SetIOHandler(nullptr);
    }
}

TEST(TIdResponseHeaderInfo, ParseFillsTheFieldsAndResetEmptiesThem) {
    TIdResponseHeaderInfo info;
    EXPECT_EQ(info.ContentType(), "text/html");
    for (const char* line :
         {"Location: /next?x=1", "Server: test", "Proxy-Connection: close", "Content-Range: bytes 5-9/10",
          "WWW-Authenticate: Basic realm=\"a\"", "www-authenticate: Digest", "Proxy-Authenticate: Basic",
          "Content-Length:  12 ", "Content-Type: text/plain;", " charset=windows-1250"}) {
        info.RawHeaders().Add(line);
    }
    info.ParseResponseHeaders();
    EXPECT_EQ(info.Location(), "/next?x=1");
    EXPECT_EQ(info.Server(), "test");
    EXPECT_EQ(info.ProxyConnection(), "close");
    EXPECT_EQ(info.ContentRangeStart(), 5);
    EXPECT_EQ(info.ContentRangeEnd(), 9);
    EXPECT_EQ(info.WWWAuthenticate().Lines(), (std::vector<std::string>{"Basic realm=\"a\"", "Digest"}));
    EXPECT_EQ(info.ProxyAuthenticate().Lines(), std::vector<std::string>{"Basic"});
    EXPECT_EQ(info.ContentLength(), 12);
    EXPECT_EQ(info.ContentType(), "text/plain; charset=windows-1250");

    // Parsing again from other lines leaves nothing of the first response behind.
    info.RawHeaders().Clear();
    info.RawHeaders().Add("Content-Length: abc");
    info.ParseResponseHeaders();
    EXPECT_EQ(info.Location(), "");
    EXPECT_EQ(info.ContentRangeEnd(), 0);
    EXPECT_EQ(info.WWWAuthenticate().Count(), 0);
    EXPECT_EQ(info.ContentLength(), -1);
    EXPECT_FALSE(info.HasContentLength());

    info.SetLocation("x");
    info.ResetHeaders();
    EXPECT_EQ(info.Location(), "");
    EXPECT_EQ(info.ContentType(), "text/html");
    EXPECT_EQ(info.RawHeaders().Count(), 0);
}

}  // namespace
}  // namespace w20
