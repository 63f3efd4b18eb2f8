// The settings dialog run modally for one entry, answered on its own thread.
#include "registrar/win32/settings_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>

#include "common/win32/text.h"
#include "dialog_answerer.h"
#include "registrar/win32/resource_ids.h"

namespace {

using registrar::EditEntrySettings;
using registrar::Entry;
using testing::ElementsAre;
using testing_win32::ClickCheckBox;
using testing_win32::ControlText;
using testing_win32::DialogAnswerer;
using testing_win32::PostCommand;

bool IsReadOnly(HWND dialog, int id) { return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & ES_READONLY) != 0; }

class SettingsDialogTest : public testing::Test {
protected:
    void TearDown() override {
        EXPECT_THAT(answerer.Unexpected(), ElementsAre());
        EXPECT_EQ(answerer.PendingSteps(), 0u);
    }
    DialogAnswerer answerer;
};

TEST_F(SettingsDialogTest, TwoAdjacentTabsOpenWithOnlyTheNameBoxAndTheOptionBoxUnlocksItsEdit) {
    answerer.Then(L"設定", [](HWND settings) {
        EXPECT_EQ(ControlText(settings, IDC_PATH_TEXT), L"\r\n D:\\Docs\\日記.txt");
        EXPECT_EQ(IsDlgButtonChecked(settings, IDC_USE_OPTION), BST_UNCHECKED);
        EXPECT_TRUE(IsReadOnly(settings, IDC_OPTION_EDIT));
        EXPECT_EQ(IsDlgButtonChecked(settings, IDC_USE_NAME), BST_CHECKED);
        EXPECT_FALSE(IsReadOnly(settings, IDC_NAME_EDIT));
        EXPECT_EQ(ControlText(settings, IDC_NAME_EDIT), L"diary");

        ClickCheckBox(settings, IDC_USE_OPTION);
        EXPECT_FALSE(IsReadOnly(settings, IDC_OPTION_EDIT));
        EXPECT_EQ(GetFocus(), GetDlgItem(settings, IDC_OPTION_EDIT));
        SetDlgItemTextW(settings, IDC_OPTION_EDIT, L"-v");
        PostCommand(settings, IDOK);
    });
    EXPECT_EQ(EditEntrySettings(nullptr, Entry{"日記.txt\t\tdiary", "D:\\Docs\\"}), "日記.txt\t-v\tdiary");
}

TEST_F(SettingsDialogTest, ACheckedBoxWithAnEmptyTextAndAClearedBoxBothDropTheirPart) {
    answerer.Then(L"設定", [](HWND settings) {
        EXPECT_EQ(IsDlgButtonChecked(settings, IDC_USE_OPTION), BST_CHECKED);
        EXPECT_EQ(ControlText(settings, IDC_OPTION_EDIT), L"/s");
        ClickCheckBox(settings, IDC_USE_OPTION);  // cleared: the shown text is not written
        EXPECT_TRUE(IsReadOnly(settings, IDC_OPTION_EDIT));
        EXPECT_EQ(ControlText(settings, IDC_OPTION_EDIT), L"/s");
        ClickCheckBox(settings, IDC_USE_NAME);  // checked but left empty
        PostCommand(settings, IDOK);
    });
    EXPECT_EQ(EditEntrySettings(nullptr, Entry{"calc.exe\t/s", "C:\\"}), "calc.exe");
}

TEST_F(SettingsDialogTest, OptionOnlyNameOnlyAndEscape) {
    answerer.Then(L"設定", [](HWND settings) {
        ClickCheckBox(settings, IDC_USE_NAME);
        SetDlgItemTextW(settings, IDC_NAME_EDIT, L"Calc");
        PostCommand(settings, IDOK);
    });
    EXPECT_EQ(EditEntrySettings(nullptr, Entry{"calc.exe", "C:\\"}), "calc.exe\t\tCalc");

    answerer.Then(L"設定", [](HWND settings) {
        ClickCheckBox(settings, IDC_USE_OPTION);
        SetDlgItemTextW(settings, IDC_OPTION_EDIT, L"-a\t-b\n");
        PostCommand(settings, IDOK);
    });
    EXPECT_EQ(EditEntrySettings(nullptr, Entry{"calc.exe", "C:\\"}), "calc.exe\t-a-b");

    answerer.Then(L"設定", [](HWND settings) {
        ClickCheckBox(settings, IDC_USE_NAME);
        SetDlgItemTextW(settings, IDC_NAME_EDIT, L"Other");
        PostCommand(settings, IDCANCEL);
    });
    EXPECT_EQ(EditEntrySettings(nullptr, Entry{"calc.exe", "C:\\"}), std::nullopt);
}

// OK on what the dialog showed is no edit (the merge with cr.x would take it
// for one), though the bytes would not come back the same: the OK rule drops a
// trailing TAB, and code page 932 gives an NEC-selected character back in its
// IBM code. A text left alone keeps its bytes when the other one changes.
TEST_F(SettingsDialogTest, OkWithoutAChangeIsNoEditAndATextLeftAloneKeepsItsBytes) {
    const std::string nec = "\xED\x40";  // 纊 as NEC selected it; IBM's code is FA 5C
    ASSERT_NE(win32::Cp932FromWide(win32::WideFromCp932(nec)).bytes, nec) << "the round trip this is about";
    const std::tuple<std::string, const wchar_t*, std::optional<std::string>> rows[] = {
        {"calc.exe\t/s\t", nullptr, std::nullopt},
        {"calc.exe\t-" + nec + "\tCalc", nullptr, std::nullopt},
        {"calc.exe\t-" + nec, L"Calc", "calc.exe\t-" + nec + "\tCalc"},  // a name typed in
    };
    for (const auto& [nameField, typedName, result] : rows) {
        answerer.Then(L"設定", [name = typedName](HWND settings) {
            if (name != nullptr) {
                ClickCheckBox(settings, IDC_USE_NAME);
                SetDlgItemTextW(settings, IDC_NAME_EDIT, name);
            }
            PostCommand(settings, IDOK);
        });
        EXPECT_EQ(EditEntrySettings(nullptr, Entry{nameField, "C:\\"}), result) << nameField;
    }
}

TEST_F(SettingsDialogTest, TextOutsideCodePage932IsRefusedAndTheDialogStaysOpen) {
    answerer
        .Then(L"設定",
              [](HWND settings) {
                  ClickCheckBox(settings, IDC_USE_NAME);
                  SetDlgItemTextW(settings, IDC_NAME_EDIT, L"Caf\u00e9");
                  PostCommand(settings, IDOK);
              })
        .Then(L"警告", [](HWND box) { PostCommand(box, IDOK); })
        .Then(L"設定", [](HWND settings) {
            EXPECT_EQ(ControlText(settings, IDC_NAME_EDIT), L"Caf\u00e9");
            SetDlgItemTextW(settings, IDC_NAME_EDIT, L"Cafe");
            PostCommand(settings, IDOK);
        });
    EXPECT_EQ(EditEntrySettings(nullptr, Entry{"cafe.txt", "C:\\"}), "cafe.txt\t\tCafe");
}

}  // namespace
