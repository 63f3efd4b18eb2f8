#include "launcher/win32/foreground.h"

namespace tobi {
namespace {

// Long enough for a busy program, short enough that the summoned menu still
// comes at once when the program in front hangs.
constexpr UINT kAnswerTimeoutMs = 150;

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM search) {
    auto* owned = reinterpret_cast<OwnedSearch*>(search);
    if (GetWindow(window, GW_OWNER) != owned->owner || !IsWindowVisible(window) || !IsWindowEnabled(window)) {
        return TRUE;
    }
    owned->found = window;
    return FALSE;
}

}  // namespace

bool BringOwnedDialogForward(HWND owner) {
    OwnedSearch search{owner, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr && SetForegroundWindow(search.found);
}

bool AnswersPromptly(HWND window) {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerTimeoutMs, &ignored) !=
           0;
}

bool TakeForeground(HWND window) {
    if (SetForegroundWindow(window) && GetForegroundWindow() == window) return true;

    HWND front = GetForegroundWindow();
    const DWORD frontThread = front != nullptr ? GetWindowThreadProcessId(front, nullptr) : 0;
    const DWORD ownThread = GetCurrentThreadId();
    // Sharing the input state with the foreground thread makes this thread's
    // activation count as the foreground thread's own. Attached, activating
    // and focusing send to that thread and wait for it, so a hung program is
    // never attached to: the menu then opens without the keyboard rather
    // than not at all.
    const bool attached = frontThread != 0 && frontThread != ownThread && AnswersPromptly(front) &&
                          AttachThreadInput(ownThread, frontThread, TRUE) != FALSE;
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetFocus(window);
    if (attached) AttachThreadInput(ownThread, frontThread, FALSE);
    return GetForegroundWindow() == window;
}

}  // namespace tobi
