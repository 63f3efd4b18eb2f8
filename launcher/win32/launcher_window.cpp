#include "launcher/win32/launcher_window.h"

#include <shellapi.h>

#include <utility>

#include "common/win32/shell.h"
#include "common/win32/text.h"
#include "launcher/full_screen_setting.h"
#include "launcher/letter_menu.h"
#include "launcher/win32/about_dialog.h"
#include "launcher/win32/foreground.h"
#include "launcher/win32/menu_builder.h"
#include "launcher/win32/menu_keys.h"
#include "launcher/win32/options_dialog.h"
#include "launcher/win32/registration_watch.h"
#include "launcher/win32/resource_ids.h"
#include "launcher/win32/run_file_dialog.h"

namespace tobi {
namespace {

constexpr UINT kTrayIconId = ID_TRAY_ICON;
constexpr UINT kTrayMessage = WM_TRAY_NOTIFY;
const char* const kOptionsFile = "opt.x";
const char* const kRegistrationFile = "cr.x";
const char* const kFullScreenFile = "fullscreen.x";
// Posted by a job of the shell when it is done: wParam 1 when the window is
// to hide after it, lParam the summons count when the job was asked for.
constexpr UINT kShellJobDone = kMenuIconsArrivedMessage + 2;
// Posted by a job of the sign-in shortcut (SignInItem).
constexpr UINT kSignInState = kMenuIconsArrivedMessage + 3;
// Posted to itself when a loop of a menu, box or dialog has ended.
constexpr UINT kAtRest = kMenuIconsArrivedMessage + 4;
// How long a requested tray menu waits for the sign-in state.
constexpr UINT_PTR kTrayMenuTimer = 1;
constexpr UINT kTrayMenuWaitMs = 300;

// Counts a box or dialog of the launcher while it is open; when it closes,
// what waited for rest may go.
class OpenWindow {
public:
    OpenWindow(int& count, HWND window) : count_(count), window_(window) { ++count_; }
    ~OpenWindow() {
        --count_;
        PostMessageW(window_, kAtRest, 0, 0);
    }
    OpenWindow(const OpenWindow&) = delete;
    OpenWindow& operator=(const OpenWindow&) = delete;

private:
    int& count_;
    HWND window_;
};

win32::UniqueIcon LoadAppIcon(int width, int height) {
    return win32::UniqueIcon(static_cast<HICON>(
        LoadImageW(win32::ResourceModule(), MAKEINTRESOURCEW(IDI_TOBI), IMAGE_ICON, width, height, 0)));
}

}  // namespace

LauncherWindow::LauncherWindow(MenuIcons::Fetch iconFetch, std::shared_ptr<Shell> shell,
                               std::shared_ptr<ShellWorker> worker)
    : Dialog(IDD_LAUNCHER),
      icon_(LoadAppIcon(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON))),
      smallIcon_(LoadAppIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON))),
      taskbarCreatedMessage_(RegisterWindowMessageW(L"TaskbarCreated")),
      menuIcons_([this](UINT command) { return PathOfCommand(command); }, std::move(iconFetch)),
      shell_(shell ? std::move(shell) : std::make_shared<Shell>()),
      worker_(worker ? std::move(worker) : std::make_shared<ShellWorker>()) {}

LauncherWindow::~LauncherWindow() = default;

INT_PTR LauncherWindow::Run() {
    if (CreateModeless(nullptr) == nullptr) return Result();  // ended at start (the fatal-error box)
    if (!startupWarning_.empty()) ShowWarningBox(std::exchange(startupWarning_, std::wstring()));
    RunWindowLoop(hwnd(), watch_.get(), [this] { TakeRegistrationNews(); });
    watch_.reset();
    return Result();
}

void LauncherWindow::TakeRegistrationNews() {
    if (!watch_) return;
    RegistrationWatch::News news = watch_->TakeNews();
    if (news.list) AdoptRegistrationList(std::move(*news.list));
    for (const std::string& warning : news.warnings) {
        if (!IsWindow(hwnd())) return;
        ShowWarningBox(win32::WideFromCp932(warning));
    }
}

void LauncherWindow::ShowWarningBox(const std::wstring& text) {
    // Standing alone, as the version box does: owned by the hidden window it
    // would hand that window the keyboard when closed.
    const OpenWindow open(openWindows_, hwnd());
    MessageBoxW(nullptr, text.c_str(), L"警告", MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

BOOL LauncherWindow::OnInitDialog() {
    win32::AppendSystemMenuItem(hwnd(), IDM_ABOUT_SYSTEM, win32::LoadStringResource(IDS_ABOUT_SYSTEM_ITEM));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    startupFolder_ = win32::CurrentDirectory();
    win32::ChangeDirectory(startupFolder_);
    std::wstring file = startupFolder_;
    if (!file.empty() && file.back() != L'\\') file += L'\\';
    watch_ = std::make_unique<RegistrationWatch>(hwnd(), file + win32::WideFromCp932(kRegistrationFile), worker_);
    signIn_ = std::make_unique<SignInItem>(hwnd(), kSignInState, worker_, SignInFolder(),
                                           ShortcutTarget{win32::ModulePath(), startupFolder_});
    options_ = launcher::ReadOptions(Files(), kOptionsFile);
    const launcher::FullScreenSettingRead fullScreen = launcher::ReadFullScreenSetting(Files(), kFullScreenFile);
    quietOverFullScreen_ = fullScreen.quietOverFullScreen;
    startupWarning_ = win32::WideFromCp932(fullScreen.warning);
    if (!LoadRegistrationList()) {
        ShowFatalError();
        return TRUE;
    }
    BuildLetterMenu();
    MoveToTopLeft();
    UpdateTrayIcon(TrayOperation::Add);

    hook_.SetTarget(hwnd());
    hook_.SetAction(0);
    if (const auto code = launcher::HookKeyCode(options_.keyIndex)) hook_.SetKey(*code);
    // The hook decides each summons by this rule, where the keys are seen.
    hook_.SetTapRule(options_.countIndex, options_.speed);
    hook_.SetQuietOverFullScreen(quietOverFullScreen_);
    hook_.Start();  // without a hook the launcher runs on without a trigger

    ShowLetterMenu();
    return TRUE;
}

bool LauncherWindow::LoadRegistrationList() {
    win32::ChangeDirectory(startupFolder_);
    const ReadResult read = Files().ReadOrCreate(kRegistrationFile);
    watch_->Follow(launcher::RegistrationFollower(read));
    // An unreadable cr.x reads as an empty one: the built-in items still work.
    launcher::RegistrationListLoad load = launcher::LoadRegistrationList(read.ok() ? read.bytes : std::string());
    if (load.outcome == launcher::LoadOutcome::Fatal) return false;
    registrations_ = std::move(load.list);
    return true;
}

void LauncherWindow::BuildLetterMenu() {
    letterMenu_.reset();  // its submenus point into the tree that is replaced
    letterTree_ = launcher::BuildLetterMenu(registrations_);
    letterMenu_ = CreatePopupMenuFromTree(letterTree_);
}

void LauncherWindow::AdoptRegistrationList(launcher::RegistrationList list) {
    registrations_ = std::move(list);
    // Icons are kept by command, and a command now stands for another entry.
    menuIcons_.Forget();
    BuildLetterMenu();
}

void LauncherWindow::ShowFatalError() {
    const OpenWindow open(openWindows_, hwnd());
    MessageBoxW(hwnd(), L"予期しないエラーが発生しました。\nプログラムを終了します。\n", L"警告",
                MB_OK | MB_ICONEXCLAMATION);
    EndDialog(IDOK);
}

void LauncherWindow::MoveToTopLeft() const {
    RECT window;
    GetWindowRect(hwnd(), &window);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(hwnd(), &placement)) return;
    placement.rcNormalPosition.left -= window.left;
    placement.rcNormalPosition.right -= window.left;
    placement.rcNormalPosition.top -= window.top;
    placement.rcNormalPosition.bottom -= window.top;
    SetWindowPlacement(hwnd(), &placement);
}

void LauncherWindow::UpdateTrayIcon(TrayOperation operation) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd();
    data.uID = kTrayIconId;
    if (operation == TrayOperation::Delete) {
        if (trayIconAdded_) Shell_NotifyIconW(NIM_DELETE, &data);
        trayIconAdded_ = false;
        return;
    }
    // The icon goes with every add, so that a re-created taskbar gets it too;
    // the tip stays empty.
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon_.get();
    trayIconAdded_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE || trayIconAdded_;
}

void LauncherWindow::SetKey(unsigned virtualKey) { hook_.SetKey(virtualKey); }

void LauncherWindow::OnKeyNotification(unsigned notice) {
    if (!vantoke::IsSummons(notice)) return;
    const unsigned serial = vantoke::SummonsSerial(notice);
    // A menu is open (the hook starts no summons then, but one may have been
    // on its way): the keys held for this one go where the keyboard is, into it.
    if (letterMenuOpen_) {
        hook_.MenuRefused(serial);
        return;
    }
    // Taken too late: its keys have gone to the program in front, and a menu
    // now would come when the user is typing there.
    if (!hook_.ClaimSummons(serial)) return;
    SummonLetterMenu(serial);
}

void LauncherWindow::SummonLetterMenu(unsigned serial) {
    ++summonings_;
    const HWND front = GetForegroundWindow();
    const bool shown = IsWindowVisible(hwnd()) != FALSE;
    ShowWindow(hwnd(), SW_SHOW);
    SetActiveWindow(hwnd());
    TakeForeground(hwnd());
    if (OpenLetterMenu(serial)) return;
    // No menu came (or it came too late, or without the keyboard, and closed
    // at once): the keys held for it go where they were going, so the window
    // in front gets the keyboard back first; the hide, which can take its
    // time, comes after.
    if (front != nullptr && front != hwnd()) SetForegroundWindow(front);
    hook_.MenuRefused(serial);
    if (!shown) ShowWindow(hwnd(), SW_HIDE);
}

void LauncherWindow::ShowLetterMenu() { OpenLetterMenu(0); }

bool LauncherWindow::OpenLetterMenu(unsigned serial) {
    if (letterMenuOpen_ || !letterMenu_) return false;  // one menu at a time
    RECT window;
    GetWindowRect(hwnd(), &window);
    TakeForeground(hwnd());
    letterMenuOpen_ = true;
    menuSummons_ = serial;
    menuShown_ = false;
    menuLate_ = false;
    {
        const MenuKeys keysAsMeant;
        TrackPopupMenu(letterMenu_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, window.left, window.bottom,
                       0, hwnd(), nullptr);
    }
    letterMenuOpen_ = false;
    if (menuShown_) hook_.MenuClosed();
    // Lets the menu close when the user clicks elsewhere next time.
    PostMessageW(hwnd(), WM_NULL, 0, 0);
    PostMessageW(hwnd(), kAtRest, 0, 0);
    return menuShown_ && !menuLate_;
}

void LauncherWindow::ShowTrayMenu() {
    win32::UniqueMenu menu(LoadMenuW(win32::ResourceModule(), MAKEINTRESOURCEW(IDR_TRAY_MENU)));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu.get(), 0);
    CheckMenuItem(popup, ID_RUN_AT_SIGN_IN, MF_BYCOMMAND | (signIn_->Runs() ? MF_CHECKED : MF_UNCHECKED));
    if (!signIn_->Known() || signIn_->Busy()) EnableMenuItem(popup, ID_RUN_AT_SIGN_IN, MF_BYCOMMAND | MF_GRAYED);
    CheckMenuItem(popup, ID_FULL_SCREEN_QUIET, MF_BYCOMMAND | (quietOverFullScreen_ ? MF_CHECKED : MF_UNCHECKED));
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(hwnd());
    trayMenuOpen_ = true;
    TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd(), nullptr);
    trayMenuOpen_ = false;
    PostMessageW(hwnd(), WM_NULL, 0, 0);
    PostMessageW(hwnd(), kAtRest, 0, 0);
}

void LauncherWindow::LaunchSlot(int slot) {
    if (slot < launcher::kFirstEntrySlot || slot >= registrations_.slotEnd) return;
    const launcher::Slot& entry = registrations_.slots[static_cast<std::size_t>(slot)];
    // The keys as they were when the choice was made (the input of the
    // keystroke or click that chose), not as they are now.
    const launcher::LaunchMode mode =
        launcher::LaunchModeFor(GetKeyState(VK_SHIFT) < 0, GetKeyState(VK_CONTROL) < 0);
    // The shell's answer (a refusal at the consent prompt too) is not examined.
    StartAway(
        [shell = shell_, path = entry.path, option = entry.option, mode, owner = hwnd()] {
            const auto request = launcher::LaunchRequest(path, option, mode, [&shell](const std::string& file) {
                return shell->Exists(file);
            });
            if (request) shell->Open(*request, owner);
        },
        true);
}

void LauncherWindow::StartAway(ShellWorker::Job job, bool hideAfter) {
    const HWND window = hwnd();
    const LPARAM summoning = static_cast<LPARAM>(summonings_);
    ShellWorker::Job told = [job = std::move(job), window, hideAfter, summoning] {
        job();
        PostMessageW(window, kShellJobDone, hideAfter ? 1 : 0, summoning);
    };
    if (!worker_->Run(told)) told();  // no thread to be had: here, as a last resort
}

void LauncherWindow::RequestTrayMenu() {
    // A box or menu of the launcher is open: that one comes forward instead.
    if (InModalLoop()) {
        BringOpenDialogForward(hwnd());
        return;
    }
    // The click's right to take the foreground lasts only until the next
    // input; a tray menu without it would not close on a click elsewhere.
    SetForegroundWindow(hwnd());
    if (trayMenuRequested_) return;
    trayMenuRequested_ = true;
    signIn_->Read();
    SetTimer(hwnd(), kTrayMenuTimer, kTrayMenuWaitMs, nullptr);
}

void LauncherWindow::OpenRequestedTrayMenu() {
    if (!trayMenuRequested_) return;
    trayMenuRequested_ = false;
    KillTimer(hwnd(), kTrayMenuTimer);
    // Something opened meanwhile (a summons): the request is dropped, never late.
    if (!InModalLoop()) ShowTrayMenu();
}

void LauncherWindow::DoWhatWaitsForRest() {
    if (InModalLoop() || !IsWindow(hwnd())) return;
    if (!warningsForRest_.empty()) {
        std::vector<std::wstring> warnings;
        warnings.swap(warningsForRest_);
        for (const std::wstring& warning : warnings) ShowWarningBox(warning);
        return;  // the box's end comes back here
    }
}

std::wstring LauncherWindow::PathOfCommand(UINT command) const {
    const int slot = static_cast<int>(command) - launcher::kSlotCommandBase;
    if (command < static_cast<UINT>(launcher::commands::kFirstEntry) || slot >= registrations_.slotEnd) {
        return std::wstring();
    }
    return win32::WideFromCp932(registrations_.slots[static_cast<std::size_t>(slot)].path);
}

void LauncherWindow::ToggleRunAtSignIn() { signIn_->Toggle(); }

void LauncherWindow::ToggleQuietOverFullScreen() {
    win32::ChangeDirectory(startupFolder_);
    const std::string warning = launcher::ToggleFullScreenSetting(quietOverFullScreen_, Files(), kFullScreenFile);
    hook_.SetQuietOverFullScreen(quietOverFullScreen_);
    if (!warning.empty()) ShowWarningBox(win32::WideFromCp932(warning));
}

// The registrar and the help page are named relative to the start-up folder,
// the launcher's working folder for its whole run.
void LauncherWindow::StartRegistrar() {
    // The start goes on beside the ending launcher; the program waits for it
    // once its window is gone (ShellWorker).
    StartAway([shell = shell_] { shell->OpenTyped(L"Parvane.exe", L"", nullptr); }, false);
    EndDialog(IDOK);  // the registrar's new list is read at the next start
}

void LauncherWindow::OpenHelpPage() {
    StartAway([shell = shell_, owner = hwnd()] { shell->OpenTyped(L"help.html", L"", owner); }, false);
}

void LauncherWindow::ShowAboutDialog() {
    // The box stands alone: owned by the launcher's window it would raise that
    // window with it and hand it the keyboard when it closes, hidden or not.
    const OpenWindow open(openWindows_, hwnd());
    AboutDialog about;
    about.RunModal(nullptr);
}

void LauncherWindow::OnOptionsCommand() {
    const OpenWindow open(openWindows_, hwnd());
    win32::ChangeDirectory(startupFolder_);
    tobi::RunOptionsCommand(options_, *this, Files(), kOptionsFile,
                            [this](OptionsDialog& dialog) { return dialog.RunModal(hwnd()); });
    hook_.SetTapRule(options_.countIndex, options_.speed);
}

void LauncherWindow::OnRunFileCommand() {
    const OpenWindow open(openWindows_, hwnd());
    tobi::RunRunFileCommand([this](RunFileDialog& dialog) { return dialog.RunModal(hwnd()); },
                            [this](const std::wstring& file, const std::wstring& parameters) {
                                StartAway(
                                    [shell = shell_, file, parameters, owner = hwnd()] {
                                        shell->OpenTyped(file, parameters, owner);
                                    },
                                    true);
                            });
}

bool LauncherWindow::BringsOpenWindowForward(WORD command) {
    if (openWindows_ == 0 && IsWindowEnabled(hwnd())) return false;
    switch (command) {
        case ID_REGISTER:
        case ID_EXIT:
        case ID_OPTIONS:
        case ID_RUN_FILE:
        case ID_VERSION:
        case IDOK:
            // Nothing to bring forward (it has just closed): the command goes on.
            return BringOpenDialogForward(hwnd());
        default: return false;
    }
}

bool LauncherWindow::OnCommand(WORD id, WORD notification, HWND control) {
    if (id >= launcher::commands::kFirstEntry && id <= launcher::commands::kLastEntry) {
        LaunchSlot(id - launcher::kSlotCommandBase);
        return true;
    }
    // A box or dialog of the launcher is open: what would end the launcher
    // or open another window behind it brings that one forward instead, so
    // that the program never runs on without its window.
    if (BringsOpenWindowForward(id)) return true;
    switch (id) {
        case ID_REGISTER: StartRegistrar(); return true;
        case ID_EXIT: EndDialog(IDOK); return true;
        case ID_OPTIONS: OnOptionsCommand(); return true;
        case ID_VERSION: ShowAboutDialog(); return true;
        // The letter menu's help item opens the same page as the tray's.
        case ID_HELP_PAGE:
        case launcher::commands::kHelpContents: OpenHelpPage(); return true;
        case ID_RUN_FILE: OnRunFileCommand(); return true;
        case ID_RUN_AT_SIGN_IN: ToggleRunAtSignIn(); return true;
        case ID_FULL_SCREEN_QUIET: ToggleQuietOverFullScreen(); return true;
        case IDC_SHOW_LETTER_MENU: ShowLetterMenu(); return true;
        default: return Dialog::OnCommand(id, notification, control);
    }
}

void LauncherWindow::OnCancel() { ShowWindow(hwnd(), SW_HIDE); }

bool LauncherWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    result = 0;
    switch (message) {
        case WM_HSCROLL: OnKeyNotification(static_cast<unsigned>(wParam)); return true;
        case kShellJobDone:
            // Hidden after the start, as after a choice; not when the window was
            // summoned again meanwhile.
            if (wParam != 0 && static_cast<unsigned>(lParam) == summonings_ && !letterMenuOpen_) {
                ShowWindow(hwnd(), SW_HIDE);
            }
            return true;
        case kSignInState: {
            const std::wstring failure = signIn_->Take(lParam);
            if (!failure.empty()) warningsForRest_.push_back(failure);
            OpenRequestedTrayMenu();
            DoWhatWaitsForRest();
            return true;
        }
        case WM_TIMER:
            if (wParam != kTrayMenuTimer) return false;
            OpenRequestedTrayMenu();
            return true;
        case kAtRest: DoWhatWaitsForRest(); return true;
        case kRegistrationReadMessage:
            if (watch_) watch_->TakeRead(std::unique_ptr<ReadResult>(reinterpret_cast<ReadResult*>(lParam)));
            return true;
        case kRegistrationFolderMessage:
            if (watch_) watch_->TakeFolder(reinterpret_cast<HANDLE>(lParam));
            return true;
        case kTrayMessage:
            if (wParam == kTrayIconId && LOWORD(lParam) == WM_RBUTTONUP) PostMessageW(hwnd(), WM_RBUTTONUP, 0, 0);
            return true;
        case WM_RBUTTONUP: RequestTrayMenu(); return true;
        case WM_INITMENUPOPUP:
            FillPopupMenuFromTree(reinterpret_cast<HMENU>(wParam));
            menuIcons_.Decorate(reinterpret_cast<HMENU>(wParam), hwnd());
            // The letter menu is about to show: the keys the hook holds for it go
            // into it. A summons that went meanwhile gets no menu: it would be late.
            // A menu without the keyboard (the program in front kept it) closes
            // too: neither Esc nor a click elsewhere would reach it, and the
            // keys go where they were going.
            if (letterMenuOpen_ && !menuShown_ && reinterpret_cast<HMENU>(wParam) == letterMenu_.get()) {
                menuShown_ = true;
                menuLate_ = (menuSummons_ != 0 && !HasTheKeyboard(hwnd())) || !hook_.MenuOpened(menuSummons_);
                if (menuLate_) EndMenu();
            }
            return false;
        case kMenuIconsArrivedMessage: menuIcons_.TakeArrivedIcons(); return true;
        case WM_MEASUREITEM:
            result = TRUE;
            return menuIcons_.Measure(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam), WindowDpi(hwnd()));
        case WM_DRAWITEM:
            result = TRUE;
            return menuIcons_.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), WindowDpi(hwnd()));
        case WM_MENUCHAR: {
            // With Ctrl held a letter arrives as its control character (Ctrl+A is 1).
            const char letter = launcher::ControlLetter(LOWORD(wParam), IsKeyDown);
            if (letter == 0) return false;
            result = MenuCharAnswer(reinterpret_cast<HMENU>(lParam), letter);
            return true;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) != IDM_ABOUT_SYSTEM) return false;
            if (!BringsOpenWindowForward(ID_VERSION)) ShowAboutDialog();
            return true;
        case WM_PAINT: return win32::PaintMinimizedIcon(hwnd(), icon_.get());
        case WM_QUERYDRAGICON: result = reinterpret_cast<INT_PTR>(icon_.get()); return true;
        case WM_DESTROY: UpdateTrayIcon(TrayOperation::Delete); return false;
        default: break;
    }
    if (message == taskbarCreatedMessage_ && taskbarCreatedMessage_ != 0) {
        UpdateTrayIcon(TrayOperation::Add);
        return true;
    }
    return false;
}

}  // namespace tobi
