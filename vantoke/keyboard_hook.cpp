#include "vantoke/keyboard_hook.h"

#include "common/win32/full_screen_win32.h"

#include <memory>
#include <new>
#include <optional>
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
const wchar_t* const kRelayClass = L"VantokeNoticeRelay";
// Posted by the hook thread to the relay after a notice, wParam the hook
// thread's id; the relay passes it on as kNoticeHandledMessage.
constexpr UINT kRelayMessage = WM_APP + 0x20;
// Posted to the hook thread itself: the notice before has been handled.
constexpr UINT kNoticeHandledMessage = WM_APP + 0x21;
// Posted to the hook thread: the target's letter menu (wParam a MenuState,
// lParam the summons's serial).
constexpr UINT kMenuStateMessage = WM_APP + 0x22;
// Posted to the hook thread by itself: the next part of the held keys may go.
constexpr UINT kHandOverMessage = WM_APP + 0x23;
constexpr UINT_PTR kCheckTimer = 1;
// Short, so that a reinstall comes before the user's next key.
constexpr UINT kCheckGraceMs = HookWatchdog::kGraceMs;
constexpr USHORT kGenericDesktopPage = 0x01;
constexpr USHORT kKeyboardUsage = 0x06;

// The hook procedure has no context argument; each hook thread knows its state.
thread_local HookState* threadHookState = nullptr;

LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION && threadHookState != nullptr &&
        HandleKeyEvent(*threadHookState, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam))) {
        return 1;  // held for the letter menu: the program in front does not get it
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

bool PostNotice(HWND target, const Notice& notice, unsigned summons = 0) noexcept {
    switch (notice.kind) {
        case KeyNotice::WatchedKey:
            return PostMessageW(target, WM_HSCROLL, summons, static_cast<LPARAM>(notice.time)) != 0;
        case KeyNotice::OtherKey: return PostMessageW(target, kOtherKeyNotice, notice.virtualKey, 0) != 0;
        case KeyNotice::Forget: return PostMessageW(target, kHookReinstalledNotice, 0, 0) != 0;
        case KeyNotice::None: break;
    }
    return false;
}

// The one place where a summons is refused at the key event that would make
// it ("not now"): no keys are held then, and the launcher is not told to
// summon. Asked on the hook thread, only at the tap that would summon; the
// full-screen query waits on no other program.
bool SummonsVetoed(const HookState& state) noexcept {
    return state.quietOverFullScreen.load(std::memory_order_relaxed) && win32::ForegroundIsFullScreen();
}

// Under the launcher's tap rule each notice is handled at once, on this thread.
class HookOutlet final : public Summons::Outlet {
public:
    explicit HookOutlet(HookState& state) : state_(state) {}

    int StampOf(std::uint32_t tick) noexcept override {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        const DWORD nowTick = GetTickCount();
        const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        return launcher::EventStamp(launcher::EpochMsFromFileTime(ticks), nowTick, tick);
    }
    bool Vetoed() noexcept override { return SummonsVetoed(state_); }
    void Notify(const Notice& notice, unsigned summons) noexcept override {
        // Keys held for a summons the target never hears of go at the limit.
        if (const HWND target = state_.target.load(std::memory_order_acquire)) PostNotice(target, notice, summons);
    }

private:
    HookState& state_;
};

TapRule LoadTapRule(const HookState& state) noexcept {
    const std::uint64_t packed = state.tapRule.load(std::memory_order_acquire);
    return TapRule{static_cast<int>(static_cast<std::uint32_t>(packed >> 32)),
                   static_cast<int>(static_cast<std::uint32_t>(packed))};
}

// Arms the thread's timer for the limit of the summons first in line.
void ArmLimit(HookState& state) noexcept {
    if (state.limitTimer != 0) KillTimer(nullptr, state.limitTimer);
    const std::optional<std::uint32_t> wait = state.summons.UntilLimit(GetTickCount());
    state.limitTimer = wait ? SetTimer(nullptr, 0, *wait > 0 ? *wait : 1, nullptr) : 0;
}

void RequestHandOver() noexcept { PostThreadMessageW(GetCurrentThreadId(), kHandOverMessage, 0, 0); }

// Hands over notices until one is in flight or none is left. A notice is in
// flight until the relay, on the target's thread, reports that the target has
// taken it; without a relay each goes out at once under the action now set.
// Under the launcher's tap rule every notice goes at once, the summons decided.
void DeliverNotices(HookState& state) noexcept {
    if (state.ruled.load(std::memory_order_acquire)) {
        if (state.notices.Waiting() == 0) return;
        HookOutlet outlet(state);
        if (state.summons.Drain(state.notices, LoadTapRule(state), outlet)) ArmLimit(state);
        return;
    }
    for (;;) {
        const std::optional<Notice> notice = state.notices.TakeNext(state.action.load(std::memory_order_acquire));
        if (!notice) return;
        const HWND target = state.target.load(std::memory_order_acquire);
        const HWND relay = state.relay.load(std::memory_order_acquire);
        if (target != nullptr && PostNotice(target, *notice) && relay != nullptr &&
            PostMessageW(relay, kRelayMessage, GetCurrentThreadId(), 0)) {
            return;
        }
        state.notices.Handled();
    }
}

void RecordTransition(HookState& state, const KeyEvent& event) noexcept {
    const unsigned watchedKey = state.watchedKey.load(std::memory_order_relaxed);
    ForgetSidesReleasedUnseen(event, watchedKey, state.keyState, IsKeyDownNow);
    const Transition kind = ClassifyKeyEvent(event, watchedKey, state.keyState, IsKeyDownNow);
    if (kind == Transition::None) return;
    state.notices.Push(TimedTransition{kind, event.virtualKey, event.time});
}

LRESULT CALLBACK RelayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message != kRelayMessage) return DefWindowProcW(window, message, wParam, lParam);
    // Fails only when the hook has stopped, and then nobody waits.
    PostThreadMessageW(static_cast<DWORD>(wParam), kNoticeHandledMessage, 0, 0);
    return 0;
}

HWND CreateRelayWindow() noexcept {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = RelayWindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.lpszClassName = kRelayClass;
    RegisterClassExW(&windowClass);  // fails harmlessly when the class exists
    return CreateWindowExW(0, kRelayClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
}

// Destroys a relay window on its own thread, or asks that thread to.
void DestroyRelayWindow(HWND relay, DWORD relayThread) noexcept {
    if (relay == nullptr) return;
    if (relayThread == GetCurrentThreadId()) {
        DestroyWindow(relay);
    } else {
        PostMessageW(relay, WM_CLOSE, 0, 0);
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

void SetTapRule(HookState& state, const TapRule& rule) noexcept {
    state.tapRule.store((static_cast<std::uint64_t>(static_cast<std::uint32_t>(rule.countIndex)) << 32) |
                            static_cast<std::uint32_t>(rule.speed),
                        std::memory_order_release);
    state.ruled.store(true, std::memory_order_release);
}

bool HandleKeyEvent(HookState& state, const KBDLLHOOKSTRUCT& event) noexcept {
    // Only this thread writes the count: a plain store is enough.
    state.hookEvents.store(state.hookEvents.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    const KeyEvent key{event.vkCode, event.scanCode, (event.flags & LLKHF_EXTENDED) != 0,
                       (event.flags & LLKHF_UP) != 0, event.dwExtraInfo, event.time};
    RecordTransition(state, key);
    // A relay that has gone (its thread ended) will never report: stop waiting.
    if (state.notices.InFlight()) {
        const HWND relay = state.relay.load(std::memory_order_acquire);
        if (relay == nullptr || !IsWindow(relay)) state.notices.Handled();
    }
    DeliverNotices(state);
    if (key.extraInfo == kOwnInputMarker) {
        if (state.summons.OwnInputSeen()) RequestHandOver();
        return false;
    }
    return state.summons.Hold(key, state.keyState, IsKeyDownNow);
}

void OnNoticeHandled(HookState& state) noexcept {
    state.notices.Handled();
    DeliverNotices(state);
}

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

namespace {
// What the hook thread takes along: the promise lives on that thread, so that
// nothing it touches after the handshake lives in Start's frame.
struct HookThreadStart {
    KeyboardHook* hook;
    std::promise<HHOOK> installed;
};
}  // namespace

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
    // Fails only when the hook does not run, and then nothing is held.
    PostThreadMessageW(threadId_.load(), kMenuStateMessage, static_cast<WPARAM>(menuState), serial);
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
    threadHookState = &state_;
    state_.keyState = WatchedKeyState{};
    state_.notices = NoticeQueue{};
    state_.summons.Reset();
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
    installed.set_value(hook);

    if (hook != nullptr) {
        // The hook procedure and the watchdog run inside this loop; it waits
        // for messages and wakes for nothing else.
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr) {
                switch (message.message) {
                    case kNoticeHandledMessage: OnNoticeHandled(state_); continue;
                    case kMenuStateMessage:
                        OnMenuState(static_cast<MenuState>(message.wParam), static_cast<unsigned>(message.lParam));
                        continue;
                    case kHandOverMessage: HandOver(); continue;
                    case WM_TIMER:
                        if (message.wParam != state_.limitTimer) break;
                        OnLimitTimer();
                        continue;
                    default: break;
                }
            }
            DispatchMessageW(&message);
        }
        ReleaseHeld();
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

    QueueMissedEvents(verdict, state_.watchedKey.load(std::memory_order_relaxed), state_.keyState, state_.notices,
                      GetTickCount(), IsKeyDownNow);
    DeliverNotices(state_);
}

void KeyboardHook::OnMenuState(MenuState menuState, unsigned serial) noexcept {
    bool go = false;
    switch (menuState) {
        case MenuState::Opened: go = state_.summons.MenuOpened(serial); break;
        case MenuState::Closed: state_.summons.MenuClosed(GetTickCount()); break;
        case MenuState::Refused: go = state_.summons.MenuRefused(serial); break;
    }
    if (!go || !HandOver()) ArmLimit(state_);
}

void KeyboardHook::OnLimitTimer() noexcept {
    KillTimer(nullptr, state_.limitTimer);
    state_.limitTimer = 0;
    if (!state_.summons.LimitReached(GetTickCount()) || !HandOver()) ArmLimit(state_);
}

bool KeyboardHook::HandOver() noexcept {
    const std::size_t count = state_.summons.NextBatch(HeldModifierBits(state_.keyState), GetTickCount(),
                                                       handOver_.data(), handOver_.size());
    ArmLimit(state_);
    if (count == 0) return false;
    std::array<INPUT, kHandOverPart> inputs{};
    for (std::size_t i = 0; i < count; ++i) {
        const KeyEvent& event = handOver_[i];
        INPUT& input = inputs[i];
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = static_cast<WORD>(event.virtualKey);
        input.ki.wScan = static_cast<WORD>(event.scanCode != 0 ? event.scanCode
                                                               : MapVirtualKeyW(event.virtualKey, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = (event.keyUp ? KEYEVENTF_KEYUP : 0) | (event.extended ? KEYEVENTF_EXTENDEDKEY : 0);
        input.ki.dwExtraInfo = event.extraInfo;
    }
    // The hook sees each event go by (under Wine already inside this call)
    // and asks for the next part once all have.
    const UINT sent = SendInput(static_cast<UINT>(count), inputs.data(), sizeof(INPUT));
    if (state_.summons.NotSent(count - sent)) RequestHandOver();
    return true;
}

void KeyboardHook::ReleaseHeld() noexcept {
    state_.summons.ReleaseAll();
    while (HandOver()) {
    }
    if (state_.limitTimer != 0) KillTimer(nullptr, state_.limitTimer);
    state_.limitTimer = 0;
}

}  // namespace vantoke
