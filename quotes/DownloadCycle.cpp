#include "quotes/DownloadCycle.h"

#include <cstdint>
#include <string>

#include "base/Format.h"
#include "http/IdHTTP.h"
#include "http/IdHTTPExceptions.h"
#include "http/ProxyLookup.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "quotes/ExportWriters.h"
#include "quotes/RewritingRules.h"

namespace w20 {
namespace {

constexpr int MetaStockFormat = 0;
constexpr int OmegaFormat = 1;

// No wait on the service is endless: a connect, a silence between two pieces of an answer, and a
// whole Get each have their limit, the last one the period of the cycle. Milliseconds.
constexpr std::int32_t QuoteConnectTimeout = 10000;
constexpr std::int32_t QuoteReadTimeout = 30000;
constexpr std::int32_t QuoteRequestTimeout = 60000;

// A blank or a control byte cannot stand in a request target: servers refuse the request line.
// Such bytes of a query value go as "%XX"; every other byte goes as it is, so a value that could
// be sent before is sent byte for byte as before.
std::string QueryValue(const std::string& value) {
    std::string encoded;
    encoded.reserve(value.size());
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte == 0x7F) {
            encoded += Format("%%%02X", byte);
        } else {
            encoded += c;
        }
    }
    return encoded;
}

// The URL goes to the client as built; only the values placed into the query are encoded.
std::string QueryUrl(const QuoteWindow& window, const Configuration& config, const std::string& instrument,
                     const std::string& tail) {
    return config.ServiceUrl + "?data_notowania=" + QueryValue(window.shortDateText()) +
           "&nazwa_instrumentu=" + QueryValue(instrument) + tail;
}

// The answer to one request. Past its redirect limit the client ends the call with an empty
// body; exported, that would empty the files, so an answer that still redirects fails the cycle.
std::string GetAnswer(TIdHTTP& http, const std::string& url) {
    std::string body = http.Get(url);
    const std::int32_t code = http.ResponseCode();
    if ((code / 100 == 3 && code != 304) || !http.Response().Location().empty())
        throw EIdHTTPProtocolException(code, http.ResponseText(), std::string());
    return body;
}

void SetCycleCaption(QuoteWindow& window) {
    const std::string prefix = "Korvane W20/FW20 RealTime? Project - ";
    window.setCaption(window.text().empty() ? prefix + "Download failed!"
                                            : prefix + "Last " + window.longTimeText());
}

}  // namespace

std::string IntervalTail(int intervalItem) {
    static const char* const seconds[] = {"300", "900", "1800"};
    if (intervalItem < 0 || intervalItem > 2)
        return {};
    return std::string("&mst_omg=mst&time_period_l=fmin&time_period=") + seconds[intervalItem] + "&send=on";
}

void ConfigureQuoteClient(TIdHTTP& http, TIdSSLIOHandlerSocket& tls,
                          std::shared_ptr<const TIdProxySettings> proxies) {
    http.SetIOHandler(&tls);
    http.SetHandleRedirects(true);
    http.SetAllowCookies(true);
    http.SetMaxLineAction(maException);
    http.SetProtocolVersion(pv1_1);
    http.SetHTTPOptions({hoForceEncodeParams});
    http.SetConnectTimeout(QuoteConnectTimeout);
    http.SetReadTimeout(QuoteReadTimeout);
    http.SetRequestTimeout(QuoteRequestTimeout);
    if (proxies) {
        // The user's settings are asked once per server for the whole session: on Windows an
        // answer may cost a script fetched over the network.
        auto lookups = std::make_shared<TIdProxyLookups>(std::move(proxies));
        http.OnSelectProxy = [lookups](TIdCustomHTTP& /*sender*/, const std::string& url) {
            return lookups->ForUrl(url);
        };
    }
}

void T1Execute(QuoteWindow& window, const Configuration& config, TIdHTTP& http) {
    window.setText("");
    window.repaintNow();
    window.processEvents();

    std::string first;
    std::string second;
    const std::string tail = IntervalTail(window.intervalIndex());
    if (!tail.empty()) {
        first = GetAnswer(http, QueryUrl(window, config, config.FirstInstrument, tail));
        second = GetAnswer(http, QueryUrl(window, config, config.SecondInstrument, tail));
    }
    window.setText(first + second);

    if (window.formatIndex() == MetaStockFormat) {
        SetCycleCaption(window);
        ApplyMetaStockRules(window, config);
        ScrollToEnd(window);
        WriteMetaStockFile(window);
    }
    // Read again: the MetaStock export processes events, and the user may switch meanwhile.
    if (window.formatIndex() == OmegaFormat) {
        SetCycleCaption(window);
        ApplyOmegaRules(window, config);
        ScrollToEnd(window);
        WriteOmegaFiles(window, config);
    }
    if (http.Connected())
        http.Disconnect();
}

}  // namespace w20
