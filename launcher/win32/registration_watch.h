// The launcher follows cr.x without ever waiting for it: the window's loop
// waits on the folder's change notification as well as on messages, and
// every read of the file, and every opening of its folder after the watch
// was lost, runs beside the window's thread and comes back as a message. The
// window takes the outcome, a new list or a warning, only when it is at rest.
// No thread of its own waits between changes.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/win32/handles.h"
#include "launcher/registration_follower.h"
#include "launcher/win32/shell_worker.h"

namespace tobi {

// Posted to the window by a read of cr.x: lParam a ReadResult* it takes over.
constexpr UINT kRegistrationReadMessage = WM_APP + 0x38;
// Posted to the window when the folder could be opened again: lParam its HANDLE, taken over.
constexpr UINT kRegistrationFolderMessage = WM_APP + 0x39;

class RegistrationWatch {
public:
    // What the watch has found since it was last asked.
    struct News {
        std::optional<launcher::RegistrationList> list;  // the latest list to use
        std::vector<std::string> warnings;               // cp932 texts of 警告 boxes, oldest first
    };

    // Watches `file`'s folder from now on (before the start-up read, so that
    // no change after it goes unseen); `window` gets the messages above.
    RegistrationWatch(HWND window, std::wstring file, std::shared_ptr<ShellWorker> worker);
    ~RegistrationWatch();
    RegistrationWatch(const RegistrationWatch&) = delete;
    RegistrationWatch& operator=(const RegistrationWatch&) = delete;

    // From now on each change is judged by `follower`, which knows the list in use.
    void Follow(launcher::RegistrationFollower follower);

    // For the window's loop: the handle to wait on (null while the folder is
    // not watched) and how long at most (INFINITE when nothing is due).
    HANDLE ChangeEvent() const;
    DWORD Timeout() const;
    // Never waits: takes a change, starts a read or a new watch that is due.
    void Poll();

    // The messages above, handed over by the window.
    void TakeRead(std::unique_ptr<ReadResult> read);
    void TakeFolder(HANDLE folder);

    bool HasNews() const { return news_.list.has_value() || !news_.warnings.empty(); }
    News TakeNews();

private:
    class FileChanges;
    // A change to cr.x since the last call; a watch that ended is opened again later.
    bool TakeChanges();
    void StartRead();
    void StartRewatch();

    HWND window_;
    std::wstring file_;
    std::shared_ptr<ShellWorker> worker_;
    std::unique_ptr<FileChanges> changes_;
    std::optional<launcher::RegistrationFollower> follower_;
    bool lookDue_ = false;
    std::optional<ULONGLONG> lookAt_;  // GetTickCount64
    bool reading_ = false;
    bool rewatching_ = false;
    ULONGLONG rewatchAt_ = 0;
    DWORD rewatchMs_;
    News news_;
};

// Runs `window`, a modeless dialog, until it is destroyed, as DialogBox would
// run it, while `watch` (may be null) follows cr.x. Its news goes to
// `takeNews` at rest: never inside the loop of a menu, dialog or box, and
// never before a command that is waiting, so that a choice is carried out on
// the list it was made from. Every turn of the loop takes a message or waits.
void RunWindowLoop(HWND window, RegistrationWatch* watch, const std::function<void()>& takeNews);

}  // namespace tobi
