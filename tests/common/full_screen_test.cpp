#include "common/full_screen.h"

#include <gtest/gtest.h>

namespace {

using namespace full_screen;

constexpr std::uint32_t kPopup = 0x80000000 | kStyleVisible;   // borderless
constexpr std::uint32_t kFramed = 0x00CF0000 | kStyleVisible;  // title bar, frame, buttons
constexpr std::uint32_t kMax = 0x01000000;
constexpr Rect kScreen{0, 0, 1280, 1024};
constexpr Rect kRight{1280, -56, 3200, 1024};  // a second monitor, higher up
constexpr Rect kSmall{10, 10, 300, 200};

TEST(FullScreen, CoveringTheWholeMonitorWithoutATitleBarOrTheShellSaysSo) {
    struct Row {
        const char* what;
        Rect window, monitor;
        std::uint32_t style;
        const wchar_t* className;
        int state;
        bool fullScreen;
    };
    const Row rows[] = {
        {"borderless, the monitor exactly", kScreen, kScreen, kPopup, L"Game", kStateAcceptsNotifications, true},
        {"borderless on the second monitor", kRight, kRight, kPopup, L"Video", kStateUnknown, true},
        {"maximised, no title bar", {-8, -8, 1288, 1032}, kScreen, 0x00040000 | kStyleVisible | kMax, L"Show", 0, true},
        {"a border, no title bar", kScreen, kScreen, 0x00800000 | kStyleVisible, L"Viewer", kStateUnknown, true},
        {"maximised with a title bar", {-8, -8, 1288, 992}, kScreen, kFramed | kMax, L"Notepad", kStateUnknown, false},
        {"the same, taskbar hidden", {-8, -8, 1288, 1032}, kScreen, kFramed | kMax, L"Notepad", kStateUnknown, false},
        {"one pixel short", {0, 0, 1280, 1023}, kScreen, kPopup, L"Game", kStateUnknown, false},
        {"the first monitor's size on the second", kScreen, kRight, kPopup, L"Game", kStateUnknown, false},
        {"hidden", kScreen, kScreen, 0x80000000, L"Game", kStateUnknown, false},
        {"minimised", kScreen, kScreen, kPopup | kStyleMinimized, L"Game", kStateUnknown, false},
        {"monitor unknown", {}, {}, kPopup, L"Game", kStateUnknown, false},
        {"the desktop", kScreen, kScreen, kPopup, L"Progman", kStateUnknown, false},
        {"behind the desktop's icons", kScreen, kScreen, kPopup, L"workerw", kStateUnknown, false},
        {"Wine's desktop", kScreen, kScreen, kPopup, L"#32769", kStateUnknown, false},
        {"the taskbar", kScreen, kScreen, kPopup, L"SHELL_TRAYWND", kStateBusy, false},
        {"a second taskbar", kRight, kRight, kPopup, L"Shell_SecondaryTrayWnd", kStateUnknown, false},
        {"merely like the desktop's name", kScreen, kScreen, kPopup, L"ProgmanX", kStateUnknown, true},
        {"shell busy: a titled window of its own size", kSmall, kScreen, kFramed, L"App", kStateBusy, false},
        {"shell busy: a titled window over its monitor", {-8, -8, 1288, 1032}, kScreen, kFramed, L"App", kStateBusy, true},
        {"shell busy: a captionless window of any size", kSmall, kScreen, kPopup, L"Game", kStateBusy, true},
        {"shell: exclusive Direct3D", {}, {}, 0, L"D3D", kStateDirect3DFullScreen, true},
        {"shell: presentation settings, a titled window", kSmall, kScreen, kFramed, L"App", kStatePresentationMode, false},
        {"shell: screen saver or locked", kSmall, kScreen, kFramed, L"App", kStateNotPresent, false},
        {"shell: quiet time", kSmall, kScreen, kFramed, L"App", kStateQuietTime, false},
        {"shell: a store app", kSmall, kScreen, kFramed, L"App", kStateApp, false},
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
