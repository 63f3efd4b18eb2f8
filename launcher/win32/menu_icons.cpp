#include "launcher/win32/menu_icons.h"

#include <objbase.h>
#include <shellapi.h>

#include <deque>
#include <mutex>
#include <new>
#include <vector>

namespace tobi {
namespace {

// Windows 10 sizes per monitor; older systems have the system's size only.
int SmallIconSize(UINT dpi) {
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    static const auto forDpi = reinterpret_cast<MetricsForDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    const int size = forDpi != nullptr && dpi != 0 ? forDpi(SM_CXSMICON, dpi) : 0;
    return size > 0 ? size : GetSystemMetrics(SM_CXSMICON);
}

// The shell's small icon for an existing file; null for a file that is gone
// (the shell would show a generic one) or that has none.
HICON FetchSmallIcon(const std::wstring& path) {
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
    SHFILEINFOW info{};
    if (SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON) == 0) return nullptr;
    return info.hIcon;
}

BOOL CALLBACK RedrawIfMenu(HWND window, LPARAM) {
    wchar_t name[8] = {};
    GetClassNameW(window, name, 8);
    if (lstrcmpW(name, L"#32768") == 0 && IsWindowVisible(window)) InvalidateRect(window, nullptr, TRUE);
    return TRUE;
}

}  // namespace

struct MenuIcons::Fetching {
    struct Question {
        unsigned list;
        UINT command;
        std::wstring path;
    };
    struct Answer {
        unsigned list;
        UINT command;
        HICON icon;
    };

    std::mutex lock;
    Fetch fetch;
    HWND owner = nullptr;
    std::deque<Question> questions;  // the latest opened menu's first
    std::vector<Answer> answers;
    bool working = false;  // a worker runs and will take every question
    bool abandoned = false;

    // Starts a worker unless one runs; with the lock held.
    static void StartWorker(const std::shared_ptr<Fetching>& fetching);
    static DWORD WINAPI Work(void* start) noexcept;
    void AnswerQuestions();
};

void MenuIcons::Fetching::StartWorker(const std::shared_ptr<Fetching>& fetching) {
    if (fetching->working || fetching->questions.empty()) return;
    auto* start = new (std::nothrow) std::shared_ptr<Fetching>(fetching);
    if (start == nullptr) return;
    const HANDLE thread = CreateThread(nullptr, 0, &Work, start, 0, nullptr);
    if (thread == nullptr) {
        delete start;  // the next submenu that opens tries again
        return;
    }
    CloseHandle(thread);
    fetching->working = true;
}

DWORD WINAPI MenuIcons::Fetching::Work(void* start) noexcept {
    std::unique_ptr<std::shared_ptr<Fetching>> fetching(static_cast<std::shared_ptr<Fetching>*>(start));
    // The shell's icon handlers are COM objects.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    (*fetching)->AnswerQuestions();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void MenuIcons::Fetching::AnswerQuestions() {
    try {
        for (;;) {
            Question question;
            Fetch fetchIcon;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (questions.empty() || abandoned) {
                    working = false;
                    return;
                }
                question = std::move(questions.front());
                questions.pop_front();
                fetchIcon = fetch;
            }
            win32::UniqueIcon icon(fetchIcon(question.path));
            HWND tell = nullptr;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (abandoned) continue;
                answers.push_back({question.list, question.command, icon.get()});
                icon.release();
                tell = owner;
            }
            PostMessageW(tell, kMenuIconsArrivedMessage, 0, 0);
        }
    } catch (...) {
        // No exception leaves the worker; the next submenu to open starts another.
        try {
            std::lock_guard<std::mutex> guard(lock);
            working = false;
        } catch (...) {
        }
    }
}

MenuIcons::MenuIcons(PathOfCommand pathOf, Fetch fetch)
    : pathOf_(std::move(pathOf)), fetching_(std::make_shared<Fetching>()) {
    fetching_->fetch = fetch ? std::move(fetch) : Fetch(&FetchSmallIcon);
}

MenuIcons::~MenuIcons() {
    // A worker still waiting on a path finishes on its own and drops its answer.
    std::lock_guard<std::mutex> guard(fetching_->lock);
    fetching_->abandoned = true;
    fetching_->questions.clear();
    for (const Fetching::Answer& answer : fetching_->answers) {
        if (answer.icon != nullptr) DestroyIcon(answer.icon);
    }
    fetching_->answers.clear();
}

void MenuIcons::Decorate(HMENU menu, HWND owner) {
    std::vector<Fetching::Question> questions;
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        const UINT command = GetMenuItemID(menu, position);
        if (command == static_cast<UINT>(-1)) continue;  // a submenu
        const std::wstring path = pathOf_(command);
        if (path.empty()) continue;
        auto known = icons_.find(command);
        if (known == icons_.end()) {
            known = icons_.emplace(command, Icon{}).first;
            questions.push_back({list_, command, path});
        }
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_BITMAP;
        // Drawn at WM_DRAWITEM, at the monitor's size; room is kept for an
        // icon on its way, so that it shows when it comes.
        item.hbmpItem = !known->second.arrived || known->second.icon ? HBMMENU_CALLBACK : nullptr;
        SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item);
    }
    std::lock_guard<std::mutex> guard(fetching_->lock);
    fetching_->owner = owner;
    fetching_->questions.insert(fetching_->questions.begin(), questions.begin(), questions.end());
    Fetching::StartWorker(fetching_);  // also when the last worker gave up
}

void MenuIcons::TakeArrivedIcons() {
    std::vector<Fetching::Answer> answers;
    {
        std::lock_guard<std::mutex> guard(fetching_->lock);
        answers.swap(fetching_->answers);
    }
    bool shown = false;
    for (const Fetching::Answer& answer : answers) {
        win32::UniqueIcon icon(answer.icon);
        const auto asked = icons_.find(answer.command);
        if (answer.list != list_ || asked == icons_.end() || asked->second.arrived) continue;
        asked->second.arrived = true;
        asked->second.icon = std::move(icon);
        shown = shown || asked->second.icon;
    }
    if (shown) EnumThreadWindows(GetCurrentThreadId(), &RedrawIfMenu, 0);
}

void MenuIcons::Forget() {
    icons_.clear();
    ++list_;
    std::lock_guard<std::mutex> guard(fetching_->lock);
    fetching_->questions.clear();
}

HICON MenuIcons::IconOf(UINT command) const {
    const auto known = icons_.find(command);
    return known == icons_.end() ? nullptr : known->second.icon.get();
}

bool MenuIcons::Measure(MEASUREITEMSTRUCT& item, UINT dpi) const {
    const auto known = item.CtlType == ODT_MENU ? icons_.find(item.itemID) : icons_.end();
    if (known == icons_.end() || (known->second.arrived && !known->second.icon)) return false;
    item.itemWidth = static_cast<UINT>(SmallIconSize(dpi));
    item.itemHeight = static_cast<UINT>(SmallIconSize(dpi));
    return true;
}

bool MenuIcons::Draw(const DRAWITEMSTRUCT& item, UINT dpi) const {
    const HICON icon = item.CtlType == ODT_MENU ? IconOf(item.itemID) : nullptr;
    if (icon == nullptr) return false;
    const int size = SmallIconSize(dpi);
    const int top = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top - size) / 2;
    DrawIconEx(item.hDC, item.rcItem.left, top, icon, size, size, 0, nullptr, DI_NORMAL);
    return true;
}

UINT WindowDpi(HWND window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto forWindow = reinterpret_cast<DpiForWindow>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return forWindow != nullptr ? forWindow(window) : 0;
}

}  // namespace tobi
