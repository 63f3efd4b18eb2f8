// Bringing the launcher to the front from a keyboard-hook notification.
#pragma once

#include <windows.h>

namespace tobi {

// Makes `window` the foreground window so that the keyboard goes to it, also
// while another program is in front: the system refuses SetForegroundWindow to
// a process that did not receive the last input, and a keyboard hook does not
// count. When the plain call is refused, the call is repeated with this
// thread's input attached to the foreground thread's for its duration, but
// only when that thread answers promptly: attached, activation waits on it.
// Returns whether `window` is the foreground window afterwards.
bool TakeForeground(HWND window);

// Brings forward the box or dialog that this thread runs beside `main`: one
// that `main` owns (it is disabled under it), or else one standing alone (a
// message box, the version box), or a popup that another thread opened over
// `main` (the shell's own error box); false when there is none (whether it
// took the foreground or not).
bool BringOpenDialogForward(HWND main);

// Whether the thread of `window` takes a message within a short time; false
// for a program that hangs.
bool AnswersPromptly(HWND window);

// Whether the keyboard comes to the thread of `window`: its window is in front.
bool HasTheKeyboard(HWND window);

}  // namespace tobi
