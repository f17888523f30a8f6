#include <windows.h>
#include <winhttp.h>

#include "base/Strings.h"
#include "http/IdURI.h"
#include "http/ProxySettings.h"

namespace w20 {
namespace {

// Proxy names and lists are ASCII; anything else goes through the system's code page, as every
// other text of the tool does.
std::string Narrow(const wchar_t* text) {
    if (text == nullptr || *text == L'\0')
        return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(narrow.find('\0'));
    return narrow;
}

std::wstring Wide(const std::string& text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), size);
    wide.resize(wide.find(L'\0'));
    return wide;
}

// The strings WinHTTP hands out are the caller's to free.
void Free(wchar_t* text) {
    if (text != nullptr)
        GlobalFree(text);
}

// The current user's settings: a fixed proxy (one for all schemes, or one per scheme) with its
// bypass list, and an automatic configuration (a script's address, or detection on the network)
// that WinHTTP resolves for each URL. The automatic one wins where it gives an answer. Asked from
// several threads at once; a lookup that outlives the window holds the object, and with it the
// session, until it ends.
class TWinHttpProxySettings : public TIdProxySettings {
public:
    TWinHttpProxySettings() {
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
        if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
            return;
        autoDetect_ = config.fAutoDetect != FALSE;
        autoConfigUrl_ = config.lpszAutoConfigUrl != nullptr ? config.lpszAutoConfigUrl : L"";
        proxy_ = Narrow(config.lpszProxy);
        bypass_ = Narrow(config.lpszProxyBypass);
        Free(config.lpszAutoConfigUrl);
        Free(config.lpszProxy);
        Free(config.lpszProxyBypass);
        if (autoDetect_ || !autoConfigUrl_.empty()) {
            session_ = WinHttpOpen(L"W20FW20", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0);
            // The caller gives up on a lookup after the connect limit, but its answer is kept for
            // the session: a script server that never answers must end the lookup too, so that the
            // fixed settings stand for the next downloads.
            if (session_ != nullptr)
                WinHttpSetTimeouts(session_, 0, ScriptTimeout, ScriptTimeout, ScriptTimeout);
        }
    }
    ~TWinHttpProxySettings() override {
        if (session_ != nullptr)
            WinHttpCloseHandle(session_);
    }
    TWinHttpProxySettings(const TWinHttpProxySettings&) = delete;
    TWinHttpProxySettings& operator=(const TWinHttpProxySettings&) = delete;

    std::optional<TIdProxy> ForUrl(const std::string& url) const override {
        const TIdURI uri(url);
        // The machine itself goes straight unless the user's list says "<-loopback>"; no script
        // is asked for it.
        if (IsLoopbackHost(uri.Host()) && BypassListMatches(bypass_, uri.Host()))
            return std::nullopt;
        if (session_ != nullptr) {
            WINHTTP_AUTOPROXY_OPTIONS options{};
            if (!autoConfigUrl_.empty()) {
                options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
                options.lpszAutoConfigUrl = autoConfigUrl_.c_str();
            } else {
                options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
                options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
            }
            options.fAutoLogonIfChallenged = TRUE;
            WINHTTP_PROXY_INFO info{};
            if (WinHttpGetProxyForUrl(session_, Wide(url).c_str(), &options, &info)) {
                const std::string list = Narrow(info.lpszProxy);
                // The machine itself was settled above by the user's list.
                const std::string bypass = Narrow(info.lpszProxyBypass) + ";<-loopback>";
                const bool named = info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
                Free(info.lpszProxy);
                Free(info.lpszProxyBypass);
                if (!named || BypassListMatches(bypass, uri.Host()))
                    return std::nullopt;
                return ProxyFromList(list, LowerCase(uri.Protocol()));
            }
            // No script, or none that answers: the fixed settings stand.
        }
        if (proxy_.empty() || BypassListMatches(bypass_, uri.Host()))
            return std::nullopt;
        return ProxyFromList(proxy_, LowerCase(uri.Protocol()));
    }

private:
    // Each step of a script's fetch, in ms: the connect limit of a download.
    static constexpr int ScriptTimeout = 10000;

    bool autoDetect_ = false;
    std::wstring autoConfigUrl_;
    std::string proxy_;
    std::string bypass_;
    HINTERNET session_ = nullptr;
};

}  // namespace

std::shared_ptr<const TIdProxySettings> SystemProxySettings() {
    return std::make_shared<TWinHttpProxySettings>();
}

}  // namespace w20
