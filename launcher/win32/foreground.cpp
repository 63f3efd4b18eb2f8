#include "launcher/win32/foreground.h"

namespace tobi {

bool TakeForeground(HWND window) {
    if (SetForegroundWindow(window) && GetForegroundWindow() == window) return true;

    HWND front = GetForegroundWindow();
    const DWORD frontThread = front != nullptr ? GetWindowThreadProcessId(front, nullptr) : 0;
    const DWORD ownThread = GetCurrentThreadId();
    // Sharing the input state with the foreground thread makes this thread's
    // activation count as the foreground thread's own.
    const bool attached = frontThread != 0 && frontThread != ownThread &&
                          AttachThreadInput(ownThread, frontThread, TRUE) != FALSE;
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetFocus(window);
    if (attached) AttachThreadInput(ownThread, frontThread, FALSE);
    return GetForegroundWindow() == window;
}

}  // namespace tobi
