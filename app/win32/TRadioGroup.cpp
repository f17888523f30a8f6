#include "app/win32/TRadioGroup.h"

#include "app/win32/Win32Text.h"

namespace w20 {

TRadioGroup::TRadioGroup(HWND parent, int id, int firstItemId, const char* caption,
                         std::span<const char* const> items, int columns, RECT bounds, HFONT font)
    : firstItemId_(firstItemId) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    // The group box ends the radio group before it.
    box_ = CreateWindowExW(0, L"BUTTON", ToWide(caption).c_str(),
                           WS_CHILD | WS_VISIBLE | WS_GROUP | BS_GROUPBOX, bounds.left, bounds.top, width,
                           height, parent, reinterpret_cast<HMENU>(INT_PTR(id)), instance, nullptr);
    SendMessageW(box_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    // Below the caption's line the items share the box in rows and columns, filled column by column.
    TEXTMETRICW metrics{};
    const HDC dc = GetDC(box_);
    const HGDIOBJ previous = SelectObject(dc, font);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(box_, dc);
    const int count = static_cast<int>(items.size());
    const int rows = (count + columns - 1) / columns;
    const int columnWidth = (width - 10) / columns;
    const int itemsHeight = height - metrics.tmHeight - 5;
    const int rowHeight = itemsHeight / rows;
    const int top = metrics.tmHeight + 1 + itemsHeight % rows / 2;
    for (int i = 0; i < count; ++i) {
        // The first item starts the radio group and is the one Tab stops at.
        const DWORD style = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP | WS_TABSTOP : 0);
        const HWND item = CreateWindowExW(
            0, L"BUTTON", ToWide(items[static_cast<std::size_t>(i)]).c_str(), style,
            bounds.left + 8 + i / rows * columnWidth, bounds.top + top + i % rows * rowHeight, columnWidth,
            rowHeight, parent, reinterpret_cast<HMENU>(INT_PTR(firstItemId + i)), instance, nullptr);
        SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        items_.push_back(item);
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
