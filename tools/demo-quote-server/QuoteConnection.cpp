#include "tools/demo-quote-server/QuoteConnection.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "base/Convert.h"
#include "base/Strings.h"
#include "tools/demo-quote-server/QuoteBars.h"
#include "tools/demo-quote-server/QuoteDate.h"

namespace w20::demo {

namespace {

constexpr const char* QuotePath = "/quotes.php";
constexpr std::array<const char*, 6> QueryKeys = {"data_notowania", "nazwa_instrumentu", "mst_omg",
                                                  "time_period_l",  "time_period",       "send"};

// The offset just past the blank line ending a head; a bare LF ends a line as well as CR LF.
std::size_t FindHeadEnd(const std::string& bytes) {
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1)) {
        if (at + 1 < bytes.size() && bytes[at + 1] == '\n')
            return at + 2;
        if (at + 2 < bytes.size() && bytes[at + 1] == '\r' && bytes[at + 2] == '\n')
            return at + 3;
    }
    return std::string::npos;
}

std::vector<std::string> Lines(const std::string& head) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = head.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}

bool IsControlOrBlank(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || byte == 0x7F;
}

// A request line of three words: a method of letters, a target and a version, one blank between
// each; nothing may stand in front of the method or after the version.
bool SplitRequestLine(const std::string& line, std::string& method, std::string& target,
                      std::string& version) {
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos)
        return false;
    method = line.substr(0, first);
    target = line.substr(first + 1, second - first - 1);
    version = line.substr(second + 1);
    const auto clean = [](const std::string& word) {
        return !word.empty() && std::none_of(word.begin(), word.end(), IsControlOrBlank);
    };
    return clean(method) && clean(target) && clean(version) &&
           std::all_of(method.begin(), method.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

// Query values arrive percent-encoded ("+" for a blank in forms); they are read decoded.
std::string Decode(std::string text) {
    std::replace(text.begin(), text.end(), '+', ' ');
    return PercentDecoded(text);
}

std::optional<std::string> QueryValue(const std::string& query, const std::string& key) {
    std::size_t start = 0;
    for (;;) {
        std::size_t end = query.find('&', start);
        std::string pair = query.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::size_t equals = pair.find('=');
        if (Decode(pair.substr(0, equals)) == key)
            return equals == std::string::npos ? std::string() : Decode(pair.substr(equals + 1));
        if (end == std::string::npos)
            return std::nullopt;
        start = end + 1;
    }
}

struct Outcome {
    int status;
    std::string reason;
    std::string body;
};

Outcome BadRequest(const std::string& why) {
    return {400, "Bad Request", why + "\r\n"};
}

Outcome Quotes(const std::string& query) {
    for (const char* key : QueryKeys) {
        if (!QueryValue(query, key))
            return BadRequest(std::string("missing query key: ") + key);
    }
    std::string instrument = *QueryValue(query, "nazwa_instrumentu");
    if (instrument.empty())
        return BadRequest("empty instrument name in nazwa_instrumentu");
    std::string period = *QueryValue(query, "time_period");
    int minutes = period == "300" ? 5 : period == "900" ? 15 : period == "1800" ? 30 : 0;
    if (minutes == 0)
        return BadRequest("time_period must be 300, 900 or 1800 seconds, not '" + period + "'");
    std::string dateText = *QueryValue(query, "data_notowania");
    std::optional<QuoteDate> date = ParseQuoteDate(dateText);
    if (!date)
        return BadRequest("unreadable date in data_notowania: '" + dateText + "'");
    return {200, "OK", QuoteText(instrument, *date, minutes)};
}

// Whether a Cookie header value names a cookie "session".
bool HasSessionCookie(const std::string& cookies) {
    std::size_t start = 0;
    for (;;) {
        std::size_t end = cookies.find(';', start);
        std::string pair =
            Trim(cookies.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (pair.starts_with("session="))
            return true;
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

}  // namespace

void QuoteConnection::Receive(std::string_view bytes) {
    if (closing_)
        return;
    input_.append(bytes);
    for (;;) {
        std::size_t skipped = std::min(bodyToSkip_, input_.size());
        input_.erase(0, skipped);
        bodyToSkip_ -= skipped;
        if (bodyToSkip_ > 0)
            return;
        // Blank lines before a request are passed over.
        while (!input_.empty() && (input_[0] == '\n' || input_.starts_with("\r\n")))
            input_.erase(0, input_[0] == '\n' ? 1 : 2);
        std::size_t end = FindHeadEnd(input_);
        if (end == std::string::npos && input_.size() <= MaxHeadSize)
            return;
        if (end == std::string::npos || end > MaxHeadSize) {
            Reply(431, "Request Header Fields Too Large", "request head longer than 16384 bytes\r\n", false,
                  false, false);
            return;
        }
        std::string head = input_.substr(0, end);
        input_.erase(0, end);
        Answer(head);
        if (closing_)
            return;
    }
}

void QuoteConnection::Answer(const std::string& head) {
    std::vector<std::string> lines = Lines(head);
    if (lines.empty()) {
        Reply(400, "Bad Request", "malformed request line\r\n", false, false, false);
        return;
    }
    // Exactly method, target and version between single blanks, and no blank or control byte in
    // the target, as real servers demand: a client that sends more is refused with 400.
    std::string method;
    std::string target;
    std::string version;
    if (!SplitRequestLine(lines.front(), method, target, version)) {
        Reply(400, "Bad Request", "malformed request line\r\n", false, false, false);
        return;
    }
    if (!version.starts_with("HTTP/")) {
        Reply(400, "Bad Request", "malformed request line\r\n", false, false, false);
        return;
    }
    if (version != "HTTP/1.0" && version != "HTTP/1.1") {
        Reply(505, "HTTP Version Not Supported", "only HTTP/1.0 and HTTP/1.1 are spoken here\r\n", false,
              false, false);
        return;
    }

    std::string connection;
    std::optional<std::string> contentLength;
    bool chunked = false;
    bool sessionSent = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::size_t colon = lines[i].find(':');
        if (colon == std::string::npos) {
            Reply(400, "Bad Request", "malformed header line\r\n", false, false, false);
            return;
        }
        std::string name = LowerCase(Trim(lines[i].substr(0, colon)));
        std::string value = Trim(lines[i].substr(colon + 1));
        if (name == "connection")
            connection += "," + LowerCase(value);
        if (name == "content-length")
            contentLength = value;
        if (name == "transfer-encoding")
            chunked = true;
        if (name == "cookie")
            sessionSent = sessionSent || HasSessionCookie(value);
    }
    bool keepAlive = version == "HTTP/1.0" ? connection.find("keep-alive") != std::string::npos
                                           : connection.find("close") == std::string::npos;
    if (chunked) {
        Reply(400, "Bad Request", "request bodies in chunks are not accepted\r\n", false, false,
              !sessionSent);
        return;
    }
    if (contentLength) {
        if (contentLength->empty() || contentLength->size() > 9 ||
            contentLength->find_first_not_of("0123456789") != std::string::npos) {
            Reply(400, "Bad Request", "malformed Content-Length\r\n", false, false, !sessionSent);
            return;
        }
        bodyToSkip_ = std::stoul(*contentLength);
    }

    bool headOnly = method == "HEAD";
    if (method != "GET" && !headOnly) {
        Reply(405, "Method Not Allowed", "only GET and HEAD are answered here\r\n", false, keepAlive,
              !sessionSent, "Allow: GET, HEAD\r\n");
        return;
    }
    // An absolute target names this server; only its path and query matter.
    if (LowerCase(target.substr(0, 7)) == "http://") {
        std::size_t slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    std::size_t question = target.find('?');
    std::string path = target.substr(0, question);
    Outcome outcome = path == QuotePath
                          ? Quotes(question == std::string::npos ? "" : target.substr(question + 1))
                          : Outcome{404, "Not Found", "no such page: " + path + "\r\n"};
    Reply(outcome.status, outcome.reason, outcome.body, headOnly, keepAlive, !sessionSent);
}

void QuoteConnection::Reply(int status, const std::string& reason, const std::string& body, bool headOnly,
                            bool keepAlive, bool setCookie, const std::string& extraHeaders) {
    output_ += "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
    output_ += "Content-Type: text/plain; charset=windows-1250\r\n";
    output_ += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    output_ += "Cache-Control: no-cache\r\n";
    if (setCookie)
        output_ += "Set-Cookie: session=" + sessionIds_() + "; path=/\r\n";
    output_ += extraHeaders;
    output_ += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    if (!headOnly)
        output_ += body;
    if (!keepAlive)
        closing_ = true;
}

}  // namespace w20::demo
