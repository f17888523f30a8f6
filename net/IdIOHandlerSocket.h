#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/IdConnectRace.h"
#include "net/IdIOHandler.h"
#include "net/IdSocketHandle.h"

namespace w20 {

class TIdSteppedWait;

// The transport over one TCP socket.
class TIdIOHandlerSocket : public TIdIOHandler {
public:
    // Steps of the waits for a name lookup and a connect, and of a wait for data while OnIdle is
    // assigned, in milliseconds.
    static constexpr std::int32_t IdleStep = 50;

    ~TIdIOHandlerSocket() override;

    // Creates the socket handle, or clears the one kept from an earlier connection.
    void Open() override;
    void Close() override;
    // Resolves the host when it is no address text, then races connects to its addresses
    // (TIdConnectRace), each socket bound to the local end. The lookup and the race wait in steps
    // of at most IdleStep with OnIdle called between them, all within the one limit:
    // EIdConnectTimeout when it runs out. A connect refused by every address raises the last
    // failure: with a limit EIdConnectException, without one EIdSocketError. Close during the
    // race closes every socket of it. The sockets of a failure are closed.
    void ConnectClient(const std::string& host, std::int32_t port, const std::string& boundIP,
                       std::int32_t boundPort, std::int32_t boundPortMin, std::int32_t boundPortMax,
                       std::int32_t timeout) override;
    bool Connected() override;
    // Raises EIdConnClosedGracefully when no socket is open. With OnIdle assigned the wait is
    // taken in steps of IdleStep, the hook called after each step that found nothing.
    bool Readable(std::int32_t timeout) override;
    // Both raise EIdClosedSocket when no socket is open. The socket does not block: a receive with
    // nothing there fails with 10035, and a send that cannot go on waits in steps of IdleStep, with
    // OnIdle called between them, until it can.
    std::int32_t Recv(void* buffer, std::int32_t length) override;
    std::int32_t Send(const void* buffer, std::int32_t length) override;
    // The receive first, the wait only when it would block.
    std::int32_t RecvWithin(void* buffer, std::int32_t length, std::int32_t timeout) override;

    // The socket handle; none before the first Open.
    TIdSocketHandle* Binding() { return binding_.get(); }
    // When false, small writes leave at once instead of being gathered by the platform.
    bool UseNagle() const { return useNagle_; }
    void SetUseNagle(bool value) { useNagle_ = value; }

protected:
    // A step after the TCP connect, within what is left of the same limit; nothing here.
    virtual void ConnectedWithin(const std::string& host, const TIdSteppedWait& wait);
    // Calls ended with each step's length until it gives true, and OnIdle after each step that
    // gave false; false once the wait is over.
    bool WaitStepped(const TIdSteppedWait& wait, const std::function<bool(std::int32_t step)>& ended);

private:
    // Every address of the host, waited for within the limit.
    std::vector<std::string> Resolve(const std::string& host, const TIdSteppedWait& wait);
    // A new socket for one address of the race, bound as the connect asked.
    void PrepareAttempt(TIdSocketHandle& handle, const std::string& address, std::int32_t port,
                        const std::string& boundIP, std::int32_t boundPort, std::int32_t boundPortMin,
                        std::int32_t boundPortMax);

    std::unique_ptr<TIdSocketHandle> binding_;
    std::optional<TIdConnectRace> race_;
    bool useNagle_ = true;
};

}  // namespace w20
