#include "http/IdURI.h"

#include <gtest/gtest.h>

namespace w20 {
namespace {

struct Components {
    const char* protocol;
    const char* username;
    const char* password;
    const char* host;
    const char* port;
    const char* path;
    const char* document;
    const char* params;
    const char* bookmark;
};

void ExpectComponents(const TIdURI& uri, const Components& c) {
    EXPECT_EQ(uri.Protocol(), c.protocol);
    EXPECT_EQ(uri.Username(), c.username);
    EXPECT_EQ(uri.Password(), c.password);
    EXPECT_EQ(uri.Host(), c.host);
    EXPECT_EQ(uri.Port(), c.port);
    EXPECT_EQ(uri.Path(), c.path);
    EXPECT_EQ(uri.Document(), c.document);
    EXPECT_EQ(uri.Params(), c.params);
    EXPECT_EQ(uri.Bookmark(), c.bookmark);
}

TEST(TIdURI, ParsesAbsoluteAndRelativeReferences) {
    const struct {
        const char* text;
        Components expected;
    } cases[] = {
        {"http://h/cgi/data.php?a=1&b=2", {"http", "", "", "h", "", "/cgi/", "data.php", "?a=1&b=2", ""}},
        {"http://h", {"http", "", "", "h", "", "/", "", "", ""}},
        {"http://h/", {"http", "", "", "h", "", "/", "", "", ""}},
        {"http://user:pw@h:8080/x/y.html#top",
         {"http", "user", "pw", "h", "8080", "/x/", "y.html", "", "top"}},
        {"http://:pw@h/", {"http", "", "", "h", "", "/", "", "", ""}},
        {"http://user@h/", {"http", "user", "", "h", "", "/", "", "", ""}},
        {"HTTP://H/", {"HTTP", "", "", "H", "", "/", "", "", ""}},
        {"http:\\\\h\\a\\b.php", {"http", "", "", "h", "", "/a/", "b.php", "", ""}},
        {"page.php?x=1", {"", "", "", "", "", "", "page.php", "?x=1", ""}},
        {"/a/b.php?u=1#frag", {"", "", "", "", "", "/a/", "b.php", "?u=1", "frag"}},
        {"/a/b.php?u=/x", {"", "", "", "", "", "/a/", "b.php", "?u=/x", ""}},
        // Without "?", an "=" starts the query.
        {"http://h/a/b=c/d", {"http", "", "", "h", "", "/a/", "b", "=c/d", ""}},
        {"http://h/a/b.php?x=1#f?g", {"http", "", "", "h", "", "/a/", "b.php", "?x=1", "f?g"}},
        {"x/y/", {"", "", "", "", "", "x/y/", "", "", ""}},
        {"ftp://h:21/x", {"ftp", "", "", "h", "21", "/", "x", "", ""}},
        {"http://h:abc/", {"http", "", "", "h", "abc", "/", "", "", ""}},
        // A query or bookmark straight after the host does not become part of the host.
        {"http://h?x=1", {"http", "", "", "h", "", "/", "", "?x=1", ""}},
        {"http://h#top", {"http", "", "", "h", "", "/", "", "", "top"}},
        {"", {"", "", "", "", "", "", "", "", ""}},
        {"://", {"", "", "", "", "", "/", "", "", ""}},
        // An IPv6 address in brackets: its colons are not the port's.
        {"http://[::1]:8080/q.php", {"http", "", "", "::1", "8080", "/", "q.php", "", ""}},
        {"http://u:p@[2001:db8::1]/q.php?x=1",
         {"http", "u", "p", "2001:db8::1", "", "/", "q.php", "?x=1", ""}},
        {"http://[::1]?x=1", {"http", "", "", "::1", "", "/", "", "?x=1", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ExpectComponents(TIdURI(c.text), c.expected);
    }
}

TEST(TIdURI, ParsingAgainClearsEveryComponent) {
    TIdURI uri("http://u:p@h:81/a/b?c#d");
    uri.ParseURI("rel");
    ExpectComponents(uri, {"", "", "", "", "", "", "rel", "", ""});
}

TEST(TIdURI, BuildsTextFromComponents) {
    TIdURI uri("http://user:pw@h:80/x/y.html?q=1#top");
    const struct {
        bool userInfo, bookmark;
        const char* expected;
    } cases[] = {
        {false, false, "http://h:80/x/y.html?q=1"},
        {true, false, "http://user:pw@h:80/x/y.html?q=1"},
        {false, true, "http://h:80/x/y.html?q=1#top"},
        {true, true, "http://user:pw@h:80/x/y.html?q=1#top"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uri.BuildURI(c.userInfo, c.bookmark), c.expected);
    // Reading the whole URI gives the short form.
    EXPECT_EQ(uri.URI(), "http://h:80/x/y.html?q=1");

    uri.SetPassword("");
    EXPECT_EQ(uri.BuildURI(true, false), "http://user@h:80/x/y.html?q=1");
    uri.SetHost("::1");
    EXPECT_EQ(uri.BuildURI(true, false), "http://user@[::1]:80/x/y.html?q=1");
    uri.SetPort("");
    EXPECT_EQ(uri.URI(), "http://[::1]/x/y.html?q=1");
}

TEST(TIdURI, BuildingWithoutProtocolOrHostFails) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"/a/b.php", "Protocol field is empty"},
        {"http:///a", "Host field is empty"},
        {"http://u@/a", "Host field is empty"},
    };
    for (const auto& c : cases) {
        TIdURI uri(c.text);
        try {
            uri.BuildURI(false, false);
            ADD_FAILURE() << c.text << " built";
        } catch (const EIdURIException& e) {
            EXPECT_EQ(e.Message(), c.message) << c.text;
        }
    }
}

TEST(TIdURI, ResolvesReferencesAgainstTheBase) {
    const TIdURI base("https://u:p@h:8443/a/b/c.php?x=1#f");
    const struct {
        const char* reference;
        const char* expected;
    } cases[] = {
        {"/next?back=https://other.example/", "https://h:8443/next?back=https://other.example/"},
        {"d.php", "https://h:8443/a/b/d.php"},
        {"../d", "https://h:8443/a/d"},
        {"./d/./e/..", "https://h:8443/a/b/d/"},
        {"?y=2", "https://h:8443/a/b/c.php?y=2"},
        {"", "https://h:8443/a/b/c.php?x=1"},
        {"//o.example/p", "https://o.example/p"},
        {"http://o.example:81/p?q", "http://o.example:81/p?q"},
        {"\\\\o\\p", "https://o/p"},
        {"q.php:8/x", "q.php:8/x"},
        {"1a:b", "https://h:8443/a/b/1a:b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(base.ResolveReference(c.reference), c.expected) << c.reference;
    TIdURI v6("http://x/");
    v6.SetHost("::1");
    EXPECT_EQ(v6.ResolveReference("/y"), "http://[::1]/y");
}

TEST(TIdURI, MergesRelativePaths) {
    const struct {
        const char* base;
        const char* path;
        const char* expected;
    } cases[] = {
        {"/dir/", "../other/", "/other/"},
        {"/a/b", "", "/a/b/"},
        {"/a/", "x/./y", "/a/x/./y"},
        {"", "", ""},
        {"/cgi/", "", "/cgi/"},
        {"/cgi/", "/abs/x", "/abs/x"},
        {"/a/b/", "c", "/a/b/c"},
        {"/a/b/", "c/", "/a/b/c/"},
        {"/a/b/", "../../c", "/c"},
        // ".." above the root stays at the root.
        {"/", "../../x", "/x"},
        {"/a/", "../../../", "/"},
        // Runs of "/" collapse, also an empty segment at the join.
        {"/a//b/", "c//d", "/a/b/c/d"},
        {"/a/", "//x", "//x"},
        {"a", "b", "a/b"},
        {"", "../x", "../x"},
        {"/a/b/", "..", "/a"},
        {"/a/b/", "./", "/a/b/./"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TIdURI::MergePath(c.base, c.path), c.expected) << "'" << c.base << "' + '" << c.path << "'";
    }
}

}  // namespace
}  // namespace w20
