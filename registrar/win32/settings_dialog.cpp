#include "registrar/win32/settings_dialog.h"

#include "common/win32/text.h"
#include "registrar/win32/resource_ids.h"

namespace registrar {
namespace {

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void ShowWarning(HWND owner, const wchar_t* text) {
    MessageBoxW(owner, text, L"警告", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

SettingsDialog::SettingsDialog() : win32::Dialog(IDD_SETTINGS) {}

BOOL SettingsDialog::OnInitDialog() {
    WriteControls();
    ApplyOptionBox(false);
    ApplyNameBox(false);
    opened_ = ReadShown();
    return TRUE;  // the dialog manager places the focus
}

SettingsDialog::Shown SettingsDialog::ReadShown() {
    return Shown{IsChecked(hwnd(), IDC_USE_OPTION), IsChecked(hwnd(), IDC_USE_NAME), ItemText(IDC_OPTION_EDIT),
                 ItemText(IDC_NAME_EDIT)};
}

void SettingsDialog::WriteControls() {
    SetItemText(IDC_PATH_TEXT, win32::WideFromCp932(pathText));
    SetItemText(IDC_OPTION_EDIT, win32::WideFromCp932(settings.optionText));
    SetItemText(IDC_NAME_EDIT, win32::WideFromCp932(settings.nameText));
    CheckDlgButton(hwnd(), IDC_USE_OPTION, settings.useOption ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(hwnd(), IDC_USE_NAME, settings.useName ? BST_CHECKED : BST_UNCHECKED);
}

void SettingsDialog::ApplyOptionBox(bool moveFocus) {
    settings.useOption = IsChecked(hwnd(), IDC_USE_OPTION);
    SendMessageW(Item(IDC_OPTION_EDIT), EM_SETREADONLY, settings.useOption ? FALSE : TRUE, 0);
    if (settings.useOption && moveFocus) {
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_OPTION_EDIT)), TRUE);
    }
}

void SettingsDialog::ApplyNameBox(bool moveFocus) {
    settings.useName = IsChecked(hwnd(), IDC_USE_NAME);
    SendMessageW(Item(IDC_NAME_EDIT), EM_SETREADONLY, settings.useName ? FALSE : TRUE, 0);
    if (settings.useName && moveFocus) {
        SendMessageW(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_NAME_EDIT)), TRUE);
    }
}

bool SettingsDialog::OnCommand(WORD id, WORD notification, HWND control) {
    if (id == IDC_USE_OPTION && notification == BN_CLICKED) {
        ApplyOptionBox(true);
        return true;
    }
    if (id == IDC_USE_NAME && notification == BN_CLICKED) {
        ApplyNameBox(true);
        return true;
    }
    return win32::Dialog::OnCommand(id, notification, control);
}

void SettingsDialog::OnOK() {
    const Shown shown = ReadShown();
    changed = !(shown == opened_);
    if (!changed) {
        EndDialog(IDOK);
        return;
    }
    // A text left as shown keeps its own bytes, even when another part changed.
    const bool optionTyped = shown.optionText != opened_.optionText;
    const bool nameTyped = shown.nameText != opened_.nameText;
    const win32::Cp932Text option = win32::Cp932FromWide(shown.optionText);
    const win32::Cp932Text name = win32::Cp932FromWide(shown.nameText);
    EntrySettings confirmed = settings;
    confirmed.useOption = shown.useOption;
    confirmed.useName = shown.useName;
    // A text that code page 932 cannot hold would reach cr.x with substitutes in it.
    const bool optionLost = confirmed.useOption && optionTyped && !option.lossless;
    const bool nameLost = confirmed.useName && nameTyped && !name.lossless;
    if (optionLost || nameLost) {
        ShowWarning(hwnd(), L"入力された文字の中に、登録できない文字 (Shift_JIS で表せない文字) があります。\n"
                            L"その文字を取り除いてから OK を押してください。");
        SendMessageW(hwnd(), WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(Item(optionLost ? IDC_OPTION_EDIT : IDC_NAME_EDIT)), TRUE);
        return;
    }
    if (optionTyped) confirmed.optionText = option.bytes;
    if (nameTyped) confirmed.nameText = name.bytes;
    ConfirmSettings(confirmed);
    settings = confirmed;
    WriteControls();
    EndDialog(IDOK);
}

std::optional<std::string> EditEntrySettings(HWND owner, const Entry& entry) {
    SettingsDialog dialog;
    dialog.settings = SettingsFromNameField(entry.nameField);
    dialog.pathText = SettingsPathText(entry.folderText, dialog.settings.fileName);
    if (dialog.RunModal(owner) != IDOK || !dialog.changed) return std::nullopt;
    return NameFieldFromSettings(dialog.settings);
}

}  // namespace registrar
