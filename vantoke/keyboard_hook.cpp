#include "vantoke/keyboard_hook.h"

#include <system_error>
#include <vector>

namespace vantoke {
namespace {

static_assert(vk::kShift == VK_SHIFT && vk::kControl == VK_CONTROL && vk::kMenu == VK_MENU);
static_assert(vk::kLeftShift == VK_LSHIFT && vk::kRightShift == VK_RSHIFT);
static_assert(vk::kLeftControl == VK_LCONTROL && vk::kRightControl == VK_RCONTROL);
static_assert(vk::kLeftMenu == VK_LMENU && vk::kRightMenu == VK_RMENU);
static_assert(vk::kLeftWindows == VK_LWIN && vk::kRightWindows == VK_RWIN);
static_assert(raw::kBreak == RI_KEY_BREAK && raw::kE0 == RI_KEY_E0);

const wchar_t* const kWatchdogClass = L"VantokeHookWatchdog";
constexpr UINT kRemoveHookMessage = WM_APP + 1;  // the watchdog window's own
constexpr UINT_PTR kCheckTimer = 1;
// Short, so that a reinstall comes before the user's next key.
constexpr UINT kCheckGraceMs = HookWatchdog::kGraceMs;
constexpr USHORT kGenericDesktopPage = 0x01;
constexpr USHORT kKeyboardUsage = 0x06;

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

HHOOK InstallHook() noexcept {
    return SetWindowsHookExW(WH_KEYBOARD_LL, LowLevelKeyboardProc, ThisModule(), 0);
}

bool IsKeyDownNow(unsigned virtualKey) noexcept {
    return (GetAsyncKeyState(static_cast<int>(virtualKey)) & 0x8000) != 0;
}

void PostNotice(HWND target, KeyNotice notice, unsigned virtualKey) noexcept {
    if (notice == KeyNotice::WatchedKey) {
        PostMessageW(target, WM_HSCROLL, 0, 0);
    } else if (notice == KeyNotice::OtherKey) {
        PostMessageW(target, kOtherKeyNotice, virtualKey, 0);
    }
}

// The process's raw-input registrations (one per kind of device at most).
std::vector<RAWINPUTDEVICE> RegisteredRawInputDevices() {
    UINT count = 0;
    if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) != 0 || count == 0) return {};
    std::vector<RAWINPUTDEVICE> devices(count);
    const UINT written = GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE));
    if (written == static_cast<UINT>(-1)) return {};
    devices.resize(written);
    return devices;
}

bool IsKeyboard(const RAWINPUTDEVICE& device) {
    return device.usUsagePage == kGenericDesktopPage && device.usUsage == kKeyboardUsage;
}

// Raw keyboard input, also while other programs are in front, to `window`.
// A process has one keyboard registration: when the program has made its own,
// it is left alone and the hook runs without a watchdog.
bool WatchRawKeyboard(HWND window) noexcept {
    try {
        for (const RAWINPUTDEVICE& device : RegisteredRawInputDevices()) {
            if (IsKeyboard(device) && device.hwndTarget != window) return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    RAWINPUTDEVICE keyboard{kGenericDesktopPage, kKeyboardUsage, RIDEV_INPUTSINK, window};
    return RegisterRawInputDevices(&keyboard, 1, sizeof(keyboard)) != FALSE;
}

void StopWatchingRawKeyboard(HWND window) noexcept {
    try {
        for (const RAWINPUTDEVICE& device : RegisteredRawInputDevices()) {
            if (!IsKeyboard(device) || device.hwndTarget != window) continue;
            RAWINPUTDEVICE removal{kGenericDesktopPage, kKeyboardUsage, RIDEV_REMOVE, nullptr};
            RegisterRawInputDevices(&removal, 1, sizeof(removal));
        }
    } catch (const std::bad_alloc&) {
        // The registration ends with the process.
    }
}

}  // namespace

void HandleKeyEvent(HookState& state, const KBDLLHOOKSTRUCT& event) noexcept {
    // Only this thread writes the count: a plain store is enough.
    state.hookEvents.store(state.hookEvents.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    const KeyEvent key{event.vkCode, event.scanCode, (event.flags & LLKHF_EXTENDED) != 0,
                       (event.flags & LLKHF_UP) != 0, event.dwExtraInfo};
    const KeyNotice notice = FilterKeyEvent(key, state.watchedKey.load(std::memory_order_relaxed),
                                            state.action.load(std::memory_order_relaxed), state.keyState,
                                            IsKeyDownNow);
    if (notice == KeyNotice::None) return;
    const HWND target = state.target.load(std::memory_order_acquire);
    if (target == nullptr) return;
    PostNotice(target, notice, event.vkCode);
}

KeyboardHook::~KeyboardHook() {
    Stop();
}

HHOOK KeyboardHook::Start() {
    std::lock_guard<std::mutex> lock(startStop_);
    if (thread_.joinable()) return state_.hook.load();

    std::promise<HHOOK> installed;
    std::future<HHOOK> result = installed.get_future();
    try {
        thread_ = std::thread([this, &installed] { Run(installed); });
    } catch (const std::system_error&) {
        return nullptr;  // no thread to be had: the launcher runs on without a trigger
    }
    const HHOOK hook = result.get();
    if (hook == nullptr) thread_.join();  // the thread has ended; a later Start may try again
    return hook;
}

void KeyboardHook::Stop() {
    std::lock_guard<std::mutex> lock(startStop_);
    if (!thread_.joinable()) return;
    // Fails only when the thread has already ended, and then the join returns at once.
    PostThreadMessageW(threadId_.load(), WM_QUIT, 0, 0);
    thread_.join();  // the hook procedure runs only on that thread: no post after this
}

void KeyboardHook::RemoveHookSilently() {
    const HWND window = watchdogWindow_.load();
    if (window != nullptr) SendMessageW(window, kRemoveHookMessage, 0, 0);
}

void KeyboardHook::Run(std::promise<HHOOK>& installed) {
    MSG message;
    // The thread's message queue must exist before Stop can post WM_QUIT to it.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    threadId_ = GetCurrentThreadId();
    threadHookState = &state_;
    state_.keyState = WatchedKeyState{};
    watchdog_ = HookWatchdog(state_.hookEvents.load(std::memory_order_relaxed));
    const HHOOK hook = InstallHook();
    state_.hook.store(hook);
    if (hook != nullptr) {
        // Raw input only from here on, so that both roads count the same events.
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = WatchdogWindowProc;
        windowClass.hInstance = ThisModule();
        windowClass.lpszClassName = kWatchdogClass;
        RegisterClassExW(&windowClass);  // fails harmlessly for the second hook in a process
        HWND window = CreateWindowExW(0, kWatchdogClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), this);
        if (window != nullptr && !WatchRawKeyboard(window)) {
            DestroyWindow(window);
            window = nullptr;
        }
        watchdogWindow_ = window;
    }
    installed.set_value(hook);  // `installed` dies with Start's frame from here on

    if (hook != nullptr) {
        // The hook procedure and the watchdog run inside this loop; it waits
        // for messages and wakes for nothing else.
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        if (const HWND window = watchdogWindow_.exchange(nullptr)) {
            StopWatchingRawKeyboard(window);
            DestroyWindow(window);
        }
        UnhookWindowsHookEx(state_.hook.exchange(nullptr));
    }
    threadHookState = nullptr;
    threadId_ = 0;
}

LRESULT CALLBACK KeyboardHook::WatchdogWindowProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* owner = reinterpret_cast<KeyboardHook*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner != nullptr) {
        switch (message) {
            case WM_INPUT:
                owner->OnRawInput(window, reinterpret_cast<HRAWINPUT>(lParam));
                break;  // the system's own handling frees the input
            case WM_TIMER:
                if (wParam != kCheckTimer) break;
                owner->OnCheckTimer(window);
                return 0;
            case kRemoveHookMessage:
                UnhookWindowsHookEx(owner->state_.hook.load());  // the handle stays, as after a time-out
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void KeyboardHook::OnRawInput(HWND window, HRAWINPUT handle) noexcept {
    RAWINPUT input;
    UINT size = sizeof(input);
    if (GetRawInputData(handle, RID_INPUT, &input, &size, sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1)) return;
    if (input.header.dwType != RIM_TYPEKEYBOARD) return;
    const RAWKEYBOARD& key = input.data.keyboard;
    if (!ReachesTheHook(key.VKey)) return;
    const KeyEvent event = KeyEventFromRawInput(key.VKey, key.MakeCode, key.Flags, key.ExtraInformation);
    switch (watchdog_.OnRawKey(event, state_.hookEvents.load(std::memory_order_relaxed), GetTickCount())) {
        case CheckTimer::Arm: SetTimer(window, kCheckTimer, kCheckGraceMs, nullptr); break;
        case CheckTimer::Disarm: KillTimer(window, kCheckTimer); break;
        case CheckTimer::Keep: break;
    }
}

void KeyboardHook::OnCheckTimer(HWND window) noexcept {
    KillTimer(window, kCheckTimer);  // one check per arming: no timer while all is well
    WatchdogVerdict verdict;
    try {
        verdict = watchdog_.OnCheck(state_.hookEvents.load(std::memory_order_relaxed));
    } catch (const std::bad_alloc&) {
        verdict = WatchdogVerdict{};
        verdict.reinstall = true;
        verdict.someLost = true;
    }
    if (verdict.rearm) SetTimer(window, kCheckTimer, kCheckGraceMs, nullptr);
    if (verdict.reinstall) Reinstall(verdict);
}

void KeyboardHook::Reinstall(const WatchdogVerdict& verdict) noexcept {
    UnhookWindowsHookEx(state_.hook.load());  // fails harmlessly when the system has removed it already
    const HHOOK hook = InstallHook();
    state_.hook.store(hook);
    if (hook == nullptr) return;  // the next key that goes by unseen tries again

    // The launcher forgets its sequence first; then come the missed keys, so
    // that taps made while the hook was gone still count.
    if (verdict.someLost) state_.keyState = WatchedKeyState{};
    const HWND target = state_.target.load(std::memory_order_acquire);
    if (target != nullptr) PostMessageW(target, kHookReinstalledNotice, 0, 0);
    try {
        const auto notices =
            ReplayMissedEvents(verdict.missed, state_.watchedKey.load(std::memory_order_relaxed), state_.keyState);
        if (target == nullptr) return;
        for (const ReplayedNotice& notice : notices) PostNotice(target, notice.notice, notice.virtualKey);
    } catch (const std::bad_alloc&) {
        state_.keyState = WatchedKeyState{};
    }
}

}  // namespace vantoke
