#include "tests/app/win32/StartedForm.h"

#include "app/win32/Win32Text.h"

namespace w20::test {
namespace {

// A message-only window that notes the arrival of WM_APP: a message posted after the user's
// action arrives once the action has been handled.
class Marker {
public:
    Marker() {
        static const ATOM windowClass = [] {
            WNDCLASSEXW description{};
            description.cbSize = sizeof description;
            description.lpfnWndProc = Proc;
            description.hInstance = GetModuleHandleW(nullptr);
            description.lpszClassName = L"W20TestMarker";
            return RegisterClassExW(&description);
        }();
        window_ = CreateWindowExW(0, MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&arrived_));
    }
    ~Marker() { DestroyWindow(window_); }
    Marker(const Marker&) = delete;
    Marker& operator=(const Marker&) = delete;

    void Post() const { PostMessageW(window_, WM_APP, 0, 0); }
    bool Arrived() const { return arrived_; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_APP) {
            *reinterpret_cast<bool*>(GetWindowLongPtrW(window, GWLP_USERDATA)) = true;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    bool arrived_ = false;
};

void HandleWaiting(TForm1& form) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        form.Dispatch(message);
}

}  // namespace

StartedForm::StartedForm(const std::optional<std::string>& dataFile) : cwd(dir.Path()) {
    if (dataFile)
        WriteFileBytes(dir.File("data.txt"), *dataFile);
    form = std::make_unique<TForm1>(desktop);
}

RECT StartedForm::rect(HWND control) const {
    RECT bounds{};
    GetWindowRect(control, &bounds);
    MapWindowPoints(HWND_DESKTOP, form->Handle(), reinterpret_cast<POINT*>(&bounds), 2);
    return bounds;
}

std::string StartedForm::caption(HWND window) const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return FromWide(text);
}

bool StartedForm::Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                       std::chrono::milliseconds bound) {
    Marker marker;
    PostMessageW(window, message, wParam, lParam);
    marker.Post();
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!marker.Arrived() || form->Handlers().CycleRunning()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        HandleWaiting(*form);
    }
    return true;
}

void Pump(TForm1& form, std::chrono::milliseconds time) {
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        HandleWaiting(form);
    }
}

}  // namespace w20::test
