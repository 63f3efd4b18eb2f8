// Faults injected into every file the registrar writes, at every step of the
// replacement, once and persistently: cr.x at the commit (the 警告 box, the
// dialog stays open with every entry, cr.x wholly old until a retry makes it
// wholly new) and nmerr.html from the name check's Help (nothing happens, the
// page is not opened). No temporary file is ever left behind.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/win32/text.h"
#include "dialog_answerer.h"
#include "registrar/win32/name_check_dialog.h"
#include "registrar/win32/register_dialog.h"
#include "registrar/win32/resource_ids.h"
#include "scratch.h"
#include "tests/win32/faulty_file_store.h"

namespace {

using registrar::Entry;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;
using testing_win32::AllStaticTexts;
using testing_win32::ControlText;
using testing_win32::DialogAnswerer;
using testing_win32::FaultyFileStore;
using testing_win32::ListItems;
using testing_win32::PostCommand;
using testing_win32::TemporariesIn;
using testing_win32::WriteFault;
using win32::WriteStep;

// An error the platform can give, and how the 警告 box words it.
struct ErrorCase {
    unsigned long code;
    const char* name;
    const wchar_t* reason;
};

void PrintTo(const ErrorCase& error, std::ostream* out) { *out << error.name; }

const ErrorCase kErrors[] = {
    {ERROR_ACCESS_DENIED, "AccessDenied", L"cr.x またはそのフォルダーが読み取り専用か、書き込む権限がありません。"},
    {ERROR_SHARING_VIOLATION, "SharingViolation", L"ほかのプログラムが cr.x を使用中です。"},
    {ERROR_DISK_FULL, "DiskFull", L"ディスクの空き容量が足りません。"},
    {ERROR_GEN_FAILURE, "GeneralFailure", L"予期しないエラーが発生しました。(エラーコード 31)"},
};

class TestRegisterDialog : public registrar::RegisterDialog {
public:
    FileStore* store = nullptr;

protected:
    FileStore& Files() override { return store != nullptr ? *store : RegisterDialog::Files(); }
};

// ---- cr.x --------------------------------------------------------------------

using CommitFault = std::tuple<WriteStep, bool /*persistent*/, ErrorCase>;

class CommitWriteFault : public testing::TestWithParam<CommitFault> {
protected:
    void TearDown() override {
        EXPECT_THAT(answerer.Unexpected(), ElementsAre()) << "windows nobody expected";
        EXPECT_EQ(answerer.PendingSteps(), 0u) << "expected windows that never came";
    }
    std::string Touch(const std::wstring& name) {
        EXPECT_TRUE(folder.WriteFile(name, "x"));
        return folder.Cp932Path() + win32::Cp932FromWide(name).bytes;
    }
    std::vector<std::string> NameFields() const {
        std::vector<std::string> names;
        for (const Entry& entry : dialog.Entries()) names.push_back(entry.nameField);
        return names;
    }
    // The failure box, with the cause in plain words; answered with OK.
    void ExpectFailureBox(const ErrorCase& error) {
        answerer.Then(L"警告", [error](HWND box) {
            const std::wstring text = AllStaticTexts(box);
            EXPECT_THAT(text, HasSubstr(L"cr.x に書き込めなかったため、登録は実行されませんでした。"));
            EXPECT_THAT(text, HasSubstr(error.reason));
            EXPECT_THAT(text, HasSubstr(L"cr.x は元のままです。"));
            PostCommand(box, IDOK);
        });
    }
    void ExpectUntouched(const std::string& before) {
        ASSERT_TRUE(IsWindow(main)) << "the dialog stays open";
        EXPECT_EQ(folder.ReadFile(L"cr.x"), before);
        EXPECT_TRUE(folder.IsReadOnly(L"cr.x"));
        EXPECT_THAT(NameFields(), ElementsAre("b.exe\t-o", "bad name.exe", "a.exe", "gone.exe"));
        EXPECT_THAT(ListItems(GetDlgItem(main, IDC_NAME_LIST)),
                    ElementsAre(L"b.exe\t-o", L"bad name.exe", L"a.exe", L"gone.exe"));
        EXPECT_EQ(ListItems(GetDlgItem(main, IDC_FOLDER_LIST)).size(), 4u);
        EXPECT_EQ(ControlText(main, IDC_COUNT_EDIT), L"4");
        EXPECT_THAT(TemporariesIn(folder.Path()), ElementsAre());
    }

    testing_win32::ScratchFolder folder;
    DialogAnswerer answerer;
    TestRegisterDialog dialog;
    HWND main = nullptr;
};

TEST_P(CommitWriteFault, OldCrXStaysWholeTheUserIsToldAndNothingIsLost) {
    const auto& [step, persistent, error] = GetParam();
    const std::string b = Touch(L"b.exe");
    const std::string a = Touch(L"a.exe");
    const std::string bad = Touch(L"bad name.exe");
    ASSERT_TRUE(folder.WriteFile(L"cr.x", b + "\t-o\r\n" + bad + "\r\n" + a + "\r\n" + folder.Cp932Path() +
                                              "gone.exe\r\n"));
    SetFileAttributesW(folder.File(L"cr.x").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string before = folder.ReadFile(L"cr.x");
    FaultyFileStore store(WriteFault{step, error.code, 1, persistent});
    dialog.store = &store;
    ASSERT_NE(dialog.CreateModeless(nullptr), nullptr);
    main = dialog.hwnd();

    answerer.Then(L"登録名チェック", [](HWND check) { PostCommand(check, IDOK); });
    ExpectFailureBox(error);
    SendMessageW(main, WM_COMMAND, IDOK, 0);
    ASSERT_EQ(store.InjectedFailures(), 1) << "the fault never fired";
    ASSERT_NO_FATAL_FAILURE(ExpectUntouched(before));

    // OK again: the retry.
    answerer.Then(L"登録名チェック", [](HWND check) { PostCommand(check, IDOK); });
    if (persistent) {
        ExpectFailureBox(error);
        SendMessageW(main, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(store.InjectedFailures(), 2);
        ASSERT_NO_FATAL_FAILURE(ExpectUntouched(before));

        // The user gives up: Cancel leaves without writing.
        answerer.Then(L"警告", [](HWND box) { PostCommand(box, IDNO); });
        SendMessageW(main, WM_COMMAND, IDCANCEL, 0);
        EXPECT_EQ(dialog.Result(), IDCANCEL);
        EXPECT_EQ(folder.ReadFile(L"cr.x"), before);
    } else {
        answerer.Then(L"REPORT", [](HWND report) { PostCommand(report, IDOK); })  // the refused name
            .Then(L"REPORT", [](HWND report) { PostCommand(report, IDOK); })     // the missing file
            .Then(L"警告", [](HWND box) { PostCommand(box, IDNO); });
        SendMessageW(main, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(dialog.Result(), IDOK);
        EXPECT_EQ(folder.ReadFile(L"cr.x"), a + "\r\n" + b + "\t-o\r\n");
        EXPECT_EQ(store.InjectedFailures(), 1);
    }
    EXPECT_TRUE(folder.IsReadOnly(L"cr.x"));
    EXPECT_THAT(TemporariesIn(folder.Path()), ElementsAre());
}

std::string CommitFaultName(const testing::TestParamInfo<CommitFault>& info) {
    return std::string(testing_win32::StepName(std::get<0>(info.param))) +
           (std::get<1>(info.param) ? "Persistent" : "Once") + std::get<2>(info.param).name;
}

INSTANTIATE_TEST_SUITE_P(EveryStepAndError, CommitWriteFault,
                         testing::Combine(testing::ValuesIn(testing_win32::kAllWriteSteps), testing::Bool(),
                                          testing::ValuesIn(kErrors)),
                         CommitFaultName);

// ---- nmerr.html ----------------------------------------------------------------

class RecordingNameCheckDialog : public registrar::NameCheckDialog {
public:
    int pagesOpened = 0;

protected:
    void OpenReportPage() override { ++pagesOpened; }
};

enum class PageFault { FirstOnly, SecondOnly, Every };
using ReportFault = std::tuple<WriteStep, PageFault, bool /*an old page exists*/>;

class ReportWriteFault : public testing::TestWithParam<ReportFault> {
protected:
    void TearDown() override {
        EXPECT_THAT(answerer.Unexpected(), ElementsAre()) << "nothing may be shown";
        EXPECT_EQ(answerer.PendingSteps(), 0u);
    }
    std::string Page() const { return folder.Exists(L"nmerr.html") ? folder.ReadFile(L"nmerr.html") : "<none>"; }

    testing_win32::ScratchFolder folder;
    DialogAnswerer answerer;
};

TEST_P(ReportWriteFault, NothingHappensThePageStaysWhollyOldAndIsNotOpened) {
    const auto& [step, when, oldPageExists] = GetParam();
    const std::string oldPage = "<HTML>an earlier page</HTML>";
    if (oldPageExists) {
        ASSERT_TRUE(folder.WriteFile(L"nmerr.html", oldPage));
    }
    const std::string initial = Page();
    FaultyFileStore store(WriteFault{step, ERROR_DISK_FULL, when == PageFault::SecondOnly ? 2 : 1,
                                     when == PageFault::Every});
    RecordingNameCheckDialog check;
    check.startupFolder = folder.Path();
    check.files = &store;
    check.entries = {Entry{"a b.exe", "C:\\x\\"}, Entry{"メモ.txt\t-o", "C:\\y\\"}};

    std::string firstPage;
    answerer.Then(L"登録名チェック", [](HWND dialog) { PostCommand(dialog, IDC_HELP_BUTTON); })
        .Then(L"登録名チェック",
              [&](HWND dialog) {
                  firstPage = Page();
                  const bool failed = when != PageFault::SecondOnly;
                  EXPECT_EQ(check.pagesOpened, failed ? 0 : 1);
                  if (failed) {
                      EXPECT_EQ(firstPage, initial) << "a failed write leaves the old page (or none)";
                  } else {
                      EXPECT_THAT(firstPage, HasSubstr("今回、以下の 2 個のファイル"));
                  }
                  EXPECT_THAT(TemporariesIn(folder.Path()), ElementsAre());
                  // A row changes before the second press, so the two pages differ.
                  testing_win32::SelectListItems(GetDlgItem(dialog, IDC_NAME_LIST), {0});
                  testing_win32::PostDoubleClick(dialog, IDC_NAME_LIST);
              })
        .Then(L"設定",
              [](HWND settings) {
                  testing_win32::EnsureChecked(settings, IDC_USE_NAME);
                  SetDlgItemTextW(settings, IDC_NAME_EDIT, L"still bad");
                  PostCommand(settings, IDOK);
              })
        .Then(L"登録名チェック", [](HWND dialog) { PostCommand(dialog, IDC_HELP_BUTTON); })
        .Then(L"登録名チェック", [&](HWND dialog) {
            const std::string secondPage = Page();
            switch (when) {
                case PageFault::FirstOnly:
                    EXPECT_THAT(secondPage, HasSubstr("RegName : still<FONT"));
                    EXPECT_EQ(check.pagesOpened, 1);
                    break;
                case PageFault::SecondOnly:
                    EXPECT_EQ(secondPage, firstPage) << "the page of the first press, whole";
                    EXPECT_EQ(check.pagesOpened, 1);
                    break;
                case PageFault::Every:
                    EXPECT_EQ(secondPage, initial);
                    EXPECT_EQ(check.pagesOpened, 0);
                    break;
            }
            EXPECT_THAT(TemporariesIn(folder.Path()), ElementsAre());
            PostCommand(dialog, IDCANCEL);
        });
    EXPECT_EQ(check.RunModal(nullptr), IDCANCEL);
    EXPECT_EQ(store.Writes(), 2);
    EXPECT_EQ(store.InjectedFailures(), when == PageFault::Every ? 2 : 1);
    EXPECT_FALSE(folder.IsReadOnly(L"nmerr.html"));
}

std::string ReportFaultName(const testing::TestParamInfo<ReportFault>& info) {
    static const char* const kWhen[] = {"FirstPress", "SecondPress", "EveryPress"};
    return std::string(testing_win32::StepName(std::get<0>(info.param))) +
           kWhen[static_cast<int>(std::get<1>(info.param))] + (std::get<2>(info.param) ? "OverOldPage" : "NoPage");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, ReportWriteFault,
                         testing::Combine(testing::ValuesIn(testing_win32::kAllWriteSteps),
                                          testing::Values(PageFault::FirstOnly, PageFault::SecondOnly,
                                                          PageFault::Every),
                                          testing::Bool()),
                         ReportFaultName);

// The commit's name check writes nmerr.html through the dialog's own store.
TEST(RegistrarWriteFault, TheNameCheckOfACommitWritesThroughTheMainDialogsStore) {
    testing_win32::ScratchFolder folder;
    DialogAnswerer answerer;
    ASSERT_TRUE(folder.WriteFile(L"bad name.exe", "x"));
    ASSERT_TRUE(folder.WriteFile(L"cr.x", folder.Cp932Path() + "bad name.exe\r\n"));
    FaultyFileStore store(WriteFault{WriteStep::Replace, ERROR_ACCESS_DENIED, 1, true});
    TestRegisterDialog dialog;
    dialog.store = &store;
    ASSERT_NE(dialog.CreateModeless(nullptr), nullptr);

    answerer.Then(L"登録名チェック", [](HWND check) { PostCommand(check, IDC_HELP_BUTTON); })
        .Then(L"登録名チェック", [](HWND check) { PostCommand(check, IDCANCEL); });
    SendMessageW(dialog.hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(store.Writes(), 1);
    EXPECT_EQ(store.InjectedFailures(), 1);
    EXPECT_FALSE(folder.Exists(L"nmerr.html"));
    EXPECT_THAT(TemporariesIn(folder.Path()), ElementsAre());
    EXPECT_TRUE(IsWindow(dialog.hwnd()));
    EXPECT_THAT(answerer.Unexpected(), ElementsAre());
    DestroyWindow(dialog.hwnd());
}

}  // namespace
