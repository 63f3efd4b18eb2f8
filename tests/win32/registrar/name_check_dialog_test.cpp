// The name-check dialog run modally with prepared rows; the progress dialog's
// job and its outcome when cr.x cannot be written.
#include "registrar/win32/name_check_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/win32/file_store_win32.h"
#include "dialog_answerer.h"
#include "registrar/win32/progress_dialog.h"
#include "registrar/win32/resource_ids.h"
#include "scratch.h"

namespace {

using registrar::Entry;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;
using testing_win32::ClickCheckBox;
using testing_win32::ControlText;
using testing_win32::DialogAnswerer;
using testing_win32::ListItems;
using testing_win32::PostCommand;
using testing_win32::PostDoubleClick;
using testing_win32::SelectListItems;

class RecordingNameCheckDialog : public registrar::NameCheckDialog {
public:
    int pagesOpened = 0;

protected:
    void OpenReportPage() override { ++pagesOpened; }
};

class NameCheckDialogTest : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_THAT(answerer.Unexpected(), ElementsAre());
        EXPECT_EQ(answerer.PendingSteps(), 0u);
    }
    // Steps that give the selected row a registration name.
    void NameRow(int row, const std::wstring& name) {
        answerer
            .Then(L"登録名チェック",
                  [row](HWND check) {
                      SelectListItems(GetDlgItem(check, IDC_NAME_LIST), {row});
                      PostDoubleClick(check, IDC_NAME_LIST);
                  })
            .Then(L"設定", [this, name](HWND settings) {
                shownPaths.push_back(ControlText(settings, IDC_PATH_TEXT));
                testing_win32::EnsureChecked(settings, IDC_USE_NAME);
                SetDlgItemTextW(settings, IDC_NAME_EDIT, name.c_str());
                PostCommand(settings, IDOK);
            });
    }

    DialogAnswerer answerer;
    std::vector<std::wstring> shownPaths;
};

TEST_F(NameCheckDialogTest, EachRowEditsItsOwnEntryEvenWhenNameFieldsAreAlike) {
    RecordingNameCheckDialog check;
    check.entries = {Entry{"メモ.txt", "C:\\a\\"}, Entry{"メモ.txt", "C:\\b\\"}};

    NameRow(1, L"MemoB");  // valid: the row leaves
    answerer.Then(L"登録名チェック", [](HWND dialog) {
        EXPECT_THAT(ListItems(GetDlgItem(dialog, IDC_NAME_LIST)), ElementsAre(L"メモ.txt"));
        EXPECT_EQ(ControlText(dialog, IDC_COUNT_EDIT), L"1");
        // No row selected: a double-click does nothing.
        SelectListItems(GetDlgItem(dialog, IDC_NAME_LIST), {});
        PostDoubleClick(dialog, IDC_NAME_LIST);
    });
    NameRow(0, L"bad name");  // still invalid: the row stays with its new text
    answerer.Then(L"登録名チェック", [](HWND dialog) {
        EXPECT_THAT(ListItems(GetDlgItem(dialog, IDC_NAME_LIST)), ElementsAre(L"メモ.txt\t\tbad name"));
        EXPECT_EQ(ControlText(dialog, IDC_COUNT_EDIT), L"1");
    });
    NameRow(0, L"MemoA");  // the last row named: the dialog closes as with OK

    EXPECT_EQ(check.RunModal(nullptr), IDOK);
    EXPECT_THAT(shownPaths, ElementsAre(L"\r\n C:\\b\\メモ.txt", L"\r\n C:\\a\\メモ.txt", L"\r\n C:\\a\\メモ.txt"));
    EXPECT_EQ(check.entries[0].nameField, "メモ.txt\t\tMemoA");
    EXPECT_EQ(check.entries[1].nameField, "メモ.txt\t\tMemoB");
    EXPECT_TRUE(check.RowEntries().empty());
}

TEST_F(NameCheckDialogTest, HelpWritesTheErrorPageForTheRowsAsTheyStandAndOpensIt) {
    testing_win32::ScratchFolder folder;
    RecordingNameCheckDialog check;
    check.startupFolder = folder.Path();
    check.entries = {Entry{"a b-c.exe", "C:\\x\\"}, Entry{"ok name.exe\t-o", "C:\\y\\"}};

    NameRow(0, L"Good");
    answerer
        .Then(L"登録名チェック", [](HWND dialog) { PostCommand(dialog, IDC_HELP_BUTTON); })
        .Then(L"登録名チェック", [&](HWND dialog) {
            const std::string page = folder.ReadFile(L"nmerr.html");
            EXPECT_THAT(page, StartsWith("<HTML><HEAD><TITLE> // NameError </TITLE>"));
            EXPECT_THAT(page, HasSubstr("今回、以下の 1 個のファイル"));
            EXPECT_THAT(page, HasSubstr("Path : C:\\y\\ok<FONT COLOR = \"#FF0000\"><B> </B></FONT>name.exe<BR>"));
            EXPECT_THAT(page, HasSubstr("CommandLineOption : -o<BR>"));
            EXPECT_THAT(page, testing::Not(HasSubstr("a<FONT")));
            EXPECT_EQ(check.pagesOpened, 1);

            // A write-protected page is left alone and not opened.
            SetFileAttributesW(folder.File(L"nmerr.html").c_str(), FILE_ATTRIBUTE_READONLY);
            PostCommand(dialog, IDC_HELP_BUTTON);
        })
        .Then(L"登録名チェック", [&](HWND dialog) {
            EXPECT_EQ(check.pagesOpened, 1);
            PostCommand(dialog, IDCANCEL);
        });
    EXPECT_EQ(check.RunModal(nullptr), IDCANCEL);
}

class FailingStore : public win32::FileStoreWin32 {
public:
    bool throwAtLookup = false;
    Presence Lookup(const std::string& path) override {
        if (throwAtLookup) throw std::runtime_error("lookup");
        return FileStoreWin32::Lookup(path);
    }

protected:
    unsigned long InjectedFailure(win32::WriteStep step) override {
        return step == win32::WriteStep::Write ? ERROR_HANDLE_DISK_FULL : 0;
    }
};

TEST(ProgressDialogTest, OrdersWritesAndClosesByItself) {
    testing_win32::ScratchFolder folder;
    folder.WriteFile(L"b.exe", "x");
    folder.WriteFile(L"a.exe", "x");
    win32::FileStoreWin32 store;
    registrar::ProgressDialog progress(store);
    progress.entries = {Entry{"b.exe", folder.Cp932Path()}, Entry{"gone.exe", folder.Cp932Path()},
                        Entry{"a.exe", folder.Cp932Path()}};
    EXPECT_EQ(progress.RunModal(nullptr), IDOK);
    EXPECT_TRUE(progress.doneFlag);
    EXPECT_GE(progress.tickCount, 2);
    EXPECT_TRUE(progress.outcome.written());
    EXPECT_THAT(progress.outcome.ordered.missing, ElementsAre(folder.Cp932Path() + "gone.exe"));
    EXPECT_EQ(folder.ReadFile(L"cr.x"), folder.Cp932Path() + "a.exe\r\n" + folder.Cp932Path() + "b.exe\r\n");
}

// A failed write, or an exception in the job, still closes the dialog.
TEST(ProgressDialogTest, AFailedJobStillClosesTheDialogAndReportsWhy) {
    for (bool throwing : {false, true}) {
        testing_win32::ScratchFolder folder;
        folder.WriteFile(L"cr.x", "old\r\n");
        FailingStore store;
        store.throwAtLookup = throwing;
        registrar::ProgressDialog progress(store);
        progress.entries = {Entry{"a.exe", folder.Cp932Path()}};
        progress.baseline = {Entry{"old", ""}};
        EXPECT_EQ(progress.RunModal(nullptr), IDOK);
        EXPECT_TRUE(progress.doneFlag);
        EXPECT_EQ(progress.outcome.status, registrar::CommitStatus::WriteFailed);
        EXPECT_EQ(progress.outcome.write.error, throwing ? WriteError::Other : WriteError::DiskFull);
        EXPECT_EQ(progress.outcome.listed, progress.entries) << "the list stays for another try";
        EXPECT_EQ(folder.ReadFile(L"cr.x"), "old\r\n");
    }
}

}  // namespace
