#include "launcher/win32/menu_icons.h"

#include <shellapi.h>

namespace tobi {
namespace {

// Windows 10 sizes per monitor; older systems have the system's size only.
int SmallIconSize(UINT dpi) {
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = reinterpret_cast<MetricsForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    const int size = forDpi != nullptr && dpi != 0 ? forDpi(SM_CXSMICON, dpi) : 0;
    return size > 0 ? size : GetSystemMetrics(SM_CXSMICON);
}

// The shell's small icon for an existing file; null for a file that is gone
// (the shell would show a generic one) or that has none.
HICON FetchSmallIcon(const std::wstring& path) {
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
    SHFILEINFOW info{};
    if (SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON) == 0) return nullptr;
    return info.hIcon;
}

}  // namespace

void MenuIcons::Decorate(HMENU menu) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        const UINT command = GetMenuItemID(menu, position);
        if (command == static_cast<UINT>(-1)) continue;  // a submenu
        const std::wstring path = pathOf_(command);
        if (path.empty()) continue;
        auto known = icons_.find(command);
        if (known == icons_.end()) known = icons_.emplace(command, win32::UniqueIcon(FetchSmallIcon(path))).first;
        if (!known->second) continue;
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_BITMAP;
        item.hbmpItem = HBMMENU_CALLBACK;  // drawn at WM_DRAWITEM, at the monitor's size
        SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    }
}

HICON MenuIcons::IconOf(UINT command) const {
    const auto known = icons_.find(command);
    return known == icons_.end() ? nullptr : known->second.get();
}

bool MenuIcons::Measure(MEASUREITEMSTRUCT& item, UINT dpi) const {
    if (item.CtlType != ODT_MENU || IconOf(item.itemID) == nullptr) return false;
    item.itemWidth = static_cast<UINT>(SmallIconSize(dpi));
    item.itemHeight = static_cast<UINT>(SmallIconSize(dpi));
    return true;
}

bool MenuIcons::Draw(const DRAWITEMSTRUCT& item, UINT dpi) const {
    const HICON icon = item.CtlType == ODT_MENU ? IconOf(item.itemID) : nullptr;
    if (icon == nullptr) return false;
    const int size = SmallIconSize(dpi);
    const int top = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - size) / 2;
    DrawIconEx(item.hDC, item.rcItem.left, top, icon, size, size, 0, nullptr, DI_NORMAL);
    return true;
}

UINT WindowDpi(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return forWindow != nullptr ? forWindow(window) : 0;
}

}  // namespace tobi
