#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "net/IdTCPConnection.h"

namespace w20 {

// A connection that opens itself to Host:Port.
class TIdTCPClient : public TIdTCPConnection {
public:
    const std::string& Host() const { return host_; }
    virtual void SetHost(const std::string& value) { host_ = value; }
    std::int32_t Port() const { return port_; }
    virtual void SetPort(std::int32_t value) { port_ = value; }
    // The local end to bind before connecting: empty and 0 let the platform choose.
    const std::string& BoundIP() const { return boundIP_; }
    void SetBoundIP(const std::string& value) { boundIP_ = value; }
    std::int32_t BoundPort() const { return boundPort_; }
    void SetBoundPort(std::int32_t value) { boundPort_ = value; }
    // A local port range, tried from the top when BoundPort is 0 and both ends are set.
    std::int32_t BoundPortMin() const { return boundPortMin_; }
    void SetBoundPortMin(std::int32_t value) { boundPortMin_ = value; }
    std::int32_t BoundPortMax() const { return boundPortMax_; }
    void SetBoundPortMax(std::int32_t value) { boundPortMax_ = value; }

    // Fired at the end of a successful Connect.
    std::function<void(TIdTCPClient& sender)> OnConnected;

    // Opens the connection, creating a socket I/O handler of its own when none is assigned.
    // A timeout other than TimeoutDefault and 0 limits the connect to that many ms, and so does
    // what is left before the Deadline. Raises EIdAlreadyConnected on an open connection; any
    // other failure closes the socket first.
    virtual void Connect(std::int32_t timeout = TimeoutDefault);

protected:
    virtual void DoOnConnected();

private:
    std::string host_;
    std::int32_t port_ = 0;
    std::string boundIP_;
    std::int32_t boundPort_ = 0;
    std::int32_t boundPortMin_ = 0;
    std::int32_t boundPortMax_ = 0;
};

}  // namespace w20
