// The letter-menu tree turned into a real popup menu, a level at a time: the
// top level at once, each submenu from its node when it is about to open, so
// that a long list costs nothing at start-up that the user does not see.
#pragma once

#include <windows.h>

#include "common/win32/handles.h"
#include "launcher/letter_menu.h"

namespace tobi {

// A popup menu with the root's children: a string item with its command for
// every item node, and an empty submenu for every popup node, which
// FillPopupMenuFromTree fills. Texts are converted from code page 932. The
// tree must outlive the menu. Null when the system refuses to create a menu.
win32::UniqueMenu CreatePopupMenuFromTree(const launcher::MenuNode& root);

// Fills a submenu made by CreatePopupMenuFromTree from its node, once (at
// WM_INITMENUPOPUP); false for a menu that is filled already or not ours.
bool FillPopupMenuFromTree(HMENU menu);

// The answer to WM_MENUCHAR for a letter typed with Ctrl held (it reaches the
// menu as a control character, not as a mnemonic): the item whose mnemonic is
// that letter is chosen; of several, the next after the highlighted one is
// selected. 0 (the system's beep) when none matches or the menu is not ours.
LRESULT MenuCharAnswer(HMENU menu, char letter);

}  // namespace tobi
