#include "common/win32/dialog_font.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

namespace win32 {

namespace {

// A control as the fitting lays it out: where it was, and its new left edge and width.
struct Placement {
    HWND control;
    RECT original;
    int left;
    int width;
    bool groupBox;
};

int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool EnumerateFace(const std::wstring& face) {
    if (face.empty() || face.size() >= LF_FACESIZE) return false;
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    std::memcpy(font.lfFaceName, face.c_str(), (face.size() + 1) * sizeof(wchar_t));
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &font, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

struct JapaneseFaces {
    std::vector<std::wstring> proportional;
    std::vector<std::wstring> fixed;
};

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD, LPARAM faces) {
    auto& list = *reinterpret_cast<JapaneseFaces*>(faces);
    const std::wstring face = font->lfFaceName;
    if (face.empty() || face[0] == L'@') return 1;  // vertical writing
    // TMPF_FIXED_PITCH set means a variable pitch (the name is historical).
    auto& target = (metrics->tmPitchAndFamily & TMPF_FIXED_PITCH) ? list.proportional : list.fixed;
    if (std::find(target.begin(), target.end(), face) == target.end()) target.push_back(face);
    return 1;
}

// An installed face for Japanese text to stand in for `missing`.
std::wstring JapaneseStandIn(const std::wstring& missing) {
    // The English names of the faces the templates use, then the faces a
    // Windows with Japanese support has, then whatever else holds Japanese.
    static const std::map<std::wstring, std::wstring> kEnglishNames = {
        {L"ＭＳ Ｐゴシック", L"MS PGothic"}, {L"ＭＳ ゴシック", L"MS Gothic"}};
    const auto english = kEnglishNames.find(missing);
    if (english != kEnglishNames.end() && FontFaceExists(english->second)) return english->second;
    for (const wchar_t* face : {L"Meiryo UI", L"Yu Gothic UI", L"MS UI Gothic", L"Meiryo", L"Yu Gothic"}) {
        if (FontFaceExists(face)) return face;
    }
    JapaneseFaces faces;
    LOGFONTW font{};
    font.lfCharSet = SHIFTJIS_CHARSET;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &font, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
    ReleaseDC(nullptr, screen);
    if (!faces.proportional.empty()) return faces.proportional.front();
    if (!faces.fixed.empty()) return faces.fixed.front();
    return std::wstring();
}

// Offset just past a sz_Or_Ord field (menu or class) of a dialog template.
std::size_t SkipNameOrOrdinal(const BYTE* data, std::size_t size, std::size_t offset) {
    if (offset + 2 > size) return size;
    WORD first;
    std::memcpy(&first, data + offset, 2);
    if (first == 0x0000) return offset + 2;
    if (first == 0xFFFF) return offset + 4;
    for (; offset + 2 <= size; offset += 2) {
        WORD unit;
        std::memcpy(&unit, data + offset, 2);
        if (unit == 0) return offset + 2;
    }
    return size;
}

bool IsTextControl(HWND control, bool& wraps) {
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    if (!(style & WS_VISIBLE)) return false;
    wraps = false;
    if (lstrcmpiW(className, L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        wraps = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
        return wraps || type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE;
    }
    if (lstrcmpiW(className, L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        return type <= BS_AUTORADIOBUTTON && !(style & (BS_ICON | BS_BITMAP));
    }
    return false;
}

// Room the control's frame and check mark take beside its text, in pixels.
int ButtonFrame(HWND control, int averageCharWidth) {
    const LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_GROUPBOX) return 2 * averageCharWidth;
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) return 8;
    return GetSystemMetrics(SM_CXMENUCHECK) + averageCharWidth;
}

// The narrowest width from the control's present one up at which its text
// fits in the lines it has room for; the present width for other controls.
// Raises `averageCharWidth` to the text's font's.
int FittingWidth(HWND control, const RECT& rect, int& averageCharWidth) {
    const int present = rect.right - rect.left;
    bool wraps = false;
    if (!IsTextControl(control, wraps)) return present;
    const int length = GetWindowTextLengthW(control);
    if (length <= 0) return present;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(control, text.data(), length + 1)));

    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    averageCharWidth = std::max<int>(averageCharWidth, metrics.tmAveCharWidth);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    wchar_t className[16] = {};
    GetClassNameW(control, className, 16);
    const bool button = lstrcmpiW(className, L"Button") == 0;
    const int frame = button ? ButtonFrame(control, metrics.tmAveCharWidth) : 0;
    UINT format = DT_CALCRECT | DT_EXPANDTABS;
    if (!button && (style & SS_NOPREFIX)) format |= DT_NOPREFIX;
    if (button || !wraps) format |= DT_SINGLELINE;
    if (!button && wraps) format |= DT_WORDBREAK;

    const int lineHeight = std::max<int>(1, metrics.tmHeight);
    const int lines = std::max<int>(1, (rect.bottom - rect.top) / lineHeight);
    int width = present;
    const int limit = width * 3 + 100;
    for (; width <= limit; width += 2) {
        RECT need{0, 0, std::max(0, width - frame), 0};
        DrawTextW(dc, text.c_str(), -1, &need, format);
        const bool fitsAcross = need.right <= width - frame;
        const bool fitsDown = (format & DT_SINGLELINE) || need.bottom <= lines * lineHeight;
        if (fitsAcross && fitsDown) break;
    }
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return std::max(present, std::min(width, limit));
}

bool RowsMeet(const RECT& a, const RECT& b) { return a.top < b.bottom && b.top < a.bottom; }

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Widened texts must not run into what stands to their right: each control
// moves right as little as keeps it clear of every control to its left in its
// rows (with the gap it had, up to `gap`), controls that shared a left edge
// keep sharing it, a group box's contents move with it, and a group box widens
// round what it holds. Positions only grow and are bounded by the controls to
// the left, so the passes settle.
void Reflow(std::vector<Placement>& placed, int gap) {
    for (std::size_t pass = 0; pass <= placed.size(); ++pass) {
        bool changed = false;
        for (Placement& moving : placed) {
            const RECT& was = moving.original;
            int left = moving.left;
            int right = moving.left + moving.width;
            for (const Placement& other : placed) {
                if (&other == &moving) continue;
                const RECT& beside = other.original;
                const int otherRight = other.left + other.width;
                if (beside.right <= was.left && RowsMeet(beside, was)) {
                    left = std::max<int>(left, otherRight + std::min<int>(gap, was.left - beside.right));
                }
                if (other.groupBox && Inside(was, beside)) left = std::max<int>(left, other.left + (was.left - beside.left));
                if (beside.left == was.left) left = std::max<int>(left, other.left);  // a column stays one
                if (moving.groupBox && Inside(beside, was)) {
                    right = std::max<int>(right, otherRight + std::min<int>(gap, was.right - beside.right));
                }
            }
            right = std::max(right, left + moving.width);
            if (left != moving.left || right - left != moving.width) {
                moving.left = left;
                moving.width = right - left;
                changed = true;
            }
        }
        if (!changed) return;
    }
}

}  // namespace

bool FontFaceExists(const std::wstring& face) {
    static std::map<std::wstring, bool> known;
    const auto it = known.find(face);
    if (it != known.end()) return it->second;
    const bool exists = EnumerateFace(face);
    known.emplace(face, exists);
    return exists;
}

std::vector<BYTE> TemplateWithInstalledFont(HINSTANCE module, int templateId) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    const std::size_t size = found ? SizeofResource(module, found) : 0;
    if (data == nullptr || size < 26) return {};
    WORD version, signature;
    DWORD style;
    std::memcpy(&version, data, 2);
    std::memcpy(&signature, data + 2, 2);
    std::memcpy(&style, data + 12, 4);
    if (version != 1 || signature != 0xFFFF || !(style & DS_SETFONT)) return {};

    std::size_t offset = SkipNameOrOrdinal(data, size, 26);  // menu
    offset = SkipNameOrOrdinal(data, size, offset);          // class
    offset = SkipNameOrOrdinal(data, size, offset);          // title (a string, or empty)
    const std::size_t charsetOffset = offset + 5;            // after point size, weight, italic
    const std::size_t faceOffset = offset + 6;
    if (faceOffset >= size) return {};
    std::wstring face;
    std::size_t faceEnd = faceOffset;
    for (; faceEnd + 2 <= size; faceEnd += 2) {
        wchar_t unit;
        std::memcpy(&unit, data + faceEnd, 2);
        if (unit == 0) break;
        face.push_back(unit);
    }
    if (faceEnd + 2 > size || FontFaceExists(face)) return {};
    const std::wstring standIn = JapaneseStandIn(face);
    if (standIn.empty()) return {};

    // The items start on the next DWORD boundary after the face; so do they in
    // the copy, which keeps their own alignment.
    const std::size_t itemsOffset = std::min(size, (faceEnd + 2 + 3) & ~std::size_t{3});
    std::vector<BYTE> copy(data, data + faceOffset);
    copy[charsetOffset] = SHIFTJIS_CHARSET;
    const auto* faceBytes = reinterpret_cast<const BYTE*>(standIn.c_str());
    copy.insert(copy.end(), faceBytes, faceBytes + (standIn.size() + 1) * sizeof(wchar_t));
    copy.resize((copy.size() + 3) & ~std::size_t{3}, 0);
    copy.insert(copy.end(), data + itemsOffset, data + size);
    return copy;
}

void FitControlTexts(HWND dialog) {
    std::vector<Placement> placed;
    int gap = 0;  // the widest average character among the texts
    for (HWND control = GetWindow(dialog, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE)) continue;
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
        wchar_t className[16] = {};
        GetClassNameW(control, className, 16);
        const bool groupBox = lstrcmpiW(className, L"Button") == 0 &&
                              (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        placed.push_back({control, rect, rect.left, FittingWidth(control, rect, gap), groupBox});
    }
    Reflow(placed, gap);

    RECT dialogClient;
    GetClientRect(dialog, &dialogClient);
    int widest = dialogClient.right;
    for (const Placement& place : placed) {
        const RECT& was = place.original;
        if (place.left == was.left && place.width == was.right - was.left) continue;
        SetWindowPos(place.control, nullptr, place.left, was.top, place.width, was.bottom - was.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        widest = std::max(widest, place.left + place.width + gap);
    }
    if (widest > dialogClient.right) {
        RECT window;
        GetWindowRect(dialog, &window);
        SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left + widest - dialogClient.right,
                     window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

}  // namespace win32
