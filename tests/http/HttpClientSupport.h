#pragma once

#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "http/IdHTTPExceptions.h"
#include "quotes/DownloadCycle.h"
#include "tests/net/Outcome.h"

// Shared by the client tests, which configure the client with the tool's own ConfigureQuoteClient:
// the exact bytes of its requests, and one text for whatever a call gave.
namespace w20::test {

// Tests bound their reads more tightly than the tool, so that a fault shows as "Read Timeout"
// soon instead of a long wait.
constexpr std::int32_t TestReadTimeout = 3000;

// A GET exactly as the client writes it; extra lines go after User-Agent (Cookie, Authorization).
inline std::string GetRequest(const std::string& target, const std::string& host,
                              const std::vector<std::string>& extra = {}) {
    std::string bytes = "GET " + target + " HTTP/1.1\r\nHost: " + host +
                        "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/3.0 (compatible; VOR Library)\r\n";
    for (const std::string& line : extra)
        bytes += line + "\r\n";
    return bytes + "\r\n";
}

// The body, or "!" with the exception's class and message; a protocol error also shows its
// code and error body: "!EIdHTTPProtocolException: HTTP/1.1 404 Not Found | 404 | page".
inline std::string GetOutcome(TIdHTTP& http, const std::string& url) {
    try {
        return http.Get(url);
    } catch (const EIdHTTPProtocolException& e) {
        return "!" + Describe(e) + " | " + std::to_string(e.StatusCode()) + " | " + e.ErrorBody();
    } catch (const std::exception& e) {
        return "!" + Describe(e);
    }
}

// Every occurrence of `mark` replaced by `by`.
inline std::string Fill(std::string text, const std::string& mark, const std::string& by) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + by.size()))
        text.replace(at, mark.size(), by);
    return text;
}

}  // namespace w20::test
