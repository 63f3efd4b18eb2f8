// Every text of Tobi's dialogs fits in its control: with the templates' face
// (or its stand-in) as laid out, and in a prefix without it, where the
// dialogs take another Japanese face and widen what does not fit.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "launcher/win32/about_dialog.h"
#include "launcher/win32/options_dialog.h"
#include "launcher/win32/run_file_dialog.h"
#include "tests/win32/text_fit.h"

namespace {

using ::testing::IsEmpty;

void ExpectTextsFit(win32::Dialog& dialog) {
    ASSERT_NE(dialog.CreateModeless(nullptr), nullptr);
    EXPECT_THAT(testing_win32::LayoutFaults(dialog.hwnd()), IsEmpty());
}

TEST(DialogFit, AboutOptionsAndRunFileDialogs) {
    tobi::AboutDialog about;
    ExpectTextsFit(about);
    tobi::OptionsDialog options;
    ExpectTextsFit(options);
    tobi::RunFileDialog runFile;
    ExpectTextsFit(runFile);
}

}  // namespace
