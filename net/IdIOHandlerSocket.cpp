#include "net/IdIOHandlerSocket.h"

#include <chrono>

#include "net/IdExceptions.h"
#include "net/IdSteppedWait.h"
#include "net/SocketErrorMap.h"

namespace w20 {

TIdIOHandlerSocket::~TIdIOHandlerSocket() {
    Close();
}

void TIdIOHandlerSocket::Open() {
    if (binding_) {
        binding_->ClearState(true);
    } else {
        binding_ = std::make_unique<TIdSocketHandle>();
    }
}

void TIdIOHandlerSocket::Close() {
    if (race_)
        race_->Abandon();
    if (binding_)
        binding_->ReleaseSocket();
}

void TIdIOHandlerSocket::ConnectClient(const std::string& host, std::int32_t port, const std::string& boundIP,
                                       std::int32_t boundPort, std::int32_t boundPortMin,
                                       std::int32_t boundPortMax, std::int32_t timeout) {
    if (!binding_)
        Open();
    TIdStack& stack = RequireSharedStack();
    const bool limited = timeout != TimeoutDefault && timeout != 0;
    const TIdSteppedWait wait(limited ? timeout : TimeoutInfinite, IdleStep);
    try {
        std::vector<std::string> addresses = Resolve(host, wait);
        // A local address binds sockets of its own family only.
        if (!boundIP.empty()) {
            std::erase_if(addresses, [&boundIP](const std::string& address) {
                return TIdConnectRace::FamilyOf(address) != TIdConnectRace::FamilyOf(boundIP);
            });
            if (addresses.empty())
                throw EIdConnectException("No address of " + host + " is of the family of " + boundIP + ".");
        }
        // Sockets bound to one local port cannot try two addresses at once.
        race_.emplace(
            addresses,
            [&](TIdSocketHandle& handle, const std::string& address) {
                PrepareAttempt(handle, address, port, boundIP, boundPort, boundPortMin, boundPortMax);
            },
            boundPort != 0);
        if (!WaitStepped(wait, [this](std::int32_t step) { return race_->Step(step); }))
            throw EIdConnectTimeout();
        TIdSocketHandle* winner = race_->Winner();
        const std::int32_t failure = race_->LastFailure();
        if (winner != nullptr)
            binding_->TakeOver(*winner);
        race_.reset();
        if (winner != nullptr) {
            ConnectedWithin(host, wait);
            return;
        }
        if (limited)
            throw EIdConnectException(stack.SocketErrorText(failure));
        stack.ThrowSocketError(failure);
    } catch (...) {
        race_.reset();
        Close();
        throw;
    }
}

void TIdIOHandlerSocket::PrepareAttempt(TIdSocketHandle& handle, const std::string& address,
                                        std::int32_t port, const std::string& boundIP, std::int32_t boundPort,
                                        std::int32_t boundPortMin, std::int32_t boundPortMax) {
    handle.OpenSocket(IdSocketStream, 0, TIdConnectRace::FamilyOf(address));
    handle.SetIP(boundIP);
    handle.SetPort(boundPort);
    handle.SetClientPortMin(boundPortMin);
    handle.SetClientPortMax(boundPortMax);
    handle.BindLocal();
    handle.SetRemote(address, port);
    if (!useNagle_) {
        const std::int32_t on = 1;
        handle.SetOption(IdLevelTcp, IdOptionTcpNoDelay, &on, sizeof on);
    }
    ReportStatus(StatusConnecting, address);
}

std::vector<std::string> TIdIOHandlerSocket::Resolve(const std::string& host, const TIdSteppedWait& wait) {
    TIdStack& stack = RequireSharedStack();
    if (!stack.IsAddressText(host))
        ReportStatus(StatusResolving, host);
    TIdHostLookup lookup = stack.LookupHostAddresses(host);
    if (!WaitStepped(wait, [&lookup](std::int32_t step) {
            return lookup.WaitFinished(std::chrono::milliseconds(step));
        })) {
        throw EIdConnectTimeout();
    }
    if (lookup.Error() != 0)
        stack.ThrowSocketError(lookup.Error());
    return lookup.Addresses();
}

void TIdIOHandlerSocket::ConnectedWithin(const std::string& /*host*/, const TIdSteppedWait& /*wait*/) {}

bool TIdIOHandlerSocket::WaitStepped(const TIdSteppedWait& wait,
                                     const std::function<bool(std::int32_t step)>& ended) {
    return WaitInSteps(wait, ended, OnIdle);
}

bool TIdIOHandlerSocket::Connected() {
    return binding_ && binding_->HasSocket();
}

bool TIdIOHandlerSocket::Readable(std::int32_t timeout) {
    if (!binding_)
        throw EIdConnClosedGracefully();
    if (!OnIdle)
        return binding_->WaitReadable(timeout);
    const TIdSteppedWait wait(timeout, IdleStep);
    return WaitStepped(wait, [this](std::int32_t step) { return binding_->WaitReadable(step); });
}

std::int32_t TIdIOHandlerSocket::Recv(void* buffer, std::int32_t length) {
    if (!Connected())
        throw EIdClosedSocket();
    return binding_->ReceiveBytes(buffer, length, 0);
}

std::int32_t TIdIOHandlerSocket::Send(const void* buffer, std::int32_t length) {
    if (!Connected())
        throw EIdClosedSocket();
    const TIdSteppedWait wait(TimeoutInfinite, IdleStep);
    for (;;) {
        const std::int32_t sent = binding_->SendBytes(buffer, length, 0);
        if (sent != -1 || RequireSharedStack().LastSocketError() != seWouldBlock)
            return sent;
        WaitStepped(wait, [this](std::int32_t step) { return binding_->WaitWritable(step); });
    }
}

std::int32_t TIdIOHandlerSocket::RecvWithin(void* buffer, std::int32_t length, std::int32_t timeout) {
    // The socket's own calls: a handler over this one receives its raw bytes through here.
    for (;;) {
        const std::int32_t received = TIdIOHandlerSocket::Recv(buffer, length);
        if (received != -1 || RequireSharedStack().LastSocketError() != seWouldBlock)
            return received;
        if (!TIdIOHandlerSocket::Readable(timeout))
            return RecvTimedOut;
    }
}

}  // namespace w20
