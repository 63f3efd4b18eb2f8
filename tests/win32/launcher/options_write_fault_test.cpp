// Faults injected into the launcher's only file write, opt.x, at every step of
// the replacement, once and persistently: the defaults written at the first
// start and the values written by the options dialog's OK. The launcher keeps
// running with the values in memory and shows nothing; opt.x is wholly the old
// file or wholly the new one, and no temporary file is left behind.
#include <windows.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "launcher/options_file.h"
#include "launcher/win32/launcher_window.h"
#include "launcher/win32/resource_ids.h"
#include "tests/win32/faulty_file_store.h"
#include "tests/win32/launcher/menu_closer.h"
#include "tests/win32/registrar/dialog_answerer.h"
#include "tests/win32/registrar/scratch.h"

namespace {

using testing::ElementsAre;
using testing_win32::ControlText;
using testing_win32::DialogAnswerer;
using testing_win32::FaultyFileStore;
using testing_win32::MenuCloser;
using testing_win32::PostCommand;
using testing_win32::TemporariesIn;
using testing_win32::WriteFault;
using win32::WriteStep;

class TestLauncherWindow : public tobi::LauncherWindow {
public:
    FileStore* store = nullptr;

protected:
    FileStore& Files() override { return store != nullptr ? *store : LauncherWindow::Files(); }
};

const launcher::Options kDefaults{1, 1, 50};

std::string OptionsBytes(const launcher::Options& options) { return launcher::BuildOptionsText(options); }

// Which writes fail. At a first start the first write is the defaults'.
enum class OptionsFault { FirstOnly, SecondOnly, Every };
using LauncherFault = std::tuple<WriteStep, OptionsFault, bool /*opt.x exists*/>;

class OptionsWriteFault : public testing::TestWithParam<LauncherFault> {
protected:
    void TearDown() override {
        if (IsWindow(window.hwnd())) SendMessageW(window.hwnd(), WM_COMMAND, ID_EXIT, 0);
        EXPECT_FALSE(IsWindow(window.hwnd()));
        EXPECT_THAT(answerer.Unexpected(), ElementsAre()) << "the launcher shows nothing";
        EXPECT_EQ(answerer.PendingSteps(), 0u);
    }

    void Start() {
        ASSERT_NE(window.CreateModeless(nullptr), nullptr);
        EXPECT_EQ(MenuCloser::Closed(), 1) << "the letter menu opens once at start";
    }

    // The options command; the dialog shows `shown` and is left with OK after
    // choosing `chosenKey`, or with Cancel when it is -1.
    void OptionsCommand(const launcher::Options& shown, int chosenKey) {
        answerer.Then(L"設定", [shown, chosenKey](HWND dialog) {
            EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_KEY_LIST, CB_GETCURSEL, 0, 0), shown.keyIndex);
            EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_COUNT_LIST, CB_GETCURSEL, 0, 0), shown.countIndex);
            EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SPEED_SLIDER, TBM_GETPOS, 0, 0), shown.speed);
            if (chosenKey < 0) {
                PostCommand(dialog, IDCANCEL);
                return;
            }
            SendDlgItemMessageW(dialog, IDC_KEY_LIST, CB_SETCURSEL, static_cast<WPARAM>(chosenKey), 0);
            PostCommand(dialog, IDOK);
        });
        SendMessageW(window.hwnd(), WM_COMMAND, ID_OPTIONS, 0);
        EXPECT_EQ(answerer.PendingSteps(), 0u);
    }

    void ExpectOnDisk(const std::string& bytes) {
        EXPECT_EQ(folder.ReadFile(L"opt.x"), bytes);
        EXPECT_EQ(folder.IsReadOnly(L"opt.x"), !bytes.empty()) << "read-only once written, never a half state";
        EXPECT_THAT(TemporariesIn(folder.Path()), ElementsAre());
        EXPECT_TRUE(IsWindow(window.hwnd())) << "the launcher keeps running";
    }

    testing_win32::ScratchFolder folder;
    DialogAnswerer answerer;
    MenuCloser menuCloser;
    TestLauncherWindow window;
};

TEST_P(OptionsWriteFault, TheLauncherGoesOnWithItsValuesAndOptXStaysWhole) {
    const auto& [step, when, exists] = GetParam();
    const launcher::Options saved{0, 2, 80};  // Alt, 4 presses, 760 ms
    if (exists) {
        ASSERT_TRUE(folder.WriteFile(L"opt.x", OptionsBytes(saved)));
        SetFileAttributesW(folder.File(L"opt.x").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    FaultyFileStore store(WriteFault{step, ERROR_ACCESS_DENIED, when == OptionsFault::SecondOnly ? 2 : 1,
                                     when == OptionsFault::Every});
    window.store = &store;
    ASSERT_NO_FATAL_FAILURE(Start());

    // At start: a missing opt.x is created empty and the defaults are written;
    // when that write fails the empty file stays and the defaults stay in memory.
    launcher::Options memory = exists ? saved : kDefaults;
    std::string disk = exists ? OptionsBytes(saved) : (when == OptionsFault::SecondOnly ? OptionsBytes(kDefaults) : "");
    EXPECT_EQ(store.Writes(), exists ? 0 : 1);
    ExpectOnDisk(disk);

    // Two confirmed options dialogs, each choosing another key.
    for (int key : {2, 1}) {
        SCOPED_TRACE("options OK choosing key " + std::to_string(key));
        OptionsCommand(memory, key);
        memory.keyIndex = key;
        const int write = store.Writes();
        const bool failed = when == OptionsFault::Every ||
                            (when == OptionsFault::FirstOnly && write == 1) ||
                            (when == OptionsFault::SecondOnly && write == 2);
        if (!failed) disk = OptionsBytes(memory);
        ExpectOnDisk(disk);
    }
    // The values in memory are the last ones chosen, whatever reached the disk.
    OptionsCommand(memory, -1);
    EXPECT_GE(store.InjectedFailures(), 1) << "the fault never fired";
    EXPECT_EQ(store.InjectedFailures(), when == OptionsFault::Every ? store.Writes() : 1);
}

std::string LauncherFaultName(const testing::TestParamInfo<LauncherFault>& info) {
    static const char* const kWhen[] = {"FirstWrite", "SecondWrite", "EveryWrite"};
    return std::string(testing_win32::StepName(std::get<0>(info.param))) +
           kWhen[static_cast<int>(std::get<1>(info.param))] + (std::get<2>(info.param) ? "OptXExists" : "FirstStart");
}

INSTANTIATE_TEST_SUITE_P(EveryStep, OptionsWriteFault,
                         testing::Combine(testing::ValuesIn(testing_win32::kAllWriteSteps),
                                          testing::Values(OptionsFault::FirstOnly, OptionsFault::SecondOnly,
                                                          OptionsFault::Every),
                                          testing::Bool()),
                         LauncherFaultName);

}  // namespace
