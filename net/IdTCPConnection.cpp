#include "net/IdTCPConnection.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "net/IdExceptions.h"
#include "net/IdSocketHandle.h"
#include "net/SocketErrorMap.h"

namespace w20 {

namespace {

// Where the terminator first occurs in bytes at or after from; npos when it does not.
std::size_t FindTerminator(std::string_view bytes, std::string_view terminator, std::size_t from) {
    if (terminator.size() == 1) {
        if (from >= bytes.size())
            return std::string_view::npos;
        const void* hit = std::memchr(bytes.data() + from, terminator[0], bytes.size() - from);
        return hit == nullptr ? std::string_view::npos
                              : static_cast<std::size_t>(static_cast<const char*>(hit) - bytes.data());
    }
    return bytes.find(terminator, from);
}

}  // namespace

TIdTCPConnection::TIdTCPConnection() {
    inputQueue_.OnRemoved = [this](std::size_t count) {
        WorkProgress(WorkRead, static_cast<std::int64_t>(count));
    };
}

TIdTCPConnection::~TIdTCPConnection() {
    DropSocket();
    ownedIOHandler_.reset();
}

void TIdTCPConnection::SetIntercept(TIdConnectionIntercept* value) {
    if (intercept_ == value)
        return;
    if (intercept_ != nullptr)
        RemoveFreeNotification(*intercept_);
    intercept_ = value;
    if (intercept_ != nullptr)
        FreeNotification(*intercept_);
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* value) {
    if (ioHandler_ == value)
        return;
    ownedIOHandler_.reset();
    if (ioHandler_ != nullptr)
        RemoveFreeNotification(*ioHandler_);
    ioHandler_ = value;
    if (ioHandler_ != nullptr)
        FreeNotification(*ioHandler_);
}

void TIdTCPConnection::AdoptIOHandler(std::unique_ptr<TIdIOHandler> handler) {
    SetIOHandler(handler.get());
    ownedIOHandler_ = std::move(handler);
}

void TIdTCPConnection::Notification(TIdBaseComponent& destroyed) {
    if (&destroyed == ioHandler_)
        ioHandler_ = nullptr;
    if (&destroyed == intercept_)
        intercept_ = nullptr;
}

void TIdTCPConnection::RaiseDeadlinePassed() {
    throw EIdReadTimeout();
}

std::int32_t TIdTCPConnection::WithinDeadline(std::int32_t limit, bool& bounded) {
    bounded = false;
    if (!deadline_)
        return limit;
    const std::int64_t left = MillisecondsUntil(*deadline_);
    if (left == 0)
        RaiseDeadlinePassed();
    if (limit >= 0 && limit <= left)
        return limit;
    bounded = true;
    return static_cast<std::int32_t>(std::min<std::int64_t>(left, std::numeric_limits<std::int32_t>::max()));
}

void TIdTCPConnection::SetRecvBufferSize(std::int32_t value) {
    // A size of 0 would receive nothing and read as a close, and make ReadToStream spin.
    recvBufferSize_ = std::max(value, 1);
}

void TIdTCPConnection::SetSendBufferSize(std::int32_t value) {
    sendBufferSize_ = std::max(value, 1);
}

void TIdTCPConnection::DoOnDisconnected() {
    if (OnDisconnected)
        OnDisconnected(*this);
}

void TIdTCPConnection::ResetState() {
    inputQueue_.Clear();
    peerClosed_ = false;
}

void TIdTCPConnection::CheckClosed(bool raiseIfClosed, bool ignoreQueue) {
    bool closed = false;
    if (ioHandler_ != nullptr) {
        if (peerClosed_) {
            if (ioHandler_->Connected()) {
                DropSocket();
                ReportStatus(StatusDisconnected);
                DoOnDisconnected();
            }
            closed = true;
        } else {
            closed = !ioHandler_->Connected();
        }
    }
    // Bytes still queued are readable before the close is reported.
    if (closed && (inputQueue_.Size() == 0 || ignoreQueue) && raiseIfClosed)
        throw EIdConnClosedGracefully();
}

bool TIdTCPConnection::Connected() {
    CheckClosed(false, false);
    return ioHandler_ != nullptr && ioHandler_->Connected();
}

void TIdTCPConnection::PollClosed(bool raiseIfClosed) {
    FillInputQueue(raiseIfClosed, 1, false);
}

void TIdTCPConnection::Disconnect() {
    const bool was = Connected();
    if (was) {
        ReportStatus(StatusDisconnecting);
        DropSocket();
    }
    ownedIOHandler_.reset();
    if (was) {
        DoOnDisconnected();
        ReportStatus(StatusDisconnected);
    }
}

void TIdTCPConnection::DropSocket() {
    if (ioHandler_ == nullptr)
        return;
    peerClosed_ = true;
    if (intercept_ != nullptr)
        intercept_->Disconnect();
    // The hook may have let go of the handler.
    if (ioHandler_ != nullptr)
        ioHandler_->Close();
}

std::int32_t TIdTCPConnection::ReceiveOnce(std::int32_t& added, std::int32_t timeout) {
    added = 0;
    if (landing_.room != nullptr) {
        const std::int32_t n =
            ioHandler_->RecvWithin(landing_.room + landing_.held, landing_.length - landing_.held, timeout);
        added = std::max(n, 0);
        landing_.held += added;
        return n;
    }
    if (intercept_ != nullptr) {
        receiveBlock_.SetSize(static_cast<std::size_t>(recvBufferSize_));
        const std::int32_t n = ioHandler_->RecvWithin(receiveBlock_.Memory(), recvBufferSize_, timeout);
        if (n > 0) {
            receiveBlock_.SetSize(static_cast<std::size_t>(n));
            intercept_->Receive(receiveBlock_);
            added = static_cast<std::int32_t>(receiveBlock_.Size());
            inputQueue_.Append(receiveBlock_.Bytes());
        }
        return n;
    }
    // Without a hook to show the block to, the bytes go straight to the end of the queue.
    const std::size_t queued = inputQueue_.Size();
    char* const tail = inputQueue_.Extend(static_cast<std::size_t>(recvBufferSize_));
    std::int32_t n;
    try {
        n = ioHandler_->RecvWithin(tail, recvBufferSize_, timeout);
    } catch (...) {
        inputQueue_.SetSize(queued);
        throw;
    }
    added = std::max(n, 0);
    inputQueue_.SetSize(queued + static_cast<std::size_t>(added));
    return n;
}

char* TIdTCPConnection::LastReceived(std::int32_t count) {
    if (landing_.room != nullptr)
        return landing_.room + landing_.held - count;
    return inputQueue_.Memory() + inputQueue_.Size() - static_cast<std::size_t>(count);
}

std::int32_t TIdTCPConnection::FillInputQueue(bool raiseIfClosed, std::int32_t timeout, bool raiseOnTimeout) {
    if (timeout == TimeoutDefault)
        timeout = readTimeout_ == 0 ? TimeoutInfinite : readTimeout_;
    CheckClosed(raiseIfClosed, false);
    if (!Connected()) {
        if (raiseIfClosed)
            throw EIdNotConnected();
        return 0;
    }
    std::int32_t n;
    do {
        // Checked before every receive, so that a peer that never lets a wait run out, or never
        // makes one needed, cannot keep the exchange going past the deadline either.
        bool bounded = false;
        const std::int32_t limit = WithinDeadline(timeout, bounded);
        // An event handler may have taken the handler away meanwhile.
        std::int32_t added = 0;
        if (ioHandler_ == nullptr) {
            if (raiseIfClosed)
                throw EIdNotConnected();
            n = 0;
        } else {
            n = ReceiveOnce(added, limit);
        }
        if (n == TIdIOHandler::RecvTimedOut) {
            if (bounded)
                RaiseDeadlinePassed();
            if (raiseOnTimeout)
                throw EIdReadTimeout();
            return -1;
        }
        peerClosed_ = n == 0;
        if (n != 0) {
            TIdStack& stack = RequireSharedStack();
            if (stack.CheckSocketResult(n, {seShutdown, seConnectionAborted})) {
                if (ioHandler_ != nullptr)
                    DropSocket();
                if (inputQueue_.Size() == 0 && landing_.held == 0)
                    stack.ThrowSocketError(stack.LastSocketErrorCode());
                n = 0;
            }
        }
        if (n > 0) {
            // What the intercept made of the block counts from here on.
            n = added;
            if (asciiFilter_) {
                char* const bytes = LastReceived(n);
                for (std::int32_t i = 0; i < n; ++i)
                    bytes[i] = static_cast<char>(bytes[i] & 0x7F);
            }
        }
        CheckClosed(raiseIfClosed, false);
    } while (n == 0 && Connected());
    return n;
}

std::string TIdTCPConnection::LineTooLong(std::int32_t maximum) {
    if (maxLineAction_ == maException)
        throw EIdReadLnMaxLineLengthExceeded();
    lineSplit_ = true;
    return inputQueue_.TakeFront(static_cast<std::size_t>(std::max(maximum, 0)));
}

std::string TIdTCPConnection::ReadLine(const std::string& terminator, std::int32_t timeout,
                                       std::int32_t maxLength) {
    const std::int64_t maximum = maxLength == -1 ? maxLineLength_ : maxLength;
    const std::string_view end = terminator.empty() ? std::string_view("\n") : std::string_view(terminator);
    const auto tooLong = [maximum](std::size_t length) {
        return maximum != 0 && static_cast<std::int64_t>(length) > maximum;
    };
    lineSplit_ = false;
    lineTimedOut_ = false;
    std::size_t found = std::string_view::npos;  // bytes before the terminator
    std::size_t searched = 0;
    for (;;) {
        const std::size_t size = inputQueue_.Size();
        if (size > 0) {
            // Only the bytes that arrived since the last search are searched, together with the
            // end of the earlier ones where a longer terminator may have begun.
            const std::size_t from = searched >= end.size() - 1 ? searched - (end.size() - 1) : 0;
            found = FindTerminator(inputQueue_.Bytes(), end, from);
            searched = size;
        }
        if (found == std::string_view::npos) {
            // The limit trips before the terminator has arrived, so nothing grows without bound;
            // the last bytes may be the start of a longer terminator and do not count yet.
            if (tooLong(searched - std::min(searched, end.size() - 1))) {
                return LineTooLong(static_cast<std::int32_t>(maximum));
            }
            // A close before the terminator raises even with bytes queued; they stay queued.
            CheckClosed(true, true);
            const std::int32_t received = FillInputQueue(true, timeout, timeout == TimeoutDefault);
            lineTimedOut_ = received == -1;
            if (lineTimedOut_)
                return std::string();
            continue;
        }
        // The CR of a CR LF ending counts towards the limit.
        if (tooLong(found))
            return LineTooLong(static_cast<std::int32_t>(maximum));
        std::size_t length = found;
        if (end == "\n" && found > 0 && inputQueue_.Bytes()[found - 1] == '\r')
            --length;
        std::string line(inputQueue_.Bytes().substr(0, length));
        inputQueue_.DropFront(found + end.size());
        return line;
    }
}

void TIdTCPConnection::WaitQueued(std::size_t count) {
    while (inputQueue_.Size() < count) {
        FillInputQueue(true, TimeoutDefault, true);
        CheckClosed(true, true);
    }
}

void TIdTCPConnection::ReadExact(void* destination, std::int32_t count) {
    if (count <= 0)
        return;
    WaitQueued(static_cast<std::size_t>(count));
    std::memcpy(destination, inputQueue_.Bytes().data(), static_cast<std::size_t>(count));
    inputQueue_.DropFront(static_cast<std::size_t>(count));
}

void TIdTCPConnection::QueueToStream(TIdStream& stream, std::size_t count) {
    stream.Write(inputQueue_.Bytes().data(), count);
    inputQueue_.DropFront(count);
}

void TIdTCPConnection::ReadToStream(TIdStream& stream, std::int32_t count, bool untilClose) {
    if (count == -1 && !untilClose) {
        std::uint32_t value = 0;
        ReadExact(&value, sizeof value);
        count = static_cast<std::int32_t>(RequireSharedStack().NetToHostLong(value));
    }
    if (count >= 0) {
        stream.Reserve(stream.Position() + std::min(static_cast<std::size_t>(count), PresizeLimit));
    }
    // Up to the close nothing bounds the count, so it is kept in 64 bits: a body of more than
    // 2 GiB is read to its end, not cut at the largest 32-bit count.
    std::int64_t remaining = count;
    if (untilClose) {
        remaining = std::numeric_limits<std::int64_t>::max();
        WorkBegin(WorkRead, 0);
    } else {
        WorkBegin(WorkRead, count);
    }
    // Whatever happens, the stream ends where the last byte was written.
    const auto finish = [this, &stream] {
        WorkEnd(WorkRead);
        if (stream.Size() > stream.Position())
            stream.SetSize(stream.Position());
    };
    try {
        ReadToStreamBlocks(stream, remaining, untilClose);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

void TIdTCPConnection::ReadToStreamBlocks(TIdStream& stream, std::int64_t remaining, bool untilClose) {
    if (inputQueue_.Size() > 0 && remaining > 0) {
        const std::size_t n =
            static_cast<std::size_t>(std::min(static_cast<std::int64_t>(inputQueue_.Size()), remaining));
        QueueToStream(stream, n);
        remaining -= static_cast<std::int64_t>(n);
    }
    const std::int32_t block = static_cast<std::int32_t>(std::min<std::int64_t>(remaining, recvBufferSize_));
    while (Connected() && remaining > 0) {
        std::int32_t k = static_cast<std::int32_t>(std::min<std::int64_t>(remaining, block));
        try {
            ReadBlock(stream, k, untilClose);
        } catch (const EIdConnClosedGracefully&) {
            // Without a count the close is the end of the data; with one, the unfinished block
            // stays queued and the close goes on to the caller.
            if (!untilClose)
                throw;
            k = static_cast<std::int32_t>(inputQueue_.Size());
            QueueToStream(stream, static_cast<std::size_t>(k));
        }
        remaining -= k;
    }
}

void TIdTCPConnection::ReadBlock(TIdStream& stream, std::int32_t count, bool untilClose) {
    // Bytes already queued come first, and an intercept sees every block in the queue. A block
    // short of a whole receive goes through the queue too: the one receive that completes it also
    // brings what follows (a chunk's line end and the next size line), where landing it in the
    // stream would cost a receive of its own for a few bytes.
    if (inputQueue_.Size() == 0 && intercept_ == nullptr && count >= recvBufferSize_ &&
        stream.Land(static_cast<std::size_t>(count), !untilClose,
                    [this](char* room, std::size_t length) { return ReceiveInto(room, length); })) {
        WorkProgress(WorkRead, count);
        return;
    }
    WaitQueued(static_cast<std::size_t>(count));
    QueueToStream(stream, static_cast<std::size_t>(count));
}

std::size_t TIdTCPConnection::ReceiveInto(char* room, std::size_t count) {
    const std::int32_t length = static_cast<std::int32_t>(count);
    landing_ = Landing{room, length, 0};
    try {
        while (landing_.held < length) {
            FillInputQueue(true, TimeoutDefault, true);
            CheckClosed(true, true);
        }
    } catch (...) {
        const Landing landed = std::exchange(landing_, Landing{});
        inputQueue_.Append(std::string_view(landed.room, static_cast<std::size_t>(landed.held)));
        throw;
    }
    landing_ = Landing{};
    return count;
}

std::string TIdTCPConnection::TakeBuffered() {
    if (Connected())
        FillInputQueue(false, TimeoutDefault, true);
    return inputQueue_.TakeFront(inputQueue_.Size());
}

std::string TIdTCPConnection::ReadAll() {
    std::string all;
    WorkBegin(WorkRead, 0);
    try {
        while (Connected())
            all += TakeBuffered();
    } catch (...) {
        WorkEnd(WorkRead);
        throw;
    }
    WorkEnd(WorkRead);
    return all;
}

void TIdTCPConnection::WriteBytes(const void* data, std::int32_t count, bool writeNow) {
    if (count <= 0)
        return;
    CheckClosed(true, true);
    if (!Connected())
        throw EIdNotConnected();
    const char* const bytes = static_cast<const char*>(data);
    if (batch_ && !writeNow) {
        batch_->Append(std::string_view(bytes, static_cast<std::size_t>(count)));
        if (batchThreshold_ > 0 && batch_->Size() >= static_cast<std::size_t>(batchThreshold_)) {
            FlushBatch(batchThreshold_);
        }
        return;
    }
    if (intercept_ != nullptr) {
        TIdSimpleBuffer block;
        block.Append(std::string_view(bytes, static_cast<std::size_t>(count)));
        intercept_->Send(block);
        SendAll(block.Bytes().data(), static_cast<std::int32_t>(block.Size()));
        return;
    }
    SendAll(bytes, count);
}

void TIdTCPConnection::SendAll(const char* data, std::int32_t count) {
    std::int32_t position = 0;
    while (position < count) {
        if (ioHandler_ == nullptr)
            throw EIdNotConnected();
        const std::int32_t sent = ioHandler_->Send(data + position, count - position);
        peerClosed_ = sent == 0;
        CheckClosed(true, false);
        TIdStack& stack = RequireSharedStack();
        if (stack.CheckSocketResult(sent, {seShutdown, seConnectionAborted, seConnectionReset})) {
            // The socket is closed first, so that the connection reads as closed afterwards.
            DropSocket();
            stack.ThrowSocketError(stack.LastSocketErrorCode());
        }
        WorkProgress(WorkWrite, sent);
        position += sent;
    }
}

void TIdTCPConnection::WriteText(const std::string& text) {
    if (!text.empty())
        WriteBytes(text.data(), static_cast<std::int32_t>(text.size()), false);
}

void TIdTCPConnection::WriteLine(const std::string& text) {
    WriteText(text + "\r\n");
}

void TIdTCPConnection::WriteFromStream(TIdStream& stream, bool fromStart, std::int32_t count,
                                       bool writeCountFirst) {
    if (fromStart)
        stream.SetPosition(0);
    const std::int64_t start = static_cast<std::int64_t>(stream.Position());
    const std::int64_t end = count != 0 ? start + count : static_cast<std::int64_t>(stream.Size());
    const std::int64_t total = std::max<std::int64_t>(end - start, 0);
    if (writeCountFirst) {
        const std::uint32_t value = RequireSharedStack().HostToNetLong(static_cast<std::uint32_t>(total));
        WriteBytes(&value, sizeof value, false);
    }
    WorkBegin(WorkWrite, total);
    try {
        TIdSimpleBuffer block;
        std::int64_t position = start;
        while (position < end) {
            const std::size_t wanted =
                static_cast<std::size_t>(std::min<std::int64_t>(end - position, sendBufferSize_));
            block.SetSize(wanted);
            const std::size_t n = stream.Read(block.Memory(), wanted);
            if (n == 0)
                throw EIdNoDataToRead();
            WriteBytes(block.Memory(), static_cast<std::int32_t>(n), false);
            position += static_cast<std::int64_t>(n);
        }
    } catch (...) {
        WorkEnd(WorkWrite);
        throw;
    }
    WorkEnd(WorkWrite);
}

void TIdTCPConnection::BeginBatch(std::int32_t threshold) {
    batch_ = std::make_unique<TIdSimpleBuffer>();
    batchThreshold_ = threshold;
}

void TIdTCPConnection::FlushBatch(std::int32_t count) {
    if (!batch_ || batch_->Size() == 0)
        return;
    const std::int64_t held = static_cast<std::int64_t>(batch_->Size());
    if (count == -1 || held < count) {
        WriteBytes(batch_->Memory(), static_cast<std::int32_t>(held), true);
        batch_->Clear();
    } else if (count > 0) {
        WriteBytes(batch_->Memory(), count, true);
        batch_->DropFront(static_cast<std::size_t>(count));
    }
}

void TIdTCPConnection::EndBatch() {
    try {
        FlushBatch(-1);
    } catch (...) {
        batch_.reset();
        throw;
    }
    batch_.reset();
}

void TIdTCPConnection::DiscardBatch() {
    if (batch_)
        batch_->Clear();
}

}  // namespace w20
