// The hand-over of the keys the hook holds, on the hook thread: the launcher
// reports its menu, a thread timer keeps the summons's limit and retries, and
// the held keys are typed with SendInput, as input that the hook knows for its
// own, into the menu or where they were going.
#pragma once

#include <windows.h>

namespace vantoke {

struct HookState;

// The target's letter menu, as its thread tells it.
enum class MenuState { Opened, Closed, Refused };

// Any thread: tells the hook thread of the target's menu; `serial` names the
// summons it is for. Returns at once.
void PostMenuState(DWORD hookThread, MenuState menuState, unsigned serial) noexcept;

// Hook thread: takes a message of the hand-over's own (a menu report, a
// request for the next part, the timer); false for any other message.
bool OnHandOverMessage(HookState& state, const MSG& message) noexcept;

// Arms the thread's timer for what the summons waits on next.
void ArmTimer(HookState& state) noexcept;

// Asks the hook thread, from itself, to type the next part of the held keys.
void RequestHandOver() noexcept;
// Asks the hook thread, from itself, for a fresh full-screen verdict.
void RequestForegroundLook() noexcept;

// Everything still held goes now, where it was going (the hook stops).
void ReleaseHeld(HookState& state) noexcept;

}  // namespace vantoke
