#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdlib>
#include <string>
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

// The current user's fixed proxy for the scope, written where the system's Internet options keep
// it: a version, a counter, the flags "direct" and "proxy", then the proxy list, the bypass list
// and the script address, each after its length. The tests' prefix holds none of its own.
class ScopedUserProxy {
public:
    explicit ScopedUserProxy(const std::string& proxyList) {
        std::vector<BYTE> blob;
        for (const std::size_t word : {std::size_t{0x46}, std::size_t{1}, std::size_t{3}, proxyList.size()}) {
            for (int i = 0; i < 4; ++i)
                blob.push_back(static_cast<BYTE>(word >> (8 * i)));
        }
        blob.insert(blob.end(), proxyList.begin(), proxyList.end());
        blob.resize(blob.size() + 40);  // no bypass list, no script
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
    const ScopedUserProxy setting("http=127.0.0.1:1;https=" + proxy);
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
    const ScopedUserProxy setting("http=127.0.0.1:" + std::to_string(proxy.Port()) + ";https=127.0.0.1:1");
    StartedForm started(test::DemoDataFile("http://quotes.invalid/q.php"));
    ASSERT_TRUE(started.Click(started.control(idButton1)));
    ASSERT_TRUE(started.desktop.boxes.empty()) << started.desktop.boxes[0].message;
    EXPECT_EQ(proxy.Received(0).rfind("GET http://quotes.invalid:80/q.php?data_notowania=", 0), 0u)
        << proxy.Received(0);
    EXPECT_EQ(test::ReadFileBytes(started.dir.File("vor5.txt")),
              "W20[VOR],5,20021008,093000,1.00,2.00,0.50,1.50,10\r\n"
              "FW20[VOR],5,20021008,093000,3.00,4.00,2.50,3.50,20\r\n");
}

}  // namespace
}  // namespace w20
