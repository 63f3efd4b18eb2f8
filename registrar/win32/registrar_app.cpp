// Parvane.exe: the registrar. One modal dialog; the program ends when it closes.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include "common/win32/shell.h"
#include "common/win32/text.h"
#include "registrar/registration_file.h"
#include "registrar/win32/register_dialog.h"

namespace registrar {

class RegistrarApp {
public:
    int Run() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        // The open-file dialog is a COM object.
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        {
            RegisterDialog dialog;
            dialog.filesToAdd = FilesOnTheCommandLine();
            // Explorer starts a program with files dropped onto its icon in a
            // folder of its own choosing: unless a list is where it was
            // started (a shortcut's working folder), the list is the one
            // beside Parvane.exe.
            if (!dialog.filesToAdd.empty() && !ListInCurrentFolder()) {
                SetCurrentDirectoryW(win32::ModuleFolder().c_str());
            }
            dialog.RunModal(nullptr);
        }
        if (SUCCEEDED(com)) CoUninitialize();
        return 0;
    }

private:
    static bool ListInCurrentFolder() {
        const std::wstring name = win32::WideFromCp932(kRegistrationFileName);
        const DWORD attributes = GetFileAttributesW(name.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }

    // The files given on the command line (Explorer's drop onto Parvane.exe,
    // its "送る" menu), a relative name taken from the current folder.
    static std::vector<std::wstring> FilesOnTheCommandLine() {
        std::vector<std::wstring> files;
        int count = 0;
        LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
        if (arguments == nullptr) return files;
        for (int i = 1; i < count; ++i) {
            const DWORD size = GetFullPathNameW(arguments[i], 0, nullptr, nullptr);
            std::wstring full(size, L'\0');
            const DWORD length = size == 0 ? 0 : GetFullPathNameW(arguments[i], size, full.data(), nullptr);
            full.resize(length < size ? length : 0);
            files.push_back(full.empty() ? std::wstring(arguments[i]) : full);
        }
        LocalFree(arguments);
        return files;
    }
};

}  // namespace registrar

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    registrar::RegistrarApp app;
    return app.Run();
}
