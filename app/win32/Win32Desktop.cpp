#include "app/win32/Win32Desktop.h"

#include <shellapi.h>

#include "app/win32/Win32Text.h"

namespace w20 {

void Win32Desktop::OpenAddress(const std::string& address) {
    ShellExecuteW(owner_, L"open", ToWide(address).c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

void Win32Desktop::ShowErrorBox(const std::string& caption, const std::string& message) {
    MessageBoxW(owner_, ToWide(message).c_str(), ToWide(caption).c_str(), MB_ICONERROR | MB_OK);
}

}  // namespace w20
