#pragma once

#include <cxxabi.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <typeinfo>

namespace w20::test {

inline long MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count());
}

// The exception's class without its namespace, and its message: "EIdReadTimeout: Read Timeout".
inline std::string Describe(const std::exception& e) {
    int status = 0;
    char* name = abi::__cxa_demangle(typeid(e).name(), nullptr, nullptr, &status);
    std::string text = status == 0 ? name : typeid(e).name();
    std::free(name);
    const std::size_t colon = text.rfind("::");
    if (colon != std::string::npos)
        text.erase(0, colon + 2);
    return text + ": " + e.what();
}

// What an action gave: its text, or "!" and the description of what it raised.
inline std::string Outcome(const std::function<std::string()>& action) {
    try {
        return action();
    } catch (const std::exception& e) {
        return "!" + Describe(e);
    }
}

// Outcomes of the connection's failures.
inline const std::string ClosedGracefully = "!EIdConnClosedGracefully: Connection Closed Gracefully.";
inline const std::string LineTooLong = "!EIdReadLnMaxLineLengthExceeded: Max line length exceeded.";
inline const std::string ReadTimeout = "!EIdReadTimeout: Read Timeout";
inline const std::string NotConnected = "!EIdNotConnected: Not Connected";

inline std::string SocketError(int code, const std::string& text) {
    return "!EIdSocketError: Socket Error # " + std::to_string(code) + "\r\n" + text;
}

}  // namespace w20::test
