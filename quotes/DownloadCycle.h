#pragma once

#include <memory>
#include <string>

#include "quotes/Configuration.h"
#include "quotes/QuoteWindow.h"

namespace w20 {

class TIdHTTP;
class TIdSSLIOHandlerSocket;
class TIdProxySettings;

// The query tail of interval item 0, 1 or 2 (the bar length in seconds); empty for any other.
std::string IntervalTail(int intervalItem);

// The client settings the quote service is fetched with, its time limits included; the TLS handler
// is attached, so that the service may be reached at an https address and through redirects
// between http and https. With proxy settings, each request (redirects included) goes through the
// proxy they give for its URL, looked up once per scheme, host and port as a step of the connect;
// without, straight to the server.
void ConfigureQuoteClient(TIdHTTP& http, TIdSSLIOHandlerSocket& tls,
                          std::shared_ptr<const TIdProxySettings> proxies = nullptr);

// One download cycle: the bars of both instruments for the picker's date and the chosen interval
// are fetched, shown joined in the text area, reported in the caption, rewritten and exported in
// the chosen format. A failure ends the cycle with its exception, leaving the window and the
// export files as far as the cycle had come.
void T1Execute(QuoteWindow& window, const Configuration& config, TIdHTTP& http);

}  // namespace w20
