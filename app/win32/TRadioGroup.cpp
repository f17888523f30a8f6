#include "app/win32/TRadioGroup.h"

#include "app/win32/Win32Dpi.h"
#include "app/win32/Win32Text.h"

namespace w20 {

TRadioGroup::TRadioGroup(HWND parent, int id, int firstItemId, const char* caption,
                         std::span<const char* const> items, int columns)
    : firstItemId_(firstItemId), columns_(columns) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // The group box ends the radio group before it.
    box_ =
        CreateWindowExW(0, L"BUTTON", ToWide(caption).c_str(), WS_CHILD | WS_VISIBLE | WS_GROUP | BS_GROUPBOX,
                        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
    for (std::size_t i = 0; i < items.size(); ++i) {
        // The first item starts the radio group and is the one Tab stops at.
        const DWORD style = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        items_.push_back(CreateWindowExW(0, L"BUTTON", ToWide(items[i]).c_str(), style, 0, 0, 0, 0, parent,
                                         reinterpret_cast<HMENU>(INT_PTR(firstItemId + static_cast<int>(i))),
                                         instance, nullptr));
    }
}

void TRadioGroup::Place(RECT bounds, HFONT font, int dpi) {
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    SendMessageW(box_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowPos(box_, nullptr, bounds.left, bounds.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);

    // Below the caption's line the items share the box in rows and columns, filled column by column.
    TEXTMETRICW metrics{};
    const HDC dc = GetDC(box_);
    const HGDIOBJ previous = SelectObject(dc, font);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(box_, dc);
    const int count = static_cast<int>(items_.size());
    const int rows = (count + columns_ - 1) / columns_;
    const int columnWidth = (width - Scaled(10, dpi)) / columns_;
    const int itemsHeight = height - metrics.tmHeight - Scaled(5, dpi);
    const int rowHeight = itemsHeight / rows;
    const int top = metrics.tmHeight + Scaled(1, dpi) + itemsHeight % rows / 2;
    for (int i = 0; i < count; ++i) {
        const HWND item = items_[static_cast<std::size_t>(i)];
        SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowPos(item, nullptr, bounds.left + Scaled(8, dpi) + i / rows * columnWidth,
                     bounds.top + top + i % rows * rowHeight, columnWidth, rowHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool TRadioGroup::Owns(int itemId) const {
    return itemId >= firstItemId_ && itemId < firstItemId_ + static_cast<int>(items_.size());
}

int TRadioGroup::ItemIndex() const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (SendMessageW(items_[i], BM_GETCHECK, 0, 0) == BST_CHECKED)
            return static_cast<int>(i);
    }
    return -1;
}

void TRadioGroup::SetItemIndex(int index) {
    for (std::size_t i = 0; i < items_.size(); ++i)
        SendMessageW(items_[i], BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED, 0);
    seen_ = ItemIndex();
}

bool TRadioGroup::SelectionChanged() {
    const int index = ItemIndex();
    if (index == seen_)
        return false;
    seen_ = index;
    return true;
}

}  // namespace w20
