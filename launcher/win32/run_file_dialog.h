// The run-file dialog ("ファイル名を指定して実行"): a file and an option typed
// by the user, handed to the shell as typed.
#pragma once

#include <functional>
#include <string>

#include "common/win32/dialog.h"

namespace tobi {

class RunFileDialog : public win32::Dialog {
public:
    RunFileDialog();

    // Read after OK; wide, exactly as typed (nothing is stored, so no cp932 form
    // is needed).
    std::wstring fileName;
    std::wstring commandLineOption;

protected:
    void OnOK() override;
};

using RunFileDialogRunner = std::function<INT_PTR(RunFileDialog&)>;
using ShellStart = std::function<void(const std::wstring& file, const std::wstring& parameters)>;

// The run-file command: a fresh, empty dialog; on OK the file is started with
// the option, untrimmed and unquoted. Returns whether OK was chosen (the
// launcher then hides its window, whatever the shell answered).
bool RunRunFileCommand(const RunFileDialogRunner& run, const ShellStart& start);

}  // namespace tobi
