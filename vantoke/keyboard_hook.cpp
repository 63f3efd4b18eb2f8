#include "vantoke/keyboard_hook.h"

#include <system_error>

namespace vantoke {
namespace {

static_assert(vk::kShift == VK_SHIFT && vk::kControl == VK_CONTROL && vk::kMenu == VK_MENU);
static_assert(vk::kLeftShift == VK_LSHIFT && vk::kRightShift == VK_RSHIFT);
static_assert(vk::kLeftControl == VK_LCONTROL && vk::kRightControl == VK_RCONTROL);
static_assert(vk::kLeftMenu == VK_LMENU && vk::kRightMenu == VK_RMENU);

// The hook procedure has no context argument; each hook thread knows its state.
thread_local HookState* threadHookState = nullptr;

LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION && threadHookState != nullptr) {
        HandleKeyEvent(*threadHookState, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LowLevelKeyboardProc), &module);
    return module;
}

}  // namespace

void HandleKeyEvent(HookState& state, const KBDLLHOOKSTRUCT& event) noexcept {
    const KeyEvent key{event.vkCode, event.scanCode, (event.flags & LLKHF_EXTENDED) != 0,
                       (event.flags & LLKHF_UP) != 0, event.dwExtraInfo};
    const KeyNotice notice = FilterKeyEvent(key, state.watchedKey.load(std::memory_order_relaxed),
                                            state.action.load(std::memory_order_relaxed), state.keyState);
    if (notice == KeyNotice::None) return;
    const HWND target = state.target.load(std::memory_order_acquire);
    if (target == nullptr) return;
    if (notice == KeyNotice::WatchedKey) {
        PostMessageW(target, WM_HSCROLL, 0, 0);
    } else {
        PostMessageW(target, kOtherKeyNotice, event.vkCode, 0);
    }
}

KeyboardHook::~KeyboardHook() {
    Stop();
}

HHOOK KeyboardHook::Start() {
    std::lock_guard<std::mutex> lock(startStop_);
    if (thread_.joinable()) return runningHook_;

    std::promise<HHOOK> installed;
    std::future<HHOOK> result = installed.get_future();
    try {
        thread_ = std::thread([this, &installed] { Run(installed); });
    } catch (const std::system_error&) {
        return nullptr;  // no thread to be had: the launcher runs on without a trigger
    }
    runningHook_ = result.get();
    if (runningHook_ == nullptr) thread_.join();  // the thread has ended; a later Start may try again
    return runningHook_;
}

void KeyboardHook::Stop() {
    std::lock_guard<std::mutex> lock(startStop_);
    if (!thread_.joinable()) return;
    // Fails only when the thread has already ended, and then the join returns at once.
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();  // the hook procedure runs only on that thread: no post after this
    runningHook_ = nullptr;
}

void KeyboardHook::Run(std::promise<HHOOK>& installed) {
    MSG message;
    // The thread's message queue must exist before Stop can post WM_QUIT to it.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    threadId_ = GetCurrentThreadId();
    threadHookState = &state_;
    state_.keyState = WatchedKeyState{};
    state_.hook = SetWindowsHookExW(WH_KEYBOARD_LL, LowLevelKeyboardProc, ThisModule(), 0);
    const HHOOK hook = state_.hook;
    installed.set_value(hook);  // `installed` dies with Start's frame from here on
    if (hook == nullptr) return;

    // The hook procedure runs inside this loop.
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);

    UnhookWindowsHookEx(hook);
    state_.hook = nullptr;
    threadHookState = nullptr;
}

}  // namespace vantoke
