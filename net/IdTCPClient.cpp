#include "net/IdTCPClient.h"

#include "net/IdExceptions.h"
#include "net/IdIOHandlerSocket.h"

namespace w20 {

void TIdTCPClient::Connect(std::int32_t timeout) {
    if (IOHandler() == nullptr) {
        auto handler = std::make_unique<TIdIOHandlerSocket>();
        handler->OnStatus = OnStatus;
        handler->OnIdle = OnIdle;
        AdoptIOHandler(std::move(handler));
    } else if (IOHandler()->Connected()) {
        throw EIdAlreadyConnected();
    } else if (OnIdle) {
        // The connection's hook is that of every handler it waits through.
        IOHandler()->OnIdle = OnIdle;
    }
    try {
        IOHandler()->Open();
        ResetState();
        // For a connect, 0 too means no limit.
        bool bounded = false;
        const std::int32_t limit = WithinDeadline(timeout == 0 ? TimeoutInfinite : timeout, bounded);
        try {
            IOHandler()->ConnectClient(host_, port_, boundIP_, boundPort_, boundPortMin_, boundPortMax_,
                                       bounded ? limit : timeout);
        } catch (const EIdConnectTimeout&) {
            if (bounded)
                RaiseDeadlinePassed();
            throw;
        }
        if (Intercept() != nullptr)
            Intercept()->Connect(*this);
        ReportStatus(StatusConnected, host_);
        DoOnConnected();
    } catch (...) {
        DropSocket();
        throw;
    }
}

void TIdTCPClient::DoOnConnected() {
    if (OnConnected)
        OnConnected(*this);
}

}  // namespace w20
