// Whether the program in front is full-screen, decided from plain facts about
// its window, so that the launcher and the keyboard hook decide it alike.
#pragma once

#include <cstdint>
#include <string_view>

namespace full_screen {

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The window style bits the rule reads, with the platform's values.
constexpr std::uint32_t kStyleCaption = 0x00C00000;  // a title bar
constexpr std::uint32_t kStyleVisible = 0x10000000;
constexpr std::uint32_t kStyleMinimized = 0x20000000;

// The shell's report of the user's state (SHQueryUserNotificationState's
// values); 0 when it was not asked or could not answer.
constexpr int kStateUnknown = 0;
constexpr int kStateNotPresent = 1;          // screen saver, locked
constexpr int kStateBusy = 2;                // a full-screen program, or presentation settings
constexpr int kStateDirect3DFullScreen = 3;  // exclusive Direct3D
constexpr int kStatePresentationMode = 4;
constexpr int kStateAcceptsNotifications = 5;
constexpr int kStateQuietTime = 6;  // the first hour of a new account
constexpr int kStateApp = 7;        // a store app

struct Foreground {
    Rect window;   // screen coordinates, frame included
    Rect monitor;  // the whole monitor the window is on, taskbar included
    std::uint32_t style = 0;
    std::wstring_view className;
    int reportedState = kStateUnknown;
};

// Full-screen: the shell says exclusive Direct3D runs; or the window, shown
// and without a title bar, covers its whole monitor, or the shell says the
// session is busy or presenting; or a window with a title bar covers its
// monitor while the shell says so. Without the shell's word a window with a
// title bar never counts by its size: maximised, it leaves the taskbar to the
// user, and its frame reaches past the monitor's edges when the taskbar hides
// itself. The desktop and the taskbar never count.
bool IsFullScreen(const Foreground& front) noexcept;

// Whether the verdict turns on the monitor at all; when not (a title bar, the
// shell's word, a hidden window), asking the system for it can be skipped.
bool NeedsMonitor(const Foreground& front) noexcept;

}  // namespace full_screen
