// Benchmark, not a test: prints what Tobi.exe costs the user, measured from
// outside as the end-to-end tests drive it, next to floor_launcher.exe (the
// least a tap-summoned tray launcher does) in the same run, with the ratio:
//   - start-up: from process creation to the first visible menu, with an
//     empty cr.x and with 1000 entries, the programs' starts interleaved;
//   - tap to menu: from the last trigger tap's key-down to the visible menu,
//     with the launcher's window shown before and hidden before (after a
//     launch), median and p95;
//   - memory with 1000 entries: private, and resident anonymous memory as the
//     host sees it under Wine;
//   - processor time the launcher uses while idle, and how often it is woken
//     (the host's context switches of its threads, under Wine);
//   - the delay the keyboard hooks add to a key outside a summons, from
//     SendInput to the window in front, with no launcher, Tobi or the floor;
//   - bursts as a practised user types them (taps, then the letters at
//     once): the share that starts the entry, and the letters that reached
//     the window in front instead.
//
//   launcher_bench [tap trials] [start-up runs] [keys] [bursts]    (defaults 30, 9, 200, 20)
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

// cr.x with 1000 entries spread over the letters, as a real list would be.
void WriteThousandEntries(const e2e::TestFolder& folder) {
    std::vector<std::string> lines;
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int i = 0; i + 1 < kEntries; ++i) {
        std::string name;
        name += letters[static_cast<std::size_t>(i) % 26];
        name += letters[static_cast<std::size_t>(i * 7) % 36];
        name += "app" + std::to_string(i);
        lines.push_back("C:\\Program Files\\Vendor " + std::to_string(i % 40) + "\\" + name + ".exe\t-o" +
                        std::to_string(i) + "\t" + name);
    }
    // The one entry the benchmark launches: probe.exe, which notes its start and ends.
    lines.push_back(e2e::Cp932(folder.File(L"probe.exe")) + "\t\tzzz");
    e2e::WriteRegistrationFile(folder.Path(), lines);
}

const wchar_t* const kFloorProgram = L"floor_launcher.exe";

HWND FloorWindow(DWORD processId) {
    return e2e::FindTopWindow({L"floor_launcher", L"TobiFloorLauncher", processId, false});
}

// Ends Tobi.exe as a user does, floor_launcher.exe with WM_CLOSE.
void EndProgram(e2e::Process& process, const wchar_t* program) {
    if (std::wcscmp(program, kFloorProgram) != 0) return EndLauncher(process);
    if (HWND window = FloorWindow(process.Id())) PostMessageW(window, WM_CLOSE, 0, 0);
    if (!process.WaitForExit(10000)) process.Terminate();
}

// One start, from process creation to the first visible menu, in ms; adds to
// `figures`. The menu is closed and the program ended afterwards.
void TimeStart(const e2e::TestFolder& folder, const wchar_t* program, Figures& figures) {
    const double start = NowMs();
    e2e::Process process = e2e::StartProgram(folder.File(program), L"", folder.Path());
    HWND shown = process.IsValid() ? PollForWindow(process.Id(), L"#32768", nullptr, 20000) : nullptr;
    const double end = NowMs();
    if (shown == nullptr) {
        ++figures.failures;
    } else {
        figures.values.push_back(end - start);
        CloseMenu(shown);
    }
    EndProgram(process, program);
    e2e::Sleep(200);
}

struct Memory {
    double privateMb = -1;    // the system's private bytes (Wine reports none)
    double anonymousMb = -1;  // resident anonymous memory, as the host sees it under Wine
};

double WindowsPrivateMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters))) {
        return -1;
    }
    return static_cast<double>(counters.PrivateUsage) / (1024.0 * 1024.0);
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

long long NumberAfter(const std::string& text, const char* field) {
    const std::size_t at = text.find(field);
    return at == std::string::npos ? -1 : std::atoll(text.c_str() + at + std::strlen(field));
}

// This Wine's prefix: programs of other prefixes on the same host may run in
// folders of the same name.
std::string OwnWinePrefix() {
    const DWORD size = GetEnvironmentVariableA("WINEPREFIX", nullptr, 0);
    std::string prefix(size, '\0');
    prefix.resize(GetEnvironmentVariableA("WINEPREFIX", prefix.data(), size));
    return prefix.empty() ? prefix : "WINEPREFIX=" + prefix + '\0';
}

// Under Wine the host's view of the process: the Linux process of this prefix
// whose command line names the program in `folderName` (unique per run), as a
// Z: path to its /proc folder. Empty when there is no such view (on Windows).
std::wstring HostProcessFolder(const std::wstring& folderName, const std::wstring& program) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return std::wstring();
    const std::string prefix = OwnWinePrefix();
    std::string folder = e2e::Cp932(folderName);
    std::string name = e2e::Cp932(program);
    for (std::string* text : {&folder, &name}) {
        for (char& c : *text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    std::wstring match;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        const std::wstring process = std::wstring(L"Z:\\proc\\") + found.cFileName;
        std::string command = ReadWholeFile(process + L"\\cmdline");
        for (char& c : command) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (command.find(folder) == std::string::npos || command.find(name) == std::string::npos) continue;
        if (!prefix.empty() && ReadWholeFile(process + L"\\environ").find(prefix) == std::string::npos) continue;
        match = process;
        break;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return match;
}

// Under Wine the Windows figures lack private memory: the host's resident
// anonymous memory instead; -1 without a host view.
double HostAnonymousMb(const std::wstring& process) {
    if (process.empty()) return -1;
    return static_cast<double>(NumberAfter(ReadWholeFile(process + L"\\smaps_rollup"), "Anonymous:")) / 1024.0;
}

// How often the host woke the process's threads so far (context switches of
// all of them); -1 without a host view.
long long HostWakeUps(const std::wstring& process) {
    if (process.empty()) return -1;
    long long wakeUps = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((process + L"\\task\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        const std::string status = ReadWholeFile(process + L"\\task\\" + found.cFileName + L"\\status");
        const long long voluntary = NumberAfter(status, "\nvoluntary_ctxt_switches:");
        const long long forced = NumberAfter(status, "\nnonvoluntary_ctxt_switches:");
        if (voluntary < 0 || forced < 0) wakeUps = -1;
        if (wakeUps >= 0) wakeUps += voluntary + forced;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return wakeUps;
}

std::wstring HostFolderOf(const e2e::TestFolder& folder, const std::wstring& program) {
    return HostProcessFolder(folder.Path().substr(folder.Path().find_last_of(L'\\') + 1), program);
}

Memory MemoryOf(const e2e::Process& process, const e2e::TestFolder& folder, const std::wstring& program) {
    return Memory{WindowsPrivateMb(process.Handle()), HostAnonymousMb(HostFolderOf(folder, program))};
}

double ProcessorMs(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& time) {
        return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// Times `trials` summonses of a running program: two quick Ctrl taps, then the
// last key-down to the visible menu. `before` runs ahead of each trial (it
// shows or hides the launcher's window) and returns false when it failed.
template <typename Before>
Figures TimeTaps(const e2e::Process& process, int trials, Before before) {
    Figures figures;
    for (int trial = 0; trial < trials; ++trial) {
        if (!before()) {
            ++figures.failures;
            continue;
        }
        e2e::Sleep(700);  // well apart from the previous sequence
        e2e::TapKey(VK_CONTROL, 2, 100);
        e2e::Sleep(70);
        const double start = NowMs();
        e2e::KeyDown(VK_CONTROL);
        HWND shown = PollForWindow(process.Id(), L"#32768", nullptr, 5000);
        const double end = NowMs();
        e2e::KeyUp(VK_CONTROL);
        if (shown == nullptr) {
            ++figures.failures;
            continue;
        }
        figures.values.push_back(end - start);
        CloseMenu(shown);
    }
    return figures;
}

// The bench's own window in front, standing for the user's editor.
class FrontWindow {
public:
    FrontWindow()
        : window_(CreateWindowExW(0, L"STATIC", L"tobi-bench-front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 320,
                                  200, nullptr, nullptr, nullptr, nullptr)) {}
    ~FrontWindow() { DestroyWindow(window_); }
    FrontWindow(const FrontWindow&) = delete;
    FrontWindow& operator=(const FrontWindow&) = delete;

    bool ToFront() {
        Pump();
        return e2e::BringToForeground(window_);
    }

    // Takes what is waiting; the characters typed into the window so far.
    int Pump() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            if (message.message == WM_CHAR && message.hwnd == window_) ++typed_;
            DispatchMessageW(&message);
        }
        return typed_;
    }

    // From a key-down sent to its arrival here, in ms; -1 when it never came.
    double KeyToFront(WORD key) {
        Pump();
        const double start = NowMs();
        e2e::KeyDown(key);
        MSG message;
        double arrived = -1;
        while (NowMs() - start < 1000) {
            if (PeekMessageW(&message, window_, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
                arrived = NowMs() - start;
                break;
            }
            SwitchToThread();
        }
        e2e::KeyUp(key);
        e2e::Sleep(5);
        Pump();
        return arrived;
    }

private:
    HWND window_ = nullptr;
    int typed_ = 0;
};

// Letters typed into the window in front, one at a time: what the hooks add to
// a key that is no part of a summons.
Figures TimeKeysToFront(FrontWindow& front, int keys) {
    Figures figures;
    if (!front.ToFront()) {
        figures.failures = keys;
        return figures;
    }
    for (int i = 0; i < keys; ++i) {
        const double delay = front.KeyToFront(static_cast<WORD>('A' + i % 26));
        figures.failures += delay < 0;
        if (delay >= 0) figures.values.push_back(delay);
    }
    return figures;
}

// Starts a program, lets its start-up menu go, and times keys with it running.
Figures TimeKeysBeside(const e2e::TestFolder& folder, const wchar_t* program, FrontWindow& front, int keys) {
    e2e::Process process = e2e::StartProgram(folder.File(program), L"", folder.Path());
    HWND menu = process.IsValid() ? PollForWindow(process.Id(), L"#32768", nullptr, 20000) : nullptr;
    Figures figures;
    if (menu == nullptr) {
        figures.failures = keys;
    } else {
        CloseMenu(menu);
        e2e::Sleep(300);
        figures = TimeKeysToFront(front, keys);
    }
    EndProgram(process, program);
    return figures;
}

// Bursts as a practised user types them, with the window in front: three
// quick Ctrl taps, then Z Z Z 0-50 ms after the last tap and 20-30 ms apart;
// the next burst as soon as the entry has started, while the launcher may
// still be busy after the launch.
void TimeBursts(const e2e::TestFolder& folder, FrontWindow& front, int bursts) {
    std::size_t launches = e2e::ReadProbeLog(folder.Path()).size();
    int launched = 0;
    const int typedBefore = front.Pump();
    for (int burst = 0; burst < bursts; ++burst) {
        front.ToFront();
        e2e::TapKey(VK_CONTROL, 3, 100);
        e2e::Sleep(static_cast<DWORD>(25 * (burst % 3)));
        e2e::TypeLetters("ZZZ", static_cast<DWORD>(20 + 10 * (burst % 2)));
        const double start = NowMs();
        while (NowMs() - start < 8000 && e2e::ReadProbeLog(folder.Path()).size() == launches) {
            front.Pump();
            e2e::Sleep(20);
        }
        const std::size_t now = e2e::ReadProbeLog(folder.Path()).size();
        launched += now > launches;
        launches = now;
    }
    e2e::Sleep(500);
    std::printf("  %-44s %d of %d (%.0f %%); %d letters reached the window in front\n", "bursts that started the entry",
                launched, bursts, 100.0 * launched / bursts, front.Pump() - typedBefore);
}

void PrintHeader() {
    std::printf("  %-44s %18s %18s %14s\n", "figure", "Tobi", "floor", "ratio");
}

void PrintRow(const char* what, double tobi, double floor, const char* unit) {
    if (tobi < 0 || floor < 0) {
        std::printf("  %-44s %15.1f %-2s %15.1f %-2s %14s\n", what, tobi, unit, floor, unit, "n/a");
        return;
    }
    std::printf("  %-44s %15.1f %-2s %15.1f %-2s %7.2f (%+.1f)\n", what, tobi, unit, floor, unit,
                floor > 0 ? tobi / floor : 0.0, tobi - floor);
}

void PrintFigureRows(const char* what, const Figures& tobi, const Figures& floor) {
    if (tobi.values.empty() || floor.values.empty()) {
        std::printf("  %-44s no result (Tobi %d failed, floor %d failed)\n", what, tobi.failures, floor.failures);
        return;
    }
    const std::string median = std::string(what) + ", median";
    const std::string p95 = std::string(what) + ", p95";
    PrintRow(median.c_str(), Percentile(tobi.values, 0.5), Percentile(floor.values, 0.5), "ms");
    PrintRow(p95.c_str(), Percentile(tobi.values, 0.95), Percentile(floor.values, 0.95), "ms");
    if (tobi.failures || floor.failures) {
        std::printf("  %-44s (Tobi %d failed, floor %d failed)\n", "", tobi.failures, floor.failures);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const int keys = argc > 3 ? std::max(1, std::atoi(argv[3])) : 200;
    const int bursts = argc > 4 ? std::max(1, std::atoi(argv[4])) : 20;

    e2e::TestFolder full(L"tobi-bench-full");
    e2e::TestFolder empty(L"tobi-bench-empty");
    if (!full.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll", L"probe.exe", kFloorProgram}) ||
        !empty.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll", kFloorProgram})) {
        std::printf("Tobi.exe, Vantoke.dll, probe.exe or floor_launcher.exe is missing from the build folder\n");
        return 1;
    }
    WriteThousandEntries(full);
    e2e::WriteFileBytes(empty.File(L"cr.x"), "");

    std::printf("Tobi.exe next to floor_launcher.exe, same machine, same run (%d starts each, interleaved; %d taps)\n",
                runs, trials);
    PrintHeader();
    Figures tobiEmpty, tobiFull, floorEmpty, floorFull;
    for (int run = 0; run < runs; ++run) {
        TimeStart(empty, L"Tobi.exe", tobiEmpty);
        TimeStart(empty, kFloorProgram, floorEmpty);
        TimeStart(full, L"Tobi.exe", tobiFull);
        TimeStart(full, kFloorProgram, floorFull);
    }
    PrintFigureRows("start to menu, empty cr.x", tobiEmpty, floorEmpty);
    PrintFigureRows("start to menu, 1000 entries", tobiFull, floorFull);

    FrontWindow front;
    const Figures noHookKeys = TimeKeysToFront(front, keys);
    const Figures tobiKeys = TimeKeysBeside(empty, L"Tobi.exe", front, keys);
    const Figures floorKeys = TimeKeysBeside(empty, kFloorProgram, front, keys);
    PrintFigureRows("key to the window in front", tobiKeys, floorKeys);
    if (!noHookKeys.values.empty()) {
        std::printf("  %-44s %15.2f ms (median), %.2f ms (p95)\n", "  the same with no launcher running",
                    Percentile(noHookKeys.values, 0.5), Percentile(noHookKeys.values, 0.95));
    }

    // Memory and taps with 1000 entries, both programs running side by side.
    e2e::Process tobi = e2e::StartProgram(full.File(L"Tobi.exe"), L"", full.Path());
    HWND menu = tobi.IsValid() ? PollForWindow(tobi.Id(), L"#32768", nullptr, 20000) : nullptr;
    e2e::Process floor = e2e::StartProgram(full.File(kFloorProgram), L"", full.Path());
    HWND floorMenu = nullptr;
    if (menu == nullptr) {
        std::printf("  the launcher did not open its menu\n");
        return 1;
    }
    CloseMenu(menu);
    floorMenu = floor.IsValid() ? PollForWindow(floor.Id(), L"#32768", nullptr, 20000) : nullptr;
    if (floorMenu == nullptr) {
        std::printf("  the floor program did not open its menu\n");
        return 1;
    }
    CloseMenu(floorMenu);
    HWND window = LauncherWindow(tobi.Id());
    WaitUntilIdle(window);
    e2e::Sleep(500);
    const Memory tobiMemory = MemoryOf(tobi, full, L"Tobi.exe");
    const Memory floorMemory = MemoryOf(floor, full, kFloorProgram);
    if (tobiMemory.anonymousMb >= 0) {
        PrintRow("resident anonymous memory, 1000 entries", tobiMemory.anonymousMb, floorMemory.anonymousMb, "MB");
    }
    if (tobiMemory.privateMb > 0) {
        PrintRow("private memory, 1000 entries", tobiMemory.privateMb, floorMemory.privateMb, "MB");
    }

    // Each program's taps with the other ended: both would answer the same taps.
    EndProgram(floor, kFloorProgram);
    const std::wstring host = HostFolderOf(full, L"Tobi.exe");
    const long long wakeUpsStart = HostWakeUps(host);
    const double idleStart = ProcessorMs(tobi.Handle());
    e2e::Sleep(5000);
    const double idleUsed = ProcessorMs(tobi.Handle()) - idleStart;
    const long long wakeUpsEnd = HostWakeUps(host);
    const Figures shownTaps = TimeTaps(tobi, trials, [window] {
        if (!IsWindowVisible(window)) ShowWindow(window, SW_SHOWNOACTIVATE);
        WaitUntilIdle(window);
        return IsWindowVisible(window) != FALSE;
    });
    // A launch hides the window: the entry ZZZ starts probe.exe, which ends at once.
    const Figures hiddenTaps = TimeTaps(tobi, trials, [&tobi, window] {
        e2e::TapKey(VK_CONTROL, 3, 100);
        HWND letterMenu = PollForWindow(tobi.Id(), L"#32768", nullptr, 5000);
        if (letterMenu == nullptr) return false;
        e2e::TypeLetters("ZZZ", 40);
        e2e::WaitForWindowGone(window, 10000);
        WaitUntilIdle(window);
        return IsWindowVisible(window) == FALSE;
    });
    WaitUntilIdle(window);
    TimeBursts(full, front, bursts);
    EndLauncher(tobi);

    floor = e2e::StartProgram(full.File(kFloorProgram), L"", full.Path());
    floorMenu = floor.IsValid() ? PollForWindow(floor.Id(), L"#32768", nullptr, 20000) : nullptr;
    if (floorMenu != nullptr) CloseMenu(floorMenu);
    const Figures floorTaps = TimeTaps(floor, trials, [] { return true; });
    EndProgram(floor, kFloorProgram);
    PrintFigureRows("tap to menu, shown before", shownTaps, floorTaps);
    PrintFigureRows("tap to menu, hidden before (a launch)", hiddenTaps, floorTaps);
    std::printf("\n  %-44s %.1f ms of processor time in 5 s", "idle launcher", idleUsed);
    if (wakeUpsStart >= 0 && wakeUpsEnd >= 0) std::printf(", %lld wake-ups", wakeUpsEnd - wakeUpsStart);
    std::printf("\n");
    return 0;
}
