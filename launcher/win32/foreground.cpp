#include "launcher/win32/foreground.h"

namespace tobi {
namespace {

// Long enough for a busy program, short enough that the summoned menu still
// comes at once when the program in front hangs.
constexpr UINT kAnswerTimeoutMs = 150;

struct DialogSearch {
    HWND main;
    HWND owned;       // a dialog that `main` owns
    HWND standalone;  // a dialog of this thread without owner
};

BOOL CALLBACK FindOpenDialog(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<DialogSearch*>(parameter);
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    if (window == search->main || lstrcmpW(name, L"#32770") != 0 || !IsWindowVisible(window) ||
        !IsWindowEnabled(window)) {
        return TRUE;
    }
    const HWND owner = GetWindow(window, GW_OWNER);
    if (owner == search->main) {
        search->owned = window;
        return FALSE;
    }
    if (owner == nullptr && search->standalone == nullptr) search->standalone = window;
    return TRUE;
}

}  // namespace

bool BringOpenDialogForward(HWND main) {
    DialogSearch search{main, nullptr, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &FindOpenDialog, reinterpret_cast<LPARAM>(&search));
    HWND found = search.owned != nullptr ? search.owned : search.standalone;
    if (found == nullptr) {
        found = GetWindow(main, GW_ENABLEDPOPUP);
        if (found == main) found = nullptr;
    }
    if (found == nullptr) return false;
    TakeForeground(found);
    return true;
}

bool HasTheKeyboard(HWND window) {
    const HWND front = GetForegroundWindow();
    return front != nullptr &&
           GetWindowThreadProcessId(front, nullptr) == GetWindowThreadProcessId(window, nullptr);
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
    // never attached to: the launcher then stays answering, and a letter
    // menu without the keyboard closes again.
    const bool attached = frontThread != 0 && frontThread != ownThread && AnswersPromptly(front) &&
                          AttachThreadInput(ownThread, frontThread, TRUE) != FALSE;
    BringWindowToTop(window);
    SetForegroundWindow(window);
    SetFocus(window);
    if (attached) AttachThreadInput(ownThread, frontThread, FALSE);
    return GetForegroundWindow() == window;
}

}  // namespace tobi
