#include "vantoke/keyboard_hook.h"

#include <memory>
#include <new>
#include <vector>

namespace vantoke {
namespace {

static_assert(raw::kBreak == RI_KEY_BREAK && raw::kE0 == RI_KEY_E0);

const wchar_t* const kWatchdogClass = L"VantokeHookWatchdog";
constexpr UINT_PTR kCheckTimer = 1;
// Short, so that a reinstall comes before the user's next key.
constexpr UINT kCheckGraceMs = HookWatchdog::kGraceMs;
constexpr USHORT kGenericDesktopPage = 0x01;
constexpr USHORT kKeyboardUsage = 0x06;

// What the hook thread takes along: the promise lives on that thread, so that
// nothing it touches after the handshake lives in Start's frame.
struct HookThreadStart {
    KeyboardHook* hook;
    std::promise<HHOOK> installed;
};

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

KeyboardHook::~KeyboardHook() {
    Stop();
    DestroyRelayWindow(state_.relay.exchange(nullptr), relayThread_);
}

void KeyboardHook::SetTarget(HWND target) {
    HWND relay = nullptr;
    if (target != nullptr && GetWindowThreadProcessId(target, nullptr) == GetCurrentThreadId()) {
        relay = state_.relay.load();
        if (relay == nullptr || relayThread_ != GetCurrentThreadId()) relay = CreateRelayWindow();
    }
    state_.target.store(target, std::memory_order_release);
    const HWND previous = state_.relay.exchange(relay, std::memory_order_acq_rel);
    if (previous != relay) DestroyRelayWindow(previous, relayThread_);
    relayThread_ = relay != nullptr ? GetCurrentThreadId() : 0;
}

DWORD WINAPI KeyboardHook::ThreadMain(void* start) noexcept {
    std::unique_ptr<HookThreadStart> owned(static_cast<HookThreadStart*>(start));
    try {
        owned->hook->Run(std::move(owned->installed));
    } catch (...) {
        // Run reports every outcome through the promise; nothing may leave a thread.
    }
    return 0;
}

HHOOK KeyboardHook::Start() {
    std::lock_guard<std::mutex> lock(startStop_);
    if (thread_ != nullptr) return state_.hook.load();

    auto* start = new (std::nothrow) HookThreadStart{this, {}};
    if (start == nullptr) return nullptr;
    std::future<HHOOK> result = start->installed.get_future();
    // The program's usual stack: other programs' hooks and input-method code
    // may run on this thread, and an unused reservation costs no memory.
    thread_ = CreateThread(nullptr, 0, ThreadMain, start, 0, nullptr);
    if (thread_ == nullptr) {
        delete start;
        return nullptr;  // no thread to be had: the launcher runs on without a trigger
    }
    HHOOK hook = nullptr;
    try {
        hook = result.get();
    } catch (const std::future_error&) {
        // The thread gave up before its handshake: no hook.
    }
    if (hook == nullptr) {  // the thread has ended; a later Start may try again
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    return hook;
}

void KeyboardHook::PostMenuState(MenuState menuState, unsigned serial) {
    vantoke::PostMenuState(threadId_.load(), menuState, serial);
}

void KeyboardHook::Stop() {
    std::lock_guard<std::mutex> lock(startStop_);
    if (thread_ == nullptr) return;
    // Fails only when the thread has already ended, and then the wait returns at once.
    PostThreadMessageW(threadId_.load(), WM_QUIT, 0, 0);
    WaitForSingleObject(thread_, INFINITE);  // the hook procedure runs only on that thread: no post after this
    CloseHandle(thread_);
    thread_ = nullptr;
}

void KeyboardHook::Run(std::promise<HHOOK> installed) {
    MSG message;
    // The thread's message queue must exist before Stop can post WM_QUIT to it.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    threadId_ = GetCurrentThreadId();
    state_.keyState = WatchedKeyState{};
    state_.notices = NoticeQueue{};
    state_.summons.Reset();
    watchdog_ = HookWatchdog(state_.hookEvents.load(std::memory_order_relaxed));
    const HHOOK hook = InstallHook(state_);
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
    installed.set_value(hook);

    if (hook != nullptr) {
        // The hook procedure and the watchdog run inside this loop; it waits
        // for messages and wakes for nothing else.
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr && message.message == kNoticeHandledMessage) {
                OnNoticeHandled(state_);
                continue;
            }
            if (OnHandOverMessage(state_, message)) continue;
            DispatchMessageW(&message);
        }
        ReleaseHeld(state_);
        if (const HWND window = watchdogWindow_.exchange(nullptr)) {
            StopWatchingRawKeyboard(window);
            DestroyWindow(window);
        }
        RemoveHook(state_);
    }
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
    KeyEvent event = KeyEventFromRawInput(key.VKey, key.MakeCode, key.Flags, key.ExtraInformation);
    event.time = static_cast<std::uint32_t>(GetMessageTime());
    const DWORD now = GetTickCount();
    if (watchdog_.TakeMissedAtReinstall(event, now)) {
        const bool handOver = TellSummonsOfMissed(event);
        ArmTimer(state_);
        QueueMissedEvent(event, state_.watchedKey.load(std::memory_order_relaxed), state_.keyState, state_.notices,
                         IsKeyDownNow);
        DeliverNotices(state_);
        if (handOver) RequestHandOver();
        return;
    }
    switch (watchdog_.OnRawKey(event, state_.hookEvents.load(std::memory_order_relaxed), now)) {
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
    const HHOOK hook = InstallHook(state_);
    state_.hook.store(hook);
    if (hook == nullptr) return;  // the next key that goes by unseen tries again
    watchdog_.HookInstalledAt(GetTickCount());

    // All of them before any goes: a press after a release makes the owed release stale.
    bool handOver = false;
    for (const KeyEvent& missed : verdict.missed) handOver = TellSummonsOfMissed(missed) || handOver;
    ArmTimer(state_);
    QueueMissedEvents(verdict, state_.watchedKey.load(std::memory_order_relaxed), state_.keyState, state_.notices,
                      GetTickCount(), IsKeyDownNow);
    DeliverNotices(state_);
    if (handOver) RequestHandOver();
}

bool KeyboardHook::TellSummonsOfMissed(const KeyEvent& missed) noexcept {
    if (!missed.keyUp) {
        state_.summons.PressedUnseen(missed);
        return false;
    }
    return state_.summons.ReleasedUnseen(missed);
}

}  // namespace vantoke
