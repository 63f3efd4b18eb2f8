// empty_app.exe: the smallest window program, a yardstick for start-up times.
// Shows a window titled "empty_app" and ends on WM_CLOSE, or by itself after
// the number of milliseconds given as its first argument (0: never). With a
// file named as its second argument, it stands for the user's editor: every
// character typed into it is appended to that file (its low byte: the tests
// type ASCII).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;
const wchar_t* typedLog = nullptr;

void LogTyped(char typed) {
    HANDLE file = CreateFileW(typedLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, &typed, sizeof(typed), &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK EmptyWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kLifetimeTimer) DestroyWindow(window);
            return 0;
        case WM_CHAR:
            if (typedLog != nullptr) LogTyped(static_cast<char>(wParam));
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
    if (arguments && count > 2) typedLog = arguments[2];  // kept for the program's life
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
