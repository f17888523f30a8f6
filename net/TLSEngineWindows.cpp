// The chain request's limit on fetching missing certificates is one of its extra fields.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <windows.h>
// In this order: the security package's declarations need these before its headers, and the newer
// credentials need UNICODE_STRING.
#define SECURITY_WIN32
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>

#include <security.h>

#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "base/Format.h"
#include "net/IdExceptions.h"
#include "net/IdTLSEngine.h"

namespace w20 {
namespace {

// The largest TLS record on the wire: header, 16 KiB of data and the most a cipher may add.
constexpr std::size_t RecordRoom = 5 + 16384 + 2048;
// Each receive may take a few records at once.
constexpr std::size_t FirstInputSize = 4 * RecordRoom;
// A server whose handshake does not end within this much is not waited for any longer.
constexpr std::size_t InputLimit = 1024 * 1024;
// Outgoing holds at most about this much before Write waits for it to be sent.
constexpr std::size_t OutgoingLimit = 4 * RecordRoom;

// The record types that may start a server's answer to a ClientHello.
constexpr unsigned char AlertRecord = 21;
constexpr unsigned char HandshakeRecord = 22;

constexpr ULONG ContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                 ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS |
                                 ISC_REQ_MANUAL_CRED_VALIDATION;

// The automatic certificate check does nothing on some systems (wine's); ours runs after the
// handshake. No client certificate is ever offered.
constexpr DWORD CredentialFlags =
    SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
constexpr DWORD AcceptedProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;

std::string Hex(std::uint32_t code) {
    return Format("0x%08lX", static_cast<unsigned long>(code));
}

std::string HandshakeFailed(SECURITY_STATUS status) {
    return "The TLS handshake failed (" + Hex(static_cast<std::uint32_t>(status)) + ").";
}

// Host texts are Windows-1250 like every other text below the window.
std::wstring Wide(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int length = MultiByteToWideChar(1250, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                           static_cast<int>(wide.size()));
    wide.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return wide;
}

struct FreeCertificate {
    void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
};
struct FreeChain {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};

// A token the package allocated.
struct ContextBuffer {
    SecBuffer buffer{0, SECBUFFER_TOKEN, nullptr};
    ~ContextBuffer() {
        if (buffer.pvBuffer != nullptr)
            FreeContextBuffer(buffer.pvBuffer);
    }
};

class TLSEngineWindows : public TIdTLSEngine {
public:
    TLSEngineWindows(const std::string& host, bool hostIsAddress)
        : host_(host), checkedName_(Wide(host)), hostIsAddress_(hostIsAddress) {
        SecInvalidateHandle(&credentials_);
        SecInvalidateHandle(&context_);
        AcquireCredentials();
    }

    ~TLSEngineWindows() override {
        if (SecIsValidHandle(&context_))
            DeleteSecurityContext(&context_);
        if (SecIsValidHandle(&credentials_))
            FreeCredentialsHandle(&credentials_);
    }

    char* InputRoom(std::size_t& count) override {
        if (inputSize_ - inputEnd_ < RecordRoom) {
            // Unread plaintext and undecrypted bytes move to the front; then the buffer grows.
            const std::size_t live = plainSize_ > 0 ? plainStart_ : pendingStart_;
            if (live > 0) {
                std::memmove(input_.get(), input_.get() + live, inputEnd_ - live);
                plainStart_ = plainSize_ > 0 ? plainStart_ - live : 0;
                pendingStart_ -= live;
                inputEnd_ -= live;
            }
            if (inputSize_ - inputEnd_ < RecordRoom) {
                const std::size_t size = std::max(inputSize_ * 2, FirstInputSize);
                auto grown = std::make_unique_for_overwrite<char[]>(size);
                if (inputEnd_ > 0)
                    std::memcpy(grown.get(), input_.get(), inputEnd_);
                input_ = std::move(grown);
                inputSize_ = size;
            }
        }
        count = inputSize_ - inputEnd_;
        return input_.get() + inputEnd_;
    }

    void Received(std::size_t count) override {
        inputEnd_ += count;
        if (count > 0)
            needInput_ = false;
    }

    std::string_view Outgoing() override { return std::string_view(outgoing_).substr(outgoingSent_); }

    void Sent(std::size_t count) override {
        outgoingSent_ += count;
        if (outgoingSent_ >= outgoing_.size()) {
            outgoing_.clear();
            outgoingSent_ = 0;
        }
    }

    bool Handshake(std::int32_t timeLeft) override {
        if (established_)
            return true;
        if (!SecIsValidHandle(&context_)) {
            Begin();
            return false;
        }
        if (needInput_ || Pending() == 0)
            return false;
        // A server's first record is a handshake or an alert; anything else is no TLS at all.
        const auto first = static_cast<unsigned char>(input_[pendingStart_]);
        if (!answered_ && first != HandshakeRecord && first != AlertRecord)
            throw EIdTLSError("The server did not answer in TLS.");
        answered_ = true;
        const SECURITY_STATUS status = Negotiate();
        if (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE)
            return false;
        if (status != SEC_E_OK)
            throw EIdTLSError(HandshakeFailure(status));
        Established(timeLeft);
        return true;
    }

    TDecrypted Decrypt() override {
        if (closed_)
            return tdClosed;
        if (plainSize_ > 0)
            return tdData;
        for (;;) {
            if (needInput_)
                return tdNeedInput;
            if (continuing_) {
                // The rest of the session's own messages that came after the handshake.
                const SECURITY_STATUS status = Negotiate();
                if (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_INCOMPLETE_MESSAGE)
                    return tdNeedInput;
                if (status != SEC_E_OK)
                    throw EIdTLSError("The secure connection failed (" +
                                      Hex(static_cast<std::uint32_t>(status)) + ").");
                continuing_ = false;
                continue;
            }
            if (Pending() == 0)
                return tdNeedInput;
            const TDecrypted decrypted = DecryptRecord();
            if (decrypted != tdNeedInput || needInput_)
                return decrypted;
        }
    }

    std::size_t Read(char* destination, std::size_t count) override {
        const std::size_t n = std::min(count, plainSize_);
        std::memcpy(destination, input_.get() + plainStart_, n);
        plainStart_ += n;
        plainSize_ -= n;
        return n;
    }

    std::size_t Write(const char* bytes, std::size_t count) override {
        if (!established_)
            throw EIdTLSError("The secure connection is not open.");
        std::size_t taken = 0;
        while (taken < count && outgoing_.size() - outgoingSent_ < OutgoingLimit) {
            const std::size_t piece = std::min<std::size_t>(count - taken, sizes_.cbMaximumMessage);
            EncryptRecord(bytes + taken, piece);
            taken += piece;
        }
        return taken;
    }

    void Shutdown() override {
        if (!established_ || closeSent_)
            return;
        closeSent_ = true;
        // A close that cannot be made leaves the connection to the socket's own close.
        DWORD kind = SCHANNEL_SHUTDOWN;
        SecBuffer control{sizeof kind, SECBUFFER_TOKEN, &kind};
        SecBufferDesc controls{SECBUFFER_VERSION, 1, &control};
        if (ApplyControlToken(&context_, &controls) != SEC_E_OK)
            return;
        ContextBuffer token;
        SecBufferDesc output{SECBUFFER_VERSION, 1, &token.buffer};
        ULONG attributes = 0;
        const SECURITY_STATUS status =
            InitializeSecurityContextW(&credentials_, &context_, TargetName(), ContextRequest, 0, 0, nullptr,
                                       0, nullptr, &output, &attributes, nullptr);
        if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) && token.buffer.pvBuffer != nullptr)
            outgoing_.append(static_cast<const char*>(token.buffer.pvBuffer), token.buffer.cbBuffer);
    }

    std::string Version() override {
        if ((protocol_ & SP_PROT_TLS1_3) != 0)
            return "TLSv1.3";
        if ((protocol_ & SP_PROT_TLS1_2) != 0)
            return "TLSv1.2";
        return std::string();
    }

private:
    // The protocol floor goes in the newer form of the credentials, which the system needs for
    // TLS 1.3; a system without that form gets the older one, TLS 1.2 only. Some systems accept
    // the newer form but ignore its floor: Established checks the outcome.
    void AcquireCredentials() {
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = ~AcceptedProtocols;
        SCH_CREDENTIALS current{};
        current.dwVersion = SCH_CREDENTIALS_VERSION;
        current.dwFlags = CredentialFlags;
        current.cTlsParameters = 1;
        current.pTlsParameters = &parameters;
        SECURITY_STATUS status = Acquire(&current);
        if (status != SEC_E_OK) {
            SCHANNEL_CRED older{};
            older.dwVersion = SCHANNEL_CRED_VERSION;
            older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            older.dwFlags = CredentialFlags;
            status = Acquire(&older);
        }
        if (status != SEC_E_OK)
            throw EIdTLSError("A secure connection cannot be made (" +
                              Hex(static_cast<std::uint32_t>(status)) + ").");
    }

    SECURITY_STATUS Acquire(void* authentication) {
        wchar_t package[] = UNISP_NAME_W;
        return AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, authentication,
                                         nullptr, nullptr, &credentials_, nullptr);
    }

    // Server name indication goes with host names only; an address is checked, not announced.
    SEC_WCHAR* TargetName() { return hostIsAddress_ ? nullptr : checkedName_.data(); }

    std::size_t Pending() const { return inputEnd_ - pendingStart_; }

    // The ClientHello.
    void Begin() {
        ContextBuffer token;
        SecBufferDesc output{SECBUFFER_VERSION, 1, &token.buffer};
        ULONG attributes = 0;
        const SECURITY_STATUS status =
            InitializeSecurityContextW(&credentials_, nullptr, TargetName(), ContextRequest, 0, 0, nullptr, 0,
                                       &context_, &output, &attributes, nullptr);
        if (status != SEC_I_CONTINUE_NEEDED)
            throw EIdTLSError(HandshakeFailed(status));
        Append(token.buffer);
    }

    // Feeds the waiting bytes to the handshake until it needs more or ends.
    SECURITY_STATUS Negotiate() {
        bool retried = false;
        for (;;) {
            SecBuffer in[2] = {
                {static_cast<ULONG>(Pending()), SECBUFFER_TOKEN, input_.get() + pendingStart_},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc input{SECBUFFER_VERSION, 2, in};
            ContextBuffer token;
            SecBufferDesc output{SECBUFFER_VERSION, 1, &token.buffer};
            ULONG attributes = 0;
            const SECURITY_STATUS status =
                InitializeSecurityContextW(&credentials_, &context_, TargetName(), ContextRequest, 0, 0,
                                           &input, 0, nullptr, &output, &attributes, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                NeedMoreInput();
                return status;
            }
            // A server asking for a client certificate gets none: the handshake goes on without.
            if (status == SEC_I_INCOMPLETE_CREDENTIALS && !retried) {
                retried = true;
                continue;
            }
            if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED)
                return status;
            Append(token.buffer);
            Consumed(in[1]);
            if (status == SEC_E_OK || Pending() == 0)
                return status;
        }
    }

    // What follows the bytes just used is the buffer's EXTRA, if any.
    void Consumed(const SecBuffer& extra) {
        if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= Pending())
            pendingStart_ = inputEnd_ - extra.cbBuffer;
        else
            pendingStart_ = inputEnd_;
        if (plainSize_ == 0 && Pending() == 0)
            plainStart_ = pendingStart_ = inputEnd_ = 0;
    }

    void NeedMoreInput() {
        needInput_ = true;
        if (inputEnd_ - pendingStart_ > InputLimit)
            throw EIdTLSError("The server's TLS messages are too long.");
    }

    void Append(const SecBuffer& token) {
        if (token.pvBuffer != nullptr && token.cbBuffer > 0)
            outgoing_.append(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
    }

    static std::string HandshakeFailure(SECURITY_STATUS status) {
        switch (status) {
            case SEC_E_UNSUPPORTED_FUNCTION:  // the peer's protocol_version alert (also SEC_E_NOT_SUPPORTED)
                return "The server offers no acceptable protocol version.";
            default:
                return HandshakeFailed(status);
        }
    }

    // The negotiated protocol first, then the server's certificate, before any data goes out.
    void Established(std::int32_t timeLeft) {
        SecPkgContext_ConnectionInfo connection{};
        SECURITY_STATUS status = QueryContextAttributesW(&context_, SECPKG_ATTR_CONNECTION_INFO, &connection);
        if (status != SEC_E_OK)
            throw EIdTLSError(HandshakeFailed(status));
        protocol_ = connection.dwProtocol;
        if ((protocol_ & (SP_PROT_TLS1_2 | SP_PROT_TLS1_3)) == 0)
            throw EIdTLSError("The server offers no acceptable protocol version.");
        CheckCertificate(timeLeft);
        status = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
        if (status != SEC_E_OK || sizes_.cbMaximumMessage == 0)
            throw EIdTLSError(HandshakeFailed(status));
        established_ = true;
    }

    // The system builds the chain to a trusted root and matches the name or the address; a
    // chain with any fault is refused even when the policy passes it (some systems let partial
    // chains through). Missing intermediate certificates may be fetched from the network within
    // timeLeft ms only (the system's own limit is many seconds per address); with no time left,
    // only what the system holds already counts.
    void CheckCertificate(std::int32_t timeLeft) {
        const CERT_CONTEXT* received = nullptr;
        SECURITY_STATUS status =
            QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received);
        if (status != SEC_E_OK || received == nullptr)
            throw EIdTLSError("The server sent no certificate.");
        const std::unique_ptr<const CERT_CONTEXT, FreeCertificate> certificate(received);

        char serverUsage[] = szOID_PKIX_KP_SERVER_AUTH;
        char* usages[] = {serverUsage};
        CERT_CHAIN_PARA request{};
        request.cbSize = sizeof request;
        request.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
        request.RequestedUsage.Usage.cUsageIdentifier = 1;
        request.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        DWORD flags = 0;
        if (timeLeft == 0)
            flags = CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL;
        else if (timeLeft > 0)
            request.dwUrlRetrievalTimeout = static_cast<DWORD>(timeLeft);
        const CERT_CHAIN_CONTEXT* built = nullptr;
        if (!CertGetCertificateChain(nullptr, certificate.get(), nullptr, certificate->hCertStore, &request,
                                     flags, nullptr, &built))
            throw EIdTLSError("The server's certificate could not be checked (" + Hex(GetLastError()) + ").");
        const std::unique_ptr<const CERT_CHAIN_CONTEXT, FreeChain> chain(built);

        HTTPSPolicyCallbackData server{};
        server.cbSize = sizeof server;
        server.dwAuthType = AUTHTYPE_SERVER;
        server.pwszServerName = checkedName_.data();
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &server;
        CERT_CHAIN_POLICY_STATUS verdict{};
        verdict.cbSize = sizeof verdict;
        if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &verdict))
            throw EIdTLSError("The server's certificate could not be checked (" + Hex(GetLastError()) + ").");

        const DWORD faults = chain->TrustStatus.dwErrorStatus;
        const auto error = static_cast<HRESULT>(verdict.dwError);
        constexpr DWORD untrusted = CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                                    CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC |
                                    CERT_TRUST_IS_REVOKED;
        if ((faults & untrusted) != 0 || error == CERT_E_UNTRUSTEDROOT || error == CERT_E_CHAINING ||
            error == TRUST_E_CERT_SIGNATURE || error == CERT_E_UNTRUSTEDTESTROOT)
            throw EIdTLSError("The server's certificate is not trusted.");
        if ((faults & CERT_TRUST_IS_NOT_TIME_VALID) != 0 || error == CERT_E_EXPIRED)
            throw EIdTLSError(NotYetValid(*chain, *certificate) ? "The server's certificate is not valid yet."
                                                                : "The server's certificate has expired.");
        if (error == CERT_E_CN_NO_MATCH)
            throw EIdTLSError(Format("The server's certificate does not match the host %s.", host_.c_str()));
        if (error != S_OK)
            throw EIdTLSError("The server's certificate was refused (" + Hex(verdict.dwError) + ").");
        if (faults != CERT_TRUST_NO_ERROR)
            throw EIdTLSError("The server's certificate was refused (trust status " + Hex(faults) + ").");
    }

    // Whether the certificate out of its time is early rather than late: the first such one in the
    // chain decides.
    static bool NotYetValid(const CERT_CHAIN_CONTEXT& chain, const CERT_CONTEXT& certificate) {
        if (chain.cChain > 0) {
            const CERT_SIMPLE_CHAIN& simple = *chain.rgpChain[0];
            for (DWORD i = 0; i < simple.cElement; ++i) {
                const CERT_CHAIN_ELEMENT& element = *simple.rgpElement[i];
                if ((element.TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID) != 0)
                    return CertVerifyTimeValidity(nullptr, element.pCertContext->pCertInfo) < 0;
            }
        }
        return CertVerifyTimeValidity(nullptr, certificate.pCertInfo) < 0;
    }

    // One record from the waiting bytes, decrypted in place.
    TDecrypted DecryptRecord() {
        char* const record = input_.get() + pendingStart_;
        const auto type = static_cast<unsigned char>(record[0]);
        SecBuffer buffers[4] = {
            {static_cast<ULONG>(Pending()), SECBUFFER_DATA, record},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_, &message, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            NeedMoreInput();
            return tdNeedInput;
        }
        if (status == SEC_I_CONTEXT_EXPIRED) {
            closed_ = true;
            return tdClosed;
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE)
            throw EIdTLSError("The secure connection failed (" + Hex(static_cast<std::uint32_t>(status)) +
                              ").");
        const SecBuffer* data = nullptr;
        const SecBuffer* extra = nullptr;
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA)
                data = &buffer;
            else if (buffer.BufferType == SECBUFFER_EXTRA)
                extra = &buffer;
        }
        if (data != nullptr && data->cbBuffer > 0) {
            plainStart_ = static_cast<std::size_t>(static_cast<const char*>(data->pvBuffer) - input_.get());
            plainSize_ = data->cbBuffer;
        }
        static const SecBuffer none{0, SECBUFFER_EMPTY, nullptr};
        Consumed(extra != nullptr ? *extra : none);
        if (status == SEC_I_RENEGOTIATE) {
            // TLS 1.3 has no renegotiation: its session tickets and key updates come this way and
            // go back to the handshake. Under TLS 1.2 it is the server asking for a new handshake.
            if ((protocol_ & SP_PROT_TLS1_3) == 0)
                throw EIdTLSError("The server asked for a new TLS handshake, which is refused.");
            continuing_ = true;
        }
        if (plainSize_ > 0)
            return tdData;
        // Some systems report the peer's close_notify as an empty record; an empty application data
        // record is legal and skipped.
        if (status == SEC_E_OK && type == AlertRecord) {
            closed_ = true;
            return tdClosed;
        }
        return tdNeedInput;
    }

    void EncryptRecord(const char* bytes, std::size_t count) {
        const std::size_t start = outgoing_.size();
        outgoing_.resize(start + sizes_.cbHeader + count + sizes_.cbTrailer);
        char* const header = outgoing_.data() + start;
        std::memcpy(header + sizes_.cbHeader, bytes, count);
        SecBuffer buffers[4] = {
            {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, header},
            {static_cast<ULONG>(count), SECBUFFER_DATA, header + sizes_.cbHeader},
            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, header + sizes_.cbHeader + count},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = EncryptMessage(&context_, 0, &message, 0);
        if (status != SEC_E_OK) {
            outgoing_.resize(start);
            throw EIdTLSError("The secure connection failed (" + Hex(static_cast<std::uint32_t>(status)) +
                              ").");
        }
        // The record is as long as the package says, which may be less than the maxima.
        std::size_t end = start;
        for (int i = 0; i < 3; ++i) {
            std::memmove(outgoing_.data() + end, buffers[i].pvBuffer, buffers[i].cbBuffer);
            end += buffers[i].cbBuffer;
        }
        outgoing_.resize(end);
    }

    std::string host_;
    std::wstring checkedName_;
    bool hostIsAddress_;
    CredHandle credentials_;
    CtxtHandle context_;
    SecPkgContext_StreamSizes sizes_{};
    DWORD protocol_ = 0;
    bool established_ = false;
    bool answered_ = false;
    bool needInput_ = false;
    bool continuing_ = false;
    bool closed_ = false;
    bool closeSent_ = false;

    // The peer's bytes: [plainStart_, +plainSize_) decrypted and unread, [pendingStart_, inputEnd_)
    // not decrypted yet, then room.
    std::unique_ptr<char[]> input_;
    std::size_t inputSize_ = 0;
    std::size_t inputEnd_ = 0;
    std::size_t pendingStart_ = 0;
    std::size_t plainStart_ = 0;
    std::size_t plainSize_ = 0;

    std::string outgoing_;
    std::size_t outgoingSent_ = 0;
};

}  // namespace

std::unique_ptr<TIdTLSEngine> TIdTLSEngine::Create(const std::string& host, bool hostIsAddress) {
    return std::make_unique<TLSEngineWindows>(host, hostIsAddress);
}

}  // namespace w20
