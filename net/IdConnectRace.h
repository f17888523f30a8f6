#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/IdSocketHandle.h"
#include "net/IdSteppedWait.h"

namespace w20 {

// Connects to one of a host's addresses by racing them (RFC 8305): the families take turns, the
// family of the resolver's first address first; the first attempt starts at once, each next one
// AttemptDelay ms later or as soon as the running ones have all failed; the first to connect wins
// and the others are closed. Every running socket is waited for in the same wait, so an address
// that never answers costs a quarter second, not the whole limit.
class TIdConnectRace {
public:
    static constexpr std::int32_t AttemptDelay = 250;

    // Opens a socket of the address's family on the handle, binds it and aims it at the address;
    // the race then connects it without waiting.
    using Prepare = std::function<void(TIdSocketHandle& handle, const std::string& address)>;

    // One at a time: each next attempt only after the one before has failed, for sockets that
    // all bind the same local port.
    TIdConnectRace(const std::vector<std::string>& addresses, Prepare prepare, bool oneAtATime = false);

    // The addresses in the order of the attempts.
    static std::vector<std::string> Ordered(const std::vector<std::string>& addresses);
    // IdFamilyInet6 for an IPv6 address text, otherwise IdFamilyInet.
    static std::int32_t FamilyOf(const std::string& address);

    // Starts the attempts that are due, then waits at most `step` ms for the running ones; true
    // once one has connected or every address has failed. Raises EIdConnClosedGracefully once
    // abandoned.
    bool Step(std::int32_t step);
    // The connected handle; none while the race runs or when every address failed.
    TIdSocketHandle* Winner() { return winner_.get(); }
    // The code of the last failed attempt; 0 while none failed.
    std::int32_t LastFailure() const { return lastFailure_; }
    // Closes every socket at once; the next Step raises.
    void Abandon();

private:
    // Starts the next address's attempt: a connect that ends at once wins or fails at once.
    void StartNext();
    // A running attempt is over: it won (code 0) or failed with the code.
    void Finish(std::size_t index, std::int32_t code);

    std::vector<std::string> addresses_;
    Prepare prepare_;
    std::size_t next_ = 0;
    TIdClock::time_point nextStart_;
    std::vector<std::unique_ptr<TIdSocketHandle>> running_;
    std::unique_ptr<TIdSocketHandle> winner_;
    std::int32_t lastFailure_ = 0;
    bool oneAtATime_;
    bool abandoned_ = false;
};

}  // namespace w20
