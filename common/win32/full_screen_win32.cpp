#include "common/win32/full_screen_win32.h"

#include <shellapi.h>

#include "common/full_screen.h"

namespace win32 {

static_assert(full_screen::kStyleCaption == WS_CAPTION && full_screen::kStyleVisible == WS_VISIBLE &&
              full_screen::kStyleMinimized == WS_MINIMIZE);
static_assert(full_screen::kStateBusy == QUNS_BUSY && full_screen::kStateDirect3DFullScreen ==
              QUNS_RUNNING_D3D_FULL_SCREEN && full_screen::kStatePresentationMode == QUNS_PRESENTATION_MODE);

bool ForegroundIsFullScreen() noexcept {
    const HWND front = GetForegroundWindow();
    RECT window;
    if (front == nullptr || !GetWindowRect(front, &window)) return false;
    // A class name is at most 256 characters, so this holds any whole; on the
    // stack, so that the hook's thread allocates nothing.
    wchar_t className[257];
    const int classLength = GetClassNameW(front, className, 257);
    QUERY_USER_NOTIFICATION_STATE state{};
    if (FAILED(SHQueryUserNotificationState(&state))) state = QUERY_USER_NOTIFICATION_STATE{};

    full_screen::Foreground facts;
    facts.window = {window.left, window.top, window.right, window.bottom};
    facts.style = static_cast<std::uint32_t>(GetWindowLongW(front, GWL_STYLE));
    facts.className = std::wstring_view(className, classLength > 0 ? static_cast<std::size_t>(classLength) : 0);
    facts.reportedState = static_cast<int>(state);
    // The monitor costs the most to ask (tens of microseconds under Wine), and
    // most windows in front have a title bar, which settles it without.
    if (full_screen::NeedsMonitor(facts)) {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof(monitor);
        if (!GetMonitorInfoW(MonitorFromWindow(front, MONITOR_DEFAULTTONEAREST), &monitor)) return false;
        const RECT& area = monitor.rcMonitor;
        facts.monitor = {area.left, area.top, area.right, area.bottom};
    }
    return full_screen::IsFullScreen(facts);
}

}  // namespace win32
