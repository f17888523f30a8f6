#pragma once

#include <windows.h>

#include <span>
#include <vector>

namespace w20 {

// A group box with auto radio buttons laid out in columns over it, items numbered from 0. The
// items are the box's siblings, made after it: a group box lets the mouse through to them.
class TRadioGroup {
public:
    // Texts are Windows-1250 bytes. The box gets `id`, item i the id firstItemId + i. Place puts
    // the box and its items where they go.
    TRadioGroup(HWND parent, int id, int firstItemId, const char* caption, std::span<const char* const> items,
                int columns);

    // The box at `bounds` of the parent's client area, its margins scaled to `dpi`; every text in
    // `font`.
    void Place(RECT bounds, HFONT font, int dpi);

    HWND Handle() const { return box_; }
    HWND Item(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    bool Owns(int itemId) const;

    // -1 when no item is checked.
    int ItemIndex() const;
    void SetItemIndex(int index);
    // After a click on an item: true when the selection is another than the last one seen.
    bool SelectionChanged();

private:
    HWND box_;
    std::vector<HWND> items_;
    int firstItemId_;
    int columns_;
    int seen_ = -1;
};

}  // namespace w20
