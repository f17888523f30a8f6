#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "http/IdHTTP.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "tests/http/HttpClientSupport.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/ScriptedTls.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

// The client over TLS, as the tool configures it, against peers whose certificates are made for
// the run and whose authority alone is trusted (the machine's store is never touched).
namespace w20 {
namespace {

using test::GetOutcome;
using test::HttpOk;
using test::Millis;

std::string Pem(const std::string& name) {
    return test::TrustedTestCertificates() + "/" + name + ".pem";
}
std::string Key(const std::string& name) {
    return test::TrustedTestCertificates() + "/" + name + ".key";
}

struct Client : TIdHTTP {
    TIdSSLIOHandlerSocket tls;
    int connects = 0;
    Client() {
        ConfigureQuoteClient(*this, tls);
        SetConnectTimeout(1000);
        SetReadTimeout(test::TestReadTimeout);
        OnConnected = [this](TIdTCPClient&) { ++connects; };
    }
};

std::string Moved(const std::string& location) {
    return test::HttpResponse("HTTP/1.1 302 Found", {"Location: " + location, "Content-Length: 0"}, "");
}

const std::string Cut =
    "!EIdTLSError: The server cut the connection without the TLS close: the answer may be "
    "incomplete.";

TEST(IdHTTPSecure, HostilePeersEachEndInTheirOwnFailure) {
    const struct Row {
        std::string name;
        std::string certificate;
        test::Script script;
        std::string outcome;  // a prefix is enough where the library's words follow
        std::string host = "localhost";
    } rows[] = {
        {"good",
         "good",
         {test::StartTls(), test::WaitRequest(), test::Send(HttpOk("bars")), test::CloseTls()},
         "bars"},
        {"body up to the TLS close",
         "good",
         {test::StartTls(), test::WaitRequest(), test::Send("HTTP/1.1 200 OK\r\n\r\nall of it"),
          test::CloseTls()},
         "all of it"},
        {"body cut without the TLS close",
         "good",
         {test::StartTls(), test::WaitRequest(), test::Send("HTTP/1.1 200 OK\r\n\r\npart of"), test::Close()},
         Cut},
        {"headers cut without the TLS close",
         "good",
         {test::StartTls(), test::WaitRequest(), test::Send("HTTP/1.1 200 OK\r\nContent-Le"), test::Close()},
         Cut},
        // A Location by path, even one whose query holds "://", stays on the same secure origin.
        {"redirect by path",
         "good",
         {test::StartTls(), test::WaitRequest(), test::Send(Moved("/n?s=1&back=https://other.example/")),
          test::WaitRequest(), test::Send(HttpOk("moved on")), test::CloseTls()},
         "moved on"},
        {"redirect by relative path",
         "good",
         {test::StartTls(), test::WaitRequest(), test::Send(Moved("n?s=1")), test::WaitRequest(),
          test::Send(HttpOk("moved on")), test::CloseTls()},
         "moved on"},
        {"garbage after the handshake",
         "good",
         {test::StartTls(), test::WaitRequest(), test::SendRaw(std::string(64, 'x')),
          test::Silent(Millis(3000))},
         "!EIdTLSError: The secure connection failed: "},
        {"plain http on the TLS port",
         "good",
         {test::WaitBytes(1), test::Send("HTTP/1.1 400 Bad Request\r\n\r\n"), test::Close()},
         "!EIdTLSError: The server did not answer in TLS."},
        {"handshake never answered",
         "good",
         {test::Silent(Millis(3000))},
         "!EIdConnectTimeout: Connect timed out."},
        {"closed during the handshake",
         "good",
         {test::WaitBytes(1), test::Close()},
         "!EIdTLSError: The server closed the connection during the TLS handshake."},
        {"expired", "expired", {test::StartTls()}, "!EIdTLSError: The server's certificate has expired."},
        {"not yet valid",
         "not-yet-valid",
         {test::StartTls()},
         "!EIdTLSError: The server's certificate is not valid yet."},
        {"wrong name",
         "wrong-name",
         {test::StartTls()},
         "!EIdTLSError: The server's certificate does not match the host localhost."},
        {"address not in the certificate",
         "wrong-name",
         {test::StartTls()},
         "!EIdTLSError: The server's certificate does not match the host 127.0.0.1.",
         "127.0.0.1"},
        {"self-signed",
         "self-signed",
         {test::StartTls()},
         "!EIdTLSError: The server's certificate is not trusted."},
        {"unknown authority",
         "unknown-authority",
         {test::StartTls()},
         "!EIdTLSError: The server's certificate is not trusted."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::ScriptedServer server({row.script}, test::WithTls(Pem(row.certificate), Key(row.certificate)));
        Client http;
        const std::string outcome = GetOutcome(http, server.HttpsUrl("/q.php", row.host));
        EXPECT_EQ(outcome.substr(0, row.outcome.size()), row.outcome) << outcome;
        // A failed exchange leaves no connection to be used again.
        if (row.outcome.starts_with("!")) {
            EXPECT_FALSE(http.Connected());
        }
    }
}

TEST(IdHTTPSecure, CredentialsGoOnlyToTheirOrigin) {
    test::ScriptedServer plain({{test::WaitRequest(), test::Send(HttpOk("plain"))}});
    const std::string challenge = test::HttpResponse(
        "HTTP/1.1 401 Unauthorized", {"WWW-Authenticate: Basic realm=\"q\"", "Content-Length: 0"}, "");
    // Credentials asked for, then another host at the same port (by a network-path reference, which
    // keeps https), back to the origin, then plain http.
    test::ScriptedServer secure(
        {{test::StartTls(), test::WaitRequest(), test::Send(challenge), test::WaitRequest(),
          test::Send(Moved("//127.0.0.1:$/b"))},
         {test::StartTls(), test::WaitRequest(), test::Send(Moved("https://localhost:$/c"))},
         {test::StartTls(), test::WaitRequest(), test::Send(Moved(plain.Url("/d")))}},
        test::WithTls(Pem("good"), Key("good")));
    Client http;
    http.SetHTTPOptions({hoForceEncodeParams, hoInProcessAuth});
    http.OnRedirect = [&secure](TIdCustomHTTP&, std::string& dest, int, bool&, TIdHTTPMethod&) {
        dest = test::Fill(dest, "$", std::to_string(secure.Port()));
    };
    EXPECT_EQ(GetOutcome(http, test::Fill(secure.HttpsUrl("/a"), "https://", "https://u:pw@")), "plain");
    const std::string credentials = "Authorization: Basic dTpwdw==";
    for (const auto& [received, sent] : {std::pair{secure.Received(0), true},
                                         {secure.Received(1), false},
                                         {secure.Received(2), true},
                                         {plain.Received(0), false}}) {
        EXPECT_EQ(received.find(credentials) != std::string::npos, sent) << received;
    }
}

// A reused connection closed after the request: sent again on a new one after the peer's TLS close
// alone, never once a record of an answer has begun.
TEST(IdHTTPSecure, ARequestIsNotSentAgainOnceATlsRecordOfTheAnswerHasBegun) {
    for (const auto& [ending, outcome, connects] :
         {std::tuple{test::SendRaw(std::string("\x17\x03\x03\x00\x40", 5) + "abc"), Cut, 1},
          {test::CloseTls(), std::string("two"), 2}}) {
        test::ScriptedServer server({{test::StartTls(), test::WaitRequest(), test::Send(HttpOk("one")),
                                      test::WaitRequest(), ending, test::Close()},
                                     {test::StartTls(), test::WaitRequest(), test::Send(HttpOk("two"))}},
                                    test::WithTls(Pem("good"), Key("good")));
        Client http;
        EXPECT_EQ(GetOutcome(http, server.HttpsUrl("/1")), "one");
        EXPECT_EQ(GetOutcome(http, server.HttpsUrl("/2")), outcome);
        EXPECT_EQ(http.connects, connects);
    }
}

TEST(IdHTTPSecure, AddressLiteralsAreCheckedAgainstTheAddress) {
    test::ScriptedServer server({{test::StartTls(), test::WaitRequest(), test::Send(HttpOk("by address"))}},
                                test::WithTls(Pem("good"), Key("good")));
    Client http;
    EXPECT_EQ(GetOutcome(http, server.HttpsUrl("/", "127.0.0.1")), "by address");
    // A name goes to the server; an address does not.
    EXPECT_EQ(server.Tls(0).serverName, "");
    test::ScriptedServer named({{test::StartTls(), test::WaitRequest(), test::Send(HttpOk("by name"))}},
                               test::WithTls(Pem("good"), Key("good")));
    EXPECT_EQ(GetOutcome(http, named.HttpsUrl("/", "localhost")), "by name");
    EXPECT_EQ(named.Tls(0).serverName, "localhost");
    EXPECT_EQ(named.Tls(0).version, "TLSv1.3");
}

TEST(IdHTTPSecure, NginxOverTls) {
    if (!test::NginxServer::Available())
        GTEST_SKIP() << "nginx is not installed";
    test::TempDir docs;
    test::WriteFileBytes(docs.File("q.txt"), "quotes\r\n");
    test::NginxServer secure(
        docs.Path(), test::NginxTls(Pem("good"), Key("good")),
        "location = /login { add_header Set-Cookie \"sid=1; path=/; Secure\"; return 200 'in'; }\n"
        "location = /cookie { return 200 '[$http_cookie]'; }\n"
        "location = /toplain { return 302 $arg_to; }\n");
    test::NginxServer plain(docs.Path(),
                            "location = /cookie { return 200 '[$http_cookie]'; }\n"
                            "location = /tosecure { return 301 $arg_to; }\n");
    Client http;
    EXPECT_EQ(GetOutcome(http, secure.UrlFor("localhost", "/q.txt")), "quotes\r\n");
    EXPECT_EQ(GetOutcome(http, secure.UrlFor("localhost", "/q.txt")), "quotes\r\n");
    EXPECT_EQ(http.connects, 1) << "the TLS connection is kept alive";
    EXPECT_EQ(http.tls.Version(), "TLSv1.3");

    // A secure cookie goes back over TLS only.
    EXPECT_EQ(GetOutcome(http, secure.Url("/login")), "in");
    EXPECT_EQ(GetOutcome(http, secure.Url("/cookie")), "[sid=1]");
    EXPECT_EQ(GetOutcome(http, plain.Url("/cookie")), "[]");

    // Redirects both ways through the one client.
    EXPECT_EQ(
        GetOutcome(http, plain.UrlFor("localhost", "/tosecure?to=" + secure.UrlFor("localhost", "/q.txt"))),
        "quotes\r\n");
    EXPECT_EQ(
        GetOutcome(http, secure.UrlFor("localhost", "/toplain?to=" + plain.UrlFor("localhost", "/q.txt"))),
        "quotes\r\n");

    // A server that offers only protocol versions below 1.2.
    test::NginxServer legacy(docs.Path(), test::NginxTls::LegacyOnly(Pem("good"), Key("good")));
    EXPECT_EQ(GetOutcome(http, legacy.UrlFor("localhost", "/q.txt")),
              "!EIdTLSError: The server offers no acceptable protocol version.");
}

TEST(IdHTTPSecure, HttpsWithoutTheHandlerIsRefused) {
    TIdHTTP http;
    EXPECT_EQ(GetOutcome(http, "https://localhost:1/q.php"),
              "!EIdIOHandlerPropInvalid: IOHandler value is not valid");
}

}  // namespace
}  // namespace w20
