#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "http/ProxySettings.h"
#include "tests/net/Outcome.h"

// Which proxy the user's settings give for a URL: the environment's names as command-line web tools
// read them, and the strings of the Windows settings.
namespace w20 {
namespace {

// "host:port user:password", "direct", or "!" with the exception.
std::string Shown(const std::function<std::optional<TIdProxy>()>& resolve) {
    try {
        const std::optional<TIdProxy> proxy = resolve();
        if (!proxy)
            return "direct";
        const std::string credentials = proxy->username + ":" + proxy->password;
        return proxy->host + ":" + std::to_string(proxy->port) +
               (credentials == ":" ? "" : " " + credentials);
    } catch (const std::exception& e) {
        return "!" + test::Describe(e);
    }
}

TEST(ProxySettings, TheEnvironmentAsCommandLineToolsReadIt) {
    const struct Row {
        std::map<std::string, std::string> environment;
        std::string url;
        std::string proxy;
    } rows[] = {
        {{}, "https://q.example.net/q.php", "direct"},
        {{{"https_proxy", "http://p:3128/"}}, "https://q/", "p:3128"},
        {{{"HTTPS_PROXY", "p:3128"}}, "https://q/", "p:3128"},
        {{{"https_proxy", "a:1"}, {"HTTPS_PROXY", "b:2"}}, "https://q/", "a:1"},
        {{{"http_proxy", "p:8080"}}, "http://q/", "p:8080"},
        {{{"HTTP_PROXY", "p:8080"}}, "http://q/", "direct"},
        {{{"ALL_PROXY", "p:1"}}, "https://q/", "p:1"},
        {{{"all_proxy", "a:1"}, {"http_proxy", "h:2"}}, "http://q/", "h:2"},
        {{{"https_proxy", ""}, {"all_proxy", "a:1"}}, "https://q/", "direct"},
        {{{"https_proxy", "HTTP://p"}}, "https://q/", "p:1080"},
        {{{"https_proxy", "http://me:secret@p:3128"}}, "https://q/", "p:3128 me:secret"},
        {{{"https_proxy", "me%40x:s%3Ac/r@p:1"}}, "https://q/", "p:1 me@x:s:c/r"},
        {{{"https_proxy", "socks5://me:secret@p"}},
         "https://q/",
         "!EIdProxySetting: Proxy scheme \"socks5\" is not supported: only http proxies are."},
        {{{"https_proxy", "me:secret@p:99999"}},
         "https://q/",
         "!EIdProxySetting: Proxy p: port \"99999\" is not a port number."},
        {{{"http_proxy", "http://[::1]:3128"}}, "http://q/", "::1:3128"},
        {{{"http_proxy", "me:s@[fd00::2]/"}}, "http://q/", "fd00::2:1080 me:s"},
        {{{"http_proxy", "[::1]3128"}},
         "http://q/",
         "!EIdProxySetting: Proxy [::1]3128: nothing may follow the address but a port."},
        // no_proxy: suffixes at a dot, with or without the leading dot, address literals, "*".
        {{{"https_proxy", "p:1"}, {"no_proxy", "example.net"}}, "https://q.example.net/", "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "example.net"}}, "https://badexample.net/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "a.org, .Example.NET ,b"}},
         "https://q.example.net./",
         "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "0.0.1"}}, "https://127.0.0.1/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "10.0.0.7,127.0.0.1"}}, "https://127.0.0.1:8443/", "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "*"}}, "https://anything/", "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "[0:0::1]"}}, "https://[::1]:8443/", "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "::2"}}, "https://[::1]/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "[],example.net"}}, "https://q.example.net/", "direct"},
        // Address blocks: the host must be an address of the block's family.
        {{{"https_proxy", "p:1"}, {"no_proxy", "10.0.0.0/8"}}, "https://10.20.30.40/", "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "10.0.0.0/8"}}, "https://11.0.0.1/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "192.168.1.128/25"}}, "https://192.168.1.127/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "fd00::/8"}}, "https://[fd12::1]/", "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "fd00::/8"}}, "https://[fe80::1]/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "10.0.0.0/8,fd00::/8"}}, "https://10.example/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "0.0.0.0/0"}}, "https://[::1]/", "p:1"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "10.0.0.0/33"}}, "https://10.0.0.1/", "p:1"},
        {{{"https_proxy", "p:1"}, {"NO_PROXY", "q"}}, "https://q/", "direct"},
        {{{"https_proxy", "p:1"}, {"no_proxy", "x"}, {"NO_PROXY", "q"}}, "https://q/", "p:1"},
    };
    for (const Row& row : rows) {
        std::string trace = row.url;
        for (const auto& [name, value] : row.environment)
            trace += " " + name + "=" + value;
        SCOPED_TRACE(trace);
        const TIdEnvironmentProxySettings settings(
            [&row](const std::string& name) -> std::optional<std::string> {
                const auto found = row.environment.find(name);
                return found == row.environment.end() ? std::nullopt
                                                      : std::optional<std::string>(found->second);
            });
        EXPECT_EQ(Shown([&] { return settings.ForUrl(row.url); }), row.proxy);
    }
}

TEST(ProxySettings, TheWindowsListsForASchemeAndAHost) {
    const struct {
        std::string list, scheme, proxy;
    } lists[] = {{"p", "http", "p:80"},
                 {"g:9;https=s:2", "https", "s:2"},
                 {"https=s:2 http://g:9", "http", "g:9"},
                 {"socks=s:1080", "https", "direct"}};
    for (const auto& row : lists)
        EXPECT_EQ(Shown([&] { return ProxyFromList(row.list, row.scheme); }), row.proxy) << row.list;
    const struct {
        std::string list, host;
        bool bypassed;
    } bypasses[] = {{"<local>", "intranet", true},
                    {"<local>", "q.example.net", false},
                    {"a.org;*.example.net", "Q.Example.Net", true},
                    {"10.*", "110.0.0.1", false},
                    {"", "LocalHost.", true},
                    {"", "127.9.8.7", true},
                    {"", "[::1]", true},
                    {"", "0:0:0:0:0:0:0:01", true},
                    {"", "[::11]", false},
                    {"", "127.0.0.1.example.net", false},
                    {"a.org <-Loopback>", "127.0.0.1", false},
                    {"<-loopback>;127.*", "127.0.0.1", true}};
    for (const auto& row : bypasses)
        EXPECT_EQ(BypassListMatches(row.list, row.host), row.bypassed) << row.list << " " << row.host;
}

}  // namespace
}  // namespace w20
