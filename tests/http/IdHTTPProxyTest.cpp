#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "http/IdHTTP.h"
#include "http/ProxySettings.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "tests/http/HttpClientSupport.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/ScriptedTls.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TinyproxyServer.h"

// The client through a proxy, as the tool configures it: plain http forwarded, https through a
// tunnel, the proxy's credentials for the proxy alone, and a refusing or hostile proxy ending the
// call with its own failure within the limits.
namespace w20 {
namespace {

using test::GetOutcome;
using test::HttpOk;
using test::Millis;

struct Client : TIdHTTP {
    TIdSSLIOHandlerSocket tls;
    int connects = 0;
    explicit Client(std::uint16_t proxy = 0, const std::string& user = "", const std::string& password = "") {
        test::TrustedTestCertificates();  // before the program's first TLS session
        ConfigureQuoteClient(*this, tls);
        SetConnectTimeout(1000);
        SetReadTimeout(500);
        SetRequestTimeout(2000);
        OnConnected = [this](TIdTCPClient&) { ++connects; };
        if (proxy != 0)
            ApplyProxy(ProxyParams(), TIdProxy{"127.0.0.1", proxy, user, password});
    }
};

test::ScriptedServerOptions Tls() {
    const std::string dir = test::TrustedTestCertificates();
    return test::WithTls(dir + "/good.pem", dir + "/good.key");
}

TEST(IdHTTPProxy, HostileProxiesEachEndInTheirOwnFailure) {
    // The scripted proxy answers for the server behind the tunnel, which is never reached.
    const std::string connect =
        "CONNECT localhost:4433 HTTP/1.1\r\nHost: localhost:4433\r\nUser-Agent: "
        "Mozilla/3.0 (compatible; VOR Library)\r\n\r\n";
    const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
    const struct Row {
        std::string name;
        test::Script script;
        std::string outcome;  // "@" stands for the proxy's address
        long maximumMs;
    } rows[] = {
        {"407 without credentials",
         test::Respond(
             "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"p\"\r\n"
             "Content-Length: 0\r\n\r\n"),
         "!EIdHTTPProxyRefused: Proxy @ refused the tunnel: HTTP/1.1 407 Proxy Authentication Required",
         1000},
        {"403 to the CONNECT", test::Respond("HTTP/1.1 403 Forbidden\r\n\r\n"),
         "!EIdHTTPProxyRefused: Proxy @ refused the tunnel: HTTP/1.1 403 Forbidden", 1000},
        {"a body after the consent",
         {test::WaitHead(), test::Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello"),
          test::Silent(Millis(3000))},
         "!EIdHTTPProxyRefused: Proxy @ opened the tunnel with bytes of its own: HTTP/1.1 200 OK",
         1000},
        {"closes inside the tunnel",
         {test::WaitHead(), test::Send(established), test::WaitBytes(1), test::Close()},
         "!EIdTLSError: The server closed the connection during the TLS handshake.",
         1000},
        {"silent to the CONNECT",
         {test::WaitHead(), test::Silent(Millis(3000))},
         "!EIdReadTimeout: Read Timeout",
         1200},
        {"silent inside the tunnel",
         {test::WaitHead(), test::Send(established), test::Silent(Millis(3000))},
         "!EIdConnectTimeout: Connect timed out.",
         1700},
        {"drips its answer",
         {test::WaitHead(), test::Drip("HTTP/1.1 200 OK\r\nX: " + std::string(100, 'x'), Millis(50))},
         "!EIdHTTPRequestTimeout: Request not completed within 2 seconds.",
         2700},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedServer proxy({row.script});
        Client http(proxy.Port());
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(GetOutcome(http, "https://localhost:4433/q.php"),
                  test::Fill(row.outcome, "@", "127.0.0.1:" + std::to_string(proxy.Port())));
        EXPECT_LE(test::MillisecondsSince(start), row.maximumMs);
        EXPECT_FALSE(http.Connected()) << "half a tunnel is not kept";
        // The CONNECT, then at most the start of our TLS hello.
        ASSERT_TRUE(proxy.WaitForBytes(0, connect.size()));
        EXPECT_EQ(proxy.Received(0).substr(0, connect.size()), connect);
    }
}

TEST(IdHTTPProxy, PlainHttpGoesToTheProxyWithTheWholeUrl) {
    test::ScriptedServer proxy(
        {{test::WaitRequest(), test::Send(HttpOk("one")), test::WaitRequest(), test::Send(HttpOk("two")),
          test::WaitRequest(), test::Send(HttpOk("three"))}});
    Client http(proxy.Port(), "user", "pass");
    EXPECT_EQ(GetOutcome(http, "http://quotes.example.net:8080/q.php?a=1"), "one");
    EXPECT_EQ(GetOutcome(http, "http://other.example.net/q.php"), "two");
    EXPECT_EQ(GetOutcome(http, "http://[2001:db8::1]/q.php"), "three");
    EXPECT_EQ(http.connects, 1) << "one connection to the proxy serves every server";
    const std::string credentials = "Proxy-Authorization: Basic dXNlcjpwYXNz";
    EXPECT_EQ(proxy.Received(0),
              test::GetRequest("http://quotes.example.net:8080/q.php?a=1", "quotes.example.net:8080",
                               {credentials}) +
                  test::GetRequest("http://other.example.net:80/q.php", "other.example.net", {credentials}) +
                  test::GetRequest("http://[2001:db8::1]:80/q.php", "[2001:db8::1]", {credentials}));
}

// A proxy reached over IPv6, asked for a tunnel to an IPv6 server: both in brackets.
TEST(IdHTTPProxy, IPv6ProxyAndTunnelTarget) {
    test::ScriptedServerOptions options;
    options.ipv6 = true;
    test::ScriptedServer proxy({test::Respond("HTTP/1.1 403 Forbidden\r\n\r\n")}, options);
    Client http;
    ApplyProxy(http.ProxyParams(), TIdProxy{"::1", proxy.Port(), "", ""});
    const std::string address = "[::1]:" + std::to_string(proxy.Port());
    EXPECT_EQ(GetOutcome(http, "https://[::1]:4433/q.php"),
              "!EIdHTTPProxyRefused: Proxy " + address + " refused the tunnel: HTTP/1.1 403 Forbidden");
    const std::string head = "CONNECT [::1]:4433 HTTP/1.1\r\nHost: [::1]:4433\r\n";
    EXPECT_EQ(proxy.Received(0).substr(0, head.size()), head);
}

TEST(IdHTTPProxy, TinyproxyForwardsAndTunnels) {
    if (!test::TinyproxyServer::Available())
        GTEST_SKIP() << "tinyproxy is not installed";
    for (const std::string password : {"", "pass"}) {
        SCOPED_TRACE(password.empty() ? "without credentials" : "with Basic");
        const std::string user = password.empty() ? "" : "user";
        test::ScriptedServer secure({{test::StartTls(), test::WaitRequest(), test::Send(HttpOk("bars")),
                                      test::WaitRequest(), test::Send(HttpOk("more")), test::CloseTls()}},
                                    Tls());
        test::ScriptedServer plain({test::Respond(HttpOk("plain"))});
        test::TinyproxyServer proxy({secure.Port()}, user, password);
        Client http(proxy.Port(), user, password);
        EXPECT_EQ(GetOutcome(http, secure.HttpsUrl("/q.php")), "bars") << proxy.Log();
        EXPECT_EQ(GetOutcome(http, secure.HttpsUrl("/q.php")), "more");
        EXPECT_EQ(http.connects, 1) << "the tunnel is kept alive";
        EXPECT_EQ(http.tls.Version(), "TLSv1.3");
        // The server behind the tunnel gets our requests in origin form, without the proxy's
        // credentials.
        const std::string request = test::GetRequest("/q.php", "localhost:" + std::to_string(secure.Port()));
        EXPECT_EQ(secure.Received(0), request + request);
        EXPECT_EQ(GetOutcome(http, plain.Url("/p")), "plain");
        EXPECT_EQ(http.connects, 2) << "a tunnel does not carry plain http";
        if (!password.empty()) {
            Client anonymous(proxy.Port());
            EXPECT_EQ(GetOutcome(anonymous, secure.HttpsUrl("/q.php")),
                      "!EIdHTTPProxyRefused: Proxy 127.0.0.1:" + std::to_string(proxy.Port()) +
                          " refused the tunnel: HTTP/1.0 407 Proxy Authentication Required");
        }
    }
}

}  // namespace
}  // namespace w20
