// Files chosen from the keyboard: the standard open-file dialog, and the keys
// that open it in the main dialog (Insert, Ctrl+O), which needs no control of
// its own.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace registrar {

// The open-file dialog over `owner`, several files at once, starting in
// `folder`; shortcuts are chosen as the shortcuts. The full paths chosen;
// nothing when the user cancels or the dialog cannot be had.
std::optional<std::vector<std::wstring>> ChooseFiles(HWND owner, const std::wstring& folder);

// Until it is removed (UnhookWindowsHookEx), Insert and Ctrl+O typed in
// `dialog` (not in a dialog over it) send it the command IDC_ADD_FILES.
HHOOK ListenForAddKeys(HWND dialog);

}  // namespace registrar
