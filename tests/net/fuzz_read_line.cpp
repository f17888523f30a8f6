#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/IdExceptions.h"
#include "net/IdTCPConnection.h"
#include "tests/net/MemoryIOHandler.h"

// Lines read from any bytes, cut into any pieces, rebuild the input: each line is the input at
// its place, ended by the first terminator after it (or cut at the limit), and what is left
// unread is exactly the rest. The first four bytes choose the terminator, the limit, the action
// and the cuts.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    static const std::string terminators[] = {"", "\r\n", "XY", "\n"};
    const std::string terminator = terminators[data[0] % 4];
    const std::string end = terminator.empty() ? "\n" : terminator;
    const std::int32_t maximum = data[1] % 64;
    const w20::TIdMaxLineAction action = data[2] % 2 == 0 ? w20::maException : w20::maSplit;
    const std::string input(reinterpret_cast<const char*>(data) + 4, size - 4);

    w20::test::MemoryIOHandler handler;
    handler.Add(w20::test::RandomPieces(input, data[3], 1 + data[3] % 9));
    handler.arrivals.push_back(w20::test::Closed());
    w20::TIdTCPConnection connection;
    connection.SetIOHandler(&handler);
    connection.SetMaxLineAction(action);

    std::size_t at = 0;
    try {
        for (;;) {
            const std::string line = connection.ReadLine(terminator, w20::TimeoutDefault, maximum);
            if (input.compare(at, line.size(), line) != 0)
                std::abort();
            const std::size_t found = input.find(end, at);
            if (connection.LineSplit()) {
                const bool over =
                    found == std::string::npos || found - at > static_cast<std::size_t>(maximum);
                if (line.size() != static_cast<std::size_t>(maximum) || !over)
                    std::abort();
                at += line.size();
                continue;
            }
            // A terminator of exactly LF, given or by default, drops one CR before it.
            const std::size_t cr = end == "\n" && found > at && input[found - 1] == '\r' ? 1 : 0;
            if (found == std::string::npos || found - at != line.size() + cr)
                std::abort();
            if (maximum != 0 && found - at > static_cast<std::size_t>(maximum))
                std::abort();
            at = found + end.size();
        }
    } catch (const w20::EIdReadLnMaxLineLengthExceeded&) {
        const std::size_t found = input.find(end, at);
        const std::size_t before = found == std::string::npos ? input.size() - at : found - at;
        if (action != w20::maException || maximum == 0 || before <= static_cast<std::size_t>(maximum))
            std::abort();
    } catch (const w20::EIdConnClosedGracefully&) {
        if (input.find(end, at) != std::string::npos)
            std::abort();
    }
    std::string unread(connection.InputQueue().Bytes());
    for (const w20::test::Arrival& arrival : handler.arrivals)
        unread += arrival.bytes;
    if (unread != input.substr(at))
        std::abort();
    return 0;
}
