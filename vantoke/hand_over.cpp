#include "vantoke/hand_over.h"

#include <array>
#include <optional>

#include "vantoke/hook_procedure.h"

namespace vantoke {
namespace {

// The hook thread's messages; WM_APP + 0x20 and 0x21 are the notice relay's.
// Posted to the hook thread: the target's letter menu (wParam a MenuState,
// lParam the summons's serial).
constexpr UINT kMenuStateMessage = WM_APP + 0x22;
// Posted to the hook thread by itself: the next part of the held keys may go.
constexpr UINT kHandOverMessage = WM_APP + 0x23;
// Posted to the hook thread by itself: the full-screen verdict is to be made afresh.
constexpr UINT kForegroundLookMessage = WM_APP + 0x24;

constexpr std::size_t kHandOverPart = 64;
// The parts tried when the hook stops: whatever SendInput still refuses then is lost with it.
constexpr int kPartsAtStop = 16;

bool IsLaunchersWindow(const HookState& state, HWND window) {
    const HWND target = state.target.load(std::memory_order_acquire);
    if (window == nullptr || target == nullptr) return false;
    DWORD windowProcess = 0;
    DWORD targetProcess = 0;
    GetWindowThreadProcessId(window, &windowProcess);
    GetWindowThreadProcessId(target, &targetProcess);
    return windowProcess == targetProcess;
}

// Keys that no menu takes go to the window that was in front when they were
// typed: if the launcher took the foreground for a menu that never came, it
// is given back first. A menu of the launcher open now takes them as it is.
void ClearTheWayToTheFront(HookState& state) {
    if (state.frontPutBack || !state.summons.GoingToFront() || state.summons.MenuOpen()) return;
    state.frontPutBack = true;
    const HWND front = state.frontAtSummons;
    if (front != nullptr && IsWindow(front) && IsLaunchersWindow(state, GetForegroundWindow()) &&
        !IsLaunchersWindow(state, front)) {
        SetForegroundWindow(front);
    }
}

// Types the next part of the held keys (input the hook knows for its own);
// false when nothing went.
bool HandOver(HookState& state) noexcept {
    ClearTheWayToTheFront(state);
    // The watched key as the system has it: a release that went by unseen
    // (a secure desktop, another hook) is never put back down.
    ForgetWatchedSidesTheSystemHasUp(state.keyState, IsKeyDownNow);
    std::array<KeyEvent, kHandOverPart> part{};
    const std::size_t count = state.summons.NextPart(WatchedModifierBits(state.keyState), part.data(), part.size());
    if (count == 0) {
        ArmTimer(state);
        return false;
    }
    std::array<INPUT, kHandOverPart> inputs{};
    for (std::size_t i = 0; i < count; ++i) {
        const KeyEvent& event = part[i];
        INPUT& input = inputs[i];
        input.type = INPUT_KEYBOARD;
        input.ki.dwExtraInfo = event.extraInfo;
        if (event.virtualKey == VK_PACKET) {  // a character typed as such (a touch keyboard, an emoji panel)
            input.ki.wScan = static_cast<WORD>(event.scanCode);
            input.ki.dwFlags = KEYEVENTF_UNICODE | (event.keyUp ? KEYEVENTF_KEYUP : 0);
            continue;
        }
        input.ki.wVk = static_cast<WORD>(event.virtualKey);
        input.ki.wScan = static_cast<WORD>(event.scanCode != 0 ? event.scanCode
                                                               : MapVirtualKeyW(event.virtualKey, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = (event.keyUp ? KEYEVENTF_KEYUP : 0) | (event.extended ? KEYEVENTF_EXTENDEDKEY : 0);
    }
    // The hook sees each event go by (under Wine already inside this call);
    // what SendInput refuses (a secure desktop) stays held and is offered again.
    const UINT sent = SendInput(static_cast<UINT>(count), inputs.data(), sizeof(INPUT));
    if (state.summons.PartSent(sent, GetTickCount())) RequestHandOver();
    ArmTimer(state);
    return sent > 0;
}

void OnMenuState(HookState& state, MenuState menuState, unsigned serial) noexcept {
    bool go = false;
    switch (menuState) {
        case MenuState::Opened: go = state.summons.MenuOpened(serial); break;
        case MenuState::Closed: state.summons.MenuClosed(); break;
        case MenuState::Refused: go = state.summons.MenuRefused(serial); break;
    }
    if (!go || !HandOver(state)) ArmTimer(state);
}

void OnDueTimer(HookState& state) noexcept {
    KillTimer(nullptr, state.dueTimer);
    state.dueTimer = 0;
    if (!state.summons.Due(GetTickCount()) || !HandOver(state)) ArmTimer(state);
}

}  // namespace

void PostMenuState(DWORD hookThread, MenuState menuState, unsigned serial) noexcept {
    // Fails only when the hook does not run, and then nothing is held.
    PostThreadMessageW(hookThread, kMenuStateMessage, static_cast<WPARAM>(menuState), serial);
}

bool OnHandOverMessage(HookState& state, const MSG& message) noexcept {
    if (message.hwnd != nullptr) return false;
    switch (message.message) {
        case kMenuStateMessage:
            OnMenuState(state, static_cast<MenuState>(message.wParam), static_cast<unsigned>(message.lParam));
            return true;
        case kHandOverMessage: HandOver(state); return true;
        case kForegroundLookMessage: state.foreground.Refresh(); return true;
        case WM_TIMER:
            if (message.wParam != state.dueTimer) return false;
            OnDueTimer(state);
            return true;
        default: return false;
    }
}

void ArmTimer(HookState& state) noexcept {
    if (state.dueTimer != 0) KillTimer(nullptr, state.dueTimer);
    const std::optional<std::uint32_t> wait = state.summons.UntilDue(GetTickCount());
    state.dueTimer = wait ? SetTimer(nullptr, 0, *wait > 0 ? *wait : 1, nullptr) : 0;
}

void RequestHandOver() noexcept { PostThreadMessageW(GetCurrentThreadId(), kHandOverMessage, 0, 0); }

void RequestForegroundLook() noexcept { PostThreadMessageW(GetCurrentThreadId(), kForegroundLookMessage, 0, 0); }

void ReleaseHeld(HookState& state) noexcept {
    state.summons.ReleaseAll();
    for (int part = 0; part < kPartsAtStop && HandOver(state); ++part) {
    }
    if (state.dueTimer != 0) KillTimer(nullptr, state.dueTimer);
    state.dueTimer = 0;
}

}  // namespace vantoke
