// The launcher follows cr.x on its one user-interface thread: its window runs
// in a message loop of the launcher's own, which waits on the folder's change
// notification as well as on messages. Waiting costs no thread and no timer.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "launcher/registration_follower.h"

namespace tobi {

// Runs `window`, a modeless dialog, until it is destroyed, as DialogBox would
// run it, and follows `file` meanwhile: after each change to it (a write, or
// another file renamed over it) `follower` looks at it; a new list goes to
// `adopt`, a warning into a 警告 box. Both happen only at rest: never inside
// the loop of a menu, dialog or box, and never before a command that is
// waiting, so that a choice is carried out on the list it was made from.
void RunFollowingRegistrations(HWND window, const std::wstring& file, launcher::RegistrationFollower& follower,
                               const std::function<void(launcher::RegistrationList)>& adopt);

}  // namespace tobi
