#include "launcher/win32/run_file_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/win32/resource_ids.h"

namespace {

using tobi::RunFileDialog;

struct ShellCall {
    std::wstring file;
    std::wstring parameters;
};

class RunFileCommandTest : public ::testing::Test {
protected:
    // The user types the two texts into a freshly opened dialog and presses
    // OK (or closes it); the texts found in the edits at opening are kept.
    tobi::RunFileDialogRunner Type(std::wstring file, std::wstring option, int button = IDOK) {
        return [this, file, option, button](RunFileDialog& dialog) {
            if (dialog.CreateModeless(nullptr) == nullptr) return INT_PTR{-1};
            textsAtOpening.push_back(dialog.ItemText(IDC_RUN_FILE_NAME) + L"|" + dialog.ItemText(IDC_RUN_FILE_OPTION));
            dialog.SetItemText(IDC_RUN_FILE_NAME, file);
            dialog.SetItemText(IDC_RUN_FILE_OPTION, option);
            SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            return dialog.Result();
        };
    }
    tobi::ShellStart Record() {
        return [this](const std::wstring& file, const std::wstring& parameters) {
            calls.push_back({file, parameters});
        };
    }

    std::vector<std::wstring> textsAtOpening;
    std::vector<ShellCall> calls;
};

TEST_F(RunFileCommandTest, OKHandsBothTextsToTheShellExactlyAsTyped) {
    // Spaces kept, quotes untouched, and characters that code page 932 lacks.
    const std::wstring file = L"  C:\\Users\\ñandú\\表 €.txt ";
    const std::wstring option = L" -x \"two words\"  ";
    EXPECT_TRUE(tobi::RunRunFileCommand(Type(file, option), Record()));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, file);
    EXPECT_EQ(calls[0].parameters, option);
}

TEST_F(RunFileCommandTest, EmptyFieldsStillGoToTheShell) {
    EXPECT_TRUE(tobi::RunRunFileCommand(Type(L"", L""), Record()));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, L"");
    EXPECT_EQ(calls[0].parameters, L"");
}

TEST_F(RunFileCommandTest, CancelStartsNothing) {
    EXPECT_FALSE(tobi::RunRunFileCommand(Type(L"C:\\x.exe", L"-y", IDCANCEL), Record()));
    EXPECT_TRUE(calls.empty());
}

TEST_F(RunFileCommandTest, EveryOpeningStartsEmpty) {
    tobi::RunRunFileCommand(Type(L"C:\\first.exe", L"-1"), Record());
    tobi::RunRunFileCommand(Type(L"C:\\second.exe", L"-2", IDCANCEL), Record());
    tobi::RunRunFileCommand(Type(L"C:\\third.exe", L"-3"), Record());
    EXPECT_EQ(textsAtOpening, (std::vector<std::wstring>{L"|", L"|", L"|"}));
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].file, L"C:\\third.exe");
}

TEST(RunFileDialog, HasItsTitleAndLongTextsSurvive) {
    RunFileDialog dialog;
    ASSERT_NE(dialog.CreateModeless(nullptr), nullptr);
    EXPECT_EQ(win32::WindowText(dialog.hwnd()), L"ファイル名を指定して実行");
    // Far beyond any fixed buffer: nothing is cut.
    const std::wstring longPath = L"C:\\" + std::wstring(5000, L'a') + L"\\b.exe";
    dialog.SetItemText(IDC_RUN_FILE_NAME, longPath);
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_EQ(dialog.fileName, longPath);
}

}  // namespace
