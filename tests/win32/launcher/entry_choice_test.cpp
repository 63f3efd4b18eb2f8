// The launcher's choices beyond a plain start, with the real window
// in-process: Shift or Ctrl held when an entry is chosen, a choice made while
// icons are still being fetched, starting with Windows from the tray menu,
// and commands while a dialog or box is open.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "launcher/win32/launcher_window.h"
#include "vantoke/summons.h"
#include "launcher/win32/resource_ids.h"
#include "tests/win32/launcher/held_fetch.h"
#include "tests/win32/launcher/menu_closer.h"
#include "tests/win32/registrar/dialog_answerer.h"
#include "tests/win32/registrar/scratch.h"

namespace {

using launcher::ShellRequest;
using testing_win32::MenuCloser;

// The shell's requests as they come, on the starts' own threads; a start
// waits while `held` is set, as one on a server that does not answer.
class RecordingShell : public tobi::Shell {
public:
    void Open(const ShellRequest& request, HWND) override {
        if (held) WaitForSingleObject(held, 6000);
        std::lock_guard<std::mutex> guard(lock_);
        requests_.push_back(request);
    }
    HANDLE held = nullptr;
    std::vector<ShellRequest> Requests() {
        std::lock_guard<std::mutex> guard(lock_);
        return requests_;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(lock_);
        requests_.clear();
    }

private:
    std::mutex lock_;
    std::vector<ShellRequest> requests_;
};

class RecordingLauncherWindow : public tobi::LauncherWindow {
public:
    RecordingLauncherWindow(tobi::MenuIcons::Fetch iconFetch, std::shared_ptr<RecordingShell> shell,
                            std::shared_ptr<tobi::ShellWorker> worker)
        : LauncherWindow(std::move(iconFetch), std::move(shell), std::move(worker)) {}
    std::wstring shortcutFolder;

protected:
    std::wstring SignInFolder() const override { return shortcutFolder; }
};

// This thread's view of the keyboard (GetKeyState), as when the user holds
// the keys at the choice.
void HoldKeys(bool shift, bool control) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    keys[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(keys);
}

class EntryChoice : public testing::Test {
protected:
    void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    void TearDown() override {
        HoldKeys(false, false);
        if (IsWindow(window.hwnd())) SendMessageW(window.hwnd(), WM_COMMAND, ID_EXIT, 0);
        CoUninitialize();
    }

    // Lets every job of the shell finish and the window take what they posted.
    void FinishJobs() {
        MSG message;
        for (DWORD waited = 0; waited < 10000; waited += 10) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            if (worker->Running() == 0) break;
            Sleep(10);
        }
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }

    testing_win32::ScratchFolder folder;
    MenuCloser menuCloser;  // the letter menu opens at start
    testing_win32::HeldFetch iconFetch;  // held until the test ends
    std::shared_ptr<RecordingShell> shell = std::make_shared<RecordingShell>();
    std::shared_ptr<tobi::ShellWorker> worker = std::make_shared<tobi::ShellWorker>();
    RecordingLauncherWindow window{iconFetch.Fetch(), shell, worker};
};

TEST_F(EntryChoice, ShiftRunsAsAdministratorCtrlShowsTheFolderOrNothingWhenAllIsGone) {
    ASSERT_TRUE(folder.MakeFolder(L"tools"));
    ASSERT_TRUE(folder.WriteFile(L"tools\\a.exe", "x"));
    const std::string tools = folder.Cp932Path() + "tools";
    const std::string entry = tools + "\\a.exe";
    ASSERT_TRUE(folder.WriteFile(L"cr.x", entry + "\t-x\taaa\r\n" + folder.Cp932Path() + "gone\\b.exe\t\tbbb\r\n"));
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    struct Case {
        bool shift, control;
        int command;
        std::optional<ShellRequest> request;
    };
    const Case cases[] = {
        {false, false, 32833, ShellRequest{"", entry, "-x", tools}},
        {true, false, 32833, ShellRequest{"runas", entry, "-x", tools}},
        {false, true, 32833, ShellRequest{"", "explorer.exe", "/select,\"" + entry + "\"", ""}},
        {true, true, 32834, std::nullopt},  // neither the file nor its folder is there
    };
    for (const Case& c : cases) {
        shell->Clear();
        ShowWindow(window.hwnd(), SW_SHOW);
        HoldKeys(c.shift, c.control);
        SendMessageW(window.hwnd(), WM_COMMAND, static_cast<WPARAM>(c.command), 0);
        HoldKeys(false, false);  // the choice was made with the keys as they were
        FinishJobs();
        const std::vector<ShellRequest> requests = shell->Requests();
        EXPECT_EQ(requests.empty() ? std::nullopt : std::optional<ShellRequest>(requests.back()), c.request)
            << "shift " << c.shift << ", ctrl " << c.control;
        EXPECT_LE(requests.size(), 1u);
        EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    }
}

// A start that hangs holds no summons up: taps made meanwhile open the menu at
// once. A summons that reaches the window only after its keys went to the
// program in front (the window's thread held past the limit) opens no menu,
// then or later.
TEST_F(EntryChoice, AStartThatHangsKeepsNoSummonWaitingAndNoneComesLate) {
    ASSERT_TRUE(folder.WriteFile(L"cr.x", folder.Cp932Path() + "a.exe\r\n"));
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    const auto pump = [](DWORD ms) {
        MSG message;
        for (const ULONGLONG end = GetTickCount64() + ms; GetTickCount64() < end; Sleep(10)) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        }
    };
    const auto tapCtrlThreeTimes = [] {
        for (int i = 0; i < 6; ++i) {
            INPUT tap{};
            tap.type = INPUT_KEYBOARD;
            tap.ki.wVk = VK_CONTROL;
            tap.ki.dwFlags = i % 2 ? KEYEVENTF_KEYUP : 0;
            SendInput(1, &tap, sizeof(INPUT));
            Sleep(40);
        }
    };
    shell->held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SendMessageW(window.hwnd(), WM_COMMAND, 32833, 0);
    const int menus = MenuCloser::Closed();
    tapCtrlThreeTimes();
    for (int waited = 0; MenuCloser::Closed() == menus && waited < 3000; waited += 200) pump(200);
    EXPECT_EQ(worker->Running(), 1) << "the start was to be still under way";
    EXPECT_EQ(MenuCloser::Closed(), menus + 1) << "the taps got no menu while the start hung";

    pump(300);
    tapCtrlThreeTimes();
    Sleep(vantoke::Summons::kLimitMs + 500);  // the window's thread busy: the keys go where they were going
    pump(500);
    SetEvent(shell->held);
    FinishJobs();
    EXPECT_EQ(MenuCloser::Closed(), menus + 1) << "a menu for keys long gone";
    EXPECT_EQ(shell->Requests().size(), 1u);
    CloseHandle(shell->held);
}

// Icons are fetched on a worker: while it waits, as on a server that cannot
// be reached, the menu opens and an entry is chosen by its letters.
TEST_F(EntryChoice, AnEntryIsChosenByItsLettersWhileItsIconIsStillFetched) {
    ASSERT_TRUE(folder.WriteFile(L"cr.x", "\\\\server\\share\\abh.exe\r\n\\\\server\\share\\abi.exe\r\n"));
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    for (wchar_t typed : {L'a', L'b', L'h'}) PostMessageW(window.hwnd(), WM_CHAR, typed, 0);
    SendMessageW(window.hwnd(), WM_COMMAND, IDC_SHOW_LETTER_MENU, 0);  // returns when the menu closes
    FinishJobs();
    const std::vector<ShellRequest> requests = shell->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].file, "\\\\server\\share\\abh.exe");
    EXPECT_EQ(iconFetch.Asked(1), 1u) << "the icon was not asked for";
}

// The item is checked for any shortcut of the Startup folder that starts
// this Tobi.exe (whatever its name, working folder or the case of its path);
// unticking removes them all, ticking makes Tobi.lnk working in the start-up
// folder and puts right one that starts another copy. Reading creates no
// folder.
TEST_F(EntryChoice, TheTrayItemShowsAndTogglesTheSignInShortcutsToThisLauncher) {
    ASSERT_TRUE(folder.MakeFolder(L"copy"));
    ASSERT_TRUE(folder.WriteFile(L"copy\\Tobi.exe", "x"));
    window.shortcutFolder = folder.File(L"Startup");
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    bool checked = false;
    MenuCloser::Inspect([&checked](HMENU menu) {
        checked = (GetMenuState(menu, ID_RUN_AT_SIGN_IN, MF_BYCOMMAND) & MF_CHECKED) != 0;
    });
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    std::wstring upper = program;
    CharUpperW(upper.data());
    const std::wstring here = folder.Path().substr(0, folder.Path().size() - 1);  // the start-up folder
    const std::wstring made = program + L" in " + here;
    const struct {
        std::optional<tobi::ShortcutTarget> before;
        const wchar_t* name;  // the shortcut's file name
        bool checked;
        std::wstring after;  // what Tobi.lnk starts afterwards
    } cases[] = {
        {std::nullopt, L"Tobi.lnk", false, made},  // the folder is made only now
        {tobi::ShortcutTarget{program, here}, L"Tobi.lnk", true, L""},
        {tobi::ShortcutTarget{folder.File(L"copy\\Tobi.exe"), here}, L"Tobi.lnk", false, made},  // another copy
        {tobi::ShortcutTarget{program, folder.File(L"copy")}, L"Tobi.lnk", true, L""},  // another folder
        {tobi::ShortcutTarget{upper, here + L"\\"}, L"Tobi.lnk", true, L""},
        {tobi::ShortcutTarget{program, here}, L"by hand.lnk", true, L""},  // never a second one
    };
    for (const auto& c : cases) {
        const auto row = &c - cases;
        const tobi::StartupShortcut shortcut(window.shortcutFolder);
        shortcut.RemoveAll(program);
        shortcut.RemoveAll(folder.File(L"copy\\Tobi.exe"));
        if (c.before) {
            ASSERT_EQ(shortcut.Create(*c.before), 0) << row;
            const std::wstring named = window.shortcutFolder + L"\\" + c.name;
            ASSERT_TRUE(named == shortcut.Path() || MoveFileW(shortcut.Path().c_str(), named.c_str())) << row;
        }
        checked = !c.checked;
        SendMessageW(window.hwnd(), WM_RBUTTONUP, 0, 0);  // the tray menu opens once the state is read
        FinishJobs();
        EXPECT_EQ(checked, c.checked) << row;
        if (row == 0) {
            EXPECT_EQ(GetFileAttributesW(window.shortcutFolder.c_str()), INVALID_FILE_ATTRIBUTES);
        }
        SendMessageW(window.hwnd(), WM_COMMAND, ID_RUN_AT_SIGN_IN, 0);
        FinishJobs();
        EXPECT_EQ(shortcut.Starting(program).size(), c.after.empty() ? 0u : 1u) << row;
        const auto after = tobi::StartupShortcut::Read(shortcut.Path());
        EXPECT_EQ(after ? after->program + L" in " + after->workingFolder : L"", c.after) << row;
    }
}

// While the options, run-file or version dialog or a 警告 box is open, a
// command that would end the launcher or open a window behind it brings the
// open one forward: the program never runs on without its window.
TEST_F(EntryChoice, CommandsThatWouldActBehindAnOpenDialogBringItForward) {
    ASSERT_TRUE(folder.WriteFile(L"afile", "x"));
    window.shortcutFolder = folder.File(L"afile\\Startup");  // cannot be made: a 警告 box
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    testing_win32::DialogAnswerer answerer;
    for (const auto& [command, title] : {std::pair<WORD, const wchar_t*>{ID_RUN_AT_SIGN_IN, L"警告"},
                                         std::pair<WORD, const wchar_t*>{ID_OPTIONS, L"設定"},
                                         std::pair<WORD, const wchar_t*>{ID_RUN_FILE, L"ファイル名を指定して実行"},
                                         std::pair<WORD, const wchar_t*>{ID_VERSION, L"Version Info Tobi.exe"}}) {
        answerer.Then(title, [this, command = command](HWND dialog) {
            if (command == ID_RUN_AT_SIGN_IN) {  // the failure is told with its cause
                const std::wstring told = testing_win32::AllStaticTexts(dialog);
                EXPECT_NE(told.find(L"ショートカットを作成できませんでした"), std::wstring::npos) << told;
                EXPECT_NE(told.find(L"エラーコード"), std::wstring::npos) << told;
            }
            for (int chosen : {ID_REGISTER, ID_EXIT, ID_OPTIONS, ID_RUN_FILE, ID_VERSION, IDOK}) {
                SetForegroundWindow(window.hwnd());
                SendMessageW(window.hwnd(), WM_COMMAND, chosen, 0);
                EXPECT_TRUE(IsWindow(dialog)) << chosen;
                EXPECT_EQ(GetForegroundWindow(), dialog) << chosen;
            }
            testing_win32::PostCommand(dialog, IDCANCEL);
        });
        SendMessageW(window.hwnd(), WM_COMMAND, command, 0);
        FinishJobs();
        EXPECT_TRUE(IsWindow(window.hwnd())) << "the launcher ended behind its " << testing::PrintToString(title);
    }
    EXPECT_TRUE(answerer.Unexpected().empty());
}

}  // namespace
