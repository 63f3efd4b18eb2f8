// Tobi.exe driven from outside, as a user would: started in a scratch folder,
// summoned with key taps, menus walked by their mnemonics, dialogs answered.
// Launches are checked with probe.exe, which records its working directory and
// command line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "launcher/win32/resource_ids.h"
#include "tests/e2e/driver.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

constexpr DWORD kQuietMs = 1200;  // how long "nothing happens" is watched
const std::string kDefaultOptions =
    "[ K_Index ] =\r\n1\r\n\r\n[ T_Index ] =\r\n1\r\n\r\n[ S_Index ] =\r\n50\r\n";

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll"}));
        ASSERT_EQ(e2e::FindTopWindow({L"Tobi", L"", 0, false}), nullptr)
            << "a launcher from elsewhere is running:\n" << Describe();
    }

    // A copy of probe.exe in a subfolder of its own, so that each entry's
    // launches land in a log of their own.
    std::wstring AddProbe(const std::wstring& subfolder) {
        const std::wstring target = folder.File(subfolder);
        CreateDirectoryW(target.c_str(), nullptr);
        const std::wstring probe = target + L"\\probe.exe";
        EXPECT_TRUE(CopyFileW((e2e::BuildFolder() + L"\\probe.exe").c_str(), probe.c_str(), FALSE));
        return probe;
    }

    void StartLauncher() {
        tobi = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
        ASSERT_TRUE(tobi.IsValid());
    }

    // Starts the launcher and closes the letter menu that every start opens.
    void StartLauncherPastItsMenu() {
        ASSERT_NO_FATAL_FAILURE(StartLauncher());
        HWND menu = WaitForMenu();
        ASSERT_NE(menu, nullptr) << "no letter menu at start\n" << Describe();
        CloseMenu(menu);
    }

    HWND WaitForMenu(DWORD timeoutMs = e2e::kDefaultTimeoutMs) const {
        return e2e::WaitForWindow({L"", e2e::kPopupMenuClass, tobi.Id()}, timeoutMs);
    }
    bool NoMenuFor(DWORD ms) const { return WaitForMenu(ms) == nullptr; }

    void CloseMenu(HWND menu) const {
        e2e::PressKey(VK_ESCAPE);
        ASSERT_TRUE(e2e::WaitForWindowGone(menu)) << Describe();
    }

    // Taps the trigger key three times, quickly, and waits for the menu; the
    // launcher may still be busy with what came before, as a user does not wait.
    HWND Summon(WORD key = VK_CONTROL) const {
        e2e::TapKey(key, 3, 100);
        return WaitForMenu();
    }

    // Summons the menu and walks it with `letters`.
    void Choose(const std::string& letters) const {
        HWND menu = Summon();
        ASSERT_NE(menu, nullptr) << "three Ctrl taps brought no menu\n" << Describe();
        e2e::TypeLetters(letters, 80);
    }

    // Returns once the launcher's thread takes messages again, that is when the
    // command it was running has finished.
    void WaitUntilIdle() const {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, e2e::kDefaultTimeoutMs, &ignored);
    }

    HWND MainWindow() const { return e2e::FindTopWindow({L"Tobi", e2e::kDialogClass, tobi.Id(), false}); }
    HWND WaitForDialog(const std::wstring& title) const {
        return e2e::WaitForWindow({title, e2e::kDialogClass, tobi.Id()});
    }

    // Replaces cr.x under the running launcher as a commit does (a new file
    // renamed over it); returns once the folder's change notification, the
    // one the launcher waits on, has fired.
    void ReplaceRegistrationFile(const std::vector<std::string>& lines) const {
        CreateDirectoryW(folder.File(L"next").c_str(), nullptr);
        ASSERT_TRUE(e2e::WriteRegistrationFile(folder.File(L"next"), lines));
        HANDLE change = FindFirstChangeNotificationW(folder.Path().c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
        EXPECT_TRUE(MoveFileExW(folder.File(L"next\\cr.x").c_str(), folder.File(L"cr.x").c_str(), MOVEFILE_REPLACE_EXISTING));
        ASSERT_EQ(WaitForSingleObject(change, e2e::kDefaultTimeoutMs), WAIT_OBJECT_0);
        FindCloseChangeNotification(change);
    }

    static std::vector<e2e::ProbeRecord> WaitForProbeRecords(const std::wstring& folderPath, std::size_t count,
                                                            DWORD timeoutMs = e2e::kDefaultTimeoutMs) {
        std::vector<e2e::ProbeRecord> records;
        for (DWORD waited = 0; waited <= timeoutMs; waited += 50) {
            records = e2e::ReadProbeLog(folderPath);
            if (records.size() >= count) break;
            e2e::Sleep(50);
        }
        return records;
    }

    // The launcher's menus now open.
    int CountMenus() const {
        std::pair<DWORD, int> search{tobi.Id(), 0};
        EnumWindows(&CountMenu, reinterpret_cast<LPARAM>(&search));
        return search.second;
    }
    static BOOL CALLBACK CountMenu(HWND window, LPARAM search) {
        auto& [process, count] = *reinterpret_cast<std::pair<DWORD, int>*>(search);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        count += owner == process && IsWindowVisible(window) && e2e::WindowClass(window) == e2e::kPopupMenuClass;
        return TRUE;
    }

    static std::wstring Describe() { return e2e::DescribeTopWindows(); }

    // Starts empty_app.exe, another program for the launcher to come over; its window.
    HWND StartOtherProgram(const std::wstring& arguments = L"") {
        EXPECT_TRUE(folder.CopyFromBuild({L"empty_app.exe"}));
        other = e2e::StartProgram(folder.File(L"empty_app.exe"), arguments, folder.Path());
        return e2e::WaitForWindow({L"empty_app", L"", other.Id()});
    }

    e2e::TestFolder folder{L"tobi-launcher-e2e"};
    e2e::Process tobi;  // after `folder`: these end before the folder is removed
    e2e::Process other;
};

TEST_F(LauncherTest, FreshFolderGetsDefaultOptionsEmptyListAndOneMenuAtStart) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    EXPECT_EQ(e2e::ReadFileBytes(folder.File(L"opt.x")), kDefaultOptions);
    EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"opt.x")));
    EXPECT_EQ(e2e::ReadFileBytes(folder.File(L"cr.x")), std::string());
    WaitUntilIdle();  // a second menu of the start would be open by now
    EXPECT_EQ(WaitForMenu(0), nullptr) << "the letter menu opened a second time";

    HWND window = MainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT rect;
    GetWindowRect(window, &rect);
    EXPECT_LT(rect.left, 50);
    EXPECT_LT(rect.top, 50);
    EXPECT_FALSE(tobi.WaitForExit(0));
}

TEST_F(LauncherTest, SecondStartWarnsAndEndsWhileTheFirstKeepsRunning) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    e2e::Process second = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    ASSERT_TRUE(second.IsValid());
    HWND box = e2e::WaitForWindow({L"警告", e2e::kDialogClass, second.Id()});
    ASSERT_NE(box, nullptr) << Describe();
    EXPECT_THAT(e2e::StaticTexts(box), Contains(L"すでに Tobi.exe は、起動されています。"));
    ASSERT_TRUE(e2e::PressButton(box, IDOK));
    ASSERT_TRUE(second.WaitForExit());

    EXPECT_FALSE(tobi.WaitForExit(0));
    EXPECT_NE(Summon(), nullptr) << "the first launcher lost its trigger\n" << Describe();
}

TEST_F(LauncherTest, ThreeCtrlTapsThenNOTStartsTheEntryInItsFolderWithItsOption) {
    const std::wstring probe = AddProbe(L"tools");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {e2e::Cp932(probe) + "\t/a x\tnotepad"}));
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());

    ASSERT_NO_FATAL_FAILURE(Choose("NOT"));
    const auto records = WaitForProbeRecords(folder.File(L"tools"), 1);
    ASSERT_EQ(records.size(), 1u) << Describe();
    EXPECT_EQ(records[0].workingDirectory, folder.File(L"tools"));
    EXPECT_THAT(records[0].commandLine, HasSubstr(L"probe.exe"));
    EXPECT_THAT(records[0].commandLine, ::testing::EndsWith(L" /a x"));
    EXPECT_TRUE(e2e::WaitForWindowGone(MainWindow())) << "the window stays shown after a launch";
}

// Shift held at the choice starts the entry as administrator (under Wine it
// simply starts), Ctrl held shows it in its folder; the tray's start-with-Windows item makes the sign-in
// shortcut to this Tobi.exe, working in its folder, and takes it away again.
// Keys in the open menu keep their meaning: Enter starts the highlighted
// entry, Backspace and Tab nothing; Ctrl with a digit shows the entry's folder.
TEST_F(LauncherTest, ShiftStartsCtrlShowsTheEntryAndTheTrayItemMakesAndRemovesTheSignInShortcut) {
    const std::wstring probe = AddProbe(L"admin");
    std::vector<std::string> lines = {e2e::Cp932(probe) + "\t-a\tadm"};
    for (const wchar_t* name : {L"abh", L"abi", L"abm", L"ab5"}) lines.push_back(e2e::Cp932(AddProbe(name)) + "\t\t" + e2e::Cp932(name));
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), lines));
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    HWND menu = Summon();
    ASSERT_NE(menu, nullptr) << Describe();
    e2e::TypeLetters("AD", 80);
    e2e::KeyDown(VK_SHIFT);
    e2e::TypeLetters("M", 80);
    e2e::KeyUp(VK_SHIFT);
    const auto records = WaitForProbeRecords(folder.File(L"admin"), 1);
    ASSERT_EQ(records.size(), 1u) << Describe();
    EXPECT_EQ(records[0].workingDirectory, folder.File(L"admin"));
    EXPECT_THAT(records[0].commandLine, ::testing::EndsWith(L" -a"));

    // Ctrl held: the entry's folder opens in the file manager instead.
    ASSERT_NE(Summon(), nullptr) << Describe();
    e2e::TypeLetters("AD", 80);
    e2e::KeyDown(VK_CONTROL);
    e2e::TypeLetters("M", 80);
    e2e::KeyUp(VK_CONTROL);
    HWND shown = e2e::WaitForWindow({L"admin", L"", 0});
    EXPECT_NE(shown, nullptr) << "no file manager on the entry's folder\n" << Describe();
    if (shown != nullptr) PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"admin")).size(), 1u) << "Ctrl started the entry";

    ASSERT_NO_FATAL_FAILURE(Choose("AB"));
    e2e::PressKey(VK_RETURN);  // the first item, abh, is highlighted
    EXPECT_EQ(WaitForProbeRecords(folder.File(L"abh"), 1).size(), 1u) << Describe();
    ASSERT_NO_FATAL_FAILURE(Choose("ABX"));
    e2e::PressKey(VK_BACK);  // takes back the X, which matched nothing
    e2e::PressKey(VK_TAB);
    e2e::PressKey(VK_DOWN);
    e2e::KeyDown(VK_SHIFT);
    e2e::PressKey(VK_RETURN);
    e2e::KeyUp(VK_SHIFT);
    EXPECT_EQ(WaitForProbeRecords(folder.File(L"abi"), 1).size(), 1u) << Describe();
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"abh")).size(), 1u) << "Backspace started abh.exe";
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"abm")).size(), 0u) << "Enter started abm.exe";
    ASSERT_NO_FATAL_FAILURE(Choose("AB"));
    e2e::KeyDown(VK_CONTROL);
    e2e::PressKey('5');
    e2e::KeyUp(VK_CONTROL);
    shown = e2e::WaitForWindow({L"ab5", L"", 0});
    EXPECT_NE(shown, nullptr) << "no file manager on the entry's folder\n" << Describe();
    if (shown != nullptr) PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"ab5")).size(), 0u) << "Ctrl+5 started the entry";

    const std::wstring shortcut = e2e::StartupFolder() + L"\\Tobi.lnk";
    DeleteFileW(shortcut.c_str());
    for (bool made : {true, false}) {
        PostMessageW(MainWindow(), WM_TRAY_NOTIFY, ID_TRAY_ICON, WM_RBUTTONUP);
        HWND tray = WaitForMenu();
        ASSERT_NE(tray, nullptr) << Describe();
        e2e::PressKey('W');  // "Windows の起動時に実行(&W)"
        ASSERT_TRUE(e2e::WaitForWindowGone(tray));
        for (DWORD waited = 0; e2e::FileExists(shortcut) != made && waited < e2e::kDefaultTimeoutMs; waited += 50) {
            e2e::Sleep(50);
        }
        WaitUntilIdle();
        EXPECT_EQ(e2e::FileExists(shortcut), made);
        if (!made) break;
        const auto target = e2e::ReadShortcut(shortcut);
        ASSERT_TRUE(target.has_value());
        EXPECT_EQ(target->first, folder.File(L"Tobi.exe"));
        EXPECT_EQ(target->second, folder.Path());
    }
    DeleteFileW(shortcut.c_str());
}

TEST_F(LauncherTest, OneTwoCharacterAndDigitKeysLaunch) {
    const std::wstring one = AddProbe(L"one");
    const std::wstring two = AddProbe(L"two");
    const std::wstring digit = AddProbe(L"digit");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {
                                                              e2e::Cp932(one) + "\t\tk",
                                                              e2e::Cp932(two) + "\t-2\tab",
                                                              e2e::Cp932(digit) + "\t-d\t9x1",
                                                          }));
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());

    ASSERT_NO_FATAL_FAILURE(Choose("K"));
    EXPECT_EQ(WaitForProbeRecords(folder.File(L"one"), 1).size(), 1u) << Describe();
    ASSERT_NO_FATAL_FAILURE(Choose("AB"));
    const auto twoRecords = WaitForProbeRecords(folder.File(L"two"), 1);
    ASSERT_EQ(twoRecords.size(), 1u) << Describe();
    EXPECT_THAT(twoRecords[0].commandLine, ::testing::EndsWith(L" -2"));
    ASSERT_NO_FATAL_FAILURE(Choose("9X1"));
    const auto digitRecords = WaitForProbeRecords(folder.File(L"digit"), 1);
    ASSERT_EQ(digitRecords.size(), 1u) << Describe();
    EXPECT_EQ(digitRecords[0].workingDirectory, folder.File(L"digit"));
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"one")).size(), 1u);
}

// cr.x replaced while the launcher runs: a new entry starts and a removed one
// is gone at the next summons; a choice made in an open menu starts the entry
// it was made for; a bad file keeps the list in use and is told once.
TEST_F(LauncherTest, TheRunningLauncherFollowsCrx) {
    const auto line = [this](const wchar_t* name, const char* key) { return e2e::Cp932(AddProbe(name)) + "\t\t" + key; };
    const std::string alp = line(L"alpha", "alp"), bet = line(L"beta", "bet"), gam = line(L"gamma", "gam"),
                      del = line(L"delta", "del");
    const auto launches = [this](const wchar_t* name, std::size_t count) {
        return WaitForProbeRecords(folder.File(name), count).size() == count;
    };
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {alp, bet}));
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());

    ASSERT_NO_FATAL_FAILURE(ReplaceRegistrationFile({bet, gam}));
    ASSERT_NO_FATAL_FAILURE(Choose("GAM"));
    ASSERT_TRUE(launches(L"gamma", 1)) << "the new entry did not start\n" << Describe();
    ASSERT_NO_FATAL_FAILURE(Choose("ABET"));  // with ALP still there, A would take B E T
    ASSERT_TRUE(launches(L"beta", 1)) << "the removed entry is still there\n" << Describe();

    // Delta takes gamma's slot while the menu is open on gamma's popup.
    ASSERT_NO_FATAL_FAILURE(Choose("GA"));
    ASSERT_NO_FATAL_FAILURE(ReplaceRegistrationFile({bet, del}));
    e2e::TypeLetters("M", 80);
    ASSERT_TRUE(launches(L"gamma", 2)) << Describe();
    ASSERT_NO_FATAL_FAILURE(Choose("DEL"));
    ASSERT_TRUE(launches(L"delta", 1)) << Describe();

    const std::vector<std::string> bad = {bet, del, "no-backslash.exe"};
    ASSERT_NO_FATAL_FAILURE(ReplaceRegistrationFile(bad));
    HWND box = WaitForDialog(L"警告");
    ASSERT_NE(box, nullptr) << Describe();
    EXPECT_THAT(e2e::StaticTexts(box), Contains(HasSubstr(L"3 行目")));
    ASSERT_TRUE(e2e::PressButton(box, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowDestroyed(box));
    ASSERT_NO_FATAL_FAILURE(ReplaceRegistrationFile(bad));
    ASSERT_NO_FATAL_FAILURE(Choose("DEL"));
    ASSERT_TRUE(launches(L"delta", 2)) << "the list in use was lost\n" << Describe();
    EXPECT_EQ(e2e::FindTopWindow({L"警告", e2e::kDialogClass, tobi.Id()}), nullptr) << "the same bad file told twice";
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"alpha")).size(), 0u);
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"delta")).size(), 2u) << "delta started for gamma's choice";
}

// Nothing keeps the launcher from its taps: a folder in cr.x's place, then a
// good list again, then the registrar opened and left with No.
TEST_F(LauncherTest, EveryTapIsAnsweredThroughAFolderNamedCrXAndTheRegistrarsEnd) {
    ASSERT_TRUE(CreateDirectoryW(folder.File(L"cr.x").c_str(), nullptr));
    ASSERT_TRUE(folder.CopyFromBuild({L"Parvane.exe"}));
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    for (int summons = 0; summons < 3; ++summons) {
        HWND menu = Summon();
        ASSERT_NE(menu, nullptr) << "summons " << summons << "\n" << Describe();
        ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
    }
    ASSERT_TRUE(RemoveDirectoryW(folder.File(L"cr.x").c_str()));
    ASSERT_NO_FATAL_FAILURE(ReplaceRegistrationFile({e2e::Cp932(AddProbe(L"abc")) + "\t\tabc"}));
    ASSERT_NO_FATAL_FAILURE(Choose("ABC"));
    ASSERT_EQ(WaitForProbeRecords(folder.File(L"abc"), 1).size(), 1u) << "the good list was not taken\n" << Describe();

    e2e::Process parvane = e2e::StartProgram(folder.File(L"Parvane.exe"), L"", folder.Path());
    HWND dialog = e2e::WaitForWindow({L"Register", e2e::kDialogClass, parvane.Id()});
    ASSERT_NE(dialog, nullptr) << Describe();
    PostMessageW(dialog, WM_CLOSE, 0, 0);  // Esc, as the close box
    HWND question = e2e::WaitForWindow({L"警告", e2e::kDialogClass, parvane.Id()});
    ASSERT_NE(question, nullptr) << Describe();
    ASSERT_TRUE(e2e::PressButton(question, IDNO));
    ASSERT_TRUE(parvane.WaitForExit()) << Describe();
    HWND menu = Summon();
    ASSERT_NE(menu, nullptr) << "no menu after the registrar's end\n" << Describe();
    CloseMenu(menu);
}

TEST_F(LauncherTest, SlowTapsAndChordsDoNotSummonButBareTapsStillDo) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());

    e2e::TapKey(VK_CONTROL, 3, 800);  // gaps above the 520 ms limit
    EXPECT_TRUE(NoMenuFor(kQuietMs)) << "slow taps summoned the menu";

    for (int i = 0; i < 3; ++i) {  // Ctrl+C three times, quickly
        e2e::KeyDown(VK_CONTROL);
        e2e::PressKey('C');
        e2e::KeyUp(VK_CONTROL);
        e2e::Sleep(60);
    }
    EXPECT_TRUE(NoMenuFor(kQuietMs)) << "Ctrl+C chords summoned the menu";

    e2e::Sleep(600);  // a fresh sequence
    EXPECT_NE(Summon(), nullptr) << "bare taps after the chords did not summon\n" << Describe();
}

// The launcher's thread held still, as a slow shell start or a blocking hide
// holds it; taps made meanwhile count as they were made once it is free.
TEST_F(LauncherTest, TapsMadeWhileTheLauncherIsBusyCountWhenTheyWereMade) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    const auto tapWhileBusy = [this](DWORD gapMs) {
        WaitUntilIdle();  // held while it waits for messages, not inside a call
        e2e::BusyThread busy(MainWindow());
        ASSERT_TRUE(busy.IsHeld());
        const DWORD first = GetTickCount() - 3 * gapMs - 100;  // the taps' own times, all past
        for (DWORD i = 0; i < 3; ++i) {
            e2e::KeyAt(VK_CONTROL, false, first + i * gapMs);
            e2e::KeyAt(VK_CONTROL, true, first + i * gapMs + 30);
        }
    };
    ASSERT_NO_FATAL_FAILURE(tapWhileBusy(600));  // above the 520 ms limit
    EXPECT_TRUE(NoMenuFor(kQuietMs)) << "slow taps made while busy summoned the menu";
    ASSERT_NO_FATAL_FAILURE(tapWhileBusy(100));
    HWND menu = WaitForMenu();
    ASSERT_NE(menu, nullptr) << "quick taps made while busy did not summon\n" << Describe();
    CloseMenu(menu);
}

// A practised user does not wait for the menu: taps, and the letters at once,
// 0-50 ms after the last tap and 20-30 ms apart, while the launcher's thread
// is held busy for 2 s (as a hide after a launch holds it on a slow X server).
// Each entry starts, Ctrl held at the choice shows the entry's folder instead,
// and the editor in front gets none of the letters; a typo taken back with
// Backspace ('<') is as if never typed; taps again before the menu shows
// ("-") start nothing, so no menu comes after the launch. Plain typing after
// a tap that completes no summons reaches the editor.
TEST_F(LauncherTest, LettersTypedBeforeTheMenuShowsReachItAndNeverTheProgramInFront) {
    const std::wstring notepad = AddProbe(L"notepad"), calc = AddProbe(L"calc");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(),
                                           {e2e::Cp932(notepad) + "\t\tnotepad", e2e::Cp932(calc) + "\t\tcalc"}));
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    const std::wstring log = folder.File(L"typed.log");
    HWND editor = StartOtherProgram(L"0 \"" + log + L"\"");  // the user's editor: it logs what it is typed
    ASSERT_NE(editor, nullptr) << Describe();
    const auto typed = [&log](const std::string& expected) {  // once it is `expected`, or after the usual wait
        for (DWORD waited = 0; e2e::ReadFileBytes(log) != expected && waited < e2e::kDefaultTimeoutMs; waited += 50) {
            e2e::Sleep(50);
        }
        return e2e::ReadFileBytes(log).value_or("");
    };
    ASSERT_TRUE(e2e::BringToForeground(editor));
    e2e::TapKey(VK_CONTROL, 1, 0);
    e2e::TypeLetters("ABC", 20);
    ASSERT_EQ(typed("abc"), "abc") << "plain typing after a tap";

    const struct {
        DWORD afterTapsMs, gapMs;
        const char* words;  // each after taps of its own, all while the launcher is busy; a small letter with Ctrl
    } bursts[] = {{0, 20, "NOT"}, {25, 30, "CAL"}, {50, 25, "NO<OT"}, {10, 20, "NOT -"}, {30, 20, "CAl"}};
    std::size_t notepads = 0, calcs = 0;
    for (const auto& burst : bursts) {
        ASSERT_TRUE(e2e::BringToForeground(editor)) << Describe();
        WaitUntilIdle();  // held while it waits for messages, not inside a call
        {
            e2e::BusyThread busy(MainWindow());
            ASSERT_TRUE(busy.IsHeld());
            const ULONGLONG start = GetTickCount64();
            std::istringstream words(burst.words);
            for (std::string word; words >> word;) {
                e2e::TapKey(VK_CONTROL, 3, 100);
                e2e::Sleep(burst.afterTapsMs);
                std::string meant;
                for (const char letter : word == "-" ? std::string() : word) {
                    if (std::islower(letter)) e2e::KeyDown(VK_CONTROL);
                    e2e::PressKey(letter == '<' ? WORD{VK_BACK} : static_cast<WORD>(std::toupper(letter)));
                    if (std::islower(letter)) e2e::KeyUp(VK_CONTROL);
                    e2e::Sleep(burst.gapMs);
                    if (letter == '<' && !meant.empty()) meant.pop_back();
                    if (letter != '<') meant += letter;
                }
                notepads += meant == "NOT";
                calcs += meant == "CAL";
            }
            e2e::Sleep(static_cast<DWORD>(2000 - std::min<ULONGLONG>(2000, GetTickCount64() - start)));
        }
        EXPECT_EQ(WaitForProbeRecords(folder.File(L"notepad"), notepads).size(), notepads) << Describe();
        EXPECT_EQ(WaitForProbeRecords(folder.File(L"calc"), calcs).size(), calcs) << Describe();
        if (std::string(burst.words).find('-') != std::string::npos) {
            WaitUntilIdle();
            EXPECT_EQ(CountMenus(), 0) << "a menu nobody asked for, after " << burst.words << "\n" << Describe();
        }
    }
    HWND shown = e2e::WaitForWindow({L"calc", L"", 0});
    EXPECT_NE(shown, nullptr) << "no file manager on the entry's folder\n" << Describe();
    if (shown != nullptr) PostMessageW(shown, WM_CLOSE, 0, 0);
    EXPECT_EQ(e2e::ReadProbeLog(folder.File(L"calc")).size(), calcs) << "Ctrl started the entry";
    ASSERT_TRUE(e2e::BringToForeground(editor)) << Describe();
    e2e::TypeLetters("Z");
    EXPECT_EQ(typed("abcz"), "abcz") << "the editor got letters meant for the menu";
}

// The program in front made borderless over the whole (only) monitor, as a game
// or a presentation is, or maximised with its title bar, as a window at work is.
void ShapeAndRaise(HWND window, bool fullScreen) {
    SetWindowLongW(window, GWL_STYLE, (fullScreen ? WS_POPUP : WS_OVERLAPPEDWINDOW) | WS_VISIBLE);
    SetWindowPos(window, HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), SWP_FRAMECHANGED);
    if (!fullScreen) ShowWindow(window, SW_MAXIMIZE);
    ASSERT_TRUE(e2e::BringToForeground(window));
}

TEST_F(LauncherTest, MenuTakesTheKeyboardFromTheProgramInFrontButTheVersionBoxLeavesIt) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    HWND front = StartOtherProgram();
    ASSERT_NE(front, nullptr) << Describe();
    ASSERT_TRUE(e2e::BringToForeground(front));
    ASSERT_EQ(GetForegroundWindow(), front);

    // The version box from the launcher's system menu, closed again.
    PostMessageW(MainWindow(), WM_SYSCOMMAND, 0x10, 0);
    HWND about = WaitForDialog(L"Version Info Tobi.exe");
    ASSERT_NE(about, nullptr) << Describe();
    ASSERT_TRUE(e2e::PressButton(about, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowGone(about));
    WaitUntilIdle();
    EXPECT_EQ(GetForegroundWindow(), front) << "the launcher's window took the keyboard";
    EXPECT_TRUE(e2e::IsAbove(front, MainWindow())) << "the launcher's window was raised";

    ASSERT_NO_FATAL_FAILURE(Choose("EXI"));  // the letters must reach the menu
    ASSERT_TRUE(tobi.WaitForExit()) << "the letters went elsewhere\n" << Describe();

    // No menu over a full-screen program until the tray item is turned off, which a restart keeps.
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    const auto trayItem = [this](WORD mnemonic) {
        PostMessageW(MainWindow(), WM_TRAY_NOTIFY, ID_TRAY_ICON, WM_RBUTTONUP);
        HWND tray = WaitForMenu();
        ASSERT_NE(tray, nullptr) << Describe();
        e2e::PressKey(mnemonic);
        ASSERT_TRUE(e2e::WaitForWindowGone(tray));
    };
    const std::wstring setting = folder.File(L"fullscreen.x");

    ASSERT_NO_FATAL_FAILURE(ShapeAndRaise(front, false));
    HWND menu = Summon();
    ASSERT_NE(menu, nullptr) << "no menu over a maximised window\n" << Describe();
    CloseMenu(menu);
    ASSERT_NO_FATAL_FAILURE(ShapeAndRaise(front, true));
    e2e::TapKey(VK_CONTROL, 3, 100);
    EXPECT_TRUE(NoMenuFor(kQuietMs)) << "the menu opened over a full-screen program";
    EXPECT_EQ(GetForegroundWindow(), front) << "the full-screen program lost the keyboard";
    EXPECT_FALSE(e2e::FileExists(setting)) << "the default needs no file";

    ASSERT_NO_FATAL_FAILURE(trayItem('F'));  // "全画面表示中は呼び出さない(&F)", checked until now
    WaitUntilIdle();
    const std::string off = "[ FullScreen_NoSummon ] =\r\n0\r\n";
    EXPECT_EQ(e2e::ReadFileBytes(setting), off);
    EXPECT_TRUE(e2e::IsReadOnly(setting));
    EXPECT_EQ(e2e::ReadFileBytes(folder.File(L"opt.x")), kDefaultOptions);
    ASSERT_TRUE(e2e::BringToForeground(front));
    ASSERT_NO_FATAL_FAILURE(Choose("EXI"));  // turned off, the menu comes over the full-screen program
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_TRUE(e2e::BringToForeground(front));
    menu = Summon();
    ASSERT_NE(menu, nullptr) << "the restart forgot the choice\n" << Describe();
    CloseMenu(menu);

    // A file held by another program: a 警告 box, and the old file stays whole.
    win32::UniqueKernelHandle held(
        CreateFileW(setting.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    ASSERT_NO_FATAL_FAILURE(trayItem('F'));
    HWND box = e2e::WaitForWindow({L"警告", e2e::kDialogClass, tobi.Id()});
    ASSERT_NE(box, nullptr) << Describe();
    EXPECT_THAT(e2e::StaticTexts(box), Contains(HasSubstr(L"fullscreen.x を使用中")));
    ASSERT_TRUE(e2e::PressButton(box, IDOK));
    held.reset();
    EXPECT_EQ(e2e::ReadFileBytes(setting), off);
}

TEST_F(LauncherTest, EXIEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_NO_FATAL_FAILURE(Choose("EXI"));
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
    EXPECT_EQ(tobi.ExitCode(), 0u);
}

TEST_F(LauncherTest, REGStartsTheRegistrarFromTheStartupFolderAndEnds) {
    // probe.exe stands in for the registrar and records how it was started.
    ASSERT_TRUE(CopyFileW((e2e::BuildFolder() + L"\\probe.exe").c_str(), folder.File(L"Parvane.exe").c_str(), FALSE));
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_NO_FATAL_FAILURE(Choose("REG"));
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
    const auto records = WaitForProbeRecords(folder.Path(), 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].workingDirectory, folder.Path());
    EXPECT_THAT(records[0].commandLine, HasSubstr(L"Parvane.exe"));
}

TEST_F(LauncherTest, REGEndsTheLauncherAlsoWithoutARegistrar) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_NO_FATAL_FAILURE(Choose("REG"));
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
    EXPECT_EQ(tobi.ExitCode(), 0u);
}

TEST_F(LauncherTest, MalformedListGivesTheFatalBoxAndTheEnd) {
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {"C:\\ok\\a.exe", "no-backslash.exe"}));
    ASSERT_NO_FATAL_FAILURE(StartLauncher());
    HWND box = e2e::WaitForWindow({L"警告", e2e::kDialogClass, tobi.Id()});
    ASSERT_NE(box, nullptr) << Describe();
    EXPECT_THAT(e2e::StaticTexts(box), Contains(HasSubstr(L"予期しないエラーが発生しました。")));
    EXPECT_EQ(WaitForMenu(0), nullptr);
    ASSERT_TRUE(e2e::PressButton(box, IDOK));
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
    EXPECT_EQ(WaitForMenu(0), nullptr);
}

TEST_F(LauncherTest, EscapeHidesTheWindowAndEnterEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    HWND window = MainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(e2e::BringToForeground(window));
    e2e::PressKey(VK_ESCAPE);
    ASSERT_TRUE(e2e::WaitForWindowGone(window)) << "Esc did not hide the window";
    EXPECT_FALSE(tobi.WaitForExit(0));

    HWND menu = Summon();  // the trigger shows the window again
    ASSERT_NE(menu, nullptr) << Describe();
    EXPECT_TRUE(IsWindowVisible(window));
    CloseMenu(menu);
    ASSERT_TRUE(e2e::BringToForeground(window));
    e2e::PressKey(VK_RETURN);
    ASSERT_TRUE(tobi.WaitForExit()) << "Enter did not end the program\n" << Describe();
}

TEST_F(LauncherTest, TrayRightClickOpensTheTrayMenu) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    HWND window = MainWindow();
    ASSERT_NE(window, nullptr);
    constexpr UINT kTrayMessage = WM_TRAY_NOTIFY;
    constexpr WPARAM kShowLetterMenu = 1009;
    SetCursorPos(600, 500);  // a tray menu opens here, the letter menu at the window's corner
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, kTrayMessage, 99, WM_RBUTTONUP, SMTO_NORMAL, e2e::kDefaultTimeoutMs, &ignored);
    SendMessageTimeoutW(window, kTrayMessage, 100, WM_LBUTTONUP, SMTO_NORMAL, e2e::kDefaultTimeoutMs, &ignored);
    // Not our icon, not the right button: no tray menu. The launcher takes
    // what it is posted in order, so a tray menu asked for by these two
    // would open before the letter menu asked for now.
    PostMessageW(window, WM_COMMAND, kShowLetterMenu, 0);
    HWND menu = WaitForMenu();
    ASSERT_NE(menu, nullptr) << Describe();
    RECT windowRect;
    RECT menuRect;
    GetWindowRect(window, &windowRect);
    GetWindowRect(menu, &menuRect);
    EXPECT_EQ(menuRect.left, windowRect.left) << "a tray menu opened";
    EXPECT_EQ(menuRect.top, windowRect.bottom) << "a tray menu opened";
    EXPECT_EQ(CountMenus(), 1);
    CloseMenu(menu);

    PostMessageW(window, kTrayMessage, 100, WM_RBUTTONUP);
    ASSERT_NE(WaitForMenu(), nullptr) << Describe();
    e2e::PressKey('X');  // "終了(&X)"
    ASSERT_TRUE(tobi.WaitForExit()) << Describe();
}

TEST_F(LauncherTest, VERShowsTheVersionBox) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_NO_FATAL_FAILURE(Choose("VER"));
    HWND about = WaitForDialog(L"Version Info Tobi.exe");
    ASSERT_NE(about, nullptr) << Describe();
    EXPECT_THAT(e2e::StaticTexts(about), Contains(L"Tobi.exe   Ver 2.15\n2000-04-08"));
    ASSERT_TRUE(e2e::PressButton(about, IDOK));
    EXPECT_TRUE(e2e::WaitForWindowGone(about));
    EXPECT_FALSE(tobi.WaitForExit(0));
}

// ---- The options and run-file dialogs -----------------------------------------

TEST_F(LauncherTest, OPTChoosingShiftMakesShiftTapsSummon) {
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_NO_FATAL_FAILURE(Choose("OPT"));
    HWND options = WaitForDialog(L"設定");
    ASSERT_NE(options, nullptr) << Describe();
    EXPECT_EQ(e2e::WindowText(GetDlgItem(options, 1012)), L"Ctrl");
    SendMessageW(GetDlgItem(options, 1012), CB_SETCURSEL, 2, 0);  // Shift
    ASSERT_TRUE(e2e::PressButton(options, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowGone(options));
    WaitUntilIdle();

    const std::string shift = "[ K_Index ] =\r\n2\r\n\r\n[ T_Index ] =\r\n1\r\n\r\n[ S_Index ] =\r\n50\r\n";
    EXPECT_EQ(e2e::ReadFileBytes(folder.File(L"opt.x")), shift);
    EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"opt.x")));

    e2e::TapKey(VK_CONTROL, 3, 100);
    EXPECT_TRUE(NoMenuFor(kQuietMs)) << "Ctrl still summons after Shift was chosen";
    EXPECT_NE(Summon(VK_SHIFT), nullptr) << "Shift taps did not summon\n" << Describe();
}

TEST_F(LauncherTest, EXEStartsTheTypedFileWithItsOption) {
    const std::wstring probe = AddProbe(L"any");
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_NO_FATAL_FAILURE(Choose("EXE"));
    HWND run = WaitForDialog(L"ファイル名を指定して実行");
    ASSERT_NE(run, nullptr) << Describe();
    EXPECT_EQ(e2e::WindowText(GetDlgItem(run, 1002)), L"");
    SetWindowTextW(GetDlgItem(run, 1002), probe.c_str());
    SetWindowTextW(GetDlgItem(run, 1005), L"-k \"two words\"");
    ASSERT_TRUE(e2e::PressButton(run, IDOK));

    const auto records = WaitForProbeRecords(folder.File(L"any"), 1);
    ASSERT_EQ(records.size(), 1u) << Describe();
    EXPECT_EQ(records[0].workingDirectory, folder.Path());  // the launcher's own folder
    EXPECT_THAT(records[0].commandLine, ::testing::EndsWith(L" -k \"two words\""));
    EXPECT_TRUE(e2e::WaitForWindowGone(MainWindow()));
}

TEST_F(LauncherTest, EXEThenEscapeStartsNothingAndKeepsTheWindow) {
    const std::wstring probe = AddProbe(L"any");
    ASSERT_NO_FATAL_FAILURE(StartLauncherPastItsMenu());
    ASSERT_NO_FATAL_FAILURE(Choose("EXE"));
    HWND run = WaitForDialog(L"ファイル名を指定して実行");
    ASSERT_NE(run, nullptr) << Describe();
    SetWindowTextW(GetDlgItem(run, 1002), probe.c_str());
    ASSERT_TRUE(e2e::BringToForeground(run));
    e2e::PressKey(VK_ESCAPE);
    ASSERT_TRUE(e2e::WaitForWindowDestroyed(run)) << "Esc did not close the dialog";

    WaitUntilIdle();  // the command has ended: a start would have hidden the window
    EXPECT_TRUE(e2e::ReadProbeLog(folder.File(L"any")).empty());
    HWND window = MainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(tobi.WaitForExit(0));
}

}  // namespace
