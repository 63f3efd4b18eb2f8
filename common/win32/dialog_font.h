// Dialogs on a Windows that lacks the templates' font. The templates name
// "ＭＳ Ｐゴシック"; where that face is missing, the system's fallback draws
// the Japanese texts wider than the template's layout and cuts them short.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace win32 {

// Whether a font family of this name is installed (under any of its names).
bool FontFaceExists(const std::wstring& face);

// The dialog template `templateId` of `module` with its font face replaced by
// an installed one that holds Japanese, when the face it names is missing.
// Empty when the template can be used as it is (its face exists, or it is not
// an extended template with a font, or no Japanese face exists at all).
std::vector<BYTE> TemplateWithInstalledFont(HINSTANCE module, int templateId);

// Widens each visible static text, button and group box whose text does not
// fit in it with the control's own font (and the dialog, where a control then
// reaches past its edge). For dialogs shown in a substitute face.
void FitControlTexts(HWND dialog);

}  // namespace win32
