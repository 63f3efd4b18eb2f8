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
    // After OK: false when both boxes and both texts were left as the dialog
    // showed them, and `settings` then stays as it was filled.
    bool changed = false;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notification, HWND control) override;
    void OnOK() override;

private:
    struct Shown {
        bool useOption = false;
        bool useName = false;
        std::wstring optionText;
        std::wstring nameText;
        bool operator==(const Shown& other) const {
            return useOption == other.useOption && useName == other.useName && optionText == other.optionText &&
                   nameText == other.nameText;
        }
    };
    Shown ReadShown();

    void WriteControls();
    void ApplyOptionBox(bool moveFocus);
    void ApplyNameBox(bool moveFocus);

    // As the dialog opened, in wide text: cp932 bytes need not come back the
    // same from a round trip (NEC-selected characters come back as IBM codes),
    // and the OK rule drops a trailing TAB.
    Shown opened_;
};

// Takes the entry's name field apart, runs the dialog for it and, on OK,
// returns the name field built back from the dialog; nothing on Cancel, nor
// on OK without a change: an unchanged entry is no edit for the merge with cr.x.
std::optional<std::string> EditEntrySettings(HWND owner, const Entry& entry);

}  // namespace registrar
