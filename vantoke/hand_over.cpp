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

constexpr std::size_t kHandOverPart = 64;

// Types the next part of the held keys (own input, so that the hook lets it
// pass); false when nothing went.
bool HandOver(HookState& state) noexcept {
    std::array<KeyEvent, kHandOverPart> part{};
    const std::size_t count =
        state.summons.NextBatch(HeldModifierBits(state.keyState), GetTickCount(), part.data(), part.size());
    ArmLimit(state);
    if (count == 0) return false;
    std::array<INPUT, kHandOverPart> inputs{};
    for (std::size_t i = 0; i < count; ++i) {
        const KeyEvent& event = part[i];
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
    if (state.summons.NotSent(count - sent)) RequestHandOver();
    return true;
}

void OnMenuState(HookState& state, MenuState menuState, unsigned serial) noexcept {
    bool go = false;
    switch (menuState) {
        case MenuState::Opened: go = state.summons.MenuOpened(serial); break;
        case MenuState::Closed: state.summons.MenuClosed(GetTickCount()); break;
        case MenuState::Refused: go = state.summons.MenuRefused(serial); break;
    }
    if (!go || !HandOver(state)) ArmLimit(state);
}

void OnLimitTimer(HookState& state) noexcept {
    KillTimer(nullptr, state.limitTimer);
    state.limitTimer = 0;
    if (!state.summons.LimitReached(GetTickCount()) || !HandOver(state)) ArmLimit(state);
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
        case WM_TIMER:
            if (message.wParam != state.limitTimer) return false;
            OnLimitTimer(state);
            return true;
        default: return false;
    }
}

void ArmLimit(HookState& state) noexcept {
    if (state.limitTimer != 0) KillTimer(nullptr, state.limitTimer);
    const std::optional<std::uint32_t> wait = state.summons.UntilLimit(GetTickCount());
    state.limitTimer = wait ? SetTimer(nullptr, 0, *wait > 0 ? *wait : 1, nullptr) : 0;
}

void RequestHandOver() noexcept { PostThreadMessageW(GetCurrentThreadId(), kHandOverMessage, 0, 0); }

void ReleaseHeld(HookState& state) noexcept {
    state.summons.ReleaseAll();
    while (HandOver(state)) {
    }
    if (state.limitTimer != 0) KillTimer(nullptr, state.limitTimer);
    state.limitTimer = 0;
}

}  // namespace vantoke
