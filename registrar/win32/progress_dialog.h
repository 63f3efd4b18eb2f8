// The commit's working step: under a progress bar, merges the list onto cr.x
// as it stands, drops the entries whose file is gone, orders the rest and
// writes cr.x, then closes itself, whatever the outcome.
#pragma once

#include <string>
#include <vector>

#include "common/file_store.h"
#include "common/win32/dialog.h"
#include "registrar/commit.h"
#include "registrar/registration_file.h"

namespace registrar {

class ProgressDialog : public win32::Dialog {
public:
    explicit ProgressDialog(FileStore& store);

    // In: the list, the entries of cr.x it was last compared with, and where
    // cr.x goes (relative names are taken from the current directory).
    std::vector<Entry> entries;
    std::vector<Entry> baseline;
    std::string registrationFilePath = kRegistrationFileName;

    // Out: set once the job has run, whatever its outcome.
    bool doneFlag = false;
    int tickCount = 0;
    CommitResult outcome;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void OnOK() override {}      // Enter and Esc do nothing while the job runs
    void OnCancel() override {}

private:
    void RunJob();
    void ShowProgress(int percent);

    FileStore& store_;
    int shownPercent_ = -1;
};

}  // namespace registrar
