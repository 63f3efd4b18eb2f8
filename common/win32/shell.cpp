#include "common/win32/shell.h"

#include <shellapi.h>

namespace win32 {

bool OpenWithShell(HWND owner, const std::wstring& file, const std::wstring& parameters, const wchar_t* directory) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, nullptr, file.c_str(), parameters.c_str(), directory, SW_SHOWNORMAL));
    return result > 32;
}

std::wstring CurrentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    while (size > 0) {
        std::wstring folder(size, L'\0');
        const DWORD length = GetCurrentDirectoryW(size, folder.data());
        if (length < size) {
            folder.resize(length);
            return folder;
        }
        size = length;  // the directory changed meanwhile and grew
    }
    return std::wstring();
}

bool ChangeDirectory(const std::wstring& folder) { return SetCurrentDirectoryW(folder.c_str()) != FALSE; }

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring ModuleFolder() {
    const std::wstring path = ModulePath();
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace win32
