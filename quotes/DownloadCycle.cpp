#include "quotes/DownloadCycle.h"

#include "http/IdHTTP.h"
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

// The URL goes to the client exactly as built: nothing is escaped.
std::string QueryUrl(const QuoteWindow& window, const Configuration& config, const std::string& instrument,
                     const std::string& tail) {
    return config.ServiceUrl + "?data_notowania=" + window.shortDateText() +
           "&nazwa_instrumentu=" + instrument + tail;
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

void ConfigureQuoteClient(TIdHTTP& http) {
    http.SetHandleRedirects(true);
    http.SetAllowCookies(true);
    http.SetMaxLineAction(maException);
    http.SetProtocolVersion(pv1_1);
    http.SetHTTPOptions({hoForceEncodeParams});
    http.SetConnectTimeout(QuoteConnectTimeout);
    http.SetReadTimeout(QuoteReadTimeout);
    http.SetRequestTimeout(QuoteRequestTimeout);
}

void T1Execute(QuoteWindow& window, const Configuration& config, TIdHTTP& http) {
    window.setText("");
    window.repaintNow();
    window.processEvents();

    std::string first;
    std::string second;
    const std::string tail = IntervalTail(window.intervalIndex());
    if (!tail.empty()) {
        first = http.Get(QueryUrl(window, config, config.FirstInstrument, tail));
        second = http.Get(QueryUrl(window, config, config.SecondInstrument, tail));
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
