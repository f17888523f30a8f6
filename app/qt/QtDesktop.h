#pragma once

#include "app/Desktop.h"

namespace w20 {

// The desktop of a Qt session: a modal message box and the desktop's URL handler.
class QtDesktop : public Desktop {
public:
    using Desktop::Desktop;
    void OpenAddress(const std::string& address) override;

protected:
    void ShowErrorBox(const std::string& caption, const std::string& message) override;
};

}  // namespace w20
