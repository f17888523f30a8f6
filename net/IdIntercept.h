#pragma once

#include "net/IdBuffer.h"
#include "net/IdComponent.h"

namespace w20 {

class TIdTCPConnection;

// Optional hooks on a connection's traffic, for layers such as compression or logging. Every hook
// does nothing here; a derived class overrides what it needs.
class TIdConnectionIntercept : public TIdBaseComponent {
public:
    virtual void Connect(TIdTCPConnection& connection) { static_cast<void>(connection); }
    virtual void Disconnect() {}
    // A received block before it is queued; the hook may rewrite it, size included.
    virtual void Receive(TIdSimpleBuffer& block) { static_cast<void>(block); }
    // An outgoing block before it is sent; likewise.
    virtual void Send(TIdSimpleBuffer& block) { static_cast<void>(block); }
};

}  // namespace w20
