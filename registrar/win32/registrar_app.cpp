// Parvane.exe: the registrar. One modal dialog; the program ends when it closes.
#include <windows.h>

#include <commctrl.h>

#include "registrar/win32/register_dialog.h"

namespace registrar {

class RegistrarApp {
public:
    int Run() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&controls);
        RegisterDialog dialog;
        dialog.RunModal(nullptr);
        return 0;
    }
};

}  // namespace registrar

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    registrar::RegistrarApp app;
    return app.Run();
}
