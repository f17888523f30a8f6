#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/DemoCycles.h"
#include "tests/app/win32/StartedForm.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TrustedAuthority.h"

// A whole cycle through the proxy of the current user's settings, which the window reads when it
// starts.
namespace w20 {
namespace {

using test::StartedForm;

// The current user's proxy settings for the scope, written where the system's Internet options
// keep them: a version, a counter, the flags "direct", "proxy" and "script", then the proxy list,
// the bypass list and the script address, each after its length. The tests' prefix holds none of
// its own.
class ScopedUserProxy {
public:
    ScopedUserProxy(const std::string& proxyList, const std::string& bypassList,
                    const std::string& script = "") {
        std::vector<BYTE> blob;
        const auto add = [&blob](std::size_t word, const std::string& text) {
            for (int i = 0; i < 4; ++i)
                blob.push_back(static_cast<BYTE>(word >> (8 * i)));
            blob.insert(blob.end(), text.begin(), text.end());
        };
        add(0x46, "");
        add(1, "");
        add(1 | (proxyList.empty() ? 0 : 2) | (script.empty() ? 0 : 4), "");
        for (const std::string& text : {proxyList, bypassList, script})
            add(text.size(), text);
        blob.resize(blob.size() + 32);
        RegCreateKeyExA(HKEY_CURRENT_USER,
                        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections", 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
        RegSetValueExA(key_, Value, 0, REG_BINARY, blob.data(), static_cast<DWORD>(blob.size()));
    }
    ~ScopedUserProxy() {
        RegDeleteValueA(key_, Value);
        RegCloseKey(key_);
    }
    ScopedUserProxy(const ScopedUserProxy&) = delete;
    ScopedUserProxy& operator=(const ScopedUserProxy&) = delete;

private:
    static constexpr const char* Value = "DefaultConnectionSettings";
    HKEY key_ = nullptr;
};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : value;
}

bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// An office proxy we did not write: the tinyproxy of run-window-tests.sh, which tunnels only to
// the TLS service's port. Plain http names a dead proxy, so only the https entry can carry it.
TEST(ProxyCycle, TheWindowTunnelsThroughARealProxy) {
    if (!UnderWine())
        GTEST_SKIP() << "changes the user's proxy settings: run under wine";
    const std::string service = Environment("W20_DEMO_SERVICE_TLS");
    const std::string proxy = Environment("W20_TEST_PROXY");
    const std::string log = Environment("W20_TEST_PROXY_LOG");
    const std::string reference = Environment("W20_REFERENCE_FILES");
    ASSERT_FALSE(service.empty() || proxy.empty() || log.empty() || reference.empty())
        << "run through tests/app/win32/run-window-tests.sh";
    const test::TrustedAuthority authority(Environment("W20_TEST_AUTHORITY"));
    // The service is on this machine, which goes straight unless the user's list says otherwise.
    const ScopedUserProxy setting("http=127.0.0.1:1;https=" + proxy, "<-loopback>");
    StartedForm started(test::DemoDataFile(service));
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(test::DemoYear);
    date.wMonth = static_cast<WORD>(test::DemoMonth);
    date.wDay = static_cast<WORD>(test::DemoDay);
    SendMessageW(started.control(idDateTimePicker1), DTM_SETSYSTEMTIME, GDT_VALID,
                 reinterpret_cast<LPARAM>(&date));
    ASSERT_TRUE(started.Click(started.item(idRadioGroup1Item0, 0)));
    ASSERT_TRUE(started.Click(started.item(idRadioGroup2Item0, 0)));
    ASSERT_TRUE(started.Click(started.control(idButton1)));
    ASSERT_TRUE(started.desktop.boxes.empty()) << started.desktop.boxes[0].message;
    const std::string written = test::ReadFileBytes(started.dir.File("vor5.txt"));
    EXPECT_GT(written.size(), 30u * 20);
    EXPECT_EQ(written, test::ReadFileBytes(reference + "\\vor5.txt"));
    const std::string port =
        service.substr(service.rfind(':') + 1, service.find('/', 8) - service.rfind(':') - 1);
    EXPECT_NE(test::ReadFileBytes(log).find("CONNECT localhost:" + port), std::string::npos)
        << test::ReadFileBytes(log);
}

// The exact request a plain-http proxy gets, which the tunnel above does not show.
TEST(ProxyCycle, TheWindowGoesThroughTheUsersProxy) {
    // On a real desktop the test would change the user's own settings for its time.
    if (!UnderWine())
        GTEST_SKIP() << "changes the user's proxy settings: run under wine";
    // The scripted proxy answers for a service whose name resolves nowhere.
    test::ScriptedServer proxy(
        {{test::WaitRequest(), test::Send(test::HttpOk("WIG20,5,20021008,093000,1.00,2.00,0.50,1.50,10\r\n")),
          test::WaitRequest(),
          test::Send(test::HttpOk("FWIG20,5,20021008,093000,3.00,4.00,2.50,3.50,20\r\n"))}});
    const ScopedUserProxy setting("http=127.0.0.1:" + std::to_string(proxy.Port()) + ";https=127.0.0.1:1",
                                  "");
    StartedForm started(test::DemoDataFile("http://quotes.invalid/q.php"));
    ASSERT_TRUE(started.Click(started.control(idButton1)));
    ASSERT_TRUE(started.desktop.boxes.empty()) << started.desktop.boxes[0].message;
    EXPECT_EQ(proxy.Received(0).rfind("GET http://quotes.invalid:80/q.php?data_notowania=", 0), 0u)
        << proxy.Received(0);
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")),
              "W20[VOR],5,20021008,093000,1.00,2.00,0.50,1.50,10\r\n"
              "FW20[VOR],5,20021008,093000,3.00,4.00,2.50,3.50,20\r\n");
}

// A configuration script at an address that accepts and never answers. Wine's WinHTTP fetches and
// runs such a script (one that answers takes it about 0.6 s); on this one its lookup had not returned
// after 140 s. The cycle fails within the connect limit, and a close ends the wait at once.
TEST(ProxyCycle, AScriptThatNeverAnswersIsGivenUpOn) {
    if (!UnderWine())
        GTEST_SKIP() << "changes the user's proxy settings: run under wine";
    test::ScriptedServer script({{test::WaitRequest(), test::Silent(test::Millis(20000))}},
                                {.waitBound = test::Millis(20000)});
    const ScopedUserProxy setting("", "", script.Url("/proxy.pac"));
    using Clock = std::chrono::steady_clock;
    {
        StartedForm started(test::DemoDataFile("http://quotes.invalid/q.php"));
        const auto start = Clock::now();
        ASSERT_TRUE(started.Click(started.control(idButton1)));
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(11000));
        ASSERT_EQ(started.desktop.boxes.size(), 1u);
        EXPECT_EQ(started.desktop.boxes[0].message, "Connect timed out.");
    }
    StartedForm started(test::DemoDataFile("http://quotes.invalid/q.php"));
    const HWND form = started.form->Handle();
    std::optional<Clock::time_point> closed;
    std::thread closer([&] {
        if (script.WaitForConnections(2, test::Millis(5000))) {
            closed = Clock::now();
            PostMessageW(form, WM_CLOSE, 0, 0);
        }
    });
    PostMessageW(started.control(idButton1), BM_CLICK, 0, 0);
    const auto start = Clock::now();
    while (IsWindow(form) && Clock::now() - start < std::chrono::seconds(8))
        test::Pump(*started.form, std::chrono::milliseconds(20));
    const auto gone = Clock::now();
    closer.join();
    ASSERT_TRUE(closed);
    EXPECT_FALSE(IsWindow(form));
    EXPECT_LT(gone - *closed, std::chrono::seconds(1));
    EXPECT_TRUE(started.desktop.boxes.empty());
}

}  // namespace
}  // namespace w20
