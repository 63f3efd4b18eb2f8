// Parvane.exe run in a scratch folder and answered from outside, as a user
// would: the whole commit with its dialogs, Cancel, a cr.x that another program
// holds open at the commit or at the start, or removes meanwhile. A copy of
// probe.exe named Tobi.exe records whether and from where the registrar starts
// the launcher.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/e2e/driver.h"
#include "tests/support/list_box_items.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Control ids of Parvane's dialogs.
constexpr int kCountEdit = 1001;
constexpr int kNameEdit = 1002;
constexpr int kMessageText = 1003;
constexpr int kList = 1005;
constexpr int kDelete = 1007;
constexpr int kUseName = 1011;

const std::wstring kQuestion = L"Tobi.exeを起動しますか ？";

std::wstring ControlText(HWND dialog, int id) { return e2e::WindowText(GetDlgItem(dialog, id)); }

std::vector<std::wstring> ListItems(HWND dialog, int id) { return ListBoxItems(GetDlgItem(dialog, id)); }

// Polls until the control shows `text`; false after the timeout.
bool WaitForControlText(HWND dialog, int id, const std::wstring& text) {
    for (int i = 0; i < 250; ++i) {
        if (ControlText(dialog, id) == text) return true;
        e2e::Sleep(20);
    }
    return false;
}

class RegistrarEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.CopyFromBuild({L"Parvane.exe", L"probe.exe"}));
        ASSERT_TRUE(CopyFileW(folder.File(L"probe.exe").c_str(), folder.File(L"Tobi.exe").c_str(), FALSE));
    }

    // An empty file in the scratch folder; returns its full path in cp932.
    std::string Touch(const std::wstring& name) {
        EXPECT_TRUE(e2e::WriteFileBytes(folder.File(name), "x"));
        return e2e::Cp932(folder.File(name));
    }
    std::string CrX() { return e2e::ReadFileBytes(folder.File(L"cr.x")).value_or("<no cr.x>"); }

    // Starts Parvane.exe in the folder and waits for its main dialog.
    HWND Start() {
        parvane = e2e::StartProgram(folder.File(L"Parvane.exe"), L"", folder.Path());
        if (!parvane.IsValid()) return nullptr;
        return Wait(L"Register");
    }
    HWND Wait(const std::wstring& title) {
        HWND window = e2e::WaitForWindow({title, e2e::kDialogClass, parvane.Id()});
        EXPECT_NE(window, nullptr) << "no window \"" << testing::PrintToString(title) << "\"; shown:\n"
                                   << testing::PrintToString(e2e::DescribeTopWindows());
        return window;
    }
    // Answers the question about the launcher and waits for the program's end.
    void AnswerQuestionAndWaitForExit(int answer) {
        HWND question = Wait(L"警告");
        ASSERT_NE(question, nullptr);
        EXPECT_THAT(e2e::StaticTexts(question), Contains(kQuestion));
        ASSERT_TRUE(e2e::PressButton(question, answer));
        ASSERT_TRUE(parvane.WaitForExit());
        EXPECT_EQ(parvane.ExitCode(), 0u);
    }

    // The starts of the Tobi.exe stand-in, once it has had time to record one.
    std::vector<e2e::ProbeRecord> WaitForProbe() {
        std::vector<e2e::ProbeRecord> starts;
        for (int i = 0; i < 250 && starts.empty(); ++i) {
            e2e::Sleep(20);
            starts = e2e::ReadProbeLog(folder.Path());
        }
        return starts;
    }

    e2e::TestFolder folder{L"parvane-e2e"};
    e2e::Process parvane;
};

TEST_F(RegistrarEndToEnd, CommitWalksThroughTheNameCheckAndTheReportsAndWritesCrX) {
    const std::string zeta = Touch(L"zeta.exe");
    const std::string spaced = Touch(L"my file.exe");
    const std::string alpha = Touch(L"Alpha.exe");
    const std::string notepad = Touch(L"メモ帳.exe");
    const std::string tenX = Touch(L"10x.exe");
    const std::string missing = e2e::Cp932(folder.File(L"gone.exe"));
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {zeta, spaced, alpha + "\t-x", notepad, tenX,
                                                           e2e::Cp932(folder.File(L"ALPHA.EXE")) + "\t-y",
                                                           missing + "\t-m"}));
    ASSERT_TRUE(e2e::SetReadOnly(folder.File(L"cr.x"), true));

    HWND main = Start();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, kCountEdit), L"7");
    ASSERT_TRUE(e2e::PressButton(main, IDOK));

    // Two names cannot be filed: give メモ帳.exe a name, leave "my file.exe".
    HWND check = Wait(L"登録名チェック");
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(ControlText(check, kCountEdit), L"2");
    EXPECT_THAT(ListItems(check, kList), ElementsAre(L"my file.exe", L"メモ帳.exe"));
    HWND rows = GetDlgItem(check, kList);
    SendMessageW(rows, LB_SETSEL, TRUE, 1);
    SendMessageW(rows, LB_SETCARETINDEX, 1, FALSE);
    PostMessageW(check, WM_COMMAND, MAKEWPARAM(kList, LBN_DBLCLK), reinterpret_cast<LPARAM>(rows));

    HWND settings = Wait(L"設定");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(ControlText(settings, kMessageText), L"\r\n " + folder.File(L"メモ帳.exe"));
    SendMessageW(GetDlgItem(settings, kUseName), BM_CLICK, 0, 0);
    SetWindowTextW(GetDlgItem(settings, kNameEdit), L"Memo");
    ASSERT_TRUE(e2e::PressButton(settings, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowGone(settings));

    ASSERT_TRUE(WaitForControlText(check, kCountEdit, L"1"));
    EXPECT_THAT(ListItems(check, kList), ElementsAre(L"my file.exe"));
    ASSERT_TRUE(e2e::PressButton(check, IDOK));

    // The report of the refused name, then the one of the missing file.
    HWND refused = Wait(L"REPORT");
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(ControlText(refused, kMessageText),
              L"以下のファイルは、登録名にエラーがあったためその登録が実行されませんでした。");
    EXPECT_EQ(ControlText(refused, kCountEdit), L"1");
    EXPECT_THAT(ListItems(refused, kList), ElementsAre(folder.File(L"my file.exe")));
    ASSERT_TRUE(e2e::PressButton(refused, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowGone(refused));

    HWND notFound = Wait(L"REPORT");
    ASSERT_NE(notFound, nullptr);
    EXPECT_EQ(ControlText(notFound, kMessageText),
              L"以下のファイルは、存在が確認できなかったためその登録が実行されませんでした。");
    EXPECT_EQ(ControlText(notFound, kCountEdit), L"1");
    EXPECT_THAT(ListItems(notFound, kList), ElementsAre(folder.File(L"gone.exe") + L"\t-m"));
    ASSERT_TRUE(e2e::PressButton(notFound, IDOK));

    AnswerQuestionAndWaitForExit(IDNO);
    EXPECT_EQ(CrX(), alpha + "\t-x\r\n" + notepad + "\t\tMemo\r\n" + zeta + "\r\n" + tenX + "\r\n");
    EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"cr.x")));
    EXPECT_TRUE(e2e::ReadProbeLog(folder.Path()).empty()) << "No: the launcher is not started";
}

// Two windows on one cr.x (a second start is enough): one deletes a and adds
// e, the other deletes c; each commit keeps what the other wrote.
TEST_F(RegistrarEndToEnd, TwoWindowsOnOneCrXEachKeepWhatTheOtherCommitted) {
    const std::string a = Touch(L"a.exe"), b = Touch(L"b.exe"), c = Touch(L"c.exe"), d = Touch(L"d.exe");
    const std::string e = Touch(L"e.exe");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {a, b, c, d}));
    HWND first = Start();
    ASSERT_NE(first, nullptr);
    e2e::Process other = e2e::StartProgram(folder.File(L"Parvane.exe"), L"", folder.Path());
    HWND second = e2e::WaitForWindow({L"Register", e2e::kDialogClass, other.Id()});
    ASSERT_NE(second, nullptr);
    const auto deleteItem = [](HWND window, int index) {
        SendMessageW(GetDlgItem(window, kList), LB_SETSEL, TRUE, index);
        EXPECT_TRUE(e2e::PressButton(window, kDelete));
        EXPECT_TRUE(WaitForControlText(window, kCountEdit, L"3"));
    };
    deleteItem(first, 0);
    ASSERT_TRUE(e2e::DropFiles(first, {folder.File(L"e.exe")}));
    ASSERT_TRUE(WaitForControlText(first, kCountEdit, L"4"));
    deleteItem(second, 2);

    ASSERT_TRUE(e2e::PressButton(first, IDOK));
    AnswerQuestionAndWaitForExit(IDNO);
    ASSERT_EQ(CrX(), b + "\r\n" + c + "\r\n" + d + "\r\n" + e + "\r\n");
    parvane = std::move(other);
    ASSERT_TRUE(e2e::PressButton(second, IDOK));
    AnswerQuestionAndWaitForExit(IDNO);
    EXPECT_EQ(CrX(), b + "\r\n" + d + "\r\n" + e + "\r\n") << "a stays deleted and e registered";
}

// Files given on the command line (a drop onto Parvane.exe's icon, its "送る"
// entry) are added as if dropped: a name relative to the current folder, a
// full path and a folder; Explorer starts the program in another folder, but
// the list is the one beside Parvane.exe, and OK writes it in the launcher's
// order.
TEST_F(RegistrarEndToEnd, FilesOnTheCommandLineAreAddedAsIfDropped) {
    ASSERT_TRUE(CreateDirectoryW(folder.File(L"docs").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(folder.File(L"mid").c_str(), nullptr));
    const std::string zeta = Touch(L"docs\\zeta.exe"), alpha = Touch(L"alpha.exe");
    parvane = e2e::StartProgram(folder.File(L"Parvane.exe"),
                                L"zeta.exe \"" + folder.File(L"alpha.exe") + L"\" ..\\mid", folder.File(L"docs"));
    HWND main = Wait(L"Register");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForControlText(main, kCountEdit, L"3"));
    EXPECT_THAT(ListItems(main, kList), ElementsAre(L"zeta.exe", L"alpha.exe", L"mid"));
    ASSERT_TRUE(e2e::PressButton(main, IDOK));
    ASSERT_NO_FATAL_FAILURE(AnswerQuestionAndWaitForExit(IDNO));
    EXPECT_EQ(CrX(), alpha + "\r\n" + e2e::Cp932(folder.File(L"mid")) + "\r\n" + zeta + "\r\n");
    EXPECT_FALSE(e2e::FileExists(folder.File(L"docs\\cr.x"))) << "a list in the folder it was started in";

    // A list where it is started (a shortcut's working folder) is the one it edits.
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.File(L"docs"), {}));
    const std::string written = CrX();
    parvane = e2e::StartProgram(folder.File(L"Parvane.exe"), L"zeta.exe", folder.File(L"docs"));
    main = Wait(L"Register");
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitForControlText(main, kCountEdit, L"1"));
    ASSERT_TRUE(e2e::PressButton(main, IDOK));
    ASSERT_NO_FATAL_FAILURE(AnswerQuestionAndWaitForExit(IDNO));
    EXPECT_EQ(e2e::ReadFileBytes(folder.File(L"docs\\cr.x")).value_or("<no cr.x>"), zeta + "\r\n");
    EXPECT_EQ(CrX(), written);
}

// cr.x removed from outside while the window is open: the window's list is all
// there is to go by, so it is written, less what the user deleted, and told.
TEST_F(RegistrarEndToEnd, CrXRemovedWhileTheWindowIsOpenKeepsWhatTheUserDidNotDelete) {
    const std::string a = Touch(L"a.exe"), b = Touch(L"b.exe"), c = Touch(L"c.exe");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {a, b, c}));
    HWND main = Start();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(DeleteFileW(folder.File(L"cr.x").c_str()));
    SendMessageW(GetDlgItem(main, kList), LB_SETSEL, TRUE, 0);
    ASSERT_TRUE(e2e::PressButton(main, kDelete));
    ASSERT_TRUE(WaitForControlText(main, kCountEdit, L"2"));
    ASSERT_TRUE(e2e::PressButton(main, IDOK));

    HWND told = Wait(L"警告");
    ASSERT_NE(told, nullptr);
    EXPECT_THAT(e2e::StaticTexts(told), Contains(HasSubstr(L"cr.x が見つかりませんでした。")));
    ASSERT_TRUE(e2e::PressButton(told, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowGone(told));
    AnswerQuestionAndWaitForExit(IDNO);
    EXPECT_EQ(CrX(), b + "\r\n" + c + "\r\n");
}

TEST_F(RegistrarEndToEnd, CancelWritesNothingAndYesStartsTheLauncherFromItsFolder) {
    const std::string a = Touch(L"a.exe");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {a + "\t-o", e2e::Cp932(folder.File(L"gone.exe"))}));
    const std::string before = CrX();

    HWND main = Start();
    ASSERT_NE(main, nullptr);
    PostMessageW(main, WM_CLOSE, 0, 0);
    AnswerQuestionAndWaitForExit(IDYES);

    EXPECT_EQ(CrX(), before);
    EXPECT_FALSE(e2e::IsReadOnly(folder.File(L"cr.x")));
    const std::vector<e2e::ProbeRecord> starts = WaitForProbe();
    ASSERT_EQ(starts.size(), 1u) << "Yes starts ./Tobi.exe once";
    EXPECT_EQ(starts[0].workingDirectory, folder.Path());
    EXPECT_THAT(starts[0].commandLine, HasSubstr(L"Tobi.exe"));
}

TEST_F(RegistrarEndToEnd, CrXHeldOpenByAnotherProgramIsLeftWholeAndTheDialogStaysForARetry) {
    const std::string b = Touch(L"b.exe");
    const std::string a = Touch(L"a.exe");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {b, a}));
    const std::string before = CrX();

    HWND main = Start();
    ASSERT_NE(main, nullptr);
    // Held as a virus scanner or a backup tool holds it: others may read it.
    HANDLE held =
        CreateFileW(folder.File(L"cr.x").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(e2e::PressButton(main, IDOK));

    HWND warning = Wait(L"警告");
    ASSERT_NE(warning, nullptr);
    std::wstring text;
    for (const std::wstring& line : e2e::StaticTexts(warning)) text += line;
    EXPECT_THAT(text, HasSubstr(L"cr.x に書き込めなかった"));
    EXPECT_THAT(text, HasSubstr(L"ほかのプログラムが cr.x を使用中です。"));
    ASSERT_TRUE(e2e::PressButton(warning, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowGone(warning));

    EXPECT_FALSE(parvane.ExitCode().has_value()) << "the registrar keeps running";
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(ControlText(main, kCountEdit), L"2");
    EXPECT_THAT(ListItems(main, kList), ElementsAre(L"b.exe", L"a.exe"));
    CloseHandle(held);
    EXPECT_EQ(CrX(), before);

    // Once the other program lets go, OK commits; Yes starts Tobi.exe from the start-up folder.
    ASSERT_TRUE(e2e::PressButton(main, IDOK));
    AnswerQuestionAndWaitForExit(IDYES);
    EXPECT_EQ(CrX(), a + "\r\n" + b + "\r\n");
    EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"cr.x")));
    const std::vector<e2e::ProbeRecord> starts = WaitForProbe();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].workingDirectory, folder.Path());
}

TEST_F(RegistrarEndToEnd, CrXHeldOpenAtTheStartIsReadAgainAtOkAndKeepsItsEntries) {
    const std::string b = Touch(L"b.exe");
    const std::string a = Touch(L"a.exe");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {b, a + "\t-o"}));
    HANDLE held = CreateFileW(folder.File(L"cr.x").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    parvane = e2e::StartProgram(folder.File(L"Parvane.exe"), L"", folder.Path());
    HWND warning = Wait(L"警告");
    ASSERT_NE(warning, nullptr);
    EXPECT_THAT(e2e::StaticTexts(warning),
                Contains(HasSubstr(L"cr.x を読み込めませんでした。\nほかのプログラムが cr.x を使用中です。")));
    ASSERT_TRUE(e2e::PressButton(warning, IDOK));
    HWND main = Wait(L"Register");
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(ControlText(main, kCountEdit), L"0");
    // Once the other program lets go, OK reads cr.x again and commits its entries.
    CloseHandle(held);
    ASSERT_TRUE(e2e::PressButton(main, IDOK));
    AnswerQuestionAndWaitForExit(IDNO);
    EXPECT_EQ(CrX(), a + "\t-o\r\n" + b + "\r\n");
}

}  // namespace
