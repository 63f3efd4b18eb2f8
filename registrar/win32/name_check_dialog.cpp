#include "registrar/win32/name_check_dialog.h"

#include "common/win32/file_store_win32.h"
#include "common/win32/shell.h"
#include "common/win32/text.h"
#include "registrar/name_error_report.h"
#include "registrar/registration_names.h"
#include "registrar/win32/list_box.h"
#include "registrar/win32/resource_ids.h"
#include "registrar/win32/settings_dialog.h"

namespace registrar {

NameCheckDialog::NameCheckDialog() : win32::Dialog(IDD_NAME_CHECK) {}

BOOL NameCheckDialog::OnInitDialog() {
    rowEntries_.clear();
    std::vector<std::wstring> texts;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        rowEntries_.push_back(i);
        texts.push_back(win32::WideFromCp932(entries[i].nameField));
    }
    FillListBox(Item(IDC_NAME_LIST), texts);
    RefreshCount();
    return TRUE;
}

bool NameCheckDialog::OnCommand(WORD id, WORD notification, HWND control) {
    if (id == IDC_NAME_LIST && notification == LBN_DBLCLK) {
        EditRow(FocusedSelectedItem(Item(IDC_NAME_LIST)));
        return true;
    }
    if (id == IDC_HELP_BUTTON && notification == BN_CLICKED) {
        WriteNameErrorReport();
        return true;
    }
    return win32::Dialog::OnCommand(id, notification, control);
}

void NameCheckDialog::EditRow(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= rowEntries_.size()) return;
    Entry& entry = entries[rowEntries_[row]];
    const std::optional<std::string> nameField = EditEntrySettings(hwnd(), entry);
    if (!nameField) return;
    entry.nameField = *nameField;

    HWND list = Item(IDC_NAME_LIST);
    if (HasValidRegistrationKey(entry.nameField)) {
        // Filed now: the row leaves the list.
        SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(row), 0);
        rowEntries_.erase(rowEntries_.begin() + row);
    } else {
        ReplaceListItem(list, row, win32::WideFromCp932(entry.nameField));
    }
    RefreshCount();
    if (rowEntries_.empty()) OnOK();
}

void NameCheckDialog::WriteNameErrorReport() {
    std::vector<Entry> rows;
    rows.reserve(rowEntries_.size());
    for (std::size_t index : rowEntries_) rows.push_back(entries[index]);

    SYSTEMTIME now{};
    GetLocalTime(&now);
    const ReportTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};

    // The page goes beside cr.x, addressed by its bare name like every file of
    // the program (the folder's own name need not fit code page 932).
    win32::ChangeDirectory(startupFolder);
    win32::FileStoreWin32 realFiles;
    FileStore& store = files != nullptr ? *files : realFiles;
    if (registrar::WriteNameErrorReport(store, kNameErrorReportFileName, rows, time)) OpenReportPage();
}

void NameCheckDialog::OpenReportPage() {
    win32::OpenWithShell(hwnd(), win32::WideFromCp932(kNameErrorReportFileName), L"");
}

void NameCheckDialog::RefreshCount() {
    SetItemText(IDC_COUNT_EDIT, win32::WideFromInt(static_cast<long long>(rowEntries_.size())));
}

}  // namespace registrar
