#include "common/full_screen.h"

#include <optional>

namespace full_screen {
namespace {

// Class names compare without regard to case, as the system compares them.
bool SameClass(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size()) return false;
    const auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) return false;
    }
    return true;
}

// The shell's desktop (Windows' and Wine's own) and its taskbars: they cover
// the screen or sit on it without being a program the user is absorbed in.
bool IsShellWindow(std::wstring_view className) noexcept {
    for (const wchar_t* shell : {L"Progman", L"WorkerW", L"#32769", L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd"}) {
        if (SameClass(className, shell)) return true;
    }
    return false;
}

// The verdict from everything but the rectangles; none when they decide.
// Exclusive Direct3D owns the screen whatever is in front. "Busy" and
// presentation mode speak of the whole session (a video full-screen on
// another monitor, presentation settings switched on), so they count only
// for a window in front without a title bar, or one that covers its monitor.
std::optional<bool> VerdictBeforeRectangles(const Foreground& front) noexcept {
    if (IsShellWindow(front.className)) return false;
    const int state = front.reportedState;
    if (state == kStateDirect3DFullScreen) return true;
    if ((front.style & kStyleVisible) == 0 || (front.style & kStyleMinimized) != 0) return false;
    const bool sessionBusy = state == kStateBusy || state == kStatePresentationMode;
    const bool titled = (front.style & kStyleCaption) == kStyleCaption;
    if (sessionBusy && !titled) return true;
    if (titled && !sessionBusy) return false;
    return std::nullopt;
}

}  // namespace

bool IsFullScreen(const Foreground& front) noexcept {
    if (const auto verdict = VerdictBeforeRectangles(front)) return *verdict;
    const Rect& w = front.window;
    const Rect& m = front.monitor;
    const bool monitorKnown = m.right > m.left && m.bottom > m.top;
    return monitorKnown && w.left <= m.left && w.top <= m.top && w.right >= m.right && w.bottom >= m.bottom;
}

bool NeedsMonitor(const Foreground& front) noexcept { return !VerdictBeforeRectangles(front).has_value(); }

}  // namespace full_screen
