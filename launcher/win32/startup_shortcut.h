// The shortcuts in the user's Startup folder that start the launcher when the
// user signs in. The launcher makes Tobi.lnk, working in its start-up folder
// where cr.x and opt.x live; a shortcut the user made by hand to the same
// Tobi.exe counts just as well, so that ticking the item never makes a second.
// Reading creates nothing; the calls wait on the file system and COM, so the
// launcher makes them away from its window's thread.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "launcher/win32/shell_worker.h"

namespace tobi {

struct ShortcutTarget {
    std::wstring program;        // full path of Tobi.exe
    std::wstring workingFolder;  // the start-up folder
};

class StartupShortcut {
public:
    // The user's Startup folder, or `folder` when one is given; never created here.
    explicit StartupShortcut(std::wstring folder = std::wstring());

    const std::wstring& Folder() const { return folder_; }
    // The full path of the shortcut the launcher makes, empty when the Startup folder is unknown.
    std::wstring Path() const;

    // The shortcuts (*.lnk) of the folder that start `program`, the paths
    // compared as the file system does, without case; none when the folder is not there.
    std::vector<std::wstring> Starting(const std::wstring& program) const;
    // Writes Tobi.lnk for `target`, replacing one that is there and making the
    // folder when it is missing; needs COM on this thread. 0, or the system's
    // error (an HRESULT).
    long Create(const ShortcutTarget& target) const;
    // Removes every shortcut that starts `program`: 0, or the error of the first that stayed.
    long RemoveAll(const std::wstring& program) const;
    // What a shortcut starts, from where; none when it cannot be read.
    static std::optional<ShortcutTarget> Read(const std::wstring& path);

private:
    std::wstring folder_;
};

// What the tray item shows and what its choice did, for the window's thread.
struct SignInState {
    bool runs = false;      // some shortcut starts this launcher
    std::wstring failure;   // the 警告 text when the choice could not be carried out
};

// Reads the state; creates nothing.
SignInState ReadSignInState(const StartupShortcut& shortcut, const std::wstring& program);
// The tray item chosen while it showed `shownChecked`: unticking removes every
// shortcut that starts `target.program`; ticking makes Tobi.lnk unless one
// starts it already. The state afterwards, with the failure told.
SignInState ToggleSignIn(const StartupShortcut& shortcut, const ShortcutTarget& target, bool shownChecked);

// The tray item "Windows の起動時に実行": its state read and its choice
// carried out beside the window's thread, one job at a time, so that a
// result never overtakes the choice after it.
class SignInItem {
public:
    // Jobs tell `window` with `message`; Take() reads it. `folder` empty: the
    // user's Startup folder.
    SignInItem(HWND window, UINT message, std::shared_ptr<ShellWorker> worker, std::wstring folder,
               ShortcutTarget thisLauncher);

    void Read();    // the state is read again (after the job under way)
    void Toggle();  // the state shown is turned over; nothing while a job runs
    // The message's lParam: the state from now on; a failure to tell, or empty.
    std::wstring Take(LPARAM result);

    bool Known() const { return known_; }
    bool Runs() const { return runs_; }
    bool Busy() const { return running_; }  // the item is greyed meanwhile

private:
    bool Start(bool toggle);

    HWND window_;
    UINT message_;
    std::shared_ptr<ShellWorker> worker_;
    std::wstring folder_;
    ShortcutTarget thisLauncher_;
    bool known_ = false;
    bool runs_ = false;
    bool running_ = false;
    bool readAfter_ = false;
};

}  // namespace tobi
