#include <windows.h>

#include "app/Form1Texts.h"
#include "app/win32/TForm1.h"
#include "app/win32/Win32Desktop.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    w20::Win32Desktop desktop(w20::ApplicationTitle);
    w20::TForm1 form(desktop);
    desktop.SetOwner(form.Handle());
    ShowWindow(form.Handle(), show);  // also after a failed start-up
    UpdateWindow(form.Handle());
    // Until the window is closed.
    MSG message;
    while (IsWindow(form.Handle()) && GetMessageW(&message, nullptr, 0, 0) > 0)
        form.Dispatch(message);
    return 0;
}
