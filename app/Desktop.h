#pragma once

#include <functional>
#include <string>

namespace w20 {

// The window's view of the desktop: the error message box and the shell's "open" action. Each
// front end puts the real ones in; tests put a recorder in their place, so no test ever waits on a
// modal box.
class Desktop {
public:
    explicit Desktop(std::string applicationTitle) : title_(std::move(applicationTitle)) {}
    virtual ~Desktop() = default;

    const std::string& ApplicationTitle() const { return title_; }

    // Runs an event handler; an exception that leaves it is shown in the error box, and the
    // window goes on waiting for events. An exception that carries no message shows
    // UnexpectedErrorText.
    void RunHandler(const std::function<void()>& handler);

    // Opens a web or mail address; the result is ignored, a failure shows nothing.
    virtual void OpenAddress(const std::string& address) = 0;

    static constexpr const char* UnexpectedErrorText = "Unexpected error";

protected:
    // An error box with the application title as caption, an error icon and an OK button.
    virtual void ShowErrorBox(const std::string& caption, const std::string& message) = 0;

private:
    std::string title_;
};

// The exception message as the box shows it: a full stop is appended when the last character
// sorts after ".".
std::string BoxMessage(const std::string& message);

}  // namespace w20
