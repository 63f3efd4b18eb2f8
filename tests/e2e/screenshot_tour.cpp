// Not a test: walks the programs into each state worth a picture and, in each,
// hands the screen rectangle to scripts/screenshots, which takes the picture.
// Tobi.exe runs as a process (its letter menu, dialogs by their commands);
// Parvane's dialogs run in-process, where a real HDROP can be dropped on them.
//
// Usage: screenshot_tour.exe SIGNALS. For each picture NAME it writes
// SIGNALS\NAME.rect ("left top width height") and waits for SIGNALS\NAME.done.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "registrar/win32/name_check_dialog.h"
#include "registrar/win32/register_dialog.h"
#include "registrar/win32/settings_dialog.h"
#include "tests/e2e/driver.h"
#include "tests/win32/registrar/scratch.h"

namespace {

std::wstring g_signals;

// Runs this thread's windows (the in-process dialogs) while waiting.
void Pump(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

bool Shot(const std::wstring& name, RECT rect) {
    Pump(300);  // let every window paint
    char line[64];
    std::snprintf(line, sizeof line, "%ld %ld %ld %ld", rect.left, rect.top, rect.right - rect.left,
                  rect.bottom - rect.top);
    if (!e2e::WriteFileBytes(g_signals + L"\\" + name + L".rect", line)) return false;
    for (int waited = 0; waited < 30000; waited += 50) {
        if (e2e::FileExists(g_signals + L"\\" + name + L".done")) return true;
        Pump(50);
    }
    std::fwprintf(stderr, L"tour: no picture of %ls\n", name.c_str());
    return false;
}

bool ShotOf(const std::wstring& name, HWND window) {
    if (window == nullptr) {
        std::fwprintf(stderr, L"tour: no window for %ls\n%ls\n", name.c_str(), e2e::DescribeTopWindows().c_str());
        return false;
    }
    RECT rect;
    GetWindowRect(window, &rect);
    return Shot(name, rect);
}

// The letter menu, walked into its second and third levels.
void LauncherPictures(const e2e::TestFolder& folder) {
    std::vector<std::string> lines;
    for (const wchar_t* name : {L"notepad", L"novel", L"nodes", L"network", L"mines", L"calc", L"regedit", L"7zip"}) {
        const std::wstring program = folder.File(std::wstring(name) + L".exe");
        CopyFileW(folder.File(L"probe.exe").c_str(), program.c_str(), FALSE);
        lines.push_back(e2e::Cp932(program));
    }
    e2e::WriteRegistrationFile(folder.Path(), lines);
    e2e::Process tobi = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
    const e2e::WindowQuery menuQuery{L"", e2e::kPopupMenuClass, tobi.Id()};
    HWND menu = e2e::WaitForWindow(menuQuery);
    e2e::PressKey(VK_ESCAPE);
    e2e::WaitForWindowGone(menu);

    e2e::TapKey(VK_CONTROL, 3, 100);
    menu = e2e::WaitForWindow(menuQuery);
    e2e::TypeLetters("N", 80);
    e2e::Sleep(300);
    e2e::TypeLetters("O", 80);
    e2e::Sleep(300);
    RECT all{};
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != tobi.Id() || !IsWindowVisible(w) || e2e::WindowClass(w) != e2e::kPopupMenuClass) continue;
        RECT r;
        GetWindowRect(w, &r);
        if (IsRectEmpty(&all)) all = r; else UnionRect(&all, &all, &r);
    }
    Shot(L"letter-menu", all);
    for (int i = 0; i < 3; ++i) e2e::PressKey(VK_ESCAPE);
    e2e::WaitForWindowGone(menu);

    HWND main = e2e::FindTopWindow({L"Tobi", e2e::kDialogClass, tobi.Id(), false});
    const struct { UINT command; const wchar_t* title; const wchar_t* picture; } dialogs[] = {
        {32814, L"設定", L"options"},
        {32817, L"ファイル名を指定して実行", L"run-file"},
        {32815, L"Version Info Tobi.exe", L"about"},
    };
    for (const auto& d : dialogs) {
        PostMessageW(main, WM_COMMAND, d.command, 0);
        HWND dialog = e2e::WaitForWindow({d.title, e2e::kDialogClass, tobi.Id()});
        ShotOf(d.picture, dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        e2e::WaitForWindowGone(dialog);
    }
}

void RegistrarPictures() {
    testing_win32::ScratchFolder folder;  // the registrar's start-up folder
    const std::vector<std::wstring> files = {L"notepad.exe", L"calc.exe", L"日記 2000.txt", L"Tom & Jerry.exe",
                                             L"winmine.exe"};
    std::vector<std::wstring> paths;
    for (const auto& file : files) {
        folder.WriteFile(file, "");
        paths.push_back(folder.File(file));
    }
    registrar::RegisterDialog main;
    main.CreateModeless(nullptr);
    ShowWindow(main.hwnd(), SW_SHOW);
    SendMessageW(main.hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(testing_win32::MakeDrop(paths)), 0);
    ShotOf(L"parvane-main", main.hwnd());

    registrar::SettingsDialog settings;
    settings.settings.fileName = "日記 2000.txt";
    settings.settings.useName = true;
    settings.settings.nameText = "diary";
    settings.pathText = "\r\n " + folder.Cp932Path() + "日記 2000.txt";
    settings.CreateModeless(main.hwnd());
    ShowWindow(settings.hwnd(), SW_SHOW);
    ShotOf(L"parvane-settings", settings.hwnd());
    settings.EndDialog(IDCANCEL);

    registrar::NameCheckDialog check;
    check.startupFolder = folder.Path();
    check.entries = {{"日記 2000.txt", folder.Cp932Path()}, {"Tom & Jerry.exe", folder.Cp932Path()}};
    check.CreateModeless(main.hwnd());
    ShowWindow(check.hwnd(), SW_SHOW);
    ShotOf(L"parvane-name-check", check.hwnd());
    check.EndDialog(IDCANCEL);
    main.EndDialog(IDCANCEL);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    g_signals = argv[1];
    {
        e2e::TestFolder folder(L"tobi-tour");
        if (!folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll", L"probe.exe"})) return 1;
        LauncherPictures(folder);
    }
    RegistrarPictures();
    return 0;
}
