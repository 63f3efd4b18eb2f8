// Whether the program in front is full-screen, asked of the system at the
// moment of the call.
#pragma once

#include <windows.h>

namespace win32 {

// The foreground window's rectangle, style and class, its monitor and the
// shell's report of the user's state, judged by full_screen::IsFullScreen.
// Sends no message to any window, waits on no other program and allocates
// nothing, so that a keyboard hook's thread may ask it too. False when no
// window is in front.
bool ForegroundIsFullScreen() noexcept;

}  // namespace win32
