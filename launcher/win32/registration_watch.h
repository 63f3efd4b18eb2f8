// The launcher follows cr.x beside its user-interface thread: a thread of its
// own waits on the folder's change notification, reads the file, waits out a
// half-written one and decides; the window's thread only takes the outcome,
// a new list or a warning, when it is at rest. Reading never stalls the
// window, however slow the folder (a share that hangs).
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/win32/handles.h"
#include "launcher/registration_follower.h"

namespace tobi {

class RegistrationWatch {
public:
    // What the watch has found since it was last asked.
    struct News {
        std::optional<launcher::RegistrationList> list;  // the latest list to use
        std::vector<std::string> warnings;               // cp932 texts of 警告 boxes, oldest first
    };

    // Starts following `file` (a full path) with `follower`, which knows the
    // list in use. Without a thread to be had, it follows nothing.
    RegistrationWatch(std::wstring file, launcher::RegistrationFollower follower);
    // Stops the thread; a read that hangs on a share is not waited for long.
    ~RegistrationWatch();
    RegistrationWatch(const RegistrationWatch&) = delete;
    RegistrationWatch& operator=(const RegistrationWatch&) = delete;

    // Signalled (auto-reset) when there is news; null without a thread.
    HANDLE NewsEvent() const;
    News TakeNews();

    struct Shared;  // what the thread shares with this object

private:
    std::shared_ptr<Shared> shared_;
    win32::UniqueKernelHandle thread_;
};

// Runs `window`, a modeless dialog, until it is destroyed, as DialogBox would
// run it. When `news` is signalled, `takeNews` is called at rest: never inside
// the loop of a menu, dialog or box, and never before a command that is
// waiting, so that a choice is carried out on the list it was made from.
// Every turn of the loop takes a message or waits.
void RunWindowLoop(HWND window, HANDLE news, const std::function<void()>& takeNews);

}  // namespace tobi
