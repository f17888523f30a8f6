#include "net/IdIOHandlerSocket.h"

#include <chrono>

#include "net/IdConnectThread.h"
#include "net/IdExceptions.h"
#include "net/IdSteppedWait.h"

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
    binding_->OpenSocket(IdSocketStream, 0);
    binding_->SetIP(boundIP);
    binding_->SetPort(boundPort);
    binding_->SetClientPortMin(boundPortMin);
    binding_->SetClientPortMax(boundPortMax);
    binding_->BindLocal();
    if (!stack.IsAddressText(host))
        ReportStatus(StatusResolving, host);
    binding_->SetRemote(stack.LookupHost(host), port);
    if (!useNagle_) {
        const std::int32_t on = 1;
        binding_->SetOption(IdLevelTcp, IdOptionTcpNoDelay, &on, sizeof on);
    }
    ReportStatus(StatusConnecting, binding_->RemoteIP());
    if (timeout != TimeoutDefault && timeout != 0) {
        ConnectTimed(timeout);
    } else {
        stack.CheckSocketResult(binding_->ConnectToRemote(IdFamilyInet));
    }
}

void TIdIOHandlerSocket::ConnectTimed(std::int32_t timeout) {
    const TSocket socket = binding_->SocketId();
    TIdConnectThread thread(socket, binding_->RemoteIP(), binding_->RemotePort());

    // Waits in steps and stops early once the connect has returned.
    const TIdSteppedWait wait(timeout, ConnectPollStep);
    bool finished = false;
    try {
        for (;;) {
            finished = thread.WaitFinished(std::chrono::milliseconds(wait.NextStep()));
            if (finished || wait.Over())
                break;
            if (OnIdle)
                OnIdle();
        }
    } catch (...) {
        AbandonConnect(thread, socket);
        throw;
    }
    if (!finished) {
        AbandonConnect(thread, socket);
        throw EIdConnectTimeout();
    }
    const std::string message = thread.Message();
    if (!message.empty())
        throw EIdConnectException(message);
    binding_->RefreshLocalEnd();
    binding_->RefreshRemoteEnd();
}

void TIdIOHandlerSocket::AbandonConnect(TIdConnectThread& thread, TSocket socket) {
    // A shutdown ends a connect that is under way without freeing the descriptor, so the thread
    // never meets a descriptor value that has since been given to another file; it is repeated
    // in case the thread had not reached the connect yet.
    TIdStack& stack = RequireSharedStack();
    thread.Terminate();
    do {
        stack.ShutdownSocket(socket, IdShutdownSend);
    } while (!thread.WaitFinished(std::chrono::milliseconds(10)));
    Close();
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
    for (;;) {
        if (binding_->WaitReadable(wait.NextStep()))
            return true;
        if (wait.Over())
            return false;
        OnIdle();
    }
}

std::int32_t TIdIOHandlerSocket::Recv(void* buffer, std::int32_t length) {
    if (!Connected())
        throw EIdClosedSocket();
    return binding_->ReceiveBytes(buffer, length, 0);
}

std::int32_t TIdIOHandlerSocket::Send(const void* buffer, std::int32_t length) {
    if (!Connected())
        throw EIdClosedSocket();
    return binding_->SendBytes(buffer, length, 0);
}

}  // namespace w20
