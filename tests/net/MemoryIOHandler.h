#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "net/IdExceptions.h"
#include "net/IdIOHandler.h"
#include "net/IdStack.h"

// A transport without sockets: what the connection receives comes from a script, what it sends is
// recorded. Receives and sends can be made to fail by number.
namespace w20::test {

// One thing the peer does, as the connection's waits and receives see it.
struct Arrival {
    enum Kind { Bytes, Close, Failure, Silence };
    Kind kind = Bytes;
    std::string bytes;
    std::int32_t error = 0;
};

inline Arrival Data(std::string bytes) {
    return Arrival{Arrival::Bytes, std::move(bytes), 0};
}
// Every receive from then on returns 0.
inline Arrival Closed() {
    return Arrival{Arrival::Close, {}, 0};
}
// One receive fails with the socket error code.
inline Arrival Failure(std::int32_t code) {
    return Arrival{Arrival::Failure, {}, code};
}
// One wait runs out.
inline Arrival Silence() {
    return Arrival{Arrival::Silence, {}, 0};
}

class MemoryIOHandler : public TIdIOHandler {
public:
    std::deque<Arrival> arrivals;
    std::string sent;
    std::int32_t receives = 0;
    std::int32_t sends = 0;
    // Most bytes one send takes; 0: all it is given.
    std::int32_t sendLimit = 0;
    // Sends that fail, by number from 1, with their codes.
    std::map<std::int32_t, std::int32_t> sendFailures;
    bool open = true;

    void Add(std::vector<std::string> pieces) {
        for (std::string& piece : pieces)
            arrivals.push_back(Data(std::move(piece)));
    }

    void Open() override { open = true; }
    void Close() override { open = false; }
    bool Connected() override { return open; }

    // A script that has run out behaves like a peer that stays silent.
    bool Readable(std::int32_t) override {
        if (!open)
            throw EIdConnClosedGracefully();
        if (arrivals.empty())
            return false;
        if (arrivals.front().kind == Arrival::Silence) {
            arrivals.pop_front();
            return false;
        }
        return true;
    }

    std::int32_t Recv(void* buffer, std::int32_t length) override {
        if (!open)
            throw EIdClosedSocket();
        ++receives;
        if (arrivals.empty())
            return 0;
        Arrival& next = arrivals.front();
        switch (next.kind) {
            case Arrival::Close:
            case Arrival::Silence:
                return 0;
            case Arrival::Failure: {
                const std::int32_t code = next.error;
                arrivals.pop_front();
                SharedStack()->SetLastSocketError(code);
                return -1;
            }
            case Arrival::Bytes:
                break;
        }
        const std::size_t n = std::min(next.bytes.size(), static_cast<std::size_t>(length));
        std::memcpy(buffer, next.bytes.data(), n);
        next.bytes.erase(0, n);
        if (next.bytes.empty())
            arrivals.pop_front();
        return static_cast<std::int32_t>(n);
    }

    std::int32_t Send(const void* buffer, std::int32_t length) override {
        if (!open)
            throw EIdClosedSocket();
        ++sends;
        const auto failure = sendFailures.find(sends);
        if (failure != sendFailures.end()) {
            SharedStack()->SetLastSocketError(failure->second);
            return -1;
        }
        const std::int32_t n = sendLimit > 0 ? std::min(length, sendLimit) : length;
        sent.append(static_cast<const char*>(buffer), static_cast<std::size_t>(n));
        return n;
    }
};

// The text cut into pieces of 1 to maxPiece bytes; the same seed gives the same cuts.
inline std::vector<std::string> RandomPieces(std::string_view text, unsigned seed, std::size_t maxPiece) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> size(1, std::max<std::size_t>(maxPiece, 1));
    std::vector<std::string> pieces;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = std::min(size(random), text.size() - at);
        pieces.emplace_back(text.substr(at, n));
        at += n;
    }
    return pieces;
}

}  // namespace w20::test
