#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "http/IdHTTP.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "tests/http/HttpClientSupport.h"
#include "tests/support/NginxServer.h"
#include "tests/support/PythonHttpServer.h"
#include "tests/support/TempDir.h"

// The client against servers we did not write, on 127.0.0.1 (and ::1).
namespace w20 {
namespace {

using test::GetOutcome;

struct CountingClient : TIdHTTP {
    int connects = 0;
    TIdSSLIOHandlerSocket tls;
    CountingClient() {
        ConfigureQuoteClient(*this, tls);
        SetReadTimeout(test::TestReadTimeout);
        OnConnected = [this](TIdTCPClient&) { ++connects; };
    }
};

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 4093) & 0xFF);
    return bytes;
}

TEST(IdHTTPAgainstNginx, KeepsAliveFollowsRedirectsReportsErrorsAndSendsCookiesBack) {
    if (!test::NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    test::TempDir docs;
    test::WriteFileBytes(docs.File("a.txt"), "file a\r\n");
    test::WriteFileBytes(docs.File("b.txt"), "file b\r\n");
    test::NginxServer nginx(
        docs.Path(),
        "location = /relative { absolute_redirect off; return 301 /a.txt; }\n"
        "location = /absolute { return 301 $scheme://localhost:$server_port/b.txt; }\n"
        "location = /login { add_header Set-Cookie \"sid=abc123; path=/\"; return 200 'welcome'; }\n"
        "location = /echo { default_type text/plain; return 200 'cookie=[$http_cookie] host=[$http_host]'; "
        "}\n");
    CountingClient http;
    const std::string host = "127.0.0.1:" + std::to_string(nginx.Port());
    EXPECT_EQ(GetOutcome(http, nginx.Url("/a.txt")), "file a\r\n");
    EXPECT_EQ(GetOutcome(http, nginx.Url("/b.txt")), "file b\r\n");
    EXPECT_EQ(http.connects, 1) << "the second call reuses the connection";

    EXPECT_EQ(GetOutcome(http, nginx.Url("/relative")), "file a\r\n");
    EXPECT_EQ(http.connects, 1);
    EXPECT_EQ(GetOutcome(http, nginx.Url("/absolute")), "file b\r\n");
    EXPECT_EQ(http.connects, 2) << "another host name, another connection";
    EXPECT_EQ(http.URL().Host(), "localhost");

    const std::string missing = GetOutcome(http, nginx.Url("/missing.txt"));
    EXPECT_EQ(missing.substr(0, missing.find(" | <")),
              "!EIdHTTPProtocolException: HTTP/1.1 404 Not Found | 404");
    EXPECT_NE(missing.find("<title>404 Not Found</title>"), std::string::npos) << missing;

    EXPECT_EQ(GetOutcome(http, nginx.Url("/echo")), "cookie=[] host=[" + host + "]");
    EXPECT_EQ(GetOutcome(http, nginx.Url("/login")), "welcome");
    EXPECT_EQ(GetOutcome(http, nginx.Url("/echo")), "cookie=[sid=abc123] host=[" + host + "]");
    EXPECT_EQ(http.connects, 3) << nginx.ErrorLog();

    // The same server over IPv6: the address in brackets in the URL and the Host line.
    const std::string ipv6Host = "[::1]:" + std::to_string(nginx.Port());
    EXPECT_EQ(GetOutcome(http, nginx.UrlFor("[::1]", "/echo")), "cookie=[] host=[" + ipv6Host + "]");
    EXPECT_EQ(http.connects, 4);
}

// A server that drops idle connections sooner than the client asks again: every request is
// answered, on a new connection when the old one is gone.
TEST(IdHTTPAgainstNginx, RequestsAfterTheServerDroppedTheIdleConnection) {
    if (!test::NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    test::TempDir docs;
    test::WriteFileBytes(docs.File("q.txt"), "quotes\r\n");
    test::NginxServer nginx(docs.Path(), "", "keepalive_timeout 1s;");
    CountingClient http;
    for (int i = 0; i < 10; ++i) {
        if (i > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        EXPECT_EQ(GetOutcome(http, nginx.Url("/q.txt")), "quotes\r\n") << "request " << i;
    }
    EXPECT_EQ(http.connects, 10) << nginx.ErrorLog();
}

// A large body in each framing, byte for byte: nginx sends the file with its length, and through
// its SSI filter, which drops the length, chunked to an HTTP/1.1 request and up to the close to an
// HTTP/1.0 one. The text outgrows the first steps of its room on the way.
TEST(IdHTTPAgainstNginx, LargeBodiesByteExactInEveryFraming) {
    if (!test::NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    test::TempDir docs;
    const std::string bytes = Pattern(24u << 20);
    // What the SSI filter reads must hold no directive: letters and line ends only.
    std::string letters(24u << 20, '\n');
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (i % 80 != 79)
            letters[i] = static_cast<char>('a' + (i * 7 + i / 4093) % 26);
    }
    test::WriteFileBytes(docs.File("big.bin"), bytes);
    test::WriteFileBytes(docs.File("big.html"), letters);
    test::NginxServer nginx(docs.Path(), "location = /big.html { ssi on; }");
    const struct {
        std::string target;
        TIdHTTPProtocolVersion version;
        const std::string& content;
        bool chunked;
        bool hasLength;
    } cases[] = {
        {"/big.bin", pv1_1, bytes, false, true},
        {"/big.html", pv1_1, letters, true, false},
        {"/big.html", pv1_0, letters, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target + (c.version == pv1_0 ? " HTTP/1.0" : " HTTP/1.1"));
        CountingClient http;
        http.SetProtocolVersion(c.version);
        const std::string body = http.Get(nginx.Url(c.target));
        EXPECT_EQ(http.Response().RawHeaders().Values("Transfer-Encoding") == "chunked", c.chunked);
        EXPECT_EQ(http.Response().HasContentLength(), c.hasLength);
        ASSERT_EQ(body.size(), c.content.size());
        EXPECT_TRUE(body == c.content);
        // Read to its end, the body leaves the connection ready for the next request.
        EXPECT_EQ(http.Connected(), c.version == pv1_1);
    }
}

TEST(IdHTTPAgainstPython, Http10AnswersEndingAtTheClose) {
    if (!test::PythonHttpServer::Available())
        GTEST_SKIP() << "python3 is not installed";
    test::TempDir docs;
    const std::string bytes = Pattern(300000);
    test::WriteFileBytes(docs.File("f.bin"), bytes);
    test::WriteFileBytes(docs.File("g.txt"), "second\n");
    test::PythonHttpServer python(docs.Path());
    CountingClient http;
    EXPECT_TRUE(http.Get(python.Url("/f.bin")) == bytes);
    EXPECT_EQ(http.Response().ResponseVersion(), pv1_0);
    EXPECT_EQ(GetOutcome(http, python.Url("/g.txt")), "second\n");
    const std::string missing = GetOutcome(http, python.Url("/nothing"));
    EXPECT_EQ(missing.substr(0, missing.find(" | ")),
              "!EIdHTTPProtocolException: HTTP/1.0 404 File not found");
    EXPECT_EQ(http.connects, 3) << python.Log();
}

}  // namespace
}  // namespace w20
