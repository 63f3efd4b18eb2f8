#include "launcher/win32/menu_builder.h"

#include "common/win32/text.h"

namespace tobi {

win32::UniqueMenu CreatePopupMenuFromTree(const launcher::MenuNode& root) {
    win32::UniqueMenu menu(CreatePopupMenu());
    if (!menu) return menu;
    for (const launcher::MenuNode& child : root.children) {
        const std::wstring text = win32::WideFromCp932(child.text);
        if (child.isPopup) {
            win32::UniqueMenu submenu = CreatePopupMenuFromTree(child);
            if (!submenu) return win32::UniqueMenu();
            if (!AppendMenuW(menu.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(submenu.get()),
                             text.c_str())) {
                return win32::UniqueMenu();
            }
            submenu.release();  // the parent owns it now
        } else if (!AppendMenuW(menu.get(), MF_STRING, static_cast<UINT_PTR>(child.command), text.c_str())) {
            return win32::UniqueMenu();
        }
    }
    return menu;
}

}  // namespace tobi
