#pragma once

#include <string>
#include <vector>

#include "net/IdComponent.h"

namespace w20::test {

// The work events of a component as texts: "begin <mode> <total>", "work <mode> <count>",
// "end <mode>".
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

}  // namespace w20::test
