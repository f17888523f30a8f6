#pragma once

#include <string>
#include <vector>

#include "app/Desktop.h"

namespace w20::test {

// Records error boxes and opened addresses instead of showing or opening them.
class RecordingDesktop : public Desktop {
public:
    RecordingDesktop() : Desktop("W20/FW20 by VOR") {}

    struct Box {
        std::string caption;
        std::string message;
    };
    std::vector<Box> boxes;
    std::vector<std::string> opened;

    void OpenAddress(const std::string& address) override { opened.push_back(address); }

protected:
    void ShowErrorBox(const std::string& caption, const std::string& message) override;
};

}  // namespace w20::test
