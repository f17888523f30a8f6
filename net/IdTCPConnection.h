#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "net/IdBuffer.h"
#include "net/IdComponent.h"
#include "net/IdIOHandler.h"
#include "net/IdIntercept.h"
#include "net/IdStack.h"
#include "net/IdSteppedWait.h"
#include "net/IdStream.h"

namespace w20 {

enum TIdMaxLineAction { maException, maSplit };

// One TCP connection: every received byte goes into InputQueue, from which lines, exact counts and
// everything up to the peer's close are read; writes go out at once or gathered in a batch.
//
// A close by the peer is noticed when a receive (or send) returns 0 bytes; the socket is then
// closed at the next CheckClosed, and bytes still queued stay readable until a read needs more.
class TIdTCPConnection : public TIdComponent {
public:
    static constexpr std::int32_t DefaultMaxLineLength = 16384;
    static constexpr std::int32_t DefaultBufferSize = 32768;
    // A read of a known count reserves room for at most this many bytes ahead; the rest grows as
    // it arrives. The count is the peer's word: up to this size a body that was announced
    // truthfully lands in one block reserved once, never copied on growth; a peer that announces
    // more than it sends costs at most this much reserved and unused memory, which the system
    // either leaves unbacked or commits, never the gigabytes a count can name.
    static constexpr std::size_t PresizeLimit = std::size_t{256} << 20;

    TIdTCPConnection();
    // Drops the socket without events and frees an owned I/O handler.
    ~TIdTCPConnection() override;

    // Clears bit 7 of every received byte before it is queued.
    bool ASCIIFilter() const { return asciiFilter_; }
    void SetASCIIFilter(bool value) { asciiFilter_ = value; }
    TIdConnectionIntercept* Intercept() const { return intercept_; }
    void SetIntercept(TIdConnectionIntercept* value);
    TIdIOHandler* IOHandler() const { return ioHandler_; }
    // Frees an owned handler first; the new one is only referenced.
    void SetIOHandler(TIdIOHandler* value);
    // The longest line ReadLine accepts; 0: no limit.
    std::int32_t MaxLineLength() const { return maxLineLength_; }
    void SetMaxLineLength(std::int32_t value) { maxLineLength_ = value; }
    TIdMaxLineAction MaxLineAction() const { return maxLineAction_; }
    void SetMaxLineAction(TIdMaxLineAction value) { maxLineAction_ = value; }
    // Wait limit of one receive in ms; 0: no limit.
    std::int32_t ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(std::int32_t value) { readTimeout_ = value; }
    // Size of one receive and of the blocks of ReadToStream; at least 1.
    std::int32_t RecvBufferSize() const { return recvBufferSize_; }
    void SetRecvBufferSize(std::int32_t value);
    // Block size when sending from a stream; at least 1.
    std::int32_t SendBufferSize() const { return sendBufferSize_; }
    void SetSendBufferSize(std::int32_t value);

    // Fired after the connection has been closed, by Disconnect or by noticing the peer's close.
    std::function<void(TIdTCPConnection& sender)> OnDisconnected;
    // Handed, like OnStatus, to the I/O handler that Connect creates: called between the short
    // steps of its waits (a connect with a limit, receive), and it may raise to end them.
    std::function<void()> OnIdle;

    // The time by which every wait of the connection (connect, receive) ends, over all of them
    // together; none, the default, leaves each wait to its own limit. A wait that reaches it
    // raises through RaiseDeadlinePassed.
    const std::optional<TIdClock::time_point>& Deadline() const { return deadline_; }
    void SetDeadline(const std::optional<TIdClock::time_point>& value) { deadline_ = value; }

    // Received bytes not yet consumed.
    TIdManagedBuffer& InputQueue() { return inputQueue_; }
    bool PeerClosed() const { return peerClosed_; }
    // Set by ReadLine when it returned part of an over-long line under maSplit.
    bool LineSplit() const { return lineSplit_; }
    // Set by ReadLine when it gave up on its time limit without an exception.
    bool LineTimedOut() const { return lineTimedOut_; }
    bool OwnsIOHandler() const { return ownedIOHandler_ != nullptr; }

    virtual void DoOnDisconnected();
    // Empties InputQueue and forgets a close by the peer.
    virtual void ResetState();
    // Everything up to the peer's close.
    virtual std::string ReadAll();
    // Completes a close that the peer started; raises EIdConnClosedGracefully when closed and
    // raiseIfClosed is set, unless bytes are queued and ignoreQueue is clear.
    virtual void CheckClosed(bool raiseIfClosed, bool ignoreQueue);
    // One receive with a 1 ms limit: picks up waiting bytes or a pending close.
    virtual void PollClosed(bool raiseIfClosed);
    virtual bool Connected();
    // Closes with status reports and the disconnect event; frees an owned I/O handler.
    virtual void Disconnect();
    // Closes the socket at once, without events.
    virtual void DropSocket();
    // The only receive path. Returns the bytes added, 0, or -1 when the wait ran out and
    // raiseOnTimeout is clear (set: EIdReadTimeout). The timeout is in ms or TimeoutDefault /
    // TimeoutInfinite.
    virtual std::int32_t FillInputQueue(bool raiseIfClosed, std::int32_t timeout, bool raiseOnTimeout);
    // One line without its terminator (empty: LF, which also drops one CR before it). A maximum of
    // -1 means MaxLineLength. A timeout other than TimeoutDefault that runs out returns the empty
    // string with LineTimedOut set.
    virtual std::string ReadLine(const std::string& terminator = std::string(),
                                 std::int32_t timeout = TimeoutDefault, std::int32_t maxLength = -1);
    // Exactly count bytes.
    void ReadExact(void* destination, std::int32_t count);
    // count bytes, or with untilClose everything up to the peer's close, written to the stream at
    // its position; the stream ends at its position afterwards. A count of -1 without untilClose
    // reads the count first, as 4 bytes in network order.
    void ReadToStream(TIdStream& stream, std::int32_t count, bool untilClose);
    // Everything queued, after one receive when connected.
    std::string TakeBuffered();

    // Sends count bytes, or adds them to an open batch unless writeNow is set.
    void WriteBytes(const void* data, std::int32_t count, bool writeNow = false);
    virtual void WriteText(const std::string& text);
    // The text followed by CR LF.
    virtual void WriteLine(const std::string& text = std::string());
    // Sends from the stream's position (from its start when fromStart is set) count bytes, or up
    // to its end when count is 0, in blocks of SendBufferSize.
    virtual void WriteFromStream(TIdStream& stream, bool fromStart, std::int32_t count, bool writeCountFirst);

    // Gathers writes until they are flushed; a threshold above 0 flushes that many bytes whenever
    // the batch holds at least that many.
    void BeginBatch(std::int32_t threshold = -1);
    // Sends the whole batch (-1), or its first count bytes when it holds that many.
    void FlushBatch(std::int32_t count = -1);
    // Sends the rest and closes the batch, also when the send fails.
    void EndBatch();
    void DiscardBatch();

protected:
    void Notification(TIdBaseComponent& destroyed) override;
    // A wait has reached the deadline. A bare connection reports a read time-out; a protocol
    // client that sets deadlines names its own limit.
    [[noreturn]] virtual void RaiseDeadlinePassed();
    // A wait limit in ms (negative: none), shortened to what is left before the deadline;
    // bounded tells whether the deadline is the tighter limit. Raises once the deadline has passed.
    std::int32_t WithinDeadline(std::int32_t limit, bool& bounded);
    // Makes the handler this connection's own; it is freed by Disconnect.
    void AdoptIOHandler(std::unique_ptr<TIdIOHandler> handler);

private:
    // Memory that a stream lent for the block being read: receives land there instead of in
    // InputQueue, and the bytes held there count as queued.
    struct Landing {
        char* room = nullptr;
        std::int32_t length = 0;
        std::int32_t held = 0;
    };

    // Receives once into the end of InputQueue, or into the landing when one is lent, waiting at
    // most timeout ms when nothing has arrived: the handler's unchecked result (RecvTimedOut after
    // a wait in vain), and in added how many bytes arrived after the intercept saw them.
    std::int32_t ReceiveOnce(std::int32_t& added, std::int32_t timeout);
    // Where the last count bytes received lie.
    char* LastReceived(std::int32_t count);
    // Fills the queue until it holds count bytes.
    void WaitQueued(std::size_t count);
    // Moves count queued bytes to the stream.
    void QueueToStream(TIdStream& stream, std::size_t count);
    void ReadToStreamBlocks(TIdStream& stream, std::int64_t remaining, bool untilClose);
    // Exactly count bytes to the stream, straight into its memory where it lends some. Up to the
    // close the stream is not asked to grow for a block that may never come.
    void ReadBlock(TIdStream& stream, std::int32_t count, bool untilClose);
    // Receives exactly count bytes (at most RecvBufferSize) into room, memory that the stream
    // lends through Land, and returns count. A failure leaves the bytes that did arrive queued,
    // as if they had come through InputQueue.
    std::size_t ReceiveInto(char* room, std::size_t count);
    std::string LineTooLong(std::int32_t maximum);
    void SendAll(const char* data, std::int32_t count);

    TIdManagedBuffer inputQueue_;
    TIdSimpleBuffer receiveBlock_;  // used when an intercept sees each received block
    Landing landing_;
    std::unique_ptr<TIdSimpleBuffer> batch_;
    std::int32_t batchThreshold_ = -1;
    TIdIOHandler* ioHandler_ = nullptr;
    std::unique_ptr<TIdIOHandler> ownedIOHandler_;
    TIdConnectionIntercept* intercept_ = nullptr;
    bool asciiFilter_ = false;
    bool peerClosed_ = false;
    bool lineSplit_ = false;
    bool lineTimedOut_ = false;
    std::int32_t maxLineLength_ = DefaultMaxLineLength;
    TIdMaxLineAction maxLineAction_ = maException;
    std::int32_t readTimeout_ = 0;
    std::int32_t recvBufferSize_ = DefaultBufferSize;
    std::int32_t sendBufferSize_ = DefaultBufferSize;
    std::optional<TIdClock::time_point> deadline_;
};

}  // namespace w20
