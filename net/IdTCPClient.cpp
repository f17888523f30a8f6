#include "net/IdTCPClient.h"

#include "net/IdExceptions.h"
#include "net/IdIOHandlerSocket.h"

namespace w20 {

void TIdTCPClient::Connect(std::int32_t timeout) {
    if (IOHandler() == nullptr) {
        auto handler = std::make_unique<TIdIOHandlerSocket>();
        handler->OnStatus = OnStatus;
        AdoptIOHandler(std::move(handler));
    } else if (IOHandler()->Connected()) {
        throw EIdAlreadyConnected();
    }
    try {
        IOHandler()->Open();
        ResetState();
        IOHandler()->ConnectClient(host_, port_, boundIP_, boundPort_, boundPortMin_, boundPortMax_, timeout);
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
