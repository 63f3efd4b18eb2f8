// The keys typed into the open letter menu, as the user means them: a letter
// typed with Ctrl chooses as the letter does, a digit typed with Ctrl as the
// digit, and Backspace takes back the letter typed last.
#pragma once

#include <windows.h>

namespace tobi {

// While it lives, this thread's menus take their keys as meant; made when the
// letter menu opens (a fresh start for Backspace), gone when it closes.
class MenuKeys {
public:
    MenuKeys();
    ~MenuKeys();
    MenuKeys(const MenuKeys&) = delete;
    MenuKeys& operator=(const MenuKeys&) = delete;

private:
    HHOOK filter_ = nullptr;
};

// Whether a key (its virtual-key code) is down as the message being handled came.
bool IsKeyDown(unsigned virtualKey);

}  // namespace tobi
