#pragma once

#include <windows.h>

#include "app/Desktop.h"

namespace w20 {

// The Windows desktop: a modal message box and the shell's "open" action.
class Win32Desktop : public Desktop {
public:
    using Desktop::Desktop;

    // The window that owns the boxes and the windows the shell opens; none before it exists.
    void SetOwner(HWND owner) { owner_ = owner; }

    void OpenAddress(const std::string& address) override;

protected:
    void ShowErrorBox(const std::string& caption, const std::string& message) override;

private:
    HWND owner_ = nullptr;
};

}  // namespace w20
