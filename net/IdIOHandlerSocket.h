#pragma once

#include <memory>

#include "net/IdIOHandler.h"
#include "net/IdSocketHandle.h"

namespace w20 {

class TIdConnectThread;

// The transport over one TCP socket.
class TIdIOHandlerSocket : public TIdIOHandler {
public:
    // Steps of the wait for a timed connect, in milliseconds.
    static constexpr std::int32_t ConnectPollStep = 125;
    // Steps of a wait for data while OnIdle is assigned, in milliseconds.
    static constexpr std::int32_t IdleStep = 50;

    ~TIdIOHandlerSocket() override;

    // Creates the socket handle, or clears the one kept from an earlier connection.
    void Open() override;
    void Close() override;
    // Resolves the host when it is no address text, binds the local end, and connects; a failure
    // raises EIdSocketError, EIdConnectTimeout or EIdConnectException and leaves the socket open
    // for the caller to close. A connect with a limit runs on a thread of its own while this one
    // waits in steps, calling OnIdle between them.
    void ConnectClient(const std::string& host, std::int32_t port, const std::string& boundIP,
                       std::int32_t boundPort, std::int32_t boundPortMin, std::int32_t boundPortMax,
                       std::int32_t timeout) override;
    bool Connected() override;
    // Raises EIdConnClosedGracefully when no socket is open. With OnIdle assigned the wait is
    // taken in steps of IdleStep, the hook called after each step that found nothing.
    bool Readable(std::int32_t timeout) override;
    // Both raise EIdClosedSocket when no socket is open.
    std::int32_t Recv(void* buffer, std::int32_t length) override;
    std::int32_t Send(const void* buffer, std::int32_t length) override;

    // The socket handle; none before the first Open.
    TIdSocketHandle* Binding() { return binding_.get(); }
    // When false, small writes leave at once instead of being gathered by the platform.
    bool UseNagle() const { return useNagle_; }
    void SetUseNagle(bool value) { useNagle_ = value; }

private:
    // Connects on a thread of its own, waiting in steps of ConnectPollStep, with OnIdle called
    // between them.
    void ConnectTimed(std::int32_t timeout);
    // Ends a connect that is still under way and closes its socket.
    void AbandonConnect(TIdConnectThread& thread, TSocket socket);

    std::unique_ptr<TIdSocketHandle> binding_;
    bool useNagle_ = true;
};

}  // namespace w20
