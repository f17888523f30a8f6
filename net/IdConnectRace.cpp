#include "net/IdConnectRace.h"

#include <algorithm>

#include "net/IdExceptions.h"
#include "net/SocketErrorMap.h"

namespace w20 {

TIdConnectRace::TIdConnectRace(const std::vector<std::string>& addresses, Prepare prepare, bool oneAtATime)
    : addresses_(Ordered(addresses)),
      prepare_(std::move(prepare)),
      nextStart_(TIdClock::now()),
      oneAtATime_(oneAtATime) {}

std::int32_t TIdConnectRace::FamilyOf(const std::string& address) {
    return address.find(':') != std::string::npos ? IdFamilyInet6 : IdFamilyInet;
}

std::vector<std::string> TIdConnectRace::Ordered(const std::vector<std::string>& addresses) {
    if (addresses.empty())
        return {};
    std::vector<std::string> preferred;
    std::vector<std::string> other;
    const std::int32_t first = FamilyOf(addresses.front());
    for (const std::string& address : addresses)
        (FamilyOf(address) == first ? preferred : other).push_back(address);
    std::vector<std::string> ordered;
    for (std::size_t i = 0; i < std::max(preferred.size(), other.size()); ++i) {
        if (i < preferred.size())
            ordered.push_back(preferred[i]);
        if (i < other.size())
            ordered.push_back(other[i]);
    }
    return ordered;
}

void TIdConnectRace::StartNext() {
    TIdStack& stack = RequireSharedStack();
    auto handle = std::make_unique<TIdSocketHandle>();
    const std::string& address = addresses_[next_++];
    nextStart_ = TIdClock::now() + std::chrono::milliseconds(AttemptDelay);
    try {
        prepare_(*handle, address);
    } catch (const EIdInvalidSocket&) {
        // No socket of this family on this host (no IPv6, say): the address fails, the race goes on.
        lastFailure_ = stack.LastSocketError();
        nextStart_ = TIdClock::now();
        return;
    }
    stack.CheckSocketResult(stack.SetSocketBlocking(handle->SocketId(), false));
    running_.push_back(std::move(handle));
    if (running_.back()->ConnectToRemote(FamilyOf(address)) == 0) {
        Finish(running_.size() - 1, 0);
        return;
    }
    const std::int32_t code = stack.LastSocketError();
    if (code != seWouldBlock && code != seInProgress)
        Finish(running_.size() - 1, code);
}

void TIdConnectRace::Finish(std::size_t index, std::int32_t code) {
    std::unique_ptr<TIdSocketHandle> handle = std::move(running_[index]);
    running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(index));
    if (code != 0) {
        // A refused address hands on to the next one at once.
        lastFailure_ = code;
        nextStart_ = TIdClock::now();
        return;
    }
    running_.clear();  // the losers close at once
    winner_ = std::move(handle);
    winner_->RefreshLocalEnd();
    winner_->RefreshRemoteEnd();
}

bool TIdConnectRace::Step(std::int32_t step) {
    if (abandoned_)
        throw EIdConnClosedGracefully();
    // A wait takes at most one set of sockets.
    const bool another = !oneAtATime_ && running_.size() < TIdSocketList::Capacity;
    while (next_ < addresses_.size() && (running_.empty() || (another && TIdClock::now() >= nextStart_))) {
        StartNext();
        if (winner_)
            return true;
    }
    if (running_.empty())
        return next_ == addresses_.size();

    TIdStack& stack = RequireSharedStack();
    std::int64_t limit = step;
    if (next_ < addresses_.size() && another)
        limit = std::min(limit, MillisecondsUntil(nextStart_));
    // A connect that succeeds makes its socket writable; one that fails does too on POSIX, and
    // shows in the exception set on Windows.
    std::vector<TSocket> write;
    for (const auto& handle : running_)
        write.push_back(handle->SocketId());
    std::vector<TSocket> error = write;
    stack.CheckSocketResult(stack.SelectSockets(nullptr, &write, &error, static_cast<std::int32_t>(limit)));
    for (std::size_t i = running_.size(); i-- > 0;) {
        const TSocket socket = running_[i]->SocketId();
        if (std::find(write.begin(), write.end(), socket) == write.end() &&
            std::find(error.begin(), error.end(), socket) == error.end()) {
            continue;
        }
        const std::int32_t pending = stack.SocketPendingError(socket);
        stack.CheckSocketResult(pending);
        Finish(i, pending);
        if (winner_)
            return true;
    }
    return running_.empty() && next_ == addresses_.size();
}

void TIdConnectRace::Abandon() {
    abandoned_ = true;
    running_.clear();
    winner_.reset();
}

}  // namespace w20
