// floor_launcher.exe: the least a tap-summoned tray launcher does, as a
// yardstick for Tobi.exe's start-up, reaction and memory. A hidden top-level
// window, a low-level keyboard hook, common controls and a tray icon (so that
// comctl32 and shell32 are loaded), and a popup menu of 36 submenus that three
// quick Ctrl taps bring up; it also pops that menu once at start-up. Ends on
// WM_CLOSE.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

namespace {

constexpr UINT kSummonMessage = WM_APP + 1;
constexpr UINT kTrayMessage = WM_APP + 2;
constexpr DWORD kLongestGapMs = 520;
constexpr int kPressesNeeded = 3;

HWND floorWindow = nullptr;
HMENU letterMenu = nullptr;
bool ctrlDown = false;
int presses = 0;
DWORD lastPress = 0;

bool IsCtrl(DWORD key) { return key == VK_LCONTROL || key == VK_RCONTROL || key == VK_CONTROL; }

LRESULT CALLBACK KeyboardProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool up = (event->flags & LLKHF_UP) != 0;
        if (!IsCtrl(event->vkCode)) {
            if (!up) presses = 0;
        } else if (up) {
            ctrlDown = false;
        } else if (!ctrlDown) {
            ctrlDown = true;
            presses = presses > 0 && event->time - lastPress <= kLongestGapMs ? presses + 1 : 1;
            lastPress = event->time;
            if (presses >= kPressesNeeded) {
                presses = 0;
                PostMessageW(floorWindow, kSummonMessage, 0, 0);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HMENU MakeMenu() {
    HMENU root = CreatePopupMenu();
    for (int i = 0; i < 36; ++i) {
        HMENU sub = CreatePopupMenu();
        AppendMenuW(sub, MF_STRING, 100 + i, L"item");
        wchar_t caption[] = L"(&A)";
        caption[2] = static_cast<wchar_t>(i < 26 ? L'A' + i : L'0' + i - 26);
        AppendMenuW(root, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), caption);
    }
    return root;
}

void ShowMenu(HWND window) {
    SetForegroundWindow(window);
    TrackPopupMenu(letterMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, 0, 0, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
}

LRESULT CALLBACK FloorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case kSummonMessage: ShowMenu(window); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = FloorWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"TobiFloorLauncher";
    if (!RegisterClassW(&windowClass)) return 1;
    floorWindow = CreateWindowExW(0, L"TobiFloorLauncher", L"floor_launcher", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, instance, nullptr);
    if (!floorWindow) return 1;

    NOTIFYICONDATAW tray = {};
    tray.cbSize = sizeof(tray);
    tray.hWnd = floorWindow;
    tray.uID = 1;
    tray.uFlags = NIF_MESSAGE | NIF_ICON;
    tray.uCallbackMessage = kTrayMessage;
    tray.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    Shell_NotifyIconW(NIM_ADD, &tray);

    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyboardProc, instance, 0);
    letterMenu = MakeMenu();
    ShowMenu(floorWindow);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    UnhookWindowsHookEx(hook);
    Shell_NotifyIconW(NIM_DELETE, &tray);
    DestroyMenu(letterMenu);
    return 0;
}
