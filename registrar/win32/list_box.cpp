#include "registrar/win32/list_box.h"

namespace registrar {

namespace {

// Width in pixels of the widest text in the list's font.
LONG WidestText(HWND list, const std::vector<std::wstring>& texts) {
    HDC dc = GetDC(list);
    if (dc == nullptr) return 0;
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
    LONG widest = 0;
    for (const std::wstring& text : texts) {
        SIZE size{};
        if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size) && size.cx > widest) {
            widest = size.cx;
        }
    }
    SelectObject(dc, oldFont);
    ReleaseDC(list, dc);
    // A little room past the last character, so that it is not hidden under the border.
    return widest + 8;
}

// Grows the horizontal scroll range so that the widest of `texts` fits.
void WidenScrollRange(HWND list, const std::vector<std::wstring>& texts) {
    const LONG width = WidestText(list, texts);
    if (width > SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0)) {
        SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
    }
}

}  // namespace

void FillListBox(HWND list, const std::vector<std::wstring>& texts) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const std::wstring& text : texts) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(WidestText(list, texts)), 0);
}

void AppendListItems(HWND list, const std::vector<std::wstring>& texts) {
    if (texts.empty()) return;
    for (const std::wstring& text : texts) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    WidenScrollRange(list, texts);
}

void ReplaceListItem(HWND list, int index, const std::wstring& text) {
    const bool selected = SendMessageW(list, LB_GETSEL, index, 0) > 0;
    SendMessageW(list, LB_DELETESTRING, index, 0);
    SendMessageW(list, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(text.c_str()));
    if (selected) SendMessageW(list, LB_SETSEL, TRUE, index);
    WidenScrollRange(list, {text});
}

std::vector<int> SelectedListItems(HWND list) {
    const LRESULT count = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
    if (count <= 0) return {};
    std::vector<int> selected(static_cast<std::size_t>(count));
    const LRESULT got = SendMessageW(list, LB_GETSELITEMS, static_cast<WPARAM>(count),
                                     reinterpret_cast<LPARAM>(selected.data()));
    selected.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return selected;
}

int FocusedSelectedItem(HWND list) {
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    const LRESULT caret = SendMessageW(list, LB_GETCARETINDEX, 0, 0);
    if (caret < 0 || caret >= count) return -1;
    if (SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(caret), 0) <= 0) return -1;
    return static_cast<int>(caret);
}

}  // namespace registrar
