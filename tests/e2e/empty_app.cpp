// empty_app.exe: the smallest window program, a yardstick for start-up times.
// Shows a window titled "empty_app" and ends on WM_CLOSE, or by itself after
// the number of milliseconds given as its first argument.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK EmptyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kLifetimeTimer) DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

unsigned LifetimeFromCommandLine() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    unsigned lifetime = 0;
    if (arguments && count > 1) lifetime = static_cast<unsigned>(std::wcstoul(arguments[1], nullptr, 10));
    LocalFree(arguments);
    return lifetime;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = EmptyWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"TobiEmptyApp";
    if (!RegisterClassW(&windowClass)) return 1;

    HWND window = CreateWindowExW(0, L"TobiEmptyApp", L"empty_app", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    if (const unsigned lifetime = LifetimeFromCommandLine()) SetTimer(window, kLifetimeTimer, lifetime, nullptr);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
