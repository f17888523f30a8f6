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
        const std::vector<std::string> addresses = Resolve(host, wait);
        std::int32_t failure = 0;
        for (const std::string& address : addresses) {
            // A refused connect leaves its socket unusable: each address gets a socket of its own.
            binding_->OpenSocket(IdSocketStream, 0);
            binding_->SetIP(boundIP);
            binding_->SetPort(boundPort);
            binding_->SetClientPortMin(boundPortMin);
            binding_->SetClientPortMax(boundPortMax);
            binding_->BindLocal();
            binding_->SetRemote(address, port);
            if (!useNagle_) {
                const std::int32_t on = 1;
                binding_->SetOption(IdLevelTcp, IdOptionTcpNoDelay, &on, sizeof on);
            }
            ReportStatus(StatusConnecting, binding_->RemoteIP());
            failure = ConnectWithin(wait);
            if (failure == 0) {
                ConnectedWithin(host, wait);
                return;
            }
        }
        if (limited)
            throw EIdConnectException(stack.SocketErrorText(failure));
        stack.ThrowSocketError(failure);
    } catch (...) {
        Close();
        throw;
    }
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

std::int32_t TIdIOHandlerSocket::ConnectWithin(const TIdSteppedWait& wait) {
    TIdStack& stack = RequireSharedStack();
    const TSocket socket = binding_->SocketId();
    stack.CheckSocketResult(stack.SetSocketBlocking(socket, false));
    if (binding_->ConnectToRemote(IdFamilyInet) == -1) {
        const std::int32_t code = stack.LastSocketError();
        if (code != seWouldBlock && code != seInProgress)
            return code;
        if (!WaitStepped(wait, [this](std::int32_t step) { return binding_->WaitWritable(step); }))
            throw EIdConnectTimeout();
        const std::int32_t pending = stack.SocketPendingError(socket);
        stack.CheckSocketResult(pending);
        if (pending != 0)
            return pending;
        binding_->RefreshLocalEnd();
        binding_->RefreshRemoteEnd();
    }
    // The socket stays so: a receive returns at once when nothing has come, and every wait is
    // the handler's own, in steps, within its limit.
    return 0;
}

void TIdIOHandlerSocket::ConnectedWithin(const std::string& /*host*/, const TIdSteppedWait& /*wait*/) {}

bool TIdIOHandlerSocket::WaitStepped(const TIdSteppedWait& wait,
                                     const std::function<bool(std::int32_t step)>& ended) {
    for (;;) {
        if (ended(wait.NextStep()))
            return true;
        if (wait.Over())
            return false;
        if (OnIdle)
            OnIdle();
    }
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
