#include "registrar/win32/progress_dialog.h"

#include <commctrl.h>

#include "registrar/win32/resource_ids.h"

namespace registrar {
namespace {

constexpr UINT_PTR kJobTimer = 1;

}  // namespace

ProgressDialog::ProgressDialog(FileStore& store) : win32::Dialog(IDD_PROGRESS), store_(store) {}

BOOL ProgressDialog::OnInitDialog() {
    SendMessageW(Item(IDC_PROGRESS_BAR), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    doneFlag = false;
    tickCount = 0;
    // The first tick only lets the dialog appear; the second does the job.
    SetTimer(hwnd(), kJobTimer, 1, nullptr);
    return TRUE;
}

bool ProgressDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message != WM_TIMER || wParam != kJobTimer) return false;
    ++tickCount;
    if (tickCount == 2) RunJob();
    if (doneFlag) {
        KillTimer(hwnd(), kJobTimer);
        win32::Dialog::EndDialog(IDOK);
    }
    result = 0;
    return true;
}

void ProgressDialog::RunJob() {
    try {
        outcome = CommitEntries(store_, registrationFilePath, baseline, entries,
                               [this](int percent) { ShowProgress(percent); });
    } catch (...) {
        // Nothing was written (writing is the job's last step); the list stays.
        outcome = CommitResult();
        outcome.listed = entries;
        outcome.baseline = baseline;
    }
    // Done either way: a failed job must not keep the dialog waiting.
    doneFlag = true;
}

void ProgressDialog::ShowProgress(int percent) {
    // Only changes are drawn: the job runs inside one message, so the bar is
    // repainted by hand, and at most a few hundred times per commit.
    if (percent == shownPercent_) return;
    shownPercent_ = percent;
    HWND bar = Item(IDC_PROGRESS_BAR);
    SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    UpdateWindow(bar);
}

}  // namespace registrar
