#pragma once

#include <windows.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "app/win32/TForm1.h"
#include "tests/app/RecordingDesktop.h"
#include "tests/support/TempDir.h"

namespace w20::test {

// A window started in a fresh working folder holding `dataFile` as data.txt (none when absent),
// with a recording desktop in place of message boxes and the shell.
struct StartedForm {
    explicit StartedForm(const std::optional<std::string>& dataFile);

    HWND control(Form1ControlId id) const { return form->Control(id); }
    // Where a control lies in the form's client area.
    RECT rect(HWND control) const;
    RECT rect(Form1ControlId id) const { return rect(control(id)); }
    // A window's text as the system's bytes.
    std::string caption(HWND window) const;
    std::string caption(Form1ControlId id) const { return caption(control(id)); }
    HWND item(Form1ControlId firstItem, int index) const {
        return control(Form1ControlId(firstItem + index));
    }

    // Posts a message as the user's action would, then handles the thread's messages until it has
    // been handled and no download cycle runs. False when that took longer than `bound`.
    bool Post(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
              std::chrono::milliseconds bound = std::chrono::seconds(30));
    bool Click(HWND window) { return Post(window, BM_CLICK); }

    TempDir dir;
    ScopedWorkingDirectory cwd;
    RecordingDesktop desktop;
    std::unique_ptr<TForm1> form;
};

// Handles the thread's messages through the form for about `time`.
void Pump(TForm1& form, std::chrono::milliseconds time);

}  // namespace w20::test
