// The per-file settings: command-line option and registration name of one
// entry. Opened from the main list and from the name-check list alike.
#pragma once

#include <optional>
#include <string>

#include "common/win32/dialog.h"
#include "registrar/entry_settings.h"
#include "registrar/registration_file.h"

namespace registrar {

class SettingsDialog : public win32::Dialog {
public:
    SettingsDialog();

    // Filled by the caller before the run; after OK they hold the confirmed values.
    EntrySettings settings;
    std::string pathText;  // cp932: CR LF, a space, the full path

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notification, HWND control) override;
    void OnOK() override;

private:
    void WriteControls();
    void ApplyOptionBox(bool moveFocus);
    void ApplyNameBox(bool moveFocus);
};

// Takes the entry's name field apart, runs the dialog for it and, on OK,
// returns the name field built back from the dialog; nothing on Cancel.
std::optional<std::string> EditEntrySettings(HWND owner, const Entry& entry);

}  // namespace registrar
