#include "registrar/win32/report_dialog.h"

#include "common/win32/text.h"
#include "registrar/win32/list_box.h"
#include "registrar/win32/resource_ids.h"

namespace registrar {

ReportDialog::ReportDialog() : win32::Dialog(IDD_REPORT) {}

BOOL ReportDialog::OnInitDialog() {
    SetItemText(IDC_MESSAGE_TEXT, message);
    SetItemText(IDC_COUNT_EDIT, win32::WideFromInt(static_cast<long long>(rows.size())));
    std::vector<std::wstring> texts;
    texts.reserve(rows.size());
    for (const std::string& row : rows) texts.push_back(win32::WideFromCp932(row));
    FillListBox(Item(IDC_NAME_LIST), texts);
    return TRUE;
}

}  // namespace registrar
