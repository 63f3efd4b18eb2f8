#include "common/full_screen.h"

#include <gtest/gtest.h>

namespace {

using namespace full_screen;

constexpr std::uint32_t kPopup = 0x80000000 | kStyleVisible;                  // borderless
constexpr std::uint32_t kFramed = 0x00CF0000 | kStyleVisible;                 // caption, frame, buttons
constexpr std::uint32_t kMaximized = 0x01000000;
constexpr Rect kScreen{0, 0, 1280, 1024};
constexpr Rect kRightScreen{1280, -56, 3200, 1024};  // a second monitor, higher up

TEST(FullScreen, CoveringTheWholeMonitorWithoutATitleBarOrTheShellSaysSo) {
    struct Row {
        const char* what;
        Rect window;
        Rect monitor;
        std::uint32_t style;
        const wchar_t* className;
        int state;
        bool fullScreen;
    };
    const Row rows[] = {
        {"borderless, exactly the monitor", kScreen, kScreen, kPopup, L"Game", kStateAcceptsNotifications, true},
        {"borderless on the second monitor", kRightScreen, kRightScreen, kPopup, L"Video", kStateUnknown, true},
        {"maximised without a title bar: over the taskbar", {-8, -8, 1288, 1032}, kScreen,
         0x00040000 | kStyleVisible | kMaximized, L"Slides", kStateUnknown, true},
        {"a border but no title bar", kScreen, kScreen, 0x00800000 | kStyleVisible, L"Viewer", kStateUnknown, true},
        {"maximised with a title bar, taskbar shown", {-8, -8, 1288, 992}, kScreen, kFramed | kMaximized, L"Notepad",
         kStateAcceptsNotifications, false},
        {"maximised with a title bar, taskbar hidden", {-8, -8, 1288, 1032}, kScreen, kFramed | kMaximized,
         L"Notepad", kStateUnknown, false},
        {"a title bar over the whole monitor", kScreen, kScreen, kFramed, L"Editor", kStateUnknown, false},
        {"one pixel short", {0, 0, 1280, 1023}, kScreen, kPopup, L"Game", kStateUnknown, false},
        {"one pixel in", {1, 0, 1280, 1024}, kScreen, kPopup, L"Game", kStateUnknown, false},
        {"the first monitor's size on the second", kScreen, kRightScreen, kPopup, L"Game", kStateUnknown, false},
        {"hidden", kScreen, kScreen, 0x80000000, L"Game", kStateUnknown, false},
        {"minimised", kScreen, kScreen, kPopup | kStyleMinimized, L"Game", kStateUnknown, false},
        {"monitor unknown", {}, {}, kPopup, L"Game", kStateUnknown, false},
        {"the desktop", kScreen, kScreen, kPopup, L"Progman", kStateUnknown, false},
        {"the desktop behind the icons", kScreen, kScreen, kPopup, L"WorkerW", kStateUnknown, false},
        {"Wine's desktop", kScreen, kScreen, kPopup, L"#32769", kStateUnknown, false},
        {"the taskbar, in another case", kScreen, kScreen, kPopup, L"shell_traywnd", kStateBusy, false},
        {"the second monitor's taskbar", kRightScreen, kRightScreen, kPopup, L"Shell_SecondaryTrayWnd", kStateUnknown,
         false},
        {"a name that merely starts like the desktop's", kScreen, kScreen, kPopup, L"ProgmanX", kStateUnknown, true},
        {"shell: a full-screen program", {10, 10, 300, 200}, kScreen, kFramed, L"App", kStateBusy, true},
        {"shell: exclusive Direct3D", {}, {}, 0, L"D3D", kStateDirect3DFullScreen, true},
        {"shell: presentation settings", {10, 10, 300, 200}, kScreen, kFramed, L"App", kStatePresentationMode, true},
        {"shell: screen saver or locked", {10, 10, 300, 200}, kScreen, kFramed, L"App", kStateNotPresent, false},
        {"shell: quiet time", {10, 10, 300, 200}, kScreen, kFramed, L"App", kStateQuietTime, false},
        {"shell: a store app", {10, 10, 300, 200}, kScreen, kFramed, L"App", kStateApp, false},
    };
    for (const Row& row : rows) {
        const Foreground front{row.window, row.monitor, row.style, row.className, row.state};
        EXPECT_EQ(IsFullScreen(front), row.fullScreen) << row.what;
        if (!NeedsMonitor(front)) {  // then the monitor can go unasked
            EXPECT_EQ(IsFullScreen({row.window, {}, row.style, row.className, row.state}), row.fullScreen) << row.what;
        }
    }
}

}  // namespace
