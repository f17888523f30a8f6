#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "http/IdHTTP.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "tests/http/HttpClientSupport.h"
#include "tests/support/ScriptedServer.h"

// One Get of a client configured like the tool against a scripted server: what the server
// answers (in random pieces, each row played with several cuttings), what the call gives, and
// every byte the client sent on each connection.
namespace w20 {
namespace {

using test::GetRequest;
using test::Script;

struct Exchange {
    std::string name;
    std::string url;  // "$" stands for 127.0.0.1:<port>, here and in the texts below
    std::vector<Script> scripts;
    std::string outcome;
    std::vector<std::string> requests;  // per connection
};

void PrintTo(const Exchange& row, std::ostream* out) {
    *out << row.name;
}

// The answer in random pieces of up to 16 bytes after a whole request; the runner sets the seed.
Script Answer(const std::string& bytes) {
    return {test::WaitRequest(), test::SendRandomPieces(bytes, 0)};
}

// One answer after each request, on one connection.
Script Answers(const std::vector<std::string>& answers) {
    Script script;
    for (const std::string& bytes : answers) {
        script.push_back(test::WaitRequest());
        script.push_back(test::SendRandomPieces(bytes, 0));
    }
    return script;
}

Script AnswerAndClose(const std::string& bytes) {
    return {test::WaitRequest(), test::SendRandomPieces(bytes, 0), test::Close()};
}

std::string Req(const std::string& target) {
    return GetRequest(target, "$");
}

std::string Redirect(const std::string& location, const std::string& status = "HTTP/1.1 302 Found") {
    return test::HttpResponse(status, {"Location: " + location, "Content-Length: 5"}, "moved");
}

// A chain of `redirects` answers on one connection, each to the next target, then a body.
Exchange Chain(int redirects, const std::string& outcome) {
    std::vector<std::string> answers;
    std::string requests;
    for (int i = 0; i < redirects; ++i) {
        answers.push_back(Redirect("/r" + std::to_string(i + 1)));
        requests += Req("/r" + std::to_string(i));
    }
    // The redirect limit is 15: a fifteenth redirect is not followed.
    if (redirects < 15) {
        answers.push_back(test::HttpOk("end of chain"));
        requests += Req("/r" + std::to_string(redirects));
    }
    return {"ChainOf" + std::to_string(redirects), "http://$/r0", {Answers(answers)}, outcome, {requests}};
}

const std::string ChunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
const std::string Letters26 = "abcdefghijklmnopqrstuvwxyz";

std::vector<Exchange> Rows() {
    std::vector<Exchange> rows = {
        {"SixLinesOnTheWire",
         "http://$/q.php?a=1&b=2",
         {Answer(test::HttpOk("bars\r\n"))},
         "bars\r\n",
         {Req("/q.php?a=1&b=2")}},
        {"LengthZero", "http://$/z", {Answer(test::HttpOk(""))}, "", {Req("/z")}},
        {"LengthWithBlanks",
         "http://$/l",
         {Answer("HTTP/1.1 200 OK\r\nContent-Length:  12 \r\n\r\n0123456789abXYZ")},
         "0123456789ab",
         {Req("/l")}},
        {"LengthNotANumberReadsToClose",
         "http://$/l",
         {AnswerAndClose("HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\nall of it")},
         "all of it",
         {Req("/l")}},
        {"Http10UntilClose",
         "http://$/c",
         {AnswerAndClose("HTTP/1.0 200 OK\nServer: x\n\nline 1\nline 2\n")},
         "line 1\nline 2\n",
         {Req("/c")}},
        {"ChunkedOddSizes",
         "http://$/c",
         {Answer(ChunkedHead + test::ChunkedBody({"a", Letters26, "xyz"}))},
         "a" + Letters26 + "xyz",
         {Req("/c")}},
        {"ChunkSize1aWithExtensionAndTrailer",
         "http://$/c",
         {Answer(ChunkedHead + "1A;name=value\r\n" + Letters26 + "\r\n0\r\nX-Sum: 1\r\n\r\n")},
         Letters26,
         {Req("/c")}},
        {"ChunkSizeBlanksAfterNumber",
         "http://$/c",
         {Answer(ChunkedHead + "5 \r\nhello\r\n3\t;a=b\r\nxyz\r\n0\r\n\r\n")},
         "helloxyz",
         {Req("/c")}},
        {"ChunkLongerThanItsSize",
         "http://$/c",
         {Answer(ChunkedHead + "5\r\nhelloEXTRA\r\n0\r\n\r\n")},
         "!EIdHTTPChunkEndInvalid: Chunk of 5 bytes is not followed by CR LF.",
         {Req("/c")}},
        {"ChunkSizeNotHexIsAnError",
         "http://$/c",
         {Answer(ChunkedHead + "5\r\nhello\r\nzz\r\n\r\n")},
         "!EIdHTTPChunkSizeInvalid: Chunk size line \"zz\" is not a hexadecimal number.",
         {Req("/c")}},
        {"ChunkSizeEmptyIsAnError",
         "http://$/c",
         {Answer(ChunkedHead + "5\r\nhello\r\n\r\n0\r\n\r\n")},
         "!EIdHTTPChunkSizeInvalid: Chunk size line \"\" is not a hexadecimal number.",
         {Req("/c")}},
        {"ChunkSizeWithPrefixIsAnError",
         "http://$/c",
         {Answer(ChunkedHead + "0x5\r\nhello\r\n0\r\n\r\n")},
         "!EIdHTTPChunkSizeInvalid: Chunk size line \"0x5\" is not a hexadecimal number.",
         {Req("/c")}},
        {"ChunkSizeLineShownCutAndPrintable",
         "http://$/c",
         {Answer(ChunkedHead + "5 \x01" + std::string(60, 'z') + "\r\nhello\r\n0\r\n\r\n")},
         "!EIdHTTPChunkSizeInvalid: Chunk size line \"5 ?" + std::string(37, 'z') +
             "...\" is not a hexadecimal number.",
         {Req("/c")}},
        {"ChunkedInAnyCaseAsTheLastCoding",
         "http://$/c",
         {Answer("HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip,\r\nTransfer-Encoding:  Chunked "
                 "\r\n\r\n5\r\nhello\r\n0\r\n\r\n")},
         "hello",
         {Req("/c")}},
        {"ChunkedNotLastReadsToClose",
         "http://$/c",
         {AnswerAndClose(
             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, gzip\r\n\r\n5\r\nhello\r\n0\r\n\r\n")},
         "5\r\nhello\r\n0\r\n\r\n",
         {Req("/c")}},
        {"ChunkedWinsOverLength",
         "http://$/c",
         {Answer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: "
                 "chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n")},
         "hello",
         {Req("/c")}},
        {"ChunkSizeOverflowIsAnError",
         "http://$/c",
         {Answer(ChunkedHead + "10000000000000000\r\n")},
         "!EIdHTTPChunkSizeTooLarge: Chunk size 10000000000000000 is too large.",
         {Req("/c")}},
        {"CloseMidBodyIsAnError",
         "http://$/c",
         {AnswerAndClose("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n1234")},
         "!EIdHTTPBodyIncomplete: Connection closed after 4 of 10 body bytes.",
         {Req("/c")}},
        {"CloseMidChunk",
         "http://$/c",
         {AnswerAndClose(ChunkedHead + "a\r\n1234")},
         "!EIdConnClosedGracefully: Connection Closed Gracefully.",
         {Req("/c")}},
        {"CloseBeforeStatusLine",
         "http://$/c",
         {{test::WaitRequest(), test::Close()}},
         "!EIdConnClosedGracefully: Connection Closed Gracefully.",
         {Req("/c")}},
        {"CloseDuringFirstHeaderLine",
         "http://$/c",
         {AnswerAndClose("HTTP/1.1 200 OK\r\nContent-")},
         "!EIdConnClosedGracefully: Connection Closed Gracefully.",
         {Req("/c")}},
        {"CloseInLaterHeaderLineLeavesNoBody",
         "http://$/c",
         {AnswerAndClose("HTTP/1.1 200 OK\r\nContent-Length: 5\r\nServ")},
         "!EIdException: Undefined situation",
         {Req("/c")}},
        {"InterimContinueSkipped",
         "http://$/c",
         {Answer("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 100 Continue\r\nX: y\r\n\r\n" +
                 test::HttpOk("real"))},
         "real",
         {Req("/c")}},
        {"NoContent", "http://$/n", {Answer("HTTP/1.1 204 No Content\r\n\r\n")}, "", {Req("/n")}},
        {"NotModifiedWithoutBodyOnOpenConnection",
         "http://$/m",
         {Answer("HTTP/1.1 304 Not Modified\r\nETag: x\r\n\r\n")},
         "!EIdHTTPProtocolException: HTTP/1.1 304 Not Modified | 304 | ",
         {Req("/m")}},
        {"NotFoundWithPage",
         "http://$/missing",
         {Answer(
             test::HttpResponse("HTTP/1.1 404 Not Found", {"Content-Length: 20"}, "<html>missing</html>"))},
         "!EIdHTTPProtocolException: HTTP/1.1 404 Not Found | 404 | <html>missing</html>",
         {Req("/missing")}},
        {"ServerErrorWithChunkedPage",
         "http://$/e",
         {Answer("HTTP/1.1 500 Internal Error\r\nTransfer-Encoding: chunked\r\n\r\n" +
                 test::ChunkedBody({"bro", "ken"}))},
         "!EIdHTTPProtocolException: HTTP/1.1 500 Internal Error | 500 | broken",
         {Req("/e")}},
        {"ShortErrorPageKeepsStatus",
         "http://$/e",
         {AnswerAndClose("HTTP/1.1 503 Busy\r\nContent-Length: 50\r\n\r\ncut")},
         "!EIdHTTPProtocolException: HTTP/1.1 503 Busy | 503 | cut",
         {Req("/e")}},
        {"GarbageStatusLine",
         "http://$/g",
         {AnswerAndClose("garbage\r\n\r\n")},
         "!EIdHTTPProtocolException: garbage | -1 | ",
         {Req("/g")}},
        {"OtherInterimIsAnError",
         "http://$/p",
         {Answer("HTTP/1.1 102 Processing\r\n\r\n")},
         "!EIdHTTPProtocolException: HTTP/1.1 102 Processing | 102 | ",
         {Req("/p")}},
        {"ContentRangeNotANumber",
         "http://$/r",
         {Answer("HTTP/1.1 206 Partial\r\nContent-Range: bytes x-9/10\r\n\r\n")},
         "!EConvertError: 'x' is not a valid integer value",
         {Req("/r")}},
        {"HeaderBlockWithoutEnd",
         "http://$/h",
         {{test::WaitRequest(), test::Send("HTTP/1.1 200 OK\r\n"),
           test::SendRepeated("X-Filler: " + std::string(90, 'f') + "\r\n", 12000)}},
         "!EIdHTTPHeaderBlockTooLarge: Response header block larger than 1048576 bytes.",
         {Req("/h")}},
        {"RelativeLocationMergesPath",
         "http://$/cgi/data.php?x=1",
         {Answers({Redirect("next.php?p=2"), test::HttpOk("page 2")})},
         "page 2",
         {Req("/cgi/data.php?x=1") + Req("/cgi/next.php?p=2")}},
        {"LocationClimbsAndRoots",
         "http://$/a/b/c.txt",
         {Answers({Redirect("../d.txt", "HTTP/1.1 301 Moved Permanently"),
                   Redirect("/e.txt", "HTTP/1.1 307 Temporary"), test::HttpOk("e")})},
         "e",
         {Req("/a/b/c.txt") + Req("/a/d.txt") + Req("/e.txt")}},
        {"SuccessWithLocationIsFollowed",
         "http://$/a",
         {Answers({test::HttpResponse("HTTP/1.1 200 OK", {"Location: /b", "Content-Length: 3"}, "xyz"),
                   test::HttpOk("B")})},
         "B",
         {Req("/a") + Req("/b")}},
        {"RedirectBodyUntilCloseThenNewConnection",
         "http://$/a",
         {AnswerAndClose("HTTP/1.0 302 Found\r\nLocation: /b\r\n\r\nold page"), Answer(test::HttpOk("B"))},
         "B",
         {Req("/a"), Req("/b")}},
        {"RedirectBodyThatFailsToReadIsNotReused",
         "http://$/a",
         {Answer("HTTP/1.1 302 Found\r\nLocation: /b\r\nTransfer-Encoding: "
                 "chunked\r\n\r\nfffffffffffffffff\r\n"),
          Answer(test::HttpOk("B"))},
         "B",
         {Req("/a"), Req("/b")}},
        {"BothFramingsAreNotReused",
         "http://$/a",
         {Answer("HTTP/1.1 302 Found\r\nLocation: /b\r\nContent-Length: 3\r\nTransfer-Encoding: "
                 "chunked\r\n\r\n5\r\nmoved\r\n0\r\n\r\n"),
          Answer(test::HttpOk("B"))},
         "B",
         {Req("/a"), Req("/b")}},
        Chain(14, "end of chain"),
        Chain(15, ""),
        {"OtherProtocolIsPlainHttp", "ftp://$/x", {Answer(test::HttpOk("plain"))}, "plain", {Req("/x")}},
        {"LineBreakInTargetRefused",
         "http://$/a\nb",
         {Script{}},
         "!EIdUnsafeRequestText: Request target refused: it holds CR, LF or NUL.",
         {}},
        {"LineBreakInHostRefused",
         "http://bad\nhost/x",
         {Script{}},
         "!EIdUnsafeRequestText: Header \"Host\" refused: it holds CR, LF or NUL.",
         {}},
        {"BareCarriageReturnInLocationRefused",
         "http://$/a",
         {Answer(Redirect("/b\rInjected: 1"))},
         "!EIdUnsafeRequestText: Request target refused: it holds CR, LF or NUL.",
         {Req("/a")}},
    };
    return rows;
}

class ExchangeTest : public testing::TestWithParam<Exchange> {};

TEST_P(ExchangeTest, GivesOutcomeAndSendsExactly) {
    const Exchange& row = GetParam();
    for (std::uint32_t seed : {1u, 2u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::vector<Script> scripts = row.scripts;
        for (Script& script : scripts) {
            for (test::ScriptStep& step : script)
                step.seed = seed;
        }
        test::ScriptedServer server(scripts);
        const std::string host = "127.0.0.1:" + std::to_string(server.Port());
        TIdSSLIOHandlerSocket tls;
        TIdHTTP http;
        ConfigureQuoteClient(http, tls);
        http.SetReadTimeout(test::TestReadTimeout);
        EXPECT_EQ(test::GetOutcome(http, test::Fill(row.url, "$", host)), test::Fill(row.outcome, "$", host));
        // The server sees everything the client sent once the client has let go of the connection.
        http.Disconnect();
        ASSERT_TRUE(server.WaitForConnections(row.requests.size()));
        for (std::size_t i = 0; i < row.requests.size(); ++i) {
            ASSERT_TRUE(server.WaitForFinished(i));
            EXPECT_EQ(server.Received(i), test::Fill(row.requests[i], "$", host)) << "connection " << i;
        }
        EXPECT_EQ(server.ConnectionCount(), row.requests.size());
        EXPECT_EQ(http.RedirectCount(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ExchangeTest, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Exchange>& info) { return info.param.name; });

}  // namespace
}  // namespace w20
