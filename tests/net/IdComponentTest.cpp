#include "net/IdComponent.h"

#include <gtest/gtest.h>

#include "net/IdStack.h"

namespace w20 {
namespace {

TEST(ReportStatus, TextsOfEveryKind) {
    TIdComponent component;
    std::vector<std::string> seen;
    component.OnStatus = [&](TIdComponent& sender, TIdStatus status, const std::string& text) {
        EXPECT_EQ(&sender, &component);
        seen.push_back(std::to_string(status) + ":" + text);
    };
    const struct {
        TIdStatus status;
        std::string argument;
        std::string text;
    } cases[] = {
        {StatusResolving, "quotes.example", "Resolving hostname quotes.example."},
        {StatusConnecting, "10.0.0.1", "Connecting to 10.0.0.1."},
        {StatusConnected, "quotes.example", "Connected."},
        {StatusDisconnecting, "", "Disconnecting."},
        {StatusDisconnected, "", "Disconnected."},
        {StatusText, "Chunk Started", "Chunk Started"},
        {StatusText, "100%s %d", "100%s %d"},  // arguments are not format patterns
        {StatusResolving, std::string("a\0b", 3), std::string("Resolving hostname a\0b.", 23)},
    };
    for (const auto& c : cases) {
        seen.clear();
        component.ReportStatus(c.status, c.argument);
        EXPECT_EQ(seen, std::vector<std::string>{std::to_string(c.status) + ":" + c.text});
    }
}

struct WorkLog {
    std::vector<std::string> events;

    void Attach(TIdComponent& component) {
        component.OnWorkBegin = [this](TIdComponent&, TWorkMode mode, std::int64_t total) {
            events.push_back("begin " + std::to_string(mode) + " " + std::to_string(total));
        };
        component.OnWork = [this](TIdComponent&, TWorkMode mode, std::int64_t count) {
            events.push_back("work " + std::to_string(mode) + " " + std::to_string(count));
        };
        component.OnWorkEnd = [this](TIdComponent&, TWorkMode mode) {
            events.push_back("end " + std::to_string(mode));
        };
    }
};

TEST(WorkEvents, NestingAndModes) {
    TIdComponent component;
    WorkLog log;
    log.Attach(component);

    component.WorkProgress(WorkRead, 5);  // outside a transfer: nothing
    component.WorkBegin(WorkRead, 100);
    component.WorkProgress(WorkRead, 10);
    component.WorkBegin(WorkRead, 50);  // nested: no event, the outer total stays
    component.WorkProgress(WorkRead, 20);
    component.WorkBegin(WorkWrite, 7);  // the other mode is counted apart
    component.WorkProgress(WorkWrite, 7);
    component.WorkEnd(WorkWrite);
    component.WorkEnd(WorkRead);
    component.WorkProgress(WorkRead, 1);
    component.WorkEnd(WorkRead);
    component.WorkProgress(WorkRead, 1);

    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 0 100", "work 0 10", "work 0 30", "begin 1 7",
                                                    "work 1 7", "end 1", "work 0 31", "end 0"}));
}

TEST(WorkEvents, RunningCountStartsAgainAndPassesTwoGigabytes) {
    TIdComponent component;
    WorkLog log;
    log.Attach(component);
    component.WorkBegin(WorkRead, 0);
    component.WorkProgress(WorkRead, 2147483647);
    component.WorkProgress(WorkRead, 2);
    component.WorkEnd(WorkRead);
    component.WorkBegin(WorkRead, 3);
    component.WorkProgress(WorkRead, 1);
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 0 0", "work 0 2147483647", "work 0 2147483649",
                                                    "end 0", "begin 0 3", "work 0 1"}));
}

TEST(WorkEvents, EndWithoutBeginDoesNotSilenceTheNextTransfer) {
    TIdComponent component;
    WorkLog log;
    log.Attach(component);
    component.WorkEnd(WorkWrite);
    component.WorkEnd(WorkWrite);
    component.WorkBegin(WorkWrite, 4);
    component.WorkEnd(WorkWrite);
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 1 4", "end 1"}));
}

TEST(WorkEvents, RaisingEndHandlerClosesTheTransfer) {
    TIdComponent component;
    WorkLog log;
    log.Attach(component);
    component.OnWorkEnd = [](TIdComponent&, TWorkMode) { throw std::runtime_error("handler"); };
    component.WorkBegin(WorkRead, 1);
    EXPECT_THROW(component.WorkEnd(WorkRead), std::runtime_error);
    component.WorkBegin(WorkRead, 2);
    EXPECT_EQ(log.events, (std::vector<std::string>{"begin 0 1", "begin 0 2"}));
}

TEST(Component, HoldsTheSharedStack) {
    ASSERT_EQ(SharedStack(), nullptr);
    {
        TIdComponent component;
        EXPECT_NE(SharedStack(), nullptr);
    }
    EXPECT_EQ(SharedStack(), nullptr);
}

}  // namespace
}  // namespace w20
