#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/qt/TForm1.h"
#include "tests/app/RecordingDesktop.h"
#include "tests/support/TempDir.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace w20 {
class TRadioGroup;
}

namespace w20::test {

// A window started in a fresh working folder holding `dataFile` as data.txt (none when absent),
// with a recording desktop in place of message boxes and the shell.
struct StartedForm {
    explicit StartedForm(const std::optional<std::string>& dataFile);

    QPlainTextEdit* editor() const;
    QLabel* label(const char* name) const;
    QPushButton* button() const;
    QTimer* timer() const;
    TRadioGroup* group(const char* name) const;
    // The caption of a label as the system's bytes.
    std::string caption(const char* name) const;
    // Clicks item `item` of a radio group.
    void choose(const char* name, int item) const;

    TempDir dir;
    ScopedWorkingDirectory cwd;
    RecordingDesktop desktop;
    std::unique_ptr<TForm1> form;
};

}  // namespace w20::test
