// The letter-menu tree turned into a real popup menu.
#pragma once

#include "common/win32/handles.h"
#include "launcher/letter_menu.h"

namespace tobi {

// A popup menu with the node's children: a submenu for every popup node, a
// string item with its command for every item node. Texts are converted from
// code page 932. Null when the system refuses to create a menu.
win32::UniqueMenu CreatePopupMenuFromTree(const launcher::MenuNode& root);

}  // namespace tobi
