#include "tests/app/RecordingDesktop.h"

namespace w20::test {

void RecordingDesktop::ShowErrorBox(const std::string& caption, const std::string& message) {
    boxes.push_back({caption, message});
}

}  // namespace w20::test
