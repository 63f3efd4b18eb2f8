// The main dialog created modeless in a scratch start-up folder and driven with
// messages: cr.x read into the lists, real drops, delete, double-click editing,
// the commit with its dialogs, a failed write, and Cancel.
#include "registrar/win32/register_dialog.h"

#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>
#include <utility>

#include "common/win32/text.h"
#include "dialog_answerer.h"
#include "registrar/maker_contact.h"
#include "registrar/win32/list_box.h"
#include "registrar/win32/resource_ids.h"
#include "scratch.h"

namespace {

using registrar::Entry;
using testing::ElementsAre;
using testing::HasSubstr;
using testing_win32::AllStaticTexts;
using testing_win32::ClickCheckBox;
using testing_win32::ControlText;
using testing_win32::DialogAnswerer;
using testing_win32::ListItems;
using testing_win32::PostCommand;
using testing_win32::PostDoubleClick;
using testing_win32::SelectListItems;
using testing_win32::SendDoubleClick;
using win32::WideFromCp932;

const std::wstring kQuestion = L"Tobi.exeを起動しますか ？";

class FailingStore : public win32::FileStoreWin32 {
public:
    unsigned long code = ERROR_DISK_FULL;
    bool throwAtNextRead = false;  // as a read that does not finish
    ReadResult ReadOrCreate(const std::string& path) override {
        if (std::exchange(throwAtNextRead, false)) throw std::bad_alloc();
        return FileStoreWin32::ReadOrCreate(path);
    }

protected:
    unsigned long InjectedFailure(win32::WriteStep step) override {
        return step == win32::WriteStep::Replace ? code : 0;
    }
};

class TestRegisterDialog : public registrar::RegisterDialog {
public:
    FileStore* store = nullptr;  // the real files when null

protected:
    FileStore& Files() override { return store != nullptr ? *store : RegisterDialog::Files(); }
};

class RegisterDialogTest : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_THAT(answerer.Unexpected(), ElementsAre()) << "windows nobody expected";
        EXPECT_EQ(answerer.PendingSteps(), 0u) << "expected windows that never came";
    }

    // cr.x from lines (cp932), each ended with CR LF.
    void WriteCrX(const std::vector<std::string>& lines) {
        std::string bytes;
        for (const std::string& line : lines) bytes += line + "\r\n";
        ASSERT_TRUE(folder.WriteFile(L"cr.x", bytes));
    }
    // An empty file in the scratch folder; returns its cp932 path.
    std::string Touch(const std::wstring& name) {
        EXPECT_TRUE(folder.WriteFile(name, "x"));
        return Folder() + win32::Cp932FromWide(name).bytes;
    }
    std::string Folder() const { return folder.Cp932Path(); }

    void Open() {
        ASSERT_NE(dialog.CreateModeless(nullptr), nullptr);
        main = dialog.hwnd();
    }
    HWND List(int id) const { return GetDlgItem(main, id); }
    void Press(int id) { SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(List(id))); }
    void Drop(const std::vector<std::wstring>& paths) {
        SendMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(testing_win32::MakeDrop(paths)), 0);
    }
    std::vector<std::string> NameFields() const {
        std::vector<std::string> names;
        for (const Entry& entry : dialog.Entries()) names.push_back(entry.nameField);
        return names;
    }

    testing_win32::ScratchFolder folder;
    DialogAnswerer answerer;
    TestRegisterDialog dialog;
    HWND main = nullptr;
};

TEST_F(RegisterDialogTest, OpensWithTheEntriesOfCrXInTheVisibleAndTheHiddenListAndTellsOfTheRest) {
    WriteCrX({"C:\\Tools\\calc.exe\t/s", "D:\\Docs\\日記.txt\t\tdiary", "C:\\表\\表.exe", "C:\\ソフト\\a.exe\tx\tA"});
    ASSERT_TRUE(folder.WriteFile(L"cr.x", folder.ReadFile(L"cr.x") + "C:\\x\\added by hand.exe"));  // no CR LF
    answerer.Then(L"警告", [](HWND box) {
        const std::wstring text = AllStaticTexts(box);
        EXPECT_THAT(text, HasSubstr(L"cr.x に、登録として読み取れない行があります。"));
        EXPECT_THAT(text, HasSubstr(L"\nC:\\x\\added by hand.exe\n"));
        PostCommand(box, IDOK);
    });
    Open();

    EXPECT_THAT(ListItems(List(IDC_NAME_LIST)),
                ElementsAre(L"calc.exe\t/s", L"日記.txt\t\tdiary", L"表.exe", L"a.exe\tx\tA"));
    EXPECT_THAT(ListItems(List(IDC_FOLDER_LIST)), ElementsAre(L"C:\\Tools\\", L"D:\\Docs\\", L"C:\\表\\", L"C:\\ソフト\\"));
    EXPECT_EQ(dialog.Entries()[2], (Entry{"表.exe", "C:\\表\\"}));
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"4");
    EXPECT_EQ(win32::WindowText(main), L"Register");
    EXPECT_FALSE(GetWindowLongW(List(IDC_FOLDER_LIST), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongW(List(IDC_NAME_LIST), GWL_STYLE) & WS_VISIBLE);
    EXPECT_TRUE(GetWindowLongW(List(IDC_NAME_LIST), GWL_STYLE) & LBS_EXTENDEDSEL);

    // The version item on the system menu, and the icon for dragging.
    wchar_t itemText[64] = {};
    GetMenuStringW(GetSystemMenu(main, FALSE), IDM_ABOUT_BOX, itemText, 64, MF_BYCOMMAND);
    EXPECT_STREQ(itemText, L"ﾊﾞｰｼﾞｮﾝ情報(Parvane) (&A)...");
    const LRESULT dragIcon = SendMessageW(main, WM_QUERYDRAGICON, 0, 0);
    EXPECT_NE(dragIcon, 0);
    EXPECT_EQ(dragIcon, SendMessageW(main, WM_GETICON, ICON_BIG, 0));
}

TEST_F(RegisterDialogTest, CreatesAnEmptyCrXWhenThereIsNone) {
    Open();
    EXPECT_TRUE(ListItems(List(IDC_NAME_LIST)).empty());
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"0");
    ASSERT_TRUE(folder.Exists(L"cr.x"));
    EXPECT_EQ(folder.ReadFile(L"cr.x"), "");
}

TEST_F(RegisterDialogTest, DropSplitsAtTheRealLastBackslashAndRefusesPathsOutsideCodePage932) {
    WriteCrX({"C:\\Tools\\calc.exe"});
    Open();
    const std::wstring base = folder.Path();
    answerer.Then(L"警告", [&](HWND box) {
        const std::wstring text = AllStaticTexts(box);
        EXPECT_THAT(text, HasSubstr(base + L"caf\u00e9.exe"));
        EXPECT_THAT(text, HasSubstr(base + L"\U0001F600.txt"));
        PostCommand(box, IDOK);
    });
    Drop({base + L"表.exe", base + L"caf\u00e9.exe", base + L"ソフト\\ソ.exe", base + L"\U0001F600.txt", base + L"ツール",
          L"C:\\a\\b\\c.txt"});

    EXPECT_THAT(ListItems(List(IDC_NAME_LIST)), ElementsAre(L"calc.exe", L"表.exe", L"ソ.exe", L"ツール", L"c.txt"));
    EXPECT_THAT(ListItems(List(IDC_FOLDER_LIST)),
                ElementsAre(L"C:\\Tools\\", base, base + L"ソフト\\", base, L"C:\\a\\b\\"));
    EXPECT_EQ(dialog.Entries()[1], (Entry{"表.exe", Folder()}));
    EXPECT_EQ(dialog.Entries()[2], (Entry{"ソ.exe", Folder() + "ソフト\\"}));
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"5");
}

TEST_F(RegisterDialogTest, DropTakesOnlyWhatFitsUnderOneThousandEntries) {
    std::vector<std::string> lines;
    for (int i = 0; i < 995; ++i) lines.push_back("C:\\f\\n" + std::to_string(i) + ".exe");
    WriteCrX(lines);
    Open();
    std::vector<std::wstring> dropped;
    for (int i = 0; i < 10; ++i) dropped.push_back(L"D:\\new\\d" + std::to_wstring(i) + L".exe");
    Drop(dropped);

    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"1000");
    const std::vector<std::wstring> names = ListItems(List(IDC_NAME_LIST));
    ASSERT_EQ(names.size(), 1000u);
    EXPECT_EQ(names[994], L"n994.exe");
    EXPECT_EQ(names[995], L"d0.exe");
    EXPECT_EQ(names[999], L"d4.exe");
    EXPECT_EQ(ListItems(List(IDC_FOLDER_LIST)).size(), 1000u);

    Drop({L"D:\\new\\more.exe"});
    EXPECT_EQ(dialog.Entries().size(), 1000u);
}

TEST_F(RegisterDialogTest, DropAppendsToBothListsAndKeepsTheSelectionAndTheScrollPosition) {
    std::vector<std::string> lines;
    for (int i = 0; i < 40; ++i) lines.push_back("C:\\f\\n" + std::to_string(i) + ".exe");
    WriteCrX(lines);
    Open();
    HWND names = List(IDC_NAME_LIST);
    SelectListItems(names, {12, 14});
    SendMessageW(names, LB_SETTOPINDEX, 10, 0);
    ASSERT_EQ(SendMessageW(names, LB_GETTOPINDEX, 0, 0), 10);

    Drop({L"D:\\new\\d0.exe", L"D:\\new\\d1.exe"});
    EXPECT_EQ(SendMessageW(names, LB_GETTOPINDEX, 0, 0), 10);
    EXPECT_EQ(registrar::SelectedListItems(names), (std::vector<int>{12, 14}));
    const std::vector<std::wstring> shown = ListItems(names);
    EXPECT_THAT(std::vector<std::wstring>(shown.begin() + 39, shown.end()), ElementsAre(L"n39.exe", L"d0.exe", L"d1.exe"));
    EXPECT_EQ(ListItems(List(IDC_FOLDER_LIST)).back(), L"D:\\new\\");
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"42");
}

TEST_F(RegisterDialogTest, DeleteRemovesExactlyTheSelectedItemsFromBothLists) {
    WriteCrX({"C:\\0\\a.exe", "C:\\1\\b.exe", "C:\\2\\c.exe", "C:\\3\\d.exe", "C:\\4\\e.exe"});
    Open();
    Press(IDC_DELETE);  // nothing selected: nothing happens
    EXPECT_EQ(dialog.Entries().size(), 5u);

    SelectListItems(List(IDC_NAME_LIST), {0, 2, 3});
    Press(IDC_DELETE);
    EXPECT_THAT(ListItems(List(IDC_NAME_LIST)), ElementsAre(L"b.exe", L"e.exe"));
    EXPECT_THAT(ListItems(List(IDC_FOLDER_LIST)), ElementsAre(L"C:\\1\\", L"C:\\4\\"));
    EXPECT_THAT(NameFields(), ElementsAre("b.exe", "e.exe"));
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"2");
}

TEST_F(RegisterDialogTest, DoubleClickEditsTheFocusedEntryInTheSettingsDialog) {
    WriteCrX({"C:\\Tools\\calc.exe\t/s", "C:\\Tools\\b.exe"});
    Open();

    SelectListItems(List(IDC_NAME_LIST), {0});
    answerer.Then(L"設定", [](HWND settings) {
        EXPECT_EQ(ControlText(settings, IDC_PATH_TEXT), L"\r\n C:\\Tools\\calc.exe");
        EXPECT_EQ(IsDlgButtonChecked(settings, IDC_USE_OPTION), BST_CHECKED);
        EXPECT_EQ(ControlText(settings, IDC_OPTION_EDIT), L"/s");
        EXPECT_EQ(IsDlgButtonChecked(settings, IDC_USE_NAME), BST_UNCHECKED);
        EXPECT_TRUE(GetWindowLongW(GetDlgItem(settings, IDC_NAME_EDIT), GWL_STYLE) & ES_READONLY);
        ClickCheckBox(settings, IDC_USE_NAME);
        EXPECT_FALSE(GetWindowLongW(GetDlgItem(settings, IDC_NAME_EDIT), GWL_STYLE) & ES_READONLY);
        // A pasted TAB or line break must not reach the name field.
        SetDlgItemTextW(settings, IDC_NAME_EDIT, L"Cal\tc\r\n2");
        PostCommand(settings, IDOK);
    });
    SendDoubleClick(main, IDC_NAME_LIST);
    EXPECT_THAT(NameFields(), ElementsAre("calc.exe\t/s\tCalc2", "b.exe"));
    EXPECT_THAT(ListItems(List(IDC_NAME_LIST)), ElementsAre(L"calc.exe\t/s\tCalc2", L"b.exe"));
    EXPECT_THAT(ListItems(List(IDC_FOLDER_LIST)), ElementsAre(L"C:\\Tools\\", L"C:\\Tools\\"));
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"2");

    // Esc leaves the entry as it was.
    SelectListItems(List(IDC_NAME_LIST), {1});
    answerer.Then(L"設定", [](HWND settings) {
        ClickCheckBox(settings, IDC_USE_OPTION);
        SetDlgItemTextW(settings, IDC_OPTION_EDIT, L"-q");
        PostCommand(settings, IDCANCEL);
    });
    SendDoubleClick(main, IDC_NAME_LIST);
    EXPECT_THAT(NameFields(), ElementsAre("calc.exe\t/s\tCalc2", "b.exe"));

    // With no item selected a double-click opens nothing (an unexpected
    // settings dialog would be reported by the answerer).
    SelectListItems(List(IDC_NAME_LIST), {});
    SendDoubleClick(main, IDC_NAME_LIST);
    EXPECT_THAT(NameFields(), ElementsAre("calc.exe\t/s\tCalc2", "b.exe"));
}

TEST_F(RegisterDialogTest, CommitWritesCrXInMenuOrderWithoutDuplicatesAndMissingFiles) {
    const std::string zeta = Touch(L"zeta.exe");
    const std::string twoGo = Touch(L"2go.exe");
    const std::string alpha = Touch(L"Alpha.exe");
    const std::string tenX = Touch(L"10x.exe");
    const std::string offline = "\\\\offline-server\\share\\z.exe";  // its lookup cannot answer
    WriteCrX({zeta, twoGo, alpha + "\t-x", Folder() + "ALPHA.EXE\t-y", Folder() + "gone.exe\t-g", tenX, "notepad.exe\t/n",
              offline});
    Open();

    const auto expectReport = [this](const wchar_t* message, const std::wstring& row) {
        answerer.Then(L"REPORT", [message, row](HWND report) {
            EXPECT_EQ(ControlText(report, IDC_MESSAGE_TEXT), message);
            EXPECT_EQ(ControlText(report, IDC_COUNT_EDIT), L"1");
            EXPECT_THAT(ListItems(GetDlgItem(report, IDC_NAME_LIST)), ElementsAre(row));
            PostCommand(report, IDOK);
        });
    };
    expectReport(L"以下のファイルは、パスにフォルダーが含まれていないためその登録が実行されませんでした。",
                 L"notepad.exe\t/n");
    expectReport(L"以下のファイルは、存在が確認できなかったためその登録が実行されませんでした。",
                 folder.Path() + L"gone.exe\t-g");
    expectReport(L"以下のファイルは、いまは存在を確認できなかったため、確認しないまま登録しました。",
                 WideFromCp932(offline));
    answerer.Then(L"警告", [](HWND box) {
            EXPECT_THAT(AllStaticTexts(box), HasSubstr(kQuestion));
            PostCommand(box, IDNO);
        });
    SendMessageW(main, WM_COMMAND, IDOK, 0);

    EXPECT_FALSE(IsWindow(main)) << "the dialog closes after the commit";
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(folder.ReadFile(L"cr.x"),
              alpha + "\t-x\r\n" + offline + "\r\n" + zeta + "\r\n" + tenX + "\r\n" + twoGo + "\r\n");
    EXPECT_TRUE(folder.IsReadOnly(L"cr.x"));
}

TEST_F(RegisterDialogTest, CommitOfAnEmptyListWritesAnEmptyCrXAndOnlyAsks) {
    WriteCrX({Folder() + "gone.exe"});
    Open();
    SelectListItems(List(IDC_NAME_LIST), {0});
    Press(IDC_DELETE);
    answerer.Then(L"警告", [](HWND box) { PostCommand(box, IDNO); });
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(folder.ReadFile(L"cr.x"), "");
    EXPECT_TRUE(folder.IsReadOnly(L"cr.x"));
}

TEST_F(RegisterDialogTest, NameCheckLetsTheUserNameAFileAndTheRestIsRefused) {
    const std::string spaced = Touch(L"my file.exe");
    const std::string ok = Touch(L"ok.exe");
    const std::string memo = Touch(L"メモ.txt");
    WriteCrX({spaced, ok, memo + "\t-n"});
    Open();

    answerer
        .Then(L"登録名チェック",
              [](HWND check) {
                  EXPECT_EQ(ControlText(check, IDC_COUNT_EDIT), L"2");
                  EXPECT_THAT(ListItems(GetDlgItem(check, IDC_NAME_LIST)), ElementsAre(L"my file.exe", L"メモ.txt\t-n"));
                  SelectListItems(GetDlgItem(check, IDC_NAME_LIST), {1});
                  PostDoubleClick(check, IDC_NAME_LIST);
              })
        .Then(L"設定",
              [](HWND settings) {
                  ClickCheckBox(settings, IDC_USE_NAME);
                  SetDlgItemTextW(settings, IDC_NAME_EDIT, L"Memo");
                  PostCommand(settings, IDOK);
              })
        .Then(L"登録名チェック",
              [](HWND check) {
                  EXPECT_EQ(ControlText(check, IDC_COUNT_EDIT), L"1");
                  EXPECT_THAT(ListItems(GetDlgItem(check, IDC_NAME_LIST)), ElementsAre(L"my file.exe"));
                  PostCommand(check, IDOK);
              })
        .Then(L"REPORT",
              [&](HWND report) {
                  EXPECT_EQ(ControlText(report, IDC_MESSAGE_TEXT),
                            L"以下のファイルは、登録名にエラーがあったためその登録が実行されませんでした。");
                  EXPECT_EQ(ControlText(report, IDC_COUNT_EDIT), L"1");
                  EXPECT_THAT(ListItems(GetDlgItem(report, IDC_NAME_LIST)), ElementsAre(WideFromCp932(spaced)));
                  PostCommand(report, IDOK);
              })
        .Then(L"警告", [](HWND box) { PostCommand(box, IDNO); });
    SendMessageW(main, WM_COMMAND, IDOK, 0);

    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(folder.ReadFile(L"cr.x"), memo + "\t-n\tMemo\r\n" + ok + "\r\n");
}

TEST_F(RegisterDialogTest, LeavingTheNameCheckWithoutOkKeepsTheListAndWritesNothing) {
    const std::string spaced = Touch(L"my file.exe");
    const std::string memo = Touch(L"メモ.txt");
    WriteCrX({spaced, memo});
    const std::string before = folder.ReadFile(L"cr.x");
    Open();

    answerer
        .Then(L"登録名チェック",
              [](HWND check) {
                  SelectListItems(GetDlgItem(check, IDC_NAME_LIST), {1});
                  PostDoubleClick(check, IDC_NAME_LIST);
              })
        .Then(L"設定",
              [](HWND settings) {
                  ClickCheckBox(settings, IDC_USE_NAME);
                  SetDlgItemTextW(settings, IDC_NAME_EDIT, L"Memo");
                  PostCommand(settings, IDOK);
              })
        .Then(L"登録名チェック", [](HWND check) { PostCommand(check, IDCANCEL); });
    SendMessageW(main, WM_COMMAND, IDOK, 0);

    ASSERT_TRUE(IsWindow(main));
    EXPECT_THAT(NameFields(), ElementsAre("my file.exe", "メモ.txt"));
    EXPECT_THAT(ListItems(List(IDC_NAME_LIST)), ElementsAre(L"my file.exe", L"メモ.txt"));
    EXPECT_EQ(folder.ReadFile(L"cr.x"), before);
}

TEST_F(RegisterDialogTest, AFailedWriteKeepsTheOldCrXAndEveryEntryAndAllowsARetry) {
    const std::string a = Touch(L"a.exe");
    const std::string spaced = Touch(L"bad name.exe");
    WriteCrX({Folder() + "gone.exe", spaced, a});
    const std::string before = folder.ReadFile(L"cr.x");
    FailingStore failing;
    dialog.store = &failing;
    Open();

    answerer.Then(L"登録名チェック", [](HWND check) { PostCommand(check, IDOK); })
        .Then(L"警告", [](HWND box) {
            const std::wstring text = AllStaticTexts(box);
            EXPECT_THAT(text, HasSubstr(L"cr.x に書き込めなかった"));
            EXPECT_THAT(text, HasSubstr(L"ディスクの空き容量が足りません。"));
            PostCommand(box, IDOK);
        });
    SendMessageW(main, WM_COMMAND, IDOK, 0);

    ASSERT_TRUE(IsWindow(main)) << "the dialog stays open";
    EXPECT_EQ(folder.ReadFile(L"cr.x"), before);
    EXPECT_THAT(NameFields(), ElementsAre("gone.exe", "bad name.exe", "a.exe"));
    EXPECT_THAT(ListItems(List(IDC_NAME_LIST)), ElementsAre(L"gone.exe", L"bad name.exe", L"a.exe"));
    EXPECT_EQ(ListItems(List(IDC_FOLDER_LIST)).size(), 3u);
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"3");

    // Once the cause is gone, OK again commits as usual.
    dialog.store = nullptr;
    answerer.Then(L"登録名チェック", [](HWND check) { PostCommand(check, IDOK); })
        .Then(L"REPORT", [](HWND report) { PostCommand(report, IDOK); })
        .Then(L"REPORT", [](HWND report) { PostCommand(report, IDOK); })
        .Then(L"警告", [](HWND box) { PostCommand(box, IDNO); });
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(folder.ReadFile(L"cr.x"), a + "\r\n");
}

// Held by a program that lets others read it (a virus scanner, a backup tool):
// the commit reads it, but cannot replace it.
TEST_F(RegisterDialogTest, CrXHeldOpenByAnotherProgramIsReportedAndLeftWhole) {
    const std::string a = Touch(L"a.exe");
    WriteCrX({a});
    const std::string before = folder.ReadFile(L"cr.x");
    Open();
    HANDLE held =
        CreateFileW(folder.File(L"cr.x").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    answerer.Then(L"警告", [](HWND box) {
        const std::wstring text = AllStaticTexts(box);
        EXPECT_THAT(text, HasSubstr(L"cr.x に書き込めなかった"));
        EXPECT_THAT(text, HasSubstr(L"使用中"));
        PostCommand(box, IDOK);
    });
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    CloseHandle(held);

    EXPECT_TRUE(IsWindow(main));
    EXPECT_EQ(folder.ReadFile(L"cr.x"), before);
    EXPECT_THAT(NameFields(), ElementsAre("a.exe"));
}

// Held open at the start and at the first OK, let go before the second.
TEST_F(RegisterDialogTest, AnUnreadableCrXIsNeverOverwrittenAndItsEntriesComeBackAtTheCommit) {
    const std::string a = Touch(L"a.exe");
    const std::string b = Touch(L"b.exe");
    WriteCrX({b + "\t-o", a});
    const std::string before = folder.ReadFile(L"cr.x");
    HANDLE held = CreateFileW(folder.File(L"cr.x").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const auto expectWarning = [this](const std::wstring& says) {
        answerer.Then(L"警告", [says](HWND box) {
            EXPECT_THAT(AllStaticTexts(box), HasSubstr(says));
            PostCommand(box, IDOK);
        });
    };
    expectWarning(L"cr.x を読み込めませんでした。\nほかのプログラムが cr.x を使用中です。(エラーコード 32)");
    Open();
    Drop({WideFromCp932(Touch(L"c d.exe"))});
    expectWarning(L"cr.x を読み込めないため、登録は実行されませんでした。");
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    CloseHandle(held);
    ASSERT_TRUE(IsWindow(main)) << "the dialog stays open";
    EXPECT_THAT(NameFields(), ElementsAre("c d.exe"));
    EXPECT_EQ(folder.ReadFile(L"cr.x"), before);

    // The file's entries go in front of the dropped one, and the commit goes on.
    answerer
        .Then(L"登録名チェック",
              [&](HWND check) {
                  EXPECT_THAT(ListItems(List(IDC_NAME_LIST)), ElementsAre(L"b.exe\t-o", L"a.exe", L"c d.exe"));
                  PostCommand(check, IDOK);
              })
        .Then(L"REPORT", [](HWND report) { PostCommand(report, IDOK); })
        .Then(L"警告", [](HWND box) { PostCommand(box, IDNO); });
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(folder.ReadFile(L"cr.x"), a + "\r\n" + b + "\t-o\r\n");
}

// A read of cr.x that did not finish is an unreadable cr.x: OK reads it again.
TEST_F(RegisterDialogTest, AnExceptionInTheStartReadLosesNothing) {
    FailingStore store;
    store.throwAtNextRead = true;
    const std::string a = Touch(L"a.exe");
    WriteCrX({a + "\t-o"});
    dialog.store = &store;
    answerer.Then(L"警告", [](HWND box) {
        EXPECT_THAT(AllStaticTexts(box), HasSubstr(L"cr.x を読み込めませんでした。\n予期しないエラーが発生しました。"));
        PostCommand(box, IDOK);
    });
    Open();
    EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"0");
    answerer.Then(L"警告", [](HWND box) { PostCommand(box, IDNO); });
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(folder.ReadFile(L"cr.x"), a + "\t-o\r\n");
}

TEST_F(RegisterDialogTest, CancelAsksAboutTheLauncherAndWritesNothing) {
    WriteCrX({"C:\\Tools\\calc.exe"});
    const std::string before = folder.ReadFile(L"cr.x");
    Open();
    Drop({L"C:\\Tools\\new.exe"});
    answerer.Then(L"警告", [](HWND box) {
        EXPECT_THAT(AllStaticTexts(box), HasSubstr(kQuestion));
        PostCommand(box, IDNO);
    });
    SendMessageW(main, WM_COMMAND, IDCANCEL, 0);
    EXPECT_FALSE(IsWindow(main));
    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_EQ(folder.ReadFile(L"cr.x"), before);
}

TEST_F(RegisterDialogTest, VersionButtonAndSystemMenuShowTheVersionBox) {
    Open();
    auto checkAbout = [](HWND about) {
        const std::wstring text = AllStaticTexts(about);
        EXPECT_THAT(text, HasSubstr(L"Parvane.exe"));
        EXPECT_THAT(text, HasSubstr(L"Ver 1.27"));
        EXPECT_THAT(text, HasSubstr(L"2000-07-23"));
        EXPECT_THAT(text, HasSubstr(WideFromCp932(registrar::kContactAddress)));
        PostCommand(about, IDOK);
    };
    answerer.Then(L"Version Info Parvane.exe", checkAbout);
    Press(IDC_VERSION);
    answerer.Then(L"Version Info Parvane.exe", checkAbout);
    SendMessageW(main, WM_SYSCOMMAND, IDM_ABOUT_BOX, 0);
    EXPECT_TRUE(IsWindow(main));
}

}  // namespace
