// The registered files' small icons beside their items in the letter menu,
// as the shell shows them. Asking the shell for one may wait on the network
// (a file on a server or mapped drive that cannot be reached), so icons are
// fetched away from the user-interface thread, by a worker that lives only
// while there is fetching to do: a submenu opens at once, with room kept for
// the icons still on their way, and each is drawn when it arrives. Icons are
// kept for the run, so that start-up fetches none; an item whose file is gone
// or has no icon shows its caption alone.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "common/win32/handles.h"

namespace tobi {

// Posted to the owner given to Decorate when icons have arrived; the owner
// answers it with TakeArrivedIcons.
constexpr UINT kMenuIconsArrivedMessage = WM_APP + 0x30;

class MenuIcons {
public:
    // The full path of the file behind an item's command; empty for commands
    // that are no entry.
    using PathOfCommand = std::function<std::wstring(UINT command)>;
    // A file's small icon, null when it has none; runs on the worker and may
    // take its time.
    using Fetch = std::function<HICON(const std::wstring& path)>;

    // Without `fetch`, the shell's icon of an existing file.
    explicit MenuIcons(PathOfCommand pathOf, Fetch fetch = Fetch());
    ~MenuIcons();
    MenuIcons(const MenuIcons&) = delete;
    MenuIcons& operator=(const MenuIcons&) = delete;

    // Gives the entry items of `menu` their icons, or room for those not yet
    // known, whose fetching it starts (at WM_INITMENUPOPUP). `owner` is told
    // when they arrive.
    void Decorate(HMENU menu, HWND owner);
    // Takes the icons that have arrived and redraws the open menus.
    void TakeArrivedIcons();
    // Forgets every icon, for a new list whose commands name other files;
    // icons of the old list that arrive later are dropped.
    void Forget();

    // WM_MEASUREITEM and WM_DRAWITEM for the icons' place in the menu; false
    // for an item that is not ours. `dpi` sizes the icon for the monitor.
    bool Measure(MEASUREITEMSTRUCT& item, UINT dpi) const;
    bool Draw(const DRAWITEMSTRUCT& item, UINT dpi) const;

    // The icon kept for a command; null when it has none (or none arrived yet).
    HICON IconOf(UINT command) const;

private:
    struct Fetching;  // what the worker shares with this object
    struct Icon {
        bool arrived = false;
        win32::UniqueIcon icon;  // null when the file has none
    };

    PathOfCommand pathOf_;
    std::shared_ptr<Fetching> fetching_;
    std::unordered_map<UINT, Icon> icons_;  // every command asked for
    unsigned list_ = 0;                     // counts the lists: answers name theirs
};

// The window's DPI where the system tells it per monitor, 0 elsewhere.
UINT WindowDpi(HWND window);

}  // namespace tobi
