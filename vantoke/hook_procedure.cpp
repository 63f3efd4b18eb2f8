#include "vantoke/hook_procedure.h"

#include "vantoke/hand_over.h"

#include <optional>

namespace vantoke {
namespace {

static_assert(vk::kShift == VK_SHIFT && vk::kControl == VK_CONTROL && vk::kMenu == VK_MENU);
static_assert(vk::kLeftShift == VK_LSHIFT && vk::kRightShift == VK_RSHIFT);
static_assert(vk::kLeftControl == VK_LCONTROL && vk::kRightControl == VK_RCONTROL);
static_assert(vk::kLeftMenu == VK_LMENU && vk::kRightMenu == VK_RMENU);
static_assert(vk::kLeftWindows == VK_LWIN && vk::kRightWindows == VK_RWIN);

const wchar_t* const kRelayClass = L"VantokeNoticeRelay";
// Posted by the hook thread to the relay after a notice, wParam the hook
// thread's id; the relay passes it on as kNoticeHandledMessage.
constexpr UINT kRelayMessage = WM_APP + 0x20;

// The hook procedure has no context argument; each hook thread knows its state.
thread_local HookState* threadHookState = nullptr;

LRESULT CALLBACK LowLevelKeyboardProc(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION && threadHookState != nullptr &&
        HandleKeyEvent(*threadHookState, *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam))) {
        return 1;  // held for the letter menu: the program in front does not get it
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
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
// summon. The verdict was made beside the hook, at the taps before.
bool SummonsVetoed(const HookState& state) noexcept {
    return state.quietOverFullScreen.load(std::memory_order_relaxed) && state.foreground.FullScreen(GetTickCount());
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
        return taps::EventStamp(taps::EpochMsFromFileTime(ticks), nowTick, tick);
    }
    bool Vetoed() noexcept override { return SummonsVetoed(state_); }
    void Notify(const Notice& notice, unsigned summons) noexcept override {
        // The target acts on a summons alone; every other notice is answered
        // here, so that keys typed in other programs never wake its thread.
        if (!IsSummons(summons)) return;
        // The keys go back here if no menu comes for them.
        state_.frontAtSummons = GetForegroundWindow();
        state_.frontPutBack = false;
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

void RecordTransition(HookState& state, const KeyEvent& event) noexcept {
    const unsigned watchedKey = state.watchedKey.load(std::memory_order_relaxed);
    ForgetSidesReleasedUnseen(event, watchedKey, state.keyState, IsKeyDownNow);
    const Transition kind = ClassifyKeyEvent(event, watchedKey, state.keyState, IsKeyDownNow);
    if (kind == Transition::None) return;
    // A tap that may lead to a summons: the full-screen verdict is made fresh
    // by the next one, beside the hook.
    if (kind == Transition::WatchedDown && state.quietOverFullScreen.load(std::memory_order_relaxed)) {
        RequestForegroundLook();
    }
    state.notices.Push(TimedTransition{kind, event.virtualKey, event.time});
}

LRESULT CALLBACK RelayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message != kRelayMessage) return DefWindowProcW(window, message, wParam, lParam);
    // Fails only when the hook has stopped, and then nobody waits.
    PostThreadMessageW(static_cast<DWORD>(wParam), kNoticeHandledMessage, 0, 0);
    return 0;
}

}  // namespace

HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LowLevelKeyboardProc), &module);
    return module;
}

bool IsKeyDownNow(unsigned virtualKey) noexcept {
    return (GetAsyncKeyState(static_cast<int>(virtualKey)) & 0x8000) != 0;
}

HHOOK InstallHook(HookState& state) noexcept {
    threadHookState = &state;
    return SetWindowsHookExW(WH_KEYBOARD_LL, LowLevelKeyboardProc, ThisModule(), 0);
}

void RemoveHook(HookState& state) noexcept {
    UnhookWindowsHookEx(state.hook.exchange(nullptr));
    threadHookState = nullptr;
}

void SetTapRule(HookState& state, const TapRule& rule) noexcept {
    state.tapRule.store((static_cast<std::uint64_t>(static_cast<std::uint32_t>(rule.countIndex)) << 32) |
                            static_cast<std::uint32_t>(rule.speed),
                        std::memory_order_release);
    state.ruled.store(true, std::memory_order_release);
}

// Hands over notices until one is in flight or none is left. A notice is in
// flight until the relay, on the target's thread, reports that the target has
// taken it; without a relay each goes out at once under the action now set.
// Under the launcher's tap rule every notice is handled at once, the summons
// decided.
void DeliverNotices(HookState& state) noexcept {
    if (state.ruled.load(std::memory_order_acquire)) {
        if (state.notices.Waiting() == 0) return;
        HookOutlet outlet(state);
        if (state.summons.Drain(state.notices, LoadTapRule(state), outlet, GetTickCount())) ArmTimer(state);
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

bool HandleKeyEvent(HookState& state, const KBDLLHOOKSTRUCT& event) noexcept {
    const KeyEvent key{event.vkCode, event.scanCode, (event.flags & LLKHF_EXTENDED) != 0,
                       (event.flags & LLKHF_UP) != 0, event.dwExtraInfo, event.time};
    // The hook's own input coming back is neither a new key nor to be held.
    const Summons::Own own = state.summons.MayBeOwn(key) ? state.summons.OwnEvent(key) : Summons::Own::No;
    if (own != Summons::Own::No) {
        if (own == Summons::Own::PartDone) RequestHandOver();
        state.hookEvents.store(state.hookEvents.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        return false;
    }
    RecordTransition(state, key);
    // A relay that has gone (its thread ended) will never report: stop waiting.
    if (state.notices.InFlight()) {
        const HWND relay = state.relay.load(std::memory_order_acquire);
        if (relay == nullptr || !IsWindow(relay)) state.notices.Handled();
    }
    DeliverNotices(state);
    // Outside a summons every key passes untouched.
    bool goNow = false;
    const bool held = (state.summons.InFlight() || state.summons.OwesReleases()) &&
                      state.summons.Hold(key, state.keyState, IsKeyDownNow, goNow);
    if (goNow) RequestHandOver();
    // Only this thread writes the count: a plain store is enough. Released,
    // so that whoever sees the count sees the event's work done.
    state.hookEvents.store(state.hookEvents.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    return held;
}

void OnNoticeHandled(HookState& state) noexcept {
    state.notices.Handled();
    DeliverNotices(state);
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

void DestroyRelayWindow(HWND relay, DWORD relayThread) noexcept {
    if (relay == nullptr) return;
    if (relayThread == GetCurrentThreadId()) {
        DestroyWindow(relay);
    } else {
        PostMessageW(relay, WM_CLOSE, 0, 0);
    }
}

}  // namespace vantoke
