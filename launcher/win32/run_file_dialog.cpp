#include "launcher/win32/run_file_dialog.h"

#include "launcher/win32/resource_ids.h"

namespace tobi {

RunFileDialog::RunFileDialog() : Dialog(IDD_RUN_FILE) {}

void RunFileDialog::OnOK() {
    fileName = ItemText(IDC_RUN_FILE_NAME);
    commandLineOption = ItemText(IDC_RUN_FILE_OPTION);
    EndDialog(IDOK);
}

bool RunRunFileCommand(const RunFileDialogRunner& run, const ShellStart& start) {
    RunFileDialog dialog;
    if (run(dialog) != IDOK) return false;
    start(dialog.fileName, dialog.commandLineOption);
    return true;
}

}  // namespace tobi
