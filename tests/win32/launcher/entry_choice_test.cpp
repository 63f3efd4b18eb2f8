// The launcher's choices beyond a plain start, with the real window
// in-process: Shift or Ctrl held when an entry is chosen, a choice made while
// icons are still being fetched, starting with Windows from the tray menu,
// and commands while a dialog is open.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "launcher/win32/launcher_window.h"
#include "launcher/win32/resource_ids.h"
#include "tests/win32/launcher/held_fetch.h"
#include "tests/win32/launcher/menu_closer.h"
#include "tests/win32/registrar/dialog_answerer.h"
#include "tests/win32/registrar/scratch.h"

namespace {

using launcher::ShellRequest;
using testing_win32::MenuCloser;

class RecordingLauncherWindow : public tobi::LauncherWindow {
public:
    explicit RecordingLauncherWindow(tobi::MenuIcons::Fetch iconFetch) : LauncherWindow(std::move(iconFetch)) {}
    std::vector<ShellRequest> requests;
    std::wstring shortcutFolder;

protected:
    void RunShell(const ShellRequest& request) override { requests.push_back(request); }
    tobi::StartupShortcut SignInShortcut() const override { return tobi::StartupShortcut(shortcutFolder); }
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

    testing_win32::ScratchFolder folder;
    MenuCloser menuCloser;  // the letter menu opens at start
    testing_win32::HeldFetch iconFetch;  // held until the test ends
    RecordingLauncherWindow window{iconFetch.Fetch()};
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
        {false, false, 32833, ShellRequest{"", entry, "-x", ""}},
        {true, false, 32833, ShellRequest{"runas", entry, "-x", tools}},
        {false, true, 32833, ShellRequest{"", "explorer.exe", "/select,\"" + entry + "\"", ""}},
        {true, true, 32834, std::nullopt},  // neither the file nor its folder is there
    };
    for (const Case& c : cases) {
        window.requests.clear();
        HoldKeys(c.shift, c.control);
        SendMessageW(window.hwnd(), WM_COMMAND, static_cast<WPARAM>(c.command), 0);
        EXPECT_EQ(window.requests.empty() ? std::nullopt : std::optional<ShellRequest>(window.requests.back()),
                  c.request)
            << "shift " << c.shift << ", ctrl " << c.control;
        EXPECT_LE(window.requests.size(), 1u);
        EXPECT_FALSE(IsWindowVisible(window.hwnd()));
    }
}

// Icons are fetched on a worker: while it waits, as on a server that cannot
// be reached, the menu opens and an entry is chosen by its letters.
TEST_F(EntryChoice, AnEntryIsChosenByItsLettersWhileItsIconIsStillFetched) {
    ASSERT_TRUE(folder.WriteFile(L"cr.x", "\\\\server\\share\\abh.exe\r\n\\\\server\\share\\abi.exe\r\n"));
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    for (wchar_t typed : {L'a', L'b', L'h'}) PostMessageW(window.hwnd(), WM_CHAR, typed, 0);
    SendMessageW(window.hwnd(), WM_COMMAND, IDC_SHOW_LETTER_MENU, 0);  // returns when the menu closes
    MSG message;
    while (window.requests.empty() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    ASSERT_EQ(window.requests.size(), 1u);
    EXPECT_EQ(window.requests[0].file, "\\\\server\\share\\abh.exe");
    EXPECT_EQ(iconFetch.Asked(1), 1u) << "the icon was not asked for";
}

// The item is checked only for a shortcut that starts this launcher in its
// folder (whatever the case of the paths); choosing it removes that one and
// makes any other right.
TEST_F(EntryChoice, TheTrayItemShowsAndTogglesTheSignInShortcutToThisLauncherOnly) {
    ASSERT_TRUE(folder.MakeFolder(L"Startup"));
    ASSERT_TRUE(folder.MakeFolder(L"copy"));
    ASSERT_TRUE(folder.WriteFile(L"copy\\Tobi.exe", "x"));
    window.shortcutFolder = folder.File(L"Startup");
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    bool checked = false;
    MenuCloser::Inspect([&checked](HMENU menu) {
        checked = (GetMenuState(menu, ID_RUN_AT_SIGN_IN, MF_BYCOMMAND) & MF_CHECKED) != 0;
    });
    const tobi::StartupShortcut shortcut(window.shortcutFolder);
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    std::wstring upper = program;
    CharUpperW(upper.data());
    const std::wstring here = folder.Path().substr(0, folder.Path().size() - 1);  // the start-up folder
    const struct {
        std::optional<tobi::ShortcutTarget> before;
        bool checked, madeRight;  // or removed
    } cases[] = {
        {std::nullopt, false, true},
        {tobi::ShortcutTarget{program, here}, true, false},
        {tobi::ShortcutTarget{folder.File(L"copy\\Tobi.exe"), here}, false, true},  // another copy
        {tobi::ShortcutTarget{program, folder.File(L"copy")}, false, true},          // another folder
        {tobi::ShortcutTarget{upper, here + L"\\"}, true, false},
    };
    for (const auto& c : cases) {
        const auto row = &c - cases;
        shortcut.Remove();
        ASSERT_TRUE(!c.before || shortcut.Create(*c.before)) << row;
        checked = !c.checked;
        SendMessageW(window.hwnd(), WM_RBUTTONUP, 0, 0);  // the tray menu, closed by the closer
        SendMessageW(window.hwnd(), WM_COMMAND, ID_RUN_AT_SIGN_IN, 0);
        EXPECT_EQ(checked, c.checked) << row;
        const auto after = shortcut.Read();
        EXPECT_EQ(after ? after->program + L" in " + after->workingFolder : L"", c.madeRight ? program + L" in " + here : L"")
            << row;
    }
}

// While the options or run-file dialog is open, a command that would end
// the launcher or open a dialog behind it brings the open one forward.
TEST_F(EntryChoice, CommandsThatWouldActBehindAnOpenDialogBringItForward) {
    ASSERT_NE(window.CreateModeless(nullptr), nullptr);
    testing_win32::DialogAnswerer answerer;
    for (const auto& [command, title] : {std::pair<WORD, const wchar_t*>{ID_OPTIONS, L"設定"},
                                         std::pair<WORD, const wchar_t*>{ID_RUN_FILE, L"ファイル名を指定して実行"}}) {
        answerer.Then(title, [this](HWND dialog) {
            for (WORD chosen : {ID_REGISTER, ID_EXIT, ID_OPTIONS, ID_RUN_FILE}) {
                SetForegroundWindow(window.hwnd());
                SendMessageW(window.hwnd(), WM_COMMAND, chosen, 0);
                EXPECT_TRUE(IsWindow(dialog)) << chosen;
                EXPECT_EQ(GetForegroundWindow(), dialog) << chosen;
            }
            testing_win32::PostCommand(dialog, IDCANCEL);
        });
        SendMessageW(window.hwnd(), WM_COMMAND, command, 0);
        EXPECT_TRUE(IsWindow(window.hwnd())) << "the launcher ended behind its dialog";
    }
    EXPECT_TRUE(answerer.Unexpected().empty());
}

}  // namespace
