#pragma once

#include <set>

namespace w20 {

enum TIdHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };

enum TIdHTTPProtocolVersion { pv1_0, pv1_1 };

// How a request reaches its server: straight (ctNormal; ctSSL over TLS), forwarded by a proxy
// (ctProxy), or through a proxy's tunnel (ctSSLProxy).
enum TIdHTTPConnectionType { ctNormal, ctSSL, ctProxy, ctSSLProxy };

// hoInProcessAuth lets the client answer 401/407 itself; the other two change nothing for a GET.
enum TIdHTTPOption { hoInProcessAuth, hoKeepOrigProtocol, hoForceEncodeParams };
using TIdHTTPOptions = std::set<TIdHTTPOption>;

}  // namespace w20
