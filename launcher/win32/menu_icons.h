// The registered files' small icons beside their items in the letter menu,
// as the shell shows them. Fetched when a submenu is about to open and kept
// for the run, so that start-up fetches none; an item whose file is gone or
// has no icon shows its caption alone.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <unordered_map>

#include "common/win32/handles.h"

namespace tobi {

class MenuIcons {
public:
    // The full path of the file behind an item's command; empty for commands
    // that are no entry.
    using PathOfCommand = std::function<std::wstring(UINT command)>;

    explicit MenuIcons(PathOfCommand pathOf) : pathOf_(std::move(pathOf)) {}

    // Gives the entry items of `menu` their icons (at WM_INITMENUPOPUP).
    void Decorate(HMENU menu);

    // WM_MEASUREITEM and WM_DRAWITEM for the icons' place in the menu; false
    // for an item that is not ours. `dpi` sizes the icon for the monitor.
    bool Measure(MEASUREITEMSTRUCT& item, UINT dpi) const;
    bool Draw(const DRAWITEMSTRUCT& item, UINT dpi) const;

    // The icon kept for a command; null when it has none (or none was fetched).
    HICON IconOf(UINT command) const;

private:
    PathOfCommand pathOf_;
    std::unordered_map<UINT, win32::UniqueIcon> icons_;  // a null icon: fetched, none there
};

// The window's DPI where the system tells it per monitor, 0 elsewhere.
UINT WindowDpi(HWND window);

}  // namespace tobi
