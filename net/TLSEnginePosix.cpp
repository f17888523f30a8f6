#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

#include "base/Format.h"
#include "net/IdExceptions.h"
#include "net/IdTLSEngine.h"

namespace w20 {
namespace {

// Room between the peer's bytes and the session: a whole record of the largest size fits, with
// space for the start of the next.
constexpr std::size_t PairBufferSize = 64 * 1024;

// One context for the process, so that the trust store is read once. Its default paths honour
// SSL_CERT_FILE and SSL_CERT_DIR, as the system's other tools do.
SSL_CTX* ClientContext() {
    static SSL_CTX* const context = [] {
        SSL_CTX* made = SSL_CTX_new(TLS_client_method());
        if (made == nullptr)
            return made;
        SSL_CTX_set_min_proto_version(made, TLS1_2_VERSION);
        SSL_CTX_set_options(made, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
        SSL_CTX_set_verify(made, SSL_VERIFY_PEER, nullptr);
        // A write takes what fits between the session and the socket; the rest follows once the
        // handler has sent that.
        SSL_CTX_set_mode(made, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
        SSL_CTX_set_default_verify_paths(made);
        return made;
    }();
    return context;
}

// The library's own words for the last failure of this thread, for the rare failure that has no
// text of ours; the error queue is emptied.
std::string LibraryReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    return reason != nullptr ? reason : "no reason given";
}

struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};

class TLSEnginePosix : public TIdTLSEngine {
public:
    TLSEnginePosix(const std::string& host, bool hostIsAddress) : host_(host) {
        SSL_CTX* const context = ClientContext();
        if (context != nullptr)
            ssl_.reset(SSL_new(context));
        BIO* inner = nullptr;
        BIO* network = nullptr;
        if (!ssl_ || BIO_new_bio_pair(&inner, PairBufferSize, &network, PairBufferSize) != 1)
            throw EIdTLSError("A secure connection cannot be made: " + LibraryReason() + ".");
        network_.reset(network);
        SSL_set_bio(ssl_.get(), inner, inner);  // the session frees its half
        SSL_set_connect_state(ssl_.get());
        X509_VERIFY_PARAM* const param = SSL_get0_param(ssl_.get());
        // The name or the address is the library's to match: alternative names first, the common
        // name only without them, wildcards for one whole label only.
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        const bool named = hostIsAddress ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) == 1
                                         : SSL_set_tlsext_host_name(ssl_.get(), host.c_str()) == 1 &&
                                               SSL_set1_host(ssl_.get(), host.c_str()) == 1;
        if (!named)
            throw EIdTLSError(Format("A secure connection to %s cannot be made.", host.c_str()));
    }

    char* InputRoom(std::size_t& count) override {
        char* room = nullptr;
        const int free = BIO_nwrite0(network_.get(), &room);
        count = free > 0 ? static_cast<std::size_t>(free) : 0;
        return room;
    }

    void Received(std::size_t count) override {
        char* room = nullptr;
        BIO_nwrite(network_.get(), &room, static_cast<int>(count));
    }

    std::string_view Outgoing() override {
        char* bytes = nullptr;
        const int waiting = BIO_nread0(network_.get(), &bytes);
        return waiting > 0 ? std::string_view(bytes, static_cast<std::size_t>(waiting)) : std::string_view();
    }

    void Sent(std::size_t count) override {
        char* bytes = nullptr;
        BIO_nread(network_.get(), &bytes, static_cast<int>(count));
    }

    // The library's check fetches nothing from the network: it needs no limit.
    bool Handshake(std::int32_t /*timeLeft*/) override {
        const int result = SSL_do_handshake(ssl_.get());
        if (result == 1)
            return true;
        const int error = SSL_get_error(ssl_.get(), result);
        if (error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE)
            return false;
        throw EIdTLSError(HandshakeFailure());
    }

    TDecrypted Decrypt() override {
        if (SSL_pending(ssl_.get()) > 0)
            return tdData;
        char byte;
        const int result = SSL_peek(ssl_.get(), &byte, 1);
        if (result > 0)
            return tdData;
        switch (SSL_get_error(ssl_.get(), result)) {
            case SSL_ERROR_WANT_READ:
            case SSL_ERROR_WANT_WRITE:
                return tdNeedInput;
            case SSL_ERROR_ZERO_RETURN:
                return tdClosed;
            default:
                throw EIdTLSError("The secure connection failed: " + LibraryReason() + ".");
        }
    }

    std::size_t Read(char* destination, std::size_t count) override {
        std::size_t read = 0;
        if (SSL_read_ex(ssl_.get(), destination, count, &read) != 1)
            ERR_clear_error();
        return read;
    }

    std::size_t Write(const char* bytes, std::size_t count) override {
        std::size_t written = 0;
        if (SSL_write_ex(ssl_.get(), bytes, count, &written) == 1)
            return written;
        const int error = SSL_get_error(ssl_.get(), 0);
        if (error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ)
            return 0;
        throw EIdTLSError("The secure connection failed: " + LibraryReason() + ".");
    }

    void Shutdown() override {
        SSL_shutdown(ssl_.get());
        ERR_clear_error();
    }

    std::string Version() override { return SSL_get_version(ssl_.get()); }

private:
    // The message for a handshake that failed: the certificate check's outcome when it refused,
    // otherwise what the library reports.
    std::string HandshakeFailure() {
        const long verified = SSL_get_verify_result(ssl_.get());
        const unsigned long error = ERR_peek_last_error();
        const int reason = ERR_GET_REASON(error);
        if (verified != X509_V_OK) {
            ERR_clear_error();
            return CertificateFailure(verified);
        }
        if (reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION ||
            reason == SSL_R_NO_PROTOCOLS_AVAILABLE || reason == SSL_R_VERSION_TOO_LOW) {
            ERR_clear_error();
            return "The server offers no acceptable protocol version.";
        }
        if (reason == SSL_R_WRONG_VERSION_NUMBER || reason == SSL_R_PACKET_LENGTH_TOO_LONG ||
            reason == SSL_R_RECORD_LENGTH_MISMATCH || reason == SSL_R_HTTP_REQUEST) {
            ERR_clear_error();
            return "The server did not answer in TLS.";
        }
        return "The TLS handshake failed: " + LibraryReason() + ".";
    }

    std::string CertificateFailure(long verified) {
        switch (verified) {
            case X509_V_ERR_CERT_HAS_EXPIRED:
                return "The server's certificate has expired.";
            case X509_V_ERR_CERT_NOT_YET_VALID:
                return "The server's certificate is not valid yet.";
            case X509_V_ERR_HOSTNAME_MISMATCH:
            case X509_V_ERR_IP_ADDRESS_MISMATCH:
                return Format("The server's certificate does not match the host %s.", host_.c_str());
            case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
            case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
            case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
            case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            case X509_V_ERR_CERT_UNTRUSTED:
                return "The server's certificate is not trusted.";
            default:
                return Format("The server's certificate was refused: %s.",
                              X509_verify_cert_error_string(verified));
        }
    }

    std::string host_;
    std::unique_ptr<SSL, SslFree> ssl_;
    std::unique_ptr<BIO, BioFree> network_;
};

}  // namespace

std::unique_ptr<TIdTLSEngine> TIdTLSEngine::Create(const std::string& host, bool hostIsAddress) {
    return std::make_unique<TLSEnginePosix>(host, hostIsAddress);
}

}  // namespace w20
