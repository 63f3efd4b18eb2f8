// probe.exe: a program for the product to start. Each start appends one line
// to probe.log beside the executable: the current directory, a TAB and the
// full command line, in UTF-8, ended by CR LF. Then it exits with 0.
#include <windows.h>

#include <string>

#include "common/win32/shell.h"

namespace {

std::string Utf8FromWide(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::wstring logPath = win32::ModuleFolder() + L"probe.log";
    const std::string line = Utf8FromWide(win32::CurrentDirectory() + L"\t" + GetCommandLineW()) + "\r\n";
    // Several probes may start at once: retry while another one appends.
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE log = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const BOOL ok = WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(log);
            return ok && written == line.size() ? 0 : 2;
        }
        Sleep(20);
    }
    return 1;
}
