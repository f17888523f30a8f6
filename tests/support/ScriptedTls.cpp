#include "tests/support/ScriptedTls.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <stdexcept>
#include <utility>

namespace w20::test {
namespace {

// What the session's BIO knows of its socket.
struct Link {
    TestSocket socket;
    bool gone = false;  // the client closed or reset the connection
};

Link& LinkOf(BIO* bio) {
    return *static_cast<Link*>(BIO_get_data(bio));
}

// The socket calls of the tests (no SIGPIPE, TryAgain for a full or empty socket) under the
// library's own retry rules.
int WriteSocket(BIO* bio, const char* data, std::size_t size, std::size_t* written) {
    BIO_clear_retry_flags(bio);
    const std::ptrdiff_t n = SendSome(LinkOf(bio).socket, data, size);
    if (n > 0) {
        *written = static_cast<std::size_t>(n);
        return 1;
    }
    if (n == TryAgain)
        BIO_set_retry_write(bio);
    else
        LinkOf(bio).gone = true;
    return 0;
}

int ReadSocket(BIO* bio, char* buffer, std::size_t size, std::size_t* got) {
    BIO_clear_retry_flags(bio);
    const std::ptrdiff_t n = ReceiveSome(LinkOf(bio).socket, buffer, size);
    if (n > 0) {
        *got = static_cast<std::size_t>(n);
        return 1;
    }
    if (n == TryAgain)
        BIO_set_retry_read(bio);
    else
        LinkOf(bio).gone = true;
    return 0;
}

long ControlSocket(BIO* bio, int command, long, void*) {
    if (command == BIO_CTRL_FLUSH)
        return 1;
    return command == BIO_CTRL_EOF ? LinkOf(bio).gone : 0;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "test socket");
        if (made == nullptr || BIO_meth_set_write_ex(made, WriteSocket) != 1 ||
            BIO_meth_set_read_ex(made, ReadSocket) != 1 || BIO_meth_set_ctrl(made, ControlSocket) != 1)
            throw std::runtime_error("scripted TLS: no BIO method");
        return made;
    }();
    return method;
}

std::string ErrorText() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0)
        return "";
    if (const char* reason = ERR_reason_error_string(code))
        return reason;
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

class Session : public ScriptedTlsSession {
public:
    Session(SSL_CTX* context, TestSocket socket) : link_{socket} {
        ssl_ = SSL_new(context);
        BIO* bio = BIO_new(SocketMethod());
        if (ssl_ == nullptr || bio == nullptr) {
            BIO_free(bio);
            SSL_free(ssl_);
            throw std::runtime_error("scripted TLS: no session: " + ErrorText());
        }
        BIO_set_data(bio, &link_);
        BIO_set_init(bio, 1);
        SSL_set_bio(ssl_, bio, bio);
        SSL_set_accept_state(ssl_);
    }
    // Frees without the TLS close: a script closes with CloseTls for that.
    ~Session() override { SSL_free(ssl_); }

    std::ptrdiff_t Handshake() override {
        const int result = SSL_do_handshake(ssl_);
        if (result != 1)
            return Trouble(result);
        // Kept now: a later fatal alert leaves the session without them.
        facts_.version = SSL_get_version(ssl_);
        if (const char* name = SSL_get_servername(ssl_, TLSEXT_NAMETYPE_host_name))
            facts_.serverName = name;
        return 1;
    }

    std::ptrdiff_t Send(const char* bytes, std::size_t size) override {
        std::size_t written = 0;
        const int result = SSL_write_ex(ssl_, bytes, size, &written);
        return result == 1 ? static_cast<std::ptrdiff_t>(written) : Trouble(result);
    }

    std::ptrdiff_t Receive(char* buffer, std::size_t size) override {
        std::size_t got = 0;
        const int result = SSL_read_ex(ssl_, buffer, size, &got);
        return result == 1 ? static_cast<std::ptrdiff_t>(got) : Trouble(result);
    }

    std::ptrdiff_t SendClose() override {
        // 0: the close went out and the client's has not come; neither is waited for.
        const int result = SSL_shutdown(ssl_);
        return result >= 0 ? 1 : Trouble(result);
    }

    bool WantsWrite() const override { return wantsWrite_; }
    bool HasPending() const override { return SSL_pending(ssl_) > 0; }
    std::string Failure() const override { return failure_; }

    TlsFacts Facts() const override { return facts_; }

private:
    // TryAgain with the direction to wait in, or Gone: a client that closed or reset (with or
    // without the TLS close) is no failure; anything else is, with the library's reason.
    std::ptrdiff_t Trouble(int result) {
        const int error = SSL_get_error(ssl_, result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE) {
            wantsWrite_ = error == SSL_ERROR_WANT_WRITE;
            return TryAgain;
        }
        failure_ = ErrorText();
        // A fatal alert also marks the session as shut down: only this result is the TLS close.
        facts_.closeReceived = facts_.closeReceived || error == SSL_ERROR_ZERO_RETURN;
        if (facts_.closeReceived || link_.gone)
            failure_.clear();
        else if (failure_.empty())
            failure_ = "error " + std::to_string(error) + " of the TLS library";
        return Gone;
    }

    Link link_;
    SSL* ssl_ = nullptr;
    bool wantsWrite_ = false;
    TlsFacts facts_;
    std::string failure_;
};

}  // namespace

TlsSessionMaker ServerTls(const std::string& certificateFile, const std::string& keyFile) {
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (context == nullptr ||
        SSL_CTX_use_certificate_chain_file(context.get(), certificateFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(context.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context.get()) != 1)
        throw std::runtime_error("scripted TLS: cannot use " + certificateFile + " with " + keyFile + ": " +
                                 ErrorText());
    return [context](TestSocket socket) { return std::make_unique<Session>(context.get(), socket); };
}

ScriptedServerOptions WithTls(const std::string& certificateFile, const std::string& keyFile,
                              ScriptedServerOptions options) {
    options.tls = ServerTls(certificateFile, keyFile);
    return options;
}

}  // namespace w20::test
