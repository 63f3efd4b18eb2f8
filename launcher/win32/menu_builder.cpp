#include "launcher/win32/menu_builder.h"

#include "common/win32/text.h"
#include "launcher/launch.h"

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

LRESULT MenuCharAnswer(HMENU menu, char letter) {
    const launcher::MenuNode* node = AttachedNode(menu);
    if (node == nullptr) return 0;
    const std::vector<int> positions = launcher::MnemonicPositions(*node, letter);
    if (positions.empty()) return 0;
    if (positions.size() == 1) return MAKELRESULT(positions.front(), MNC_EXECUTE);
    int highlighted = -1;
    for (int position : positions) {
        if ((GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_HILITE) != 0) highlighted = position;
    }
    for (int position : positions) {
        if (position > highlighted) return MAKELRESULT(position, MNC_SELECT);
    }
    return MAKELRESULT(positions.front(), MNC_SELECT);
}

}  // namespace tobi
