#include "app/win32/Win32Dpi.h"

namespace w20 {

int WindowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi != 0)
            return static_cast<int>(dpi);
    }
    const HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(window, dc);
    return dpi > 0 ? dpi : DesignDpi;
}

RECT Scaled(const RECT& design, int dpi) {
    const int left = Scaled(design.left, dpi);
    const int top = Scaled(design.top, dpi);
    return {left, top, left + Scaled(design.right - design.left, dpi),
            top + Scaled(design.bottom - design.top, dpi)};
}

}  // namespace w20
