#pragma once

#include <windows.h>

namespace w20 {

// The window is designed in pixels at 96 dots per inch; on a monitor of another scale every
// position, size and font height is the design's scaled, as the system scales them.
constexpr int DesignDpi = 96;

// The dots per inch of the monitor the window is on. Systems before Windows 10 1607 have no
// per-window scale: there the screen's.
int WindowDpi(HWND window);

// A length of the design at `dpi`, rounded half away from zero like the system's own scaling.
inline int Scaled(int length, int dpi) {
    return MulDiv(length, dpi, DesignDpi);
}

// A rectangle of the design at `dpi`: its corner and its size scaled.
RECT Scaled(const RECT& design, int dpi);

}  // namespace w20
