#include "net/IdComponent.h"

#include <functional>
#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/net/WorkLog.h"

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

TEST(WorkEvents, NestingModesAndCounts) {
    const struct {
        std::string name;
        std::function<void(TIdComponent&)> steps;
        std::vector<std::string> events;
    } cases[] = {
        {"nesting and modes",
         [](TIdComponent& c) {
             c.WorkProgress(WorkRead, 5);  // outside a transfer: nothing
             c.WorkBegin(WorkRead, 100);
             c.WorkProgress(WorkRead, 10);
             c.WorkBegin(WorkRead, 50);  // nested: no event, the outer total stays
             c.WorkProgress(WorkRead, 20);
             c.WorkBegin(WorkWrite, 7);  // the other mode is counted apart
             c.WorkProgress(WorkWrite, 7);
             c.WorkEnd(WorkWrite);
             c.WorkEnd(WorkRead);
             c.WorkProgress(WorkRead, 1);
             c.WorkEnd(WorkRead);
             c.WorkProgress(WorkRead, 1);
         },
         {"begin 0 100", "work 0 10", "work 0 30", "begin 1 7", "work 1 7", "end 1", "work 0 31", "end 0"}},
        {"running count starts again and passes two gigabytes",
         [](TIdComponent& c) {
             c.WorkBegin(WorkRead, 0);
             c.WorkProgress(WorkRead, 2147483647);
             c.WorkProgress(WorkRead, 2);
             c.WorkEnd(WorkRead);
             c.WorkBegin(WorkRead, 3);
             c.WorkProgress(WorkRead, 1);
         },
         {"begin 0 0", "work 0 2147483647", "work 0 2147483649", "end 0", "begin 0 3", "work 0 1"}},
        {"end without begin does not silence the next transfer",
         [](TIdComponent& c) {
             c.WorkEnd(WorkWrite);
             c.WorkEnd(WorkWrite);
             c.WorkBegin(WorkWrite, 4);
             c.WorkEnd(WorkWrite);
         },
         {"begin 1 4", "end 1"}},
        {"a raising end handler still closes the transfer",
         [](TIdComponent& c) {
             c.OnWorkEnd = [](TIdComponent&, TWorkMode) { throw std::runtime_error("handler"); };
             c.WorkBegin(WorkRead, 1);
             EXPECT_THROW(c.WorkEnd(WorkRead), std::runtime_error);
             c.WorkBegin(WorkRead, 2);
         },
         {"begin 0 1", "begin 0 2"}},
    };
    for (const auto& c : cases) {
        TIdComponent component;
        test::WorkLog log;
        log.Attach(component);
        c.steps(component);
        EXPECT_EQ(log.events, c.events) << c.name;
    }
}

}  // namespace
}  // namespace w20
