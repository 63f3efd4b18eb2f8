#include "vantoke/foreground_watch.h"

#include "common/win32/full_screen_win32.h"

namespace vantoke {
namespace {

constexpr UINT kRefreshMessage = WM_APP + 0x40;

// The watch of this thread, for the system's callback, which has no context.
thread_local ForegroundWatch* threadWatch = nullptr;

}  // namespace

ForegroundWatch::~ForegroundWatch() { Stop(); }

bool ForegroundWatch::Start() {
    if (thread_ != nullptr) return true;
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (ready_ == nullptr) return false;
    thread_ = CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr);
    if (thread_ != nullptr) WaitForSingleObject(ready_, INFINITE);
    CloseHandle(ready_);
    ready_ = nullptr;
    return thread_ != nullptr;
}

void ForegroundWatch::Stop() {
    if (thread_ == nullptr) return;
    PostThreadMessageW(threadId_.load(), WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
}

void ForegroundWatch::Refresh() noexcept {
    if (const DWORD thread = threadId_.load(std::memory_order_acquire)) {
        PostThreadMessageW(thread, kRefreshMessage, 0, 0);
    }
}

DWORD WINAPI ForegroundWatch::ThreadMain(void* self) noexcept {
    static_cast<ForegroundWatch*>(self)->Run();
    return 0;
}

void CALLBACK ForegroundWatch::OnForegroundChange(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) noexcept {
    if (threadWatch != nullptr) threadWatch->Look();
}

void ForegroundWatch::Run() noexcept {
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the queue, before anyone posts
    threadWatch = this;
    const HWINEVENTHOOK foreground = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                                     &OnForegroundChange, 0, 0, WINEVENT_OUTOFCONTEXT);
    Look();
    threadId_.store(GetCurrentThreadId(), std::memory_order_release);
    SetEvent(ready_);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == kRefreshMessage) {
            // Many asks at once need one look.
            while (PeekMessageW(&message, nullptr, kRefreshMessage, kRefreshMessage, PM_REMOVE)) {
            }
            Look();
            continue;
        }
        DispatchMessageW(&message);
    }
    threadId_.store(0, std::memory_order_release);
    if (foreground != nullptr) UnhookWinEvent(foreground);
    threadWatch = nullptr;
}

void ForegroundWatch::Look() noexcept { fullScreen_.store(win32::ForegroundIsFullScreen(), std::memory_order_release); }

}  // namespace vantoke
