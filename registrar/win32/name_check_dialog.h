// Lists the entries whose registration name cannot be filed and lets the user
// give each one a name through the settings dialog. Every row keeps its own
// link to its entry, so two entries with the same name field are edited apart.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/file_store.h"
#include "common/win32/dialog.h"
#include "registrar/registration_file.h"

namespace registrar {

class NameCheckDialog : public win32::Dialog {
public:
    NameCheckDialog();

    // Set by the caller: where nmerr.html goes, and one entry per row. After the
    // run the entries hold their name fields as the user left them.
    std::wstring startupFolder;
    std::vector<Entry> entries;
    // Where nmerr.html is written through; the real files when null.
    FileStore* files = nullptr;

    // Entry index of each row still shown, top to bottom.
    const std::vector<std::size_t>& RowEntries() const { return rowEntries_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notification, HWND control) override;

    // Opens the written nmerr.html with the shell.
    virtual void OpenReportPage();

private:
    void EditRow(int row);
    void WriteNameErrorReport();
    void RefreshCount();

    std::vector<std::size_t> rowEntries_;
};

}  // namespace registrar
