#include "quotes/RewritingRules.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/quotes/FakeWindow.h"

namespace w20 {
namespace {

using test::FakeWindow;

Configuration Config(std::string indexTicker, std::string futuresTicker, std::string periodMode) {
    Configuration config;
    config.IndexTicker = std::move(indexTicker);
    config.FuturesTicker = std::move(futuresTicker);
    config.PeriodMode = std::move(periodMode);
    return config;
}

enum class Format { MetaStock, Omega };

struct RuleCase {
    const char* name;
    Format format;
    Configuration config;
    std::string interval;
    std::string source;
    std::string result;
};

std::string Rewritten(const RuleCase& c) {
    FakeWindow window;
    window.intervalTextValue = c.interval;
    window.setText(c.source);
    if (c.format == Format::MetaStock) {
        ApplyMetaStockRules(window, c.config);
    } else {
        ApplyOmegaRules(window, c.config);
    }
    return window.text();
}

TEST(RewritingRules, MetaStock) {
    const Configuration plain = Config("WIG20", "FW20Z2", "");
    const Configuration tick = Config("WIG20", "FW20Z2", "tickowy");
    const RuleCase cases[] = {
        {"tickers renamed, interval kept", Format::MetaStock, plain, "5",
         "WIG20,5,20020926,093000,1234.00\r\nFW20Z2,5,20020926,093000,1230.50\r\n",
         "W20[VOR],5,20020926,093000,1234.00\r\nFW20[VOR],5,20020926,093000,1230.50\r\n"},
        {"tickowy marks the interval", Format::MetaStock, tick, "5",
         "WIG20,5,20020926,093000,1234.00\r\nFW20Z2,5,20020926,093000,1230.50",
         "W20[VOR],I,20020926,093000,1234.00\r\nFW20[VOR],I,20020926,093000,1230.50"},
        {"tickowy with a trailing blank is another mode", Format::MetaStock,
         Config("WIG20", "FW20Z2", "tickowy "), "5", "WIG20,5,1", "W20[VOR],5,1"},
        {"mode compared case-sensitively", Format::MetaStock, Config("WIG20", "FW20Z2", "Tickowy"), "5",
         "WIG20,5,1", "W20[VOR],5,1"},
        {"every ,15, becomes ,I, wherever it stands", Format::MetaStock, tick, "15",
         "WIG20,15,1,15,2\r\nx,15,", "W20[VOR],I,1,I,2\r\nx,I,"},
        {"a ,5, inside a ,15, stays", Format::MetaStock, tick, "5", "WIG20,15,5,1", "W20[VOR],15,I,1"},
        {"index ticker inside the futures ticker", Format::MetaStock, Config("W20", "FW20", ""), "5",
         "FW20,5,1\r\nW20,5,2", "FW20[VOR][VOR],5,1\r\nW20[VOR],5,2"},
        {"futures ticker inside the tool's index ticker", Format::MetaStock, Config("IDX", "W20", ""), "5",
         "IDX,5,1\r\nW20,5,2", "FW20[VOR][VOR],5,1\r\nFW20[VOR],5,2"},
        {"empty tickers leave the text", Format::MetaStock, Config("", "", ""), "5", "WIG20,5,1\r\nFW20,5,2",
         "WIG20,5,1\r\nFW20,5,2"},
        {"tickers anywhere in a line", Format::MetaStock, plain, "5", "x WIG20 y FW20Z2",
         "x W20[VOR] y FW20[VOR]"},
        {"empty text area", Format::MetaStock, tick, "5", "", ""},
        {"bytes pass through", Format::MetaStock, plain, "5", std::string("WIG20,5,\0\x80\xFF\xA0", 12),
         std::string("W20[VOR],5,\0\x80\xFF\xA0", 15)},
        {"lone LF and lone CR end lines", Format::MetaStock, plain, "5", "WIG20,5,1\nWIG20,5,2\rWIG20,5,3",
         "W20[VOR],5,1\r\nW20[VOR],5,2\r\nW20[VOR],5,3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rewritten(c), c.result) << c.name;
}

TEST(RewritingRules, Omega) {
    const Configuration plain = Config("WIG20", "FW20Z2", "");
    const Configuration tick = Config("WIG20", "FW20Z2", "tickowy");
    const RuleCase cases[] = {
        {"seconds cut, whole prices kept", Format::Omega, plain, "5",
         "WIG20,5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200",
         "W20[VOR],5,20020926,0930,1234.00,1236.50,1230.00,1235.00,1200"},
        {"both instruments, tickowy", Format::Omega, tick, "5",
         "WIG20,5,20020926,093000,1234.00,1200\r\nFW20Z2,5,20020926,100500,1230.50,7\r\n",
         "W20[VOR],I,20020926,0930,1234.00,1200\r\nFW20[VOR],I,20020926,1005,1230.50,7\r\n"},
        {"a field 1200 before a comma loses its zeros", Format::Omega, plain, "5", "WIG20,5,1200,1",
         "W20[VOR],5,12,1"},
        {"a .xx in the text reads .00", Format::Omega, plain, "5", "x.xx,y.xx", "x.00,y.00"},
        {"000, loses one pair", Format::Omega, plain, "5", "1000,", "10,"},
        {"0000, loses one pair too", Format::Omega, plain, "5", "10000,", "100,"},
        {".00, keeps its decimals", Format::Omega, plain, "5", "5.00,5.100,", "5.00,5.1,"},
        {"30-minute interval field 30 stays", Format::Omega, plain, "30", "WIG20,30,1", "W20[VOR],30,1"},
        {"tickowy 30: the interval field becomes I", Format::Omega, tick, "30", "WIG20,30,1", "W20[VOR],I,1"},
        {"tickowy with an emptied interval", Format::Omega, tick, "", "WIG20,,1", "W20[VOR],I,1"},
        {"index ticker inside the futures ticker", Format::Omega, Config("W20", "FW20", ""), "5", "FW20,5,1",
         "FW20[VOR][VOR],5,1"},
        {"empty text area", Format::Omega, tick, "5", "", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Rewritten(c), c.result) << c.name;
}

// Each rule puts its result into the text area before the next one reads it.
TEST(RewritingRules, EveryRuleShowsItsResult) {
    FakeWindow window;
    window.setText("WIG20,5,20020926,093000,1234.00,1236.50,1230.00,1235.00,1200");
    window.texts.clear();
    ApplyOmegaRules(window, Config("WIG20", "FW20Z2", ""));
    const std::vector<std::string> steps = {
        "WIG20,5,20020926,093000,1234.xx,1236.50,1230.xx,1235.xx,1200",
        "WIG20,5,20020926,0930,1234.xx,1236.50,1230.xx,1235.xx,1200",
        "WIG20,5,20020926,0930,1234.00,1236.50,1230.00,1235.00,1200",
        "W20[VOR],5,20020926,0930,1234.00,1236.50,1230.00,1235.00,1200",
        "W20[VOR],5,20020926,0930,1234.00,1236.50,1230.00,1235.00,1200",
    };
    EXPECT_EQ(window.texts, steps);

    window.texts.clear();
    window.setText("WIG20,5,1\r\nFW20Z2,5,2");
    ApplyMetaStockRules(window, Config("WIG20", "FW20Z2", "tickowy"));
    EXPECT_EQ(window.texts,
              (std::vector<std::string>{"WIG20,5,1\r\nFW20Z2,5,2", "W20[VOR],5,1\r\nFW20Z2,5,2",
                                        "W20[VOR],5,1\r\nFW20[VOR],5,2", "W20[VOR],I,1\r\nFW20[VOR],I,2"}));
    EXPECT_EQ(window.eventPasses, 0);
}

}  // namespace
}  // namespace w20
