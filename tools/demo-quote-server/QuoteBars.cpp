#include "tools/demo-quote-server/QuoteBars.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace w20::demo {

namespace {

constexpr int TicksPerMinute = 4;

// A small generator with a fixed definition, so the bars are the same on every machine.
class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // Roughly normal with mean 0 and deviation 1 (sum of four uniforms).
    double Normal() { return (Uniform() + Uniform() + Uniform() + Uniform() - 2.0) * 1.7320508075688772; }

private:
    std::uint64_t state_;
};

std::uint64_t Hash(const std::string& text, std::uint64_t salt) {
    std::uint64_t hash = 0xcbf29ce484222325ULL ^ salt;
    for (unsigned char c : text)
        hash = (hash ^ c) * 0x100000001b3ULL;
    return hash;
}

bool IsFuture(const std::string& instrument) {
    return instrument.size() > 1 && instrument[0] == 'F';
}

// Index prices in hundredths for every tick of the session: a random walk with a little pull
// towards a level that moves slowly from day to day.
std::vector<double> IndexTicks(const std::string& index, const QuoteDate& date) {
    long day = date.DayNumber();
    SplitMix random(Hash(index, static_cast<std::uint64_t>(day)));
    double level =
        2400.0 + 150.0 * std::sin(day / 23.0) + 60.0 * std::sin(day / 7.3) + 40.0 * (random.Uniform() - 0.5);
    double price = level + 15.0 * random.Normal();
    std::vector<double> ticks(SessionMinutes * TicksPerMinute);
    for (double& tick : ticks) {
        price += 0.65 * random.Normal() + 0.002 * (level - price);
        tick = price;
    }
    return ticks;
}

// Whole hundredths for an index, whole points for a future.
std::vector<std::int64_t> InstrumentTicks(const std::string& instrument, const QuoteDate& date) {
    bool future = IsFuture(instrument);
    std::vector<double> index = IndexTicks(future ? instrument.substr(1) : instrument, date);
    std::vector<std::int64_t> ticks(index.size());
    SplitMix random(Hash(instrument, static_cast<std::uint64_t>(date.DayNumber()) * 31 + 7));
    double basis = 4.0 + 8.0 * random.Uniform();
    for (std::size_t i = 0; i < index.size(); ++i) {
        if (future) {
            // The basis shrinks a little over the day; the future jitters around index plus basis.
            double premium = basis * (1.0 - 0.2 * static_cast<double>(i) / static_cast<double>(index.size()));
            ticks[i] = std::llround(index[i] + premium + 0.8 * random.Normal()) * 100;
        } else {
            ticks[i] = std::llround(index[i] * 100.0);
        }
    }
    return ticks;
}

// Traded volume per minute: busier at the open and before the close.
std::vector<std::int64_t> MinuteVolumes(const std::string& instrument, const QuoteDate& date) {
    SplitMix random(Hash(instrument, static_cast<std::uint64_t>(date.DayNumber()) * 131 + 3));
    double scale = IsFuture(instrument) ? 40.0 : 9000.0;
    std::vector<std::int64_t> volumes(SessionMinutes);
    for (int minute = 0; minute < SessionMinutes; ++minute) {
        double x = (minute - SessionMinutes / 2.0) / (SessionMinutes / 2.0);
        double activity = 0.5 + 1.5 * x * x;
        volumes[minute] = std::llround(scale * activity * (0.3 + 1.4 * random.Uniform()));
    }
    return volumes;
}

std::string Price(std::int64_t hundredths) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(hundredths / 100),
                  static_cast<long long>(hundredths % 100));
    return text;
}

}  // namespace

std::vector<Bar> SessionBars(const std::string& instrument, const QuoteDate& date, int minutes) {
    std::vector<std::int64_t> ticks = InstrumentTicks(instrument, date);
    std::vector<std::int64_t> volumes = MinuteVolumes(instrument, date);
    std::vector<Bar> bars;
    for (int start = 0; start + minutes <= SessionMinutes; start += minutes) {
        auto first = ticks.begin() + start * TicksPerMinute;
        auto last = first + minutes * TicksPerMinute;
        Bar bar;
        bar.minuteOfDay = SessionOpenMinute + start;
        bar.open = *first;
        bar.close = *(last - 1);
        bar.high = *std::max_element(first, last);
        bar.low = *std::min_element(first, last);
        for (int minute = start; minute < start + minutes; ++minute)
            bar.volume += volumes[minute];
        bars.push_back(bar);
    }
    return bars;
}

std::string QuoteText(const std::string& instrument, const QuoteDate& date, int minutes) {
    std::string text = "Ticker,Interval,Date,Time,Open,High,Low,Close,Volume\r\n";
    const std::string lead = instrument + "," + std::to_string(minutes) + "," + date.Compact() + ",";
    char time[16];
    for (const Bar& bar : SessionBars(instrument, date, minutes)) {
        std::snprintf(time, sizeof time, "%02d%02d00", bar.minuteOfDay / 60, bar.minuteOfDay % 60);
        text += lead + time + "," + Price(bar.open) + "," + Price(bar.high) + "," + Price(bar.low) + "," +
                Price(bar.close) + "," + std::to_string(bar.volume) + "\r\n";
    }
    return text;
}

}  // namespace w20::demo
