// Tobi.exe's start under stress: ten copies started at once, a copy that died,
// another program's window titled "Tobi", and a start-up folder without write
// access; and opt.x held open by another program when the options are saved.
#include <windows.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/e2e/read_only_folder.h"

namespace {

using ::testing::Contains;

constexpr DWORD kQuietMs = 1200;  // how long "nothing happens" is watched
constexpr int kExitCommand = 32813;
constexpr int kKeyList = 1012;
constexpr int kCountList = 1003;
constexpr int kSpeedSlider = 1008;
const std::wstring kAlreadyRunning = L"すでに Tobi.exe は、起動されています。";

std::wstring Describe() { return e2e::DescribeTopWindows(); }

HWND MainWindowOf(const e2e::Process& process) {
    return e2e::FindTopWindow({L"Tobi", e2e::kDialogClass, process.Id(), false});
}
HWND WarningOf(const e2e::Process& process) {
    return e2e::FindTopWindow({L"警告", e2e::kDialogClass, process.Id()});
}
HWND WaitForMenu(const e2e::Process& process, DWORD timeoutMs = e2e::kDefaultTimeoutMs) {
    return e2e::WaitForWindow({L"", e2e::kPopupMenuClass, process.Id()}, timeoutMs);
}

BOOL CALLBACK CountTobiWindow(HWND window, LPARAM count) {
    if (e2e::WindowText(window) == L"Tobi") ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Every top-level window titled "Tobi", visible or not, of any program.
int CountWindowsTitledTobi() {
    int count = 0;
    EnumWindows(&CountTobiWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

int CountFiles(const std::wstring& pattern) {
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

// Returns once the launcher's thread takes messages again.
void WaitUntilIdle(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, e2e::kDefaultTimeoutMs, &ignored);
}

// Esc to the menu's own thread: the menu need not have the keyboard (nine
// message boxes may have come up over it).
void CloseMenu(HWND menu) {
    PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0);
    ASSERT_TRUE(e2e::WaitForWindowGone(menu)) << Describe();
}

class LauncherStartup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CountWindowsTitledTobi(), 0) << "a launcher from elsewhere is running:\n" << Describe();
    }

    // Ends a launcher the way the user does, so that it leaves no tray icon.
    static void Exit(e2e::Process& launcher) {
        HWND window = MainWindowOf(launcher);
        ASSERT_NE(window, nullptr) << Describe();
        PostMessageW(window, WM_COMMAND, kExitCommand, 0);
        ASSERT_TRUE(launcher.WaitForExit()) << Describe();
        EXPECT_EQ(launcher.ExitCode(), 0u);
    }

    // A second start's box: the message, then OK, then the program's end.
    static void ExpectAlreadyRunningAndEnd(e2e::Process& second) {
        HWND box = e2e::WaitForWindow({L"警告", e2e::kDialogClass, second.Id()});
        ASSERT_NE(box, nullptr) << Describe();
        EXPECT_THAT(e2e::StaticTexts(box), Contains(kAlreadyRunning));
        EXPECT_EQ(MainWindowOf(second), nullptr);
        ASSERT_TRUE(e2e::PressButton(box, IDOK));
        ASSERT_TRUE(second.WaitForExit()) << Describe();
        EXPECT_EQ(second.ExitCode(), 0u);
    }

    e2e::TestFolder folder{L"tobi-startup-e2e"};
};

TEST_F(LauncherStartup, TenLaunchersStartedAtOnceLeaveExactlyOneRunning) {
    ASSERT_TRUE(folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll"}));
    constexpr int kCopies = 10;
    std::vector<e2e::Process> launchers;
    for (int i = 0; i < kCopies; ++i) {
        launchers.push_back(e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path()));
        ASSERT_TRUE(launchers.back().IsValid());
    }

    // Each copy ends up either running (its window) or warning (its box).
    std::vector<HWND> windows(kCopies, nullptr);
    std::vector<HWND> boxes(kCopies, nullptr);
    int running = 0;
    int warned = 0;
    const ULONGLONG deadline = GetTickCount64() + 90000;
    while (running + warned < kCopies && GetTickCount64() < deadline) {
        running = warned = 0;
        for (int i = 0; i < kCopies; ++i) {
            if (!boxes[i]) boxes[i] = WarningOf(launchers[i]);
            if (!windows[i]) windows[i] = MainWindowOf(launchers[i]);
            running += windows[i] != nullptr;
            warned += boxes[i] != nullptr;
        }
        e2e::Sleep(50);
    }
    ASSERT_EQ(running, 1) << Describe();
    ASSERT_EQ(warned, kCopies - 1) << Describe();

    int first = -1;
    for (int i = 0; i < kCopies; ++i) {
        if (windows[i] != nullptr) {
            EXPECT_EQ(boxes[i], nullptr) << "the running copy warned as well";
            first = i;
            continue;
        }
        EXPECT_THAT(e2e::StaticTexts(boxes[i]), Contains(kAlreadyRunning));
        ASSERT_TRUE(e2e::PressButton(boxes[i], IDOK));
    }
    for (int i = 0; i < kCopies; ++i) {
        if (i == first) continue;
        ASSERT_TRUE(launchers[i].WaitForExit()) << "copy " << i << " did not end\n" << Describe();
        EXPECT_EQ(launchers[i].ExitCode(), 0u);
    }
    EXPECT_FALSE(launchers[first].WaitForExit(0)) << "the running copy ended";
    EXPECT_EQ(CountWindowsTitledTobi(), 1);

    // The one running copy is a whole launcher: its start-up menu came.
    HWND menu = WaitForMenu(launchers[first]);
    ASSERT_NE(menu, nullptr) << Describe();
    ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
    ASSERT_NO_FATAL_FAILURE(Exit(launchers[first]));
}

TEST_F(LauncherStartup, ALauncherThatDiedDoesNotBlockTheNextStartButARunningOneDoes) {
    ASSERT_TRUE(folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll"}));
    e2e::Process crashed = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    ASSERT_NE(WaitForMenu(crashed), nullptr) << Describe();
    crashed.Terminate();  // no clean end: its claim on the single instance is abandoned
    ASSERT_TRUE(crashed.WaitForExit());

    e2e::Process next = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    HWND menu = WaitForMenu(next);
    ASSERT_NE(menu, nullptr) << "the dead launcher still blocks\n" << Describe();
    EXPECT_EQ(WarningOf(next), nullptr);
    ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));

    // While it runs, a further start is refused as before.
    e2e::Process third = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    ASSERT_NO_FATAL_FAILURE(ExpectAlreadyRunningAndEnd(third));
    EXPECT_FALSE(next.WaitForExit(0));
    ASSERT_NO_FATAL_FAILURE(Exit(next));
}

TEST_F(LauncherStartup, ARefusedCopyStillShowingItsBoxDoesNotBlockOnceTheFirstHasEnded) {
    ASSERT_TRUE(folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll"}));
    e2e::Process first = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    HWND menu = WaitForMenu(first);
    ASSERT_NE(menu, nullptr) << Describe();
    ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
    e2e::Process refused = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    HWND box = e2e::WaitForWindow({L"警告", e2e::kDialogClass, refused.Id()});
    ASSERT_NE(box, nullptr) << Describe();
    ASSERT_NO_FATAL_FAILURE(Exit(first));

    // The box is still up; the next start runs all the same.
    e2e::Process next = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    menu = WaitForMenu(next);
    ASSERT_NE(menu, nullptr) << Describe();
    EXPECT_EQ(WarningOf(next), nullptr);
    ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
    ASSERT_TRUE(e2e::PressButton(box, IDOK));
    ASSERT_TRUE(refused.WaitForExit()) << Describe();
    ASSERT_NO_FATAL_FAILURE(Exit(next));
}

TEST_F(LauncherStartup, AnyWindowTitledTobiStillBlocksTheStart) {
    ASSERT_TRUE(folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll"}));
    HWND impostor = CreateWindowExW(0, L"STATIC", L"Tobi", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(impostor, nullptr);
    e2e::Process blocked = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    ASSERT_NO_FATAL_FAILURE(ExpectAlreadyRunningAndEnd(blocked));
    DestroyWindow(impostor);

    // Its claim was given back: the next start runs.
    e2e::Process next = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    HWND menu = WaitForMenu(next);
    ASSERT_NE(menu, nullptr) << Describe();
    ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
    ASSERT_NO_FATAL_FAILURE(Exit(next));
}

TEST_F(LauncherStartup, AFolderWithoutWriteAccessRunsOnDefaultsInMemoryAndSaysNothing) {
    const std::wstring locked = folder.File(L"locked");
    ASSERT_TRUE(CreateDirectoryW(locked.c_str(), nullptr));
    for (const wchar_t* name : {L"Tobi.exe", L"Vantoke.dll"}) {
        ASSERT_TRUE(CopyFileW((e2e::BuildFolder() + L"\\" + name).c_str(), (locked + L"\\" + name).c_str(), FALSE));
    }
    e2e::ReadOnlyFolder readOnly(locked);
    if (!readOnly.Denies()) GTEST_SKIP() << "no folder without write access here: " << readOnly.How();

    e2e::Process tobi = e2e::StartProgram(locked + L"\\Tobi.exe", L"", locked);
    HWND menu = WaitForMenu(tobi);
    ASSERT_NE(menu, nullptr) << "no letter menu at start\n" << Describe();
    EXPECT_EQ(WarningOf(tobi), nullptr);
    ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
    HWND window = MainWindowOf(tobi);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(e2e::FileExists(locked + L"\\opt.x"));
    EXPECT_FALSE(e2e::FileExists(locked + L"\\cr.x"));

    // The defaults: three Ctrl taps summon; the options dialog shows them.
    WaitUntilIdle(window);
    e2e::TapKey(VK_CONTROL, 3, 100);
    ASSERT_NE(WaitForMenu(tobi), nullptr) << "the default trigger does not work\n" << Describe();
    e2e::TypeLetters("OPT", 80);
    HWND options = e2e::WaitForWindow({L"設定", e2e::kDialogClass, tobi.Id()});
    ASSERT_NE(options, nullptr) << Describe();
    EXPECT_EQ(e2e::WindowText(GetDlgItem(options, kKeyList)), L"Ctrl");
    EXPECT_EQ(e2e::WindowText(GetDlgItem(options, kCountList)), L"3");
    EXPECT_EQ(SendMessageW(GetDlgItem(options, kSpeedSlider), TBM_GETPOS, 0, 0), 50);

    // A new key cannot be saved: it is used all the same, without a word.
    SendMessageW(GetDlgItem(options, kKeyList), CB_SETCURSEL, 2, 0);  // Shift
    ASSERT_TRUE(e2e::PressButton(options, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowDestroyed(options));
    WaitUntilIdle(window);  // the command has ended; a box of its would be up
    EXPECT_EQ(WarningOf(tobi), nullptr) << Describe();
    EXPECT_FALSE(e2e::FileExists(locked + L"\\opt.x"));

    e2e::TapKey(VK_CONTROL, 3, 100);
    EXPECT_EQ(WaitForMenu(tobi, kQuietMs), nullptr) << "Ctrl still summons";
    e2e::TapKey(VK_SHIFT, 3, 100);
    ASSERT_NE(WaitForMenu(tobi), nullptr) << "the Shift kept in memory does not summon\n" << Describe();
    e2e::TypeLetters("EXI", 80);
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
    EXPECT_EQ(tobi.ExitCode(), 0u);
}

TEST_F(LauncherStartup, OptXHeldOpenByAnotherProgramIsLeftWholeAndTheNewKeyWorksAllTheSame) {
    ASSERT_TRUE(folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll"}));
    e2e::Process tobi = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    HWND menu = WaitForMenu(tobi);
    ASSERT_NE(menu, nullptr) << Describe();
    ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
    const auto defaults = e2e::ReadFileBytes(folder.File(L"opt.x"));
    ASSERT_TRUE(defaults.has_value());
    HANDLE held = CreateFileW(folder.File(L"opt.x").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    HWND window = MainWindowOf(tobi);
    ASSERT_NE(window, nullptr);
    WaitUntilIdle(window);
    e2e::TapKey(VK_CONTROL, 3, 100);
    ASSERT_NE(WaitForMenu(tobi), nullptr) << Describe();
    e2e::TypeLetters("OPT", 80);
    HWND options = e2e::WaitForWindow({L"設定", e2e::kDialogClass, tobi.Id()});
    ASSERT_NE(options, nullptr) << Describe();
    SendMessageW(GetDlgItem(options, kKeyList), CB_SETCURSEL, 2, 0);  // Shift
    ASSERT_TRUE(e2e::PressButton(options, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowDestroyed(options));
    WaitUntilIdle(window);  // the command has ended; a box of its would be up
    EXPECT_EQ(WarningOf(tobi), nullptr) << Describe();
    CloseHandle(held);
    EXPECT_EQ(e2e::ReadFileBytes(folder.File(L"opt.x")), defaults);
    EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"opt.x")));
    EXPECT_EQ(CountFiles(folder.File(L"opt.x.tmp*")), 0) << "a temporary was left behind";

    WaitUntilIdle(window);
    e2e::TapKey(VK_SHIFT, 3, 100);
    ASSERT_NE(WaitForMenu(tobi), nullptr) << "the Shift kept in memory does not summon\n" << Describe();
    e2e::TypeLetters("EXI", 80);
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
}

}  // namespace
