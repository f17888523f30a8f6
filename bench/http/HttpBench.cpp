#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/support/ResidentMemory.h"
#include "http/IdHTTP.h"
#include "net/IdBuffer.h"
#include "net/IdSSLIOHandlerSocket.h"
#include "quotes/DownloadCycle.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

// The HTTP client against nginx on 127.0.0.1, plain and over TLS 1.3, next to curl and to libcurl
// receiving into memory on the same URLs: large bodies by length, by chunks and up to the close,
// many small requests over one kept-alive connection, and the two requests of a download cycle
// from a fresh client. bench/http/run.sh runs them and prints the figures.
namespace w20 {
namespace {

using Clock = std::chrono::steady_clock;
using bench::ResetPeak;
using bench::ResidentKiB;

constexpr std::size_t BodySize = 64u << 20;
constexpr std::size_t SmallSize = 200;
constexpr int SmallCount = 10000;
constexpr int QuoteBars = 96;  // a day of five-minute bars
const std::string ProbeText = "probe";

std::string QuoteAnswer() {
    std::string body = "Ticker,Interval,Date,Time,Open,High,Low,Close,Volume\r\n";
    for (int i = 0; i < QuoteBars; ++i) {
        body += "WIG20,5,20020926," + std::to_string(90000 + i * 500) + ",1234.00,1236.50,1230.00,1235.00," +
                std::to_string(1000 + i) + "\r\n";
    }
    return body;
}

// nginx serving a 64 MiB file as it is (Content-Length), the same bytes through its SSI filter,
// which drops the length (chunked for HTTP/1.1, up to the close for HTTP/1.0), a small file and a
// quote answer; once on plain http and once over TLS 1.3 only, with a certificate made for the
// run whose authority alone is trusted. Over TLS nginx logs what each client negotiated for the
// probe. Started by the first benchmark that needs it, for the whole run.
class Peer {
public:
    static Peer& Get() {
        static Peer peer;
        return peer;
    }
    std::string Url(const std::string& target) const { return plain_->Url(target); }
    std::string TlsUrl(const std::string& target) const { return tls_->UrlFor("localhost", target); }
    std::string Authority() const { return test::TrustedTestCertificates() + "/authority.pem"; }
    std::string ProbeLog() const { return folder_.File("probe.log"); }

private:
    Peer() {
        std::string block(1u << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>('a' + (i * 7 + i / 251) % 26);
        for (const std::string& name : {folder_.File("big.bin"), folder_.File("big.html")}) {
            std::ofstream file(name, std::ios::binary);
            for (std::size_t i = 0; i < BodySize / block.size(); ++i)
                file.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        test::WriteFileBytes(folder_.File("small.txt"), block.substr(0, SmallSize));
        test::WriteFileBytes(folder_.File("probe.txt"), ProbeText);
        test::WriteFileBytes(folder_.File("quotes.php"), QuoteAnswer());
        const std::string locations = "location = /big.html { ssi on; }\n";
        plain_ = std::make_unique<test::NginxServer>(folder_.Path(), locations);
        const std::string& certificates = test::TrustedTestCertificates();
        tls_ = std::make_unique<test::NginxServer>(
            folder_.Path(), test::NginxTls(certificates + "/good.pem", certificates + "/good.key", "TLSv1.3"),
            locations + "location = /probe.txt { access_log " + ProbeLog() + " negotiated; }\n",
            "log_format negotiated '$server_protocol $ssl_protocol $ssl_cipher';\n");
    }

    test::TempDir folder_;
    std::unique_ptr<test::NginxServer> plain_;
    std::unique_ptr<test::NginxServer> tls_;
};

// The tool's client: the quote service's settings with the TLS handler attached.
template <typename Http = TIdHTTP>
struct ToolClient : Http {
    TIdSSLIOHandlerSocket tls;
    ToolClient() { ConfigureQuoteClient(*this, tls); }
};

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// curl reading into nowhere; the time is curl's own total for the transfer.
double CurlTransferSeconds(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"curl", "-s", "-o", "/dev/null", "-w", "%{time_total}\n"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    test::ChildProcess curl(argv);
    const std::optional<std::string> seconds = curl.ReadOutputLine(std::chrono::seconds(60));
    return seconds && !seconds->empty() ? std::stod(*seconds) : -1;
}

// curl reading into nowhere; the time is the whole process, start-up included.
double CurlSeconds(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"sh", "-c", "curl -s -o /dev/null \"$@\" >/dev/null", "curl"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const auto start = Clock::now();
    test::ChildProcess curl(argv);
    while (curl.Running())
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    return Seconds(Clock::now() - start);
}

// libcurl keeping the body in memory as a program would: a string reserved by the Content-Length
// once the headers are in (without one it grows as it must), appended to as the data comes.
struct LibcurlTransfer {
    CURL* curl = nullptr;
    std::string body;

    static std::size_t Header(char* data, std::size_t size, std::size_t count, void* user) {
        auto* transfer = static_cast<LibcurlTransfer*>(user);
        if (size * count == 2 && data[0] == '\r') {
            curl_off_t length = -1;
            curl_easy_getinfo(transfer->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
            if (length > 0)
                transfer->body.reserve(static_cast<std::size_t>(length));
        }
        return size * count;
    }
    static std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
        static_cast<LibcurlTransfer*>(user)->body.append(data, size * count);
        return size * count;
    }
};

// The seconds of one transfer by a fresh handle, or a negative value when the body is not
// `expected` bytes long. Over https the test authority is the only one trusted.
double LibcurlSeconds(const std::string& url, bool http10, std::size_t expected) {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    if (!ready)
        return -1;
    LibcurlTransfer transfer;
    transfer.curl = curl_easy_init();
    if (transfer.curl == nullptr)
        return -1;
    const std::string authority = Peer::Get().Authority();
    curl_easy_setopt(transfer.curl, CURLOPT_URL, url.c_str());
    const long version = http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1;
    curl_easy_setopt(transfer.curl, CURLOPT_HTTP_VERSION, version);
    if (url.starts_with("https:"))
        curl_easy_setopt(transfer.curl, CURLOPT_CAINFO, authority.c_str());
    curl_easy_setopt(transfer.curl, CURLOPT_HEADERFUNCTION, &LibcurlTransfer::Header);
    curl_easy_setopt(transfer.curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(transfer.curl, CURLOPT_WRITEFUNCTION, &LibcurlTransfer::Write);
    curl_easy_setopt(transfer.curl, CURLOPT_WRITEDATA, &transfer);
    const auto start = Clock::now();
    const CURLcode result = curl_easy_perform(transfer.curl);
    const double seconds = Seconds(Clock::now() - start);
    curl_easy_cleanup(transfer.curl);
    return result == CURLE_OK && transfer.body.size() == expected ? seconds : -1;
}

// What nginx logged for the probe fetched once by Get, by libcurl and by curl ("HTTP/1.1 TLSv1.3
// TLS_AES_256_GCM_SHA384"), or empty when the three differ: the ratios over TLS compare like
// with like only when all three negotiated the same protocol version and cipher.
std::string NegotiatedByAll() {
    static const std::string agreed = [] {
        const Peer& peer = Peer::Get();
        const std::string url = peer.TlsUrl("/probe.txt");
        ToolClient<> http;
        http.Get(url);
        LibcurlSeconds(url, false, ProbeText.size());
        CurlTransferSeconds({"--http1.1", "--cacert", peer.Authority(), url});
        // nginx writes the line once the answer has gone: wait for the three, boundedly.
        std::vector<std::string> lines;
        for (int wait = 0; wait < 100 && lines.size() < 3; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::istringstream log(test::ReadFileBytes(peer.ProbeLog()));
            lines.clear();
            for (std::string line; std::getline(log, line);)
                lines.push_back(line);
        }
        return lines.size() == 3 && lines[0] == lines[1] && lines[1] == lines[2] ? lines[0] : std::string();
    }();
    return agreed;
}

enum Framing { ByLength, Chunked, UntilClose };

std::string BodyUrl(Framing framing, bool tls) {
    const std::string target = framing == ByLength ? "/big.bin" : "/big.html";
    return tls ? Peer::Get().TlsUrl(target) : Peer::Get().Url(target);
}

std::vector<std::string> CurlArguments(Framing framing, bool tls) {
    std::vector<std::string> arguments{framing == UntilClose ? "--http1.0" : "--http1.1"};
    if (tls) {
        arguments.push_back("--cacert");
        arguments.push_back(Peer::Get().Authority());
    }
    arguments.push_back(BodyUrl(framing, tls));
    return arguments;
}

// Each iteration takes the body by curl, by libcurl and by get, one right after the other, so
// that the ratios of the sums compare transfers made under the same load on a shared machine.
// get returns its seconds, or a negative value when the body came wrong. The iteration's time is
// get's; curl_ratio and libcurl_ratio are their times over get's, so above 1 means get is faster.
template <typename GetOnce>
void TakeTurns(benchmark::State& state, Framing framing, bool tls, GetOnce get) {
    double curlSeconds = 0;
    double libcurlSeconds = 0;
    double getSeconds = 0;
    for (auto _ : state) {
        const double curl = CurlTransferSeconds(CurlArguments(framing, tls));
        if (curl <= 0) {
            state.SkipWithError("curl gave no time");
            return;
        }
        const double library = LibcurlSeconds(BodyUrl(framing, tls), framing == UntilClose, BodySize);
        if (library < 0) {
            state.SkipWithError("libcurl failed");
            return;
        }
        const double ours = get();
        if (ours < 0) {
            state.SkipWithError("short body");
            return;
        }
        state.SetIterationTime(ours);
        curlSeconds += curl;
        libcurlSeconds += library;
        getSeconds += ours;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * BodySize));
    state.counters["curl_ratio"] = curlSeconds / getSeconds;
    state.counters["libcurl_ratio"] = libcurlSeconds / getSeconds;
}

// Get of the body into the returned text, timed; the peak resident memory of the call over the
// body size raises peakRatio.
double TimedGet(TIdHTTP& http, const std::string& url, double& peakRatio) {
    const std::int64_t before = ResidentKiB(false);
    ResetPeak();
    const auto start = Clock::now();
    const std::string body = http.Get(url);
    const double seconds = Seconds(Clock::now() - start);
    const std::int64_t peak = ResidentKiB(true) - before;
    peakRatio = std::max(peakRatio, static_cast<double>(peak) * 1024 / static_cast<double>(BodySize));
    return body.size() == BodySize ? seconds : -1;
}

// Get of the body by a fresh client as the tool would start it; peak_ratio is the peak resident
// memory of the call over the body size.
void Body(benchmark::State& state) {
    const auto framing = static_cast<Framing>(state.range(0));
    double peakRatio = 0;
    TakeTurns(state, framing, false, [&] {
        TIdHTTP http;
        http.SetHandleRedirects(true);
        http.SetProtocolVersion(framing == UntilClose ? pv1_0 : pv1_1);
        return TimedGet(http, BodyUrl(framing, false), peakRatio);
    });
    state.counters["peak_ratio"] = peakRatio;
}
BENCHMARK(Body)->DenseRange(ByLength, UntilClose)->Unit(benchmark::kMillisecond)->UseManualTime();

// The same over TLS, by the tool's client.
void TlsBody(benchmark::State& state) {
    const auto framing = static_cast<Framing>(state.range(0));
    const std::string negotiated = NegotiatedByAll();
    if (negotiated.empty()) {
        state.SkipWithError("the clients negotiated different TLS");
        return;
    }
    double peakRatio = 0;
    TakeTurns(state, framing, true, [&] {
        ToolClient<> http;
        return TimedGet(http, BodyUrl(framing, true), peakRatio);
    });
    state.counters["peak_ratio"] = peakRatio;
    state.SetLabel(negotiated);
}
BENCHMARK(TlsBody)->DenseRange(ByLength, Chunked)->Unit(benchmark::kMillisecond)->UseManualTime();

void CurlSmall(benchmark::State& state, bool tls) {
    // One command line with every URL, so that curl keeps its connection.
    std::vector<std::string> many{"--http1.1"};
    if (tls) {
        many.push_back("--cacert");
        many.push_back(Peer::Get().Authority());
    }
    std::vector<std::string> one = many;
    const auto url = [tls](const std::string& target) {
        return tls ? Peer::Get().TlsUrl(target) : Peer::Get().Url(target);
    };
    for (int i = 0; i < SmallCount; ++i)
        many.push_back(url("/small.txt?" + std::to_string(i)));
    one.push_back(url("/small.txt"));
    double startup = 0;
    for (auto _ : state) {
        state.PauseTiming();
        startup = CurlSeconds(one);
        state.ResumeTiming();
        state.SetIterationTime(CurlSeconds(many));
    }
    state.counters["startup_ms"] = startup * 1000;
    state.SetItemsProcessed(state.iterations() * SmallCount);
}
BENCHMARK_CAPTURE(CurlSmall, plain, false)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_CAPTURE(CurlSmall, tls, true)->Iterations(3)->Unit(benchmark::kMillisecond)->UseManualTime();

// Times the reuse check before each request, which waits up to 1 ms for a close by design.
class TimedPollClient : public TIdHTTP {
public:
    Clock::duration pollTime{};
    void PollClosed(bool raiseIfClosed) override {
        const auto start = Clock::now();
        TIdHTTP::PollClosed(raiseIfClosed);
        pollTime += Clock::now() - start;
    }
};

// Plain by a bare client; over TLS by the tool's, whose handshakes OnConnected counts.
void GetSmall(benchmark::State& state, bool tls) {
    const std::string url = tls ? Peer::Get().TlsUrl("/small.txt") : Peer::Get().Url("/small.txt");
    double pollSeconds = 0;
    int connects = 0;
    for (auto _ : state) {
        std::unique_ptr<TimedPollClient> http;
        if (tls) {
            http = std::make_unique<ToolClient<TimedPollClient>>();
        } else {
            http = std::make_unique<TimedPollClient>();
            http->SetHandleRedirects(true);
        }
        http->OnConnected = [&connects](TIdTCPClient&) { ++connects; };
        for (int i = 0; i < SmallCount; ++i) {
            if (http->Get(url).size() != SmallSize) {
                state.SkipWithError("wrong body");
                return;
            }
        }
        pollSeconds += Seconds(http->pollTime);
    }
    state.counters["poll_ms"] = pollSeconds * 1000 / static_cast<double>(state.iterations());
    state.counters["connects"] = static_cast<double>(connects) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * SmallCount);
}
BENCHMARK_CAPTURE(GetSmall, plain, false)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(GetSmall, tls, true)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same by length, with Get into a stream whose pages are already mapped: what the protocol
// costs, without the cost of fresh memory for the body.
void Mapped(benchmark::State& state) {
    const std::string url = Peer::Get().Url("/big.bin");
    TIdSimpleBuffer stream;
    TakeTurns(state, ByLength, false, [&] {
        stream.SetPosition(0);
        stream.SetSize(0);
        TIdHTTP http;
        const auto start = Clock::now();
        http.Get(url, stream);
        const double seconds = Seconds(Clock::now() - start);
        return stream.Size() == BodySize ? seconds : -1;
    });
}
BENCHMARK(Mapped)->Unit(benchmark::kMillisecond)->UseManualTime();

// The requests of one download cycle: a fresh client of the tool gets the two instruments' answers
// of a few KB and disconnects, the handshake included over TLS; connects counts them per cycle.
void QuoteCycle(benchmark::State& state) {
    const bool tls = state.range(0) != 0;
    const std::string service = tls ? Peer::Get().TlsUrl("/quotes.php") : Peer::Get().Url("/quotes.php");
    const std::string query = service + "?data_notowania=02-09-26&nazwa_instrumentu=";
    const std::size_t size = QuoteAnswer().size();
    int connects = 0;
    for (auto _ : state) {
        ToolClient<> http;
        http.OnConnected = [&connects](TIdTCPClient&) { ++connects; };
        const std::size_t first = http.Get(query + "WIG20" + IntervalTail(0)).size();
        const std::size_t second = http.Get(query + "FW20Z2" + IntervalTail(0)).size();
        http.Disconnect();
        if (first != size || second != size) {
            state.SkipWithError("wrong answer");
            return;
        }
    }
    state.counters["connects"] = static_cast<double>(connects) / static_cast<double>(state.iterations());
}
BENCHMARK(QuoteCycle)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace w20

BENCHMARK_MAIN();
