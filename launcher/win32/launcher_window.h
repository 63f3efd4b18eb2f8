// The launcher's main window: the small "Tobi" window at the top-left corner
// that owns the tray icon, the keyboard hook, the letter menu and the options,
// and receives every command of both menus. It runs modally for the whole life
// of the program.
#pragma once

#include <windows.h>

#include <deque>
#include <string>

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
#include "launcher/win32/startup_shortcut.h"
#include "vantoke/mouse_hook.h"

namespace tobi {

class LauncherWindow : public win32::Dialog, public KeyHook {
public:
    // `iconFetch` fetches an entry's icon on the icons' worker (tests hold it
    // there); by default the shell's icon.
    explicit LauncherWindow(MenuIcons::Fetch iconFetch = MenuIcons::Fetch());
    ~LauncherWindow() override;

    // Runs the window for the whole life of the program; meanwhile a changed
    // cr.x replaces the list between menus (RunFollowingRegistrations).
    INT_PTR Run();

    // Starts the entry of a slot (20-1019) from its own folder with its option,
    // then hides the window. With Shift held at the choice it starts as
    // administrator; with Ctrl held its folder opens instead, the file selected.
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
    // Every request an entry's choice makes to the shell (tests record them here).
    virtual void RunShell(const launcher::ShellRequest& request);
    // The shortcut that starts the launcher at sign-in (tests point it elsewhere).
    virtual StartupShortcut SignInShortcut() const { return StartupShortcut(); }

private:
    enum class TrayOperation { Add, Delete };
    void UpdateTrayIcon(TrayOperation operation);
    void MoveToTopLeft() const;
    bool LoadRegistrationList();
    void BuildLetterMenu();
    // A list read from a changed cr.x takes the place of the one in use.
    void AdoptRegistrationList(launcher::RegistrationList list);
    // A summons, as the hook decided it at the key event (vantoke::SummonsNotice).
    void OnKeyNotification(unsigned notice);
    // Brings the window to the front and opens the letter menu for the
    // summons `serial` (0: a summons whose keys the hook does not hold).
    void SummonLetterMenu(unsigned serial);
    void OpenLetterMenu(unsigned serial);
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
    launcher::RegistrationFollower follower_;   // what became of cr.x since the list in use was read
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
    std::deque<unsigned> waitingSummons_;  // summonses made before the open menu showed
    MenuIcons menuIcons_;
    win32::FileStoreWin32 files_;
};

}  // namespace tobi
