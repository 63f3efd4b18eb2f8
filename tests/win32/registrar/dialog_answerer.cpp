#include "dialog_answerer.h"

#include "common/win32/dialog.h"
#include "tests/support/list_box_items.h"

namespace testing_win32 {
namespace {

DialogAnswerer* activeAnswerer = nullptr;

struct ThreadWindows {
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM data) {
    reinterpret_cast<ThreadWindows*>(data)->windows.push_back(window);
    return TRUE;
}

// Top-level windows of this thread that the user could act on now.
std::vector<HWND> ActiveWindows() {
    ThreadWindows found;
    EnumThreadWindows(GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&found));
    std::vector<HWND> active;
    for (HWND window : found.windows) {
        if (IsWindowVisible(window) && IsWindowEnabled(window)) active.push_back(window);
    }
    return active;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM data) {
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") == 0) {
        const std::wstring text = win32::WindowText(child);
        if (!text.empty()) {
            auto* joined = reinterpret_cast<std::wstring*>(data);
            if (!joined->empty()) *joined += L"\n";
            *joined += text;
        }
    }
    return TRUE;
}

}  // namespace

DialogAnswerer::DialogAnswerer(DWORD patienceMs) : patienceMs_(patienceMs), lastProgress_(GetTickCount()) {
    activeAnswerer = this;
    timer_ = SetTimer(nullptr, 0, 15, OnTimer);
}

DialogAnswerer::~DialogAnswerer() {
    KillTimer(nullptr, timer_);
    activeAnswerer = nullptr;
}

DialogAnswerer& DialogAnswerer::Then(const std::wstring& title, Action action) {
    steps_.push_back({title, std::move(action)});
    lastProgress_ = GetTickCount();
    return *this;
}

void CALLBACK DialogAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (activeAnswerer != nullptr) activeAnswerer->Tick();
}

void DialogAnswerer::Tick() {
    if (busy_) return;
    busy_ = true;
    const std::vector<HWND> active = ActiveWindows();
    bool acted = false;
    if (!steps_.empty()) {
        for (HWND window : active) {
            if (win32::WindowText(window) != steps_.front().title) continue;
            Step step = std::move(steps_.front());
            steps_.pop_front();
            step.action(window);
            lastProgress_ = GetTickCount();
            acted = true;
            break;
        }
    }
    if (!acted && !active.empty() && GetTickCount() - lastProgress_ > patienceMs_) {
        // Nobody expects this window: close it whatever it is.
        for (HWND window : active) {
            unexpected_.push_back(win32::WindowText(window));
            // Ends a modal dialog or message box even when it ignores Esc.
            EndDialog(window, IDCANCEL);
        }
        lastProgress_ = GetTickCount();
    }
    busy_ = false;
}

void PostCommand(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ClickCheckBox(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void EnsureChecked(HWND dialog, int id) {
    if (IsDlgButtonChecked(dialog, id) != BST_CHECKED) ClickCheckBox(dialog, id);
}

std::wstring ControlText(HWND dialog, int id) { return win32::WindowText(GetDlgItem(dialog, id)); }

std::wstring AllStaticTexts(HWND dialog) {
    std::wstring joined;
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&joined));
    return joined;
}

std::vector<std::wstring> ListItems(HWND list) { return ListBoxItems(list); }

void SelectListItems(HWND list, const std::vector<int>& items) {
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    for (int item : items) SendMessageW(list, LB_SETSEL, TRUE, item);
    if (!items.empty()) SendMessageW(list, LB_SETCARETINDEX, static_cast<WPARAM>(items.back()), FALSE);
}

void SendDoubleClick(HWND dialog, int listId) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_DBLCLK), reinterpret_cast<LPARAM>(GetDlgItem(dialog, listId)));
}

void PostDoubleClick(HWND dialog, int listId) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_DBLCLK), reinterpret_cast<LPARAM>(GetDlgItem(dialog, listId)));
}

}  // namespace testing_win32
