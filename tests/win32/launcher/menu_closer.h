// Closes every popup menu this thread opens (the letter menu opens at each
// start of the launcher), from a thread timer that the menu's own loop
// dispatches; a test may look at each menu first.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace testing_win32 {

class MenuCloser {
public:
    MenuCloser() : timer_(SetTimer(nullptr, 0, 30, &MenuCloser::OnTimer)) {
        closed_ = 0;
        inspect_ = nullptr;
    }
    ~MenuCloser() { KillTimer(nullptr, timer_); }
    MenuCloser(const MenuCloser&) = delete;
    MenuCloser& operator=(const MenuCloser&) = delete;

    static int Closed() { return closed_; }
    // Called with each menu shown, before it is closed.
    static void Inspect(std::function<void(HMENU)> inspect) { inspect_ = std::move(inspect); }

private:
    static BOOL CALLBACK FindMenu(HWND window, LPARAM found) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (std::wstring(name) == L"#32768" && IsWindowVisible(window)) *reinterpret_cast<HWND*>(found) = window;
        return TRUE;
    }
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        HWND menu = nullptr;
        EnumThreadWindows(GetCurrentThreadId(), &MenuCloser::FindMenu, reinterpret_cast<LPARAM>(&menu));
        if (menu == nullptr) return;
        ++closed_;
        if (inspect_) inspect_(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0)));
        EndMenu();
    }
    static inline int closed_ = 0;
    static inline std::function<void(HMENU)> inspect_;
    UINT_PTR timer_;
};

}  // namespace testing_win32
