#include "tests/quotes/FakeWindow.h"

namespace w20::test {

std::string FakeWindow::text() const {
    std::string joined;
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        if (i > 0)
            joined += "\r\n";
        joined += blocks_[i];
    }
    return joined;
}

void FakeWindow::setText(const std::string& bytes) {
    texts.push_back(bytes);
    blocks_.assign(1, "");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            blocks_.emplace_back();
        } else {
            blocks_.back() += c;
        }
    }
}

int FakeWindow::lineCount() const {
    return static_cast<int>(blocks_.size()) - (blocks_.back().empty() ? 1 : 0);
}

std::string FakeWindow::line(int index) const {
    if (index < 0 || index >= lineCount()) {
        ++readsPastEnd;
        return {};
    }
    return blocks_[static_cast<std::size_t>(index)].substr(0, MaxLineLength);
}

void FakeWindow::processEvents() {
    ++eventPasses;
    if (OnProcessEvents)
        OnProcessEvents();
}

}  // namespace w20::test
