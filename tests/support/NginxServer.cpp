#include "tests/support/NginxServer.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <stdexcept>

namespace w20::test {

namespace {

// As root, nginx's workers drop to an unprivileged account, like a real installation; the
// document root must then be readable by others (a TempDir is).
std::string WorkerUserDirective() {
    if (geteuid() != 0)
        return "";  // the workers run as the invoking user anyway
    constexpr uid_t Nobody = 65534;
    passwd* user = getpwuid(Nobody);
    group* team = getgrgid(Nobody);
    if (user == nullptr || team == nullptr)
        throw std::runtime_error("nginx: no account with id 65534 for the workers");
    return std::string("user ") + user->pw_name + " " + team->gr_name + ";\n";
}

}  // namespace

bool NginxServer::Available() {
    return access(Binary, X_OK) == 0;
}

NginxServer::NginxServer(const std::string& documentRoot, const std::string& serverSnippet,
                         const std::string& httpSnippet, std::chrono::milliseconds startBound) {
    Start(documentRoot, serverSnippet, httpSnippet, startBound);
}

NginxServer::NginxServer(const std::string& documentRoot, const NginxTls& tls,
                         const std::string& serverSnippet, const std::string& httpSnippet,
                         std::chrono::milliseconds startBound)
    : tls_(tls) {
    Start(documentRoot, serverSnippet, httpSnippet, startBound);
}

void NginxServer::Start(const std::string& documentRoot, const std::string& serverSnippet,
                        const std::string& httpSnippet, std::chrono::milliseconds startBound) {
    if (!Available())
        throw std::runtime_error(std::string("nginx is missing: ") + Binary +
                                 " is not there (install the Debian package nginx)");
    server_.Start(
        "nginx",
        [&](std::uint16_t port) { return Configure(port, documentRoot, serverSnippet, httpSnippet); },
        prefix_.File("output.log"), [this] { return ErrorLog(); }, startBound);
}

NginxServer::~NginxServer() = default;

std::string NginxServer::UrlFor(const std::string& host, const std::string& target) const {
    return (tls_ ? "https://" : "http://") + host + ":" + std::to_string(Port()) + target;
}

std::vector<std::string> NginxServer::Configure(std::uint16_t port, const std::string& documentRoot,
                                                const std::string& serverSnippet,
                                                const std::string& httpSnippet) {
    const std::string& p = prefix_.Path();
    // The end of the listen directive, with the TLS directives after it.
    std::string tls = ";\n";
    if (tls_) {
        tls =
            " ssl;\n"
            "        ssl_certificate " +
            tls_->certificate +
            ";\n"
            "        ssl_certificate_key " +
            tls_->key +
            ";\n"
            "        ssl_protocols " +
            tls_->protocols + ";\n";
        if (!tls_->ciphers.empty())
            tls += "        ssl_ciphers " + tls_->ciphers + ";\n";
    }
    std::string text = "daemon off;\nmaster_process on;\nworker_processes 1;\n" + WorkerUserDirective() +
                       "pid " + p +
                       "/nginx.pid;\n"
                       "error_log " +
                       p +
                       "/error.log notice;\n"
                       "events { worker_connections 256; }\n"
                       "http {\n"
                       "    access_log off;\n"
                       "    client_body_temp_path " +
                       p +
                       "/client_body;\n"
                       "    proxy_temp_path " +
                       p +
                       "/proxy;\n"
                       "    fastcgi_temp_path " +
                       p +
                       "/fastcgi;\n"
                       "    uwsgi_temp_path " +
                       p +
                       "/uwsgi;\n"
                       "    scgi_temp_path " +
                       p +
                       "/scgi;\n"
                       "    types { text/html html htm; text/plain txt; }\n"
                       "    default_type application/octet-stream;\n"
                       "    sendfile on;\n"
                       "    keepalive_requests 100000;\n" +
                       httpSnippet +
                       "\n"
                       "    server {\n"
                       "        listen [::1]:" +
                       std::to_string(port) + (tls_ ? " ssl;\n" : ";\n") +
                       "        listen 127.0.0.1:" + std::to_string(port) + tls +
                       "        server_name localhost;\n"
                       "        root " +
                       documentRoot + ";\n" + serverSnippet +
                       "\n"
                       "    }\n"
                       "}\n";
    WriteFileBytes(prefix_.File("nginx.conf"), text);
    WriteFileBytes(prefix_.File("error.log"), "");
    return {Binary, "-p", p + "/", "-c", prefix_.File("nginx.conf"), "-e", prefix_.File("error.log")};
}

std::string NginxServer::ErrorLog() const {
    std::string log;
    for (const char* name : {"output.log", "error.log"}) {
        if (FileExists(prefix_.File(name)))
            log += ReadFileBytes(prefix_.File(name));
    }
    return log;
}

std::string NginxServer::ConfigText() const {
    return ReadFileBytes(prefix_.File("nginx.conf"));
}

}  // namespace w20::test
