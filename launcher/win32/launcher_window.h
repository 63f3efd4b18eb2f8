// The launcher's main window: the small "Tobi" window at the top-left corner
// that owns the tray icon, the keyboard hook, the letter menu and the options,
// and receives every command of both menus. It runs modally for the whole life
// of the program.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "common/file_store.h"
#include "common/win32/dialog.h"
#include "common/win32/file_store_win32.h"
#include "common/win32/handles.h"
#include "launcher/launch.h"
#include "launcher/letter_menu.h"
#include "launcher/options_file.h"
#include "launcher/registration_follower.h"
#include "launcher/registration_list.h"
#include "launcher/win32/key_hook.h"
#include "launcher/win32/menu_icons.h"
#include "launcher/win32/registration_watch.h"
#include "launcher/win32/shell_worker.h"
#include "launcher/win32/startup_shortcut.h"
#include "vantoke/mouse_hook.h"

namespace tobi {

class LauncherWindow : public win32::Dialog, public KeyHook {
public:
    // `iconFetch` fetches an entry's icon on the icons' worker (tests hold it
    // there); by default the shell's icon. `shell` does what the launcher asks
    // of the shell, on the threads of `worker` (by default of its own).
    explicit LauncherWindow(MenuIcons::Fetch iconFetch = MenuIcons::Fetch(), std::shared_ptr<Shell> shell = nullptr,
                            std::shared_ptr<ShellWorker> worker = nullptr);
    ~LauncherWindow() override;

    // Runs the window for the whole life of the program; meanwhile a changed
    // cr.x replaces the list between menus (RegistrationWatch).
    INT_PTR Run();

    // Starts the entry of a slot (20-1019) in its own folder with its option,
    // then hides the window. With Shift held at the choice it starts as
    // administrator; with Ctrl held its folder opens instead, the file
    // selected. The start runs beside the window's thread.
    void LaunchSlot(int slot);
    // Opens the letter menu below the window's bottom-left corner; returns when
    // it closes (the chosen command arrives afterwards).
    void ShowLetterMenu();
    // The unexpected-error box; the program ends when it is closed.
    void ShowFatalError();

    // The hook's watched key, as the options command sets it.
    void SetKey(unsigned virtualKey) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notification, HWND control) override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // The files the window reads and writes (tests put a failing store here).
    virtual FileStore& Files() { return files_; }
    // The folder of the shortcuts that start programs at sign-in; empty for
    // the user's Startup folder (tests point it elsewhere).
    virtual std::wstring SignInFolder() const { return std::wstring(); }

private:
    enum class TrayOperation { Add, Delete };
    void UpdateTrayIcon(TrayOperation operation);
    void MoveToTopLeft() const;
    bool LoadRegistrationList();
    void BuildLetterMenu();
    // A list read from a changed cr.x takes the place of the one in use.
    void AdoptRegistrationList(launcher::RegistrationList list);
    // What the watch of cr.x found, taken at rest.
    void TakeRegistrationNews();
    // A 警告 box of the launcher's own (cp932 text), standing alone.
    void ShowWarningBox(const std::wstring& text);
    // Runs `job` beside this thread; `hideAfter`: the window hides when it is
    // done, unless it was summoned again meanwhile.
    void StartAway(ShellWorker::Job job, bool hideAfter);
    // The tray menu opens once the sign-in state is read, or after a short
    // wait with that item greyed.
    void RequestTrayMenu();
    void OpenRequestedTrayMenu();
    // Whether a menu, box or dialog of the launcher runs its loop now.
    bool InModalLoop() const { return openWindows_ > 0 || letterMenuOpen_ || trayMenuOpen_; }
    // Warnings from work beside the window are shown when no loop of a menu,
    // box or dialog runs.
    void DoWhatWaitsForRest();
    // While a box or dialog of the launcher is open, a command that would end
    // the launcher or open another window brings that one forward instead.
    bool BringsOpenWindowForward(WORD command);
    // A summons, as the hook decided it at the key event (vantoke::SummonsNotice).
    void OnKeyNotification(unsigned notice);
    // Brings the window to the front and opens the letter menu for the
    // summons `serial`, claimed from the hook.
    void SummonLetterMenu(unsigned serial);
    // Opens the letter menu for the summons `serial` (0: for none); false
    // when it did not show (another menu was open or tracked).
    bool OpenLetterMenu(unsigned serial);
    void ShowTrayMenu();
    void OpenHelpPage();
    void StartRegistrar();
    void ShowAboutDialog();
    void OnOptionsCommand();
    void OnRunFileCommand();
    void ToggleRunAtSignIn();
    void ToggleQuietOverFullScreen();
    std::wstring PathOfCommand(UINT command) const;

    launcher::MenuNode letterTree_;  // the letter menu's submenus are filled from it as they open
    win32::UniqueMenu letterMenu_;
    launcher::RegistrationList registrations_;  // the slot table, with slotEnd
    std::unique_ptr<RegistrationWatch> watch_;  // follows cr.x while the window runs
    std::wstring startupFolder_;
    launcher::Options options_;
    // Taps do not summon while the program in front is full-screen (fullscreen.x).
    bool quietOverFullScreen_ = true;
    win32::UniqueIcon icon_;       // 32 x 32, resource 128
    win32::UniqueIcon smallIcon_;  // the same picture at the small-icon size
    CMouseHook hook_;
    UINT taskbarCreatedMessage_ = 0;
    bool trayIconAdded_ = false;
    bool letterMenuOpen_ = false;
    unsigned menuSummons_ = 0;    // the summons the open menu is for
    bool menuShown_ = false;      // the open menu has shown: the hook was told
    bool menuLate_ = false;       // ... but its summons had gone: it closed at once
    MenuIcons menuIcons_;
    win32::FileStoreWin32 files_;
    std::shared_ptr<Shell> shell_;
    std::shared_ptr<ShellWorker> worker_;
    int openWindows_ = 0;       // boxes and dialogs of the launcher open now
    unsigned summonings_ = 0;   // counts the summonses, so that a late hide knows its moment has passed
    std::unique_ptr<SignInItem> signIn_;
    bool trayMenuRequested_ = false;  // waits for the sign-in state
    bool trayMenuOpen_ = false;
    std::vector<std::wstring> warningsForRest_;
    std::wstring startupWarning_;  // a 警告 of start-up, shown once the window runs (cp932 read, wide)
};

}  // namespace tobi
