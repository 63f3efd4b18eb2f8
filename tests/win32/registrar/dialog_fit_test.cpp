// Every text of Parvane's dialogs fits in its control, with the templates'
// face and in a prefix without it (see tests/win32/launcher/dialog_fit_test.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "registrar/win32/name_check_dialog.h"
#include "registrar/win32/register_dialog.h"
#include "registrar/win32/registrar_about_dialog.h"
#include "registrar/win32/report_dialog.h"
#include "registrar/win32/settings_dialog.h"
#include "tests/win32/registrar/scratch.h"
#include "tests/win32/text_fit.h"

namespace {

using ::testing::IsEmpty;

void ExpectTextsFit(win32::Dialog& dialog) {
    ASSERT_NE(dialog.CreateModeless(nullptr), nullptr);
    EXPECT_THAT(testing_win32::LayoutFaults(dialog.hwnd()), IsEmpty());
}

TEST(DialogFit, EveryDialogOfTheRegistrar) {
    testing_win32::ScratchFolder folder;
    registrar::RegistrarAboutDialog about;
    ExpectTextsFit(about);
    registrar::RegisterDialog main;
    ExpectTextsFit(main);
    registrar::SettingsDialog settings;
    ExpectTextsFit(settings);
    registrar::NameCheckDialog nameCheck;
    nameCheck.startupFolder = folder.Path();
    ExpectTextsFit(nameCheck);
    registrar::ReportDialog report;
    report.message = L"以下のファイルは、パスにフォルダーが含まれていないためその登録が実行されませんでした。";
    ExpectTextsFit(report);
}

}  // namespace
