#include "launcher/win32/launcher_app.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "launcher/win32/launcher_window.h"

namespace tobi {

int LauncherApp::Run() {
    // Any top-level window titled "Tobi" is a running launcher (hidden ones too).
    if (FindWindowW(nullptr, L"Tobi") != nullptr) {
        MessageBoxW(nullptr, L"すでに Tobi.exe は、起動されています。", L"警告", MB_OK);
        return 0;
    }
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    // The shell may use COM to open files.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    {
        LauncherWindow window;
        window.RunModal(nullptr);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

}  // namespace tobi

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        tobi::LauncherApp app;
        return app.Run();
    } catch (...) {
        return 1;
    }
}
