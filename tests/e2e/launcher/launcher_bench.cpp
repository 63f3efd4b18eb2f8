// Benchmark, not a test: prints what Tobi.exe costs the user, measured from
// outside as the end-to-end tests drive it.
//   - tap to menu: from the last trigger tap's key-down to the letter menu's
//     window being visible;
//   - start-up: from process creation to the letter menu, with 1000 entries
//     and with none, next to empty_app.exe's start to its visible window;
//   - memory of the running launcher with 1000 entries (and of empty_app);
//   - processor time the launcher uses while idle.
//
//   launcher_bench [tap trials] [start-up runs]    (defaults 30 and 10)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

constexpr int kEntries = 1000;
constexpr UINT kExitCommand = 32813;

double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

// A visible top-level window of the process with the class (and title), found
// by a direct walk: cheaper than the driver's general search, so the poll is fine.
struct Search {
    DWORD processId;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (!IsWindowVisible(window)) return TRUE;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    wchar_t name[64];
    if (GetClassNameW(window, name, 64) == 0 || std::wcscmp(name, search->className) != 0) return TRUE;
    if (search->title != nullptr) {
        wchar_t title[64];
        GetWindowTextW(window, title, 64);
        if (std::wcscmp(title, search->title) != 0) return TRUE;
    }
    search->found = window;
    return FALSE;
}

// Polls without sleeping (the machine has few cores: yields instead), so the
// figure's resolution is well below a millisecond. Null after `timeoutMs`.
HWND PollForWindow(DWORD processId, const wchar_t* className, const wchar_t* title, double timeoutMs) {
    const double deadline = NowMs() + timeoutMs;
    while (NowMs() < deadline) {
        Search search{processId, className, title, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) return search.found;
        SwitchToThread();
    }
    return nullptr;
}

HWND LauncherWindow(DWORD processId) {
    return e2e::FindTopWindow({L"Tobi", e2e::kDialogClass, processId, false});
}

void WaitUntilIdle(HWND window) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
}

void CloseMenu(HWND menu) {
    e2e::PressKey(VK_ESCAPE);
    e2e::WaitForWindowGone(menu, 5000);
}

// Ends a launcher the way a user does (E X I's command), so that no tray icon
// is left behind.
void EndLauncher(e2e::Process& tobi) {
    if (HWND window = LauncherWindow(tobi.Id())) PostMessageW(window, WM_COMMAND, kExitCommand, 0);
    if (!tobi.WaitForExit(10000)) tobi.Terminate();
}

struct Figures {
    std::vector<double> values;
    int failures = 0;
};

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const std::size_t index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[index];
}

void Print(const char* what, const Figures& figures) {
    if (figures.values.empty()) {
        std::printf("  %-42s no result (%d failed)\n", what, figures.failures);
        return;
    }
    std::printf("  %-42s median %7.1f ms   p95 %7.1f ms   min %7.1f ms   (%zu runs", what,
                Percentile(figures.values, 0.5), Percentile(figures.values, 0.95),
                *std::min_element(figures.values.begin(), figures.values.end()), figures.values.size());
    if (figures.failures) std::printf(", %d failed", figures.failures);
    std::printf(")\n");
}

// cr.x with 1000 entries spread over the letters, as a real list would be.
void WriteThousandEntries(const e2e::TestFolder& folder) {
    std::vector<std::string> lines;
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int i = 0; i < kEntries; ++i) {
        std::string name;
        name += letters[static_cast<std::size_t>(i) % 26];
        name += letters[static_cast<std::size_t>(i * 7) % 36];
        name += "app" + std::to_string(i);
        lines.push_back("C:\\Program Files\\Vendor " + std::to_string(i % 40) + "\\" + name + ".exe\t-o" +
                        std::to_string(i) + "\t" + name);
    }
    e2e::WriteRegistrationFile(folder.Path(), lines);
}

// Start to the letter menu (Tobi) or to the main window (empty_app), in ms.
Figures TimeStarts(const e2e::TestFolder& folder, const wchar_t* program, const wchar_t* className,
                   const wchar_t* title, int runs) {
    Figures figures;
    for (int run = 0; run < runs; ++run) {
        const double start = NowMs();
        e2e::Process process = e2e::StartProgram(folder.File(program), L"", folder.Path());
        HWND shown = process.IsValid() ? PollForWindow(process.Id(), className, title, 20000) : nullptr;
        const double end = NowMs();
        if (shown == nullptr) {
            ++figures.failures;
            continue;
        }
        figures.values.push_back(end - start);
        if (std::wcscmp(program, L"Tobi.exe") == 0) {
            CloseMenu(shown);
            EndLauncher(process);
        } else {
            PostMessageW(shown, WM_CLOSE, 0, 0);
            process.WaitForExit(10000);
        }
        e2e::Sleep(200);
    }
    return figures;
}

void PrintMemory(const char* what, HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters))) {
        std::printf("  %-42s not available (error %lu)\n", what, GetLastError());
        return;
    }
    std::printf("  %-42s private %7.2f MB   working set %7.2f MB\n", what,
                static_cast<double>(counters.PrivateUsage) / (1024.0 * 1024.0),
                static_cast<double>(counters.WorkingSetSize) / (1024.0 * 1024.0));
}

std::string ReadWholeFile(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

long long KilobytesOf(const std::string& rollup, const char* field) {
    const std::size_t at = rollup.find(field);
    return at == std::string::npos ? -1 : std::atoll(rollup.c_str() + at + std::strlen(field));
}

// Under Wine the Windows figures lack private memory; the host's view of the
// process is read instead: the Linux process whose command line names the
// program in `folderName` (unique per run), through Wine's Z: drive.
bool PrintHostMemory(const char* what, const std::wstring& folderName, const std::wstring& program) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    std::string folder = e2e::Cp932(folderName);
    std::string name = e2e::Cp932(program);
    for (std::string* text : {&folder, &name}) {
        for (char& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        const std::wstring process = std::wstring(L"Z:\\proc\\") + found.cFileName;
        std::string command = ReadWholeFile(process + L"\\cmdline");
        for (char& c : command) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (command.find(folder) == std::string::npos || command.find(name) == std::string::npos) continue;
        const std::string rollup = ReadWholeFile(process + L"\\smaps_rollup");
        const long long privateKb = KilobytesOf(rollup, "Private_Clean:") + KilobytesOf(rollup, "Private_Dirty:");
        std::printf("  %-42s host private %6.2f MB   resident %6.2f MB\n", what, static_cast<double>(privateKb) / 1024.0,
                    static_cast<double>(KilobytesOf(rollup, "Rss:")) / 1024.0);
        FindClose(search);
        return true;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return false;
}

// The host's figures under Wine (whose own counters lack private memory), the
// system's counters on Windows.
void PrintMemoryOf(const char* what, const e2e::Process& process, const e2e::TestFolder& folder,
                   const std::wstring& program) {
    const std::wstring folderName = folder.Path().substr(folder.Path().find_last_of(L'\\') + 1);
    if (!PrintHostMemory(what, folderName, program)) PrintMemory(what, process.Handle());
}

double ProcessorMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& time) {
        return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    e2e::TestFolder full(L"tobi-bench-full");
    e2e::TestFolder empty(L"tobi-bench-empty");
    if (!full.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll", L"empty_app.exe"}) ||
        !empty.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll"})) {
        std::printf("Tobi.exe, Vantoke.dll or empty_app.exe is missing from the build folder\n");
        return 1;
    }
    WriteThousandEntries(full);
    e2e::WriteFileBytes(empty.File(L"cr.x"), "");

    std::printf("Start-up (process start to first window; medians of %d runs, same machine, same run)\n", runs);
    Print("empty_app.exe to its window", TimeStarts(full, L"empty_app.exe", L"TobiEmptyApp", L"empty_app", runs));
    Print("Tobi.exe, empty cr.x, to the letter menu", TimeStarts(empty, L"Tobi.exe", L"#32768", nullptr, runs));
    Print("Tobi.exe, 1000 entries, to the letter menu", TimeStarts(full, L"Tobi.exe", L"#32768", nullptr, runs));

    std::printf("\nMemory of the running programs\n");
    {
        e2e::Process bare = e2e::StartProgram(empty.File(L"Tobi.exe"), L"", empty.Path());
        if (HWND bareMenu = bare.IsValid() ? PollForWindow(bare.Id(), L"#32768", nullptr, 20000) : nullptr) {
            CloseMenu(bareMenu);
            WaitUntilIdle(LauncherWindow(bare.Id()));
            e2e::Sleep(500);
            PrintMemoryOf("Tobi.exe, empty cr.x", bare, empty, L"Tobi.exe");
        }
        EndLauncher(bare);
    }
    e2e::Process tobi = e2e::StartProgram(full.File(L"Tobi.exe"), L"", full.Path());
    HWND menu = tobi.IsValid() ? PollForWindow(tobi.Id(), L"#32768", nullptr, 20000) : nullptr;
    if (menu == nullptr) {
        std::printf("  the launcher did not open its menu\n");
        return 1;
    }
    CloseMenu(menu);
    HWND window = LauncherWindow(tobi.Id());
    WaitUntilIdle(window);
    e2e::Sleep(500);
    PrintMemoryOf("Tobi.exe, 1000 entries", tobi, full, L"Tobi.exe");
    {
        e2e::Process app = e2e::StartProgram(full.File(L"empty_app.exe"), L"", full.Path());
        if (PollForWindow(app.Id(), L"TobiEmptyApp", L"empty_app", 20000) != nullptr) {
            e2e::Sleep(500);
            PrintMemoryOf("empty_app.exe", app, full, L"empty_app.exe");
        }
    }

    const double idleStart = ProcessorMs(tobi.Handle());
    e2e::Sleep(5000);
    const double idleUsed = ProcessorMs(tobi.Handle()) - idleStart;
    std::printf("  %-42s %.1f ms of processor time in 5 s\n", "idle launcher", idleUsed);

    std::printf("\nTap to menu (1000 entries; from the last Ctrl key-down, window hidden before each trial)\n");
    Figures reactions;
    Figures taps;
    for (int trial = 0; trial < trials; ++trial) {
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);  // Esc: hides the window
        WaitUntilIdle(window);
        e2e::Sleep(700);  // well apart from the previous sequence
        e2e::TapKey(VK_CONTROL, 2, 100);
        e2e::Sleep(70);
        const double start = NowMs();
        e2e::KeyDown(VK_CONTROL);
        // The summons shows the window first, then opens the menu.
        const double deadline = start + 5000;
        while (!IsWindowVisible(window) && NowMs() < deadline) SwitchToThread();
        const double reacted = NowMs();
        HWND shown = PollForWindow(tobi.Id(), L"#32768", nullptr, 5000);
        const double end = NowMs();
        e2e::KeyUp(VK_CONTROL);
        if (shown == nullptr || reacted >= deadline) {
            ++taps.failures;
            ++reactions.failures;
            continue;
        }
        reactions.values.push_back(reacted - start);
        taps.values.push_back(end - start);
        CloseMenu(shown);
    }
    Print("tap to the launcher's window shown", reactions);
    Print("tap to the letter menu visible", taps);
    EndLauncher(tobi);
    return 0;
}
