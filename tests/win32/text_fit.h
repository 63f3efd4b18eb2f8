// Which texts of a dialog do not fit in their controls, measured with each
// control's own font: static texts (every line, or the lines a wrapping text
// has room for), buttons, check boxes and group captions; and which controls
// a widened text made run into each other or past the dialog's edge.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "common/win32/dialog_font.h"

namespace testing_win32 {

inline std::wstring WithoutPrefixMarks(const std::wstring& text) {
    std::wstring shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;  // "&&" shows one '&'
        shown.push_back(text[i]);
    }
    return shown;
}

// One description per control whose text is wider than the room it has.
inline std::vector<std::wstring> OverflowingTexts(HWND dialog) {
    std::vector<std::wstring> overflows;
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongW(control, GWL_STYLE);
        wchar_t className[32] = {};
        GetClassNameW(control, className, 32);
        const bool isStatic = lstrcmpiW(className, L"Static") == 0;
        const bool isButton = lstrcmpiW(className, L"Button") == 0;
        if (!(style & WS_VISIBLE) || !(isStatic || isButton)) continue;
        const LONG staticType = style & SS_TYPEMASK;
        const LONG buttonType = style & BS_TYPEMASK;
        if (isStatic && staticType > SS_SIMPLE && staticType != SS_LEFTNOWORDWRAP) continue;  // icons, lines
        wchar_t buffer[1024] = {};
        GetWindowTextW(control, buffer, 1024);
        std::wstring text = buffer;
        if (text.empty()) continue;
        if (isButton || !(style & SS_NOPREFIX)) text = WithoutPrefixMarks(text);

        RECT client;
        GetClientRect(control, &client);
        int room = client.right;
        if (isButton) {
            if (buttonType == BS_GROUPBOX) room -= 8;
            else if (buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON) room -= 4;
            else room -= GetSystemMetrics(SM_CXMENUCHECK);
        }
        HDC dc = GetDC(control);
        HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        GetTextMetricsW(dc, &metrics);
        const bool wraps = isStatic && staticType <= SS_RIGHT;
        const long linesOfRoom = wraps ? std::max<long>(1, client.bottom / std::max<long>(1, metrics.tmHeight)) : 1;
        long linesNeeded = 0;
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find(L'\n', start);
            if (end == std::wstring::npos) end = text.size();
            std::wstring line = text.substr(start, end - start);
            if (!line.empty() && line.back() == L'\r') line.pop_back();
            SIZE size{};
            GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
            if (wraps) {
                linesNeeded += std::max<long>(1, (size.cx + room - 1) / std::max(1, room));
            } else if (size.cx > room) {
                overflows.push_back(line + L": " + std::to_wstring(size.cx) + L" > " + std::to_wstring(room));
            }
            start = end + 1;
        }
        if (wraps && linesNeeded > linesOfRoom) {
            overflows.push_back(text + L": " + std::to_wstring(linesNeeded) + L" lines in room for " +
                                std::to_wstring(linesOfRoom));
        }
        SelectObject(dc, previous);
        ReleaseDC(control, dc);
    }
    return overflows;
}

// One description per pair of visible controls that overlap (a group box and
// what lies wholly inside it do not), and per control past the client area.
inline std::vector<std::wstring> OverlappingControls(HWND dialog) {
    const auto name = [](HWND control) {
        std::wstring text(GetWindowTextLengthW(control) + 1, L'\0');
        text.resize(GetWindowTextW(control, text.data(), static_cast<int>(text.size())));
        return std::to_wstring(GetDlgCtrlID(control)) + L" \"" + text + L"\"";
    };
    const auto holds = [](HWND box, const RECT& inner, const RECT& common) {
        wchar_t className[8] = {};
        GetClassNameW(box, className, 8);
        return lstrcmpiW(className, L"Button") == 0 && (GetWindowLongW(box, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX &&
               EqualRect(&common, &inner);
    };
    std::vector<std::pair<HWND, RECT>> placed;
    std::vector<std::wstring> overlaps;
    RECT client, rect, common;
    GetClientRect(dialog, &client);
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE)) continue;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        if (!IntersectRect(&common, &rect, &client) || !EqualRect(&common, &rect)) {
            overlaps.push_back(name(control) + L" reaches past the dialog's edge");
        }
        for (const auto& [other, otherRect] : placed) {
            if (IntersectRect(&common, &rect, &otherRect) && !holds(other, rect, common) &&
                !holds(control, otherRect, common)) {
                overlaps.push_back(name(other) + L" overlaps " + name(control));
            }
        }
        placed.emplace_back(control, rect);
    }
    return overlaps;
}

// The texts that do not fit and the controls that overlap, in the dialog's
// own face and then in one half again as wide (the same height), fitted as a
// stand-in face is: the layout a wider fallback face gets. Destroys the dialog.
inline std::vector<std::wstring> LayoutFaults(HWND dialog) {
    std::vector<std::wstring> faults;
    const auto look = [&faults, dialog](const std::wstring& face) {
        for (const auto& found : {OverflowingTexts(dialog), OverlappingControls(dialog)}) {
            for (const std::wstring& fault : found) faults.push_back(face + fault);
        }
    };
    look(L"");
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof(font), &font);
    RECT unit{0, 0, 4, 8};  // a dialog unit across: a quarter of the font's average character
    MapDialogRect(dialog, &unit);
    font.lfWidth = unit.right * 3 / 2;
    const HFONT wider = CreateFontIndirectW(&font);
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(wider), FALSE);
    }
    win32::FitControlTexts(dialog);
    look(L"wider face: ");
    DestroyWindow(dialog);
    DeleteObject(wider);
    return faults;
}

}  // namespace testing_win32
