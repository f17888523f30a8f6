#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/ServerProcess.h"
#include "tests/support/TempDir.h"

namespace w20::test {

// TLS in front of an NginxServer: the server's certificate (PEM; a chain may follow it), its
// private key (PEM), the ssl_protocols text and the ssl_ciphers text (empty keeps nginx's own).
struct NginxTls {
    NginxTls(std::string certificateFile, std::string keyFile, std::string protocolList = "TLSv1.2 TLSv1.3",
             std::string cipherList = "")
        : certificate(std::move(certificateFile)),
          key(std::move(keyFile)),
          protocols(std::move(protocolList)),
          ciphers(std::move(cipherList)) {}

    // Only TLS 1.0 and 1.1, which the system's TLS library refuses at its default security level:
    // the server lowers its own level to offer them.
    static NginxTls LegacyOnly(std::string certificateFile, std::string keyFile) {
        return {std::move(certificateFile), std::move(keyFile), "TLSv1 TLSv1.1", "DEFAULT:@SECLEVEL=0"};
    }

    std::string certificate;
    std::string key;
    std::string protocols;
    std::string ciphers;
};

// A real web server we did not write, for tests and benchmarks: Debian's nginx in the foreground
// on 127.0.0.1 and a free port, with its own prefix, configuration, pid file, logs and temporary
// folders in a TempDir. Stopped in the destructor.
class NginxServer {
public:
    static constexpr const char* Binary = "/usr/sbin/nginx";
    static bool Available();

    // Serves `documentRoot` (an existing folder). `serverSnippet` holds directives and location
    // blocks for inside server { }, `httpSnippet` directives for inside http { }. Throws
    // std::runtime_error, with the error log, when nginx is missing or does not accept in time.
    explicit NginxServer(const std::string& documentRoot, const std::string& serverSnippet = "",
                         const std::string& httpSnippet = "",
                         std::chrono::milliseconds startBound = std::chrono::milliseconds(5000));
    // As above, serving over TLS only.
    NginxServer(const std::string& documentRoot, const NginxTls& tls, const std::string& serverSnippet = "",
                const std::string& httpSnippet = "",
                std::chrono::milliseconds startBound = std::chrono::milliseconds(5000));
    ~NginxServer();
    NginxServer(const NginxServer&) = delete;
    NginxServer& operator=(const NginxServer&) = delete;

    std::uint16_t Port() const { return server_.Port(); }
    // "http://127.0.0.1:<port>" (https with TLS) followed by the target.
    std::string Url(const std::string& target = "/") const { return UrlFor("127.0.0.1", target); }
    // The same with another host name, e.g. "localhost" for a certificate's name.
    std::string UrlFor(const std::string& host, const std::string& target = "/") const;
    std::string ErrorLog() const;
    std::string ConfigText() const;

private:
    void Start(const std::string& documentRoot, const std::string& serverSnippet,
               const std::string& httpSnippet, std::chrono::milliseconds startBound);
    // Writes the configuration for the port and gives the command line.
    std::vector<std::string> Configure(std::uint16_t port, const std::string& documentRoot,
                                       const std::string& serverSnippet, const std::string& httpSnippet);

    std::optional<NginxTls> tls_;
    TempDir prefix_;
    ServerProcess server_;  // stopped before the prefix is removed
};

}  // namespace w20::test
