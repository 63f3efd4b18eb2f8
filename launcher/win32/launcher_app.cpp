#include "launcher/win32/launcher_app.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "launcher/win32/launcher_window.h"

namespace tobi {
namespace {

// Per session, like the window that FindWindow looks for.
const wchar_t kSingleInstanceMutex[] = L"Local\\Tobi.SingleInstance";

}  // namespace

SingleInstanceClaim::SingleInstanceClaim() : mutex_(CreateMutexW(nullptr, FALSE, kSingleInstanceMutex)) {
    // Without the mutex (no name space, out of handles) the window check alone decides.
    if (!mutex_) {
        held_ = true;
        return;
    }
    // Ownership, not mere existence, marks the running copy: a second copy that
    // has just opened the mutex must not block a third once the first is gone.
    const DWORD wait = WaitForSingleObject(mutex_.get(), 0);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    if (!held_) mutex_.reset();
}

SingleInstanceClaim::~SingleInstanceClaim() {
    if (held_ && mutex_) ReleaseMutex(mutex_.get());
}

int LauncherApp::Run() {
    // Starts asked for at the end (the registrar's) finish after the window
    // and the claim are gone: a new launcher may start meanwhile.
    auto worker = std::make_shared<ShellWorker>();
    // A copy that cannot take the claim is not the first; any top-level window
    // titled "Tobi" is a running launcher too (hidden ones included).
    const SingleInstanceClaim claim;
    if (!claim.Held() || FindWindowW(nullptr, L"Tobi") != nullptr) {
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
        LauncherWindow window(MenuIcons::Fetch(), nullptr, worker);
        window.Run();
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
