// The shell and the working directory, in wide text.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

// ShellExecuteW with the default verb and SW_SHOWNORMAL; true when the shell
// reports success (callers that do not check may ignore it).
bool OpenWithShell(HWND owner, const std::wstring& file, const std::wstring& parameters,
                   const wchar_t* directory = nullptr);

// The process's current directory, of any length.
std::wstring CurrentDirectory();
bool ChangeDirectory(const std::wstring& folder);

// The full path of the running program's own executable, of any length.
std::wstring ModulePath();
// The folder of the running program's own executable, with a trailing backslash.
std::wstring ModuleFolder();

}  // namespace win32
