#include "launcher/win32/menu_keys.h"

#include "launcher/launch.h"

namespace tobi {
namespace {

static_assert(launcher::vkey::kReturn == VK_RETURN && launcher::vkey::kControl == VK_CONTROL &&
              launcher::vkey::kNumpad0 == VK_NUMPAD0);

// A letter typed with Ctrl held reaches a menu as its control character
// (Ctrl+T is 20, Ctrl+M 13 as Enter). Windows then asks the owner
// (WM_MENUCHAR); some menu loops drop control characters first (Wine's):
// while the letter menu is open, one typed with Ctrl is handed to it as its
// letter, so that the mnemonic chooses, and Enter and Tab keep their
// meaning. A digit typed with Ctrl gives no character at all: it is handed
// over as the digit.
//
// Backspace takes back the letter typed last: the level it opened closes (as
// Left closes it), one that matched nothing changes nothing.
launcher::TypedLetters typedLetters;  // of the letter menu open on this thread

BOOL CALLBACK CountMenuLevel(HWND window, LPARAM count) {
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    if (lstrcmpW(name, L"#32768") == 0 && IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int OpenMenuLevels() {
    int levels = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountMenuLevel, reinterpret_cast<LPARAM>(&levels));
    return levels;
}

bool IsLetterOrDigit(WPARAM character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9');
}

LRESULT CALLBACK MenuKeysAsMeant(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_MENU) {
        auto* message = reinterpret_cast<MSG*>(lParam);
        if (message->message == WM_CHAR) {
            message->wParam = launcher::MenuCharacter(static_cast<unsigned>(message->wParam), IsKeyDown);
            if (IsLetterOrDigit(message->wParam)) typedLetters.Typed(OpenMenuLevels());
        } else if (message->message == WM_KEYDOWN && message->wParam == VK_BACK && !IsKeyDown(VK_CONTROL)) {
            if (typedLetters.TakeBack(OpenMenuLevels())) {
                PostMessageW(message->hwnd, WM_KEYDOWN, VK_LEFT, message->lParam);
            }
            return TRUE;  // no character of it: nothing else happens
        } else if (message->message == WM_KEYDOWN && IsKeyDown(VK_CONTROL)) {
            if (const char digit = launcher::DigitOfKey(static_cast<unsigned>(message->wParam))) {
                PostMessageW(message->hwnd, WM_CHAR, static_cast<WPARAM>(digit), message->lParam);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

bool IsKeyDown(unsigned virtualKey) { return GetKeyState(static_cast<int>(virtualKey)) < 0; }

MenuKeys::MenuKeys() {
    typedLetters.Clear();
    filter_ = SetWindowsHookExW(WH_MSGFILTER, &MenuKeysAsMeant, nullptr, GetCurrentThreadId());
}

MenuKeys::~MenuKeys() {
    if (filter_ != nullptr) UnhookWindowsHookEx(filter_);
}

}  // namespace tobi
