#include "launcher/win32/menu_builder.h"

#include "common/win32/text.h"

namespace tobi {
namespace {

// Each menu carries its node in its menu data.
bool AttachNode(HMENU menu, const launcher::MenuNode& node) {
    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_MENUDATA;
    info.dwMenuData = reinterpret_cast<ULONG_PTR>(&node);
    return SetMenuInfo(menu, &info) != FALSE;
}

const launcher::MenuNode* AttachedNode(HMENU menu) {
    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_MENUDATA;
    if (!GetMenuInfo(menu, &info)) return nullptr;
    return reinterpret_cast<const launcher::MenuNode*>(info.dwMenuData);
}

bool AppendChildren(HMENU menu, const launcher::MenuNode& node) {
    for (const launcher::MenuNode& child : node.children) {
        const std::wstring text = win32::WideFromCp932(child.text);
        if (!child.isPopup) {
            if (!AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(child.command), text.c_str())) return false;
            continue;
        }
        win32::UniqueMenu submenu(CreatePopupMenu());
        if (!submenu || !AttachNode(submenu.get(), child) ||
            !AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu.get()), text.c_str())) {
            return false;
        }
        submenu.release();  // the parent owns it now
    }
    return true;
}

}  // namespace

win32::UniqueMenu CreatePopupMenuFromTree(const launcher::MenuNode& root) {
    win32::UniqueMenu menu(CreatePopupMenu());
    if (!menu || !AttachNode(menu.get(), root) || !AppendChildren(menu.get(), root)) return win32::UniqueMenu();
    return menu;
}

bool FillPopupMenuFromTree(HMENU menu) {
    if (menu == nullptr || GetMenuItemCount(menu) != 0) return false;
    const launcher::MenuNode* node = AttachedNode(menu);
    return node != nullptr && AppendChildren(menu, *node);
}

}  // namespace tobi
