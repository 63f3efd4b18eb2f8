#include "tests/e2e/driver.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <tlhelp32.h>

#include <atomic>
#include <stdexcept>
#include <utility>

#include "common/win32/shell.h"
#include "common/win32/text.h"

namespace e2e {

namespace {

constexpr DWORD kPollMs = 20;
constexpr UINT kMessageTimeoutMs = 2000;

// Polls `ready` until it yields a value or the time runs out.
template <typename Check>
auto PollUntil(DWORD timeoutMs, Check ready) -> decltype(ready()) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        auto result = ready();
        if (result || GetTickCount64() >= deadline) return result;
        ::Sleep(kPollMs);
    }
}

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// Long form of an existing path, so that 8.3 names from %TEMP% compare equal
// with the paths that processes report.
std::wstring LongPath(const std::wstring& path) {
    const DWORD size = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (size == 0) return path;
    std::wstring result(size, L'\0');
    const DWORD length = GetLongPathNameW(path.c_str(), result.data(), size);
    if (length == 0 || length >= size) return path;
    result.resize(length);
    return result;
}

std::wstring TempFolder() {
    const DWORD size = GetTempPathW(0, nullptr);
    std::wstring path(size, L'\0');
    const DWORD length = GetTempPathW(size, path.data());
    path.resize(length < size ? length : 0);
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return LongPath(path);
}

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

std::wstring WideFromUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

std::wstring ClassName(HWND window) {
    std::wstring name(256, L'\0');  // window class names are at most 256 characters
    const int length = GetClassNameW(window, name.data(), static_cast<int>(name.size()));
    name.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return name;
}

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

bool Matches(HWND window, const WindowQuery& query) {
    if (query.visibleOnly && !IsWindowVisible(window)) return false;
    if (query.processId != 0 && ProcessOf(window) != query.processId) return false;
    if (!query.className.empty() && ClassName(window) != query.className) return false;
    if (!query.title.empty() && WindowText(window) != query.title) return false;
    return true;
}

// A caption as shown: "&&" is a literal '&', a single '&' marks the mnemonic.
std::wstring WithoutMnemonic(const std::wstring& caption) {
    std::wstring shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
        shown += caption[i];
    }
    return shown;
}

// Enumeration callbacks are named CALLBACK functions: a lambda would have the
// wrong calling convention on 32-bit Windows.
template <typename Visit>
BOOL CALLBACK VisitChild(HWND child, LPARAM context) {
    (*reinterpret_cast<Visit*>(context))(child);
    return TRUE;
}

template <typename Visit>
void ForEachChild(HWND parent, Visit visit) {
    EnumChildWindows(parent, VisitChild<Visit>, reinterpret_cast<LPARAM>(&visit));
}

// `visit` returns false to stop.
template <typename Visit>
BOOL CALLBACK VisitTopWindow(HWND window, LPARAM context) {
    return (*reinterpret_cast<Visit*>(context))(window) ? TRUE : FALSE;
}

template <typename Visit>
void ForEachTopWindow(Visit visit) {
    EnumWindows(VisitTopWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
}

bool IsExtendedKey(WORD key) {
    switch (key) {
        case VK_RCONTROL: case VK_RMENU: case VK_INSERT: case VK_DELETE: case VK_HOME: case VK_END:
        case VK_PRIOR: case VK_NEXT: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
        case VK_DIVIDE: case VK_NUMLOCK: case VK_LWIN: case VK_RWIN: case VK_APPS:
            return true;
        default:
            return false;
    }
}

void SendKey(WORD virtualKey, bool up, DWORD eventTime = 0) {
    INPUT input = {};
    input.ki.time = eventTime;  // 0: the system stamps it
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(virtualKey) ? KEYEVENTF_EXTENDEDKEY : 0);
    input.ki.dwExtraInfo = 0;  // untagged: the product's hook must take it for the user's
    SendInput(1, &input, sizeof(input));
}

}  // namespace

// ---- Folders and files ----------------------------------------------------

std::wstring BuildFolder() {
    std::wstring folder = win32::ModuleFolder();
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder;
}

TestFolder::TestFolder(const std::wstring& prefix) {
    static std::atomic<unsigned> counter{0};
    const std::wstring base = TempFolder() + L"\\" + prefix + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-";
    for (;;) {
        std::wstring candidate = base + std::to_wstring(++counter);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = LongPath(candidate);
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create a test folder");
    }
}

TestFolder::~TestFolder() {
    if (keep_) return;
    // A program that just ended may still hold its files for a moment.
    for (int attempt = 0; attempt < 50 && FileExists(path_); ++attempt) {
        RemoveTree(path_);
        if (FileExists(path_)) ::Sleep(kPollMs);
    }
}

std::wstring TestFolder::File(const std::wstring& name) const { return path_ + L"\\" + name; }

bool TestFolder::CopyFromBuild(std::initializer_list<std::wstring> names) const {
    bool all = true;
    for (const auto& name : names) {
        all = CopyFileW((BuildFolder() + L"\\" + name).c_str(), File(name).c_str(), FALSE) && all;
    }
    return all;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
    win32::UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    win32::UniqueKernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const std::size_t rest = bytes.size() - done;
        const DWORD part = rest > 0x40000000 ? 0x40000000 : static_cast<DWORD>(rest);
        if (!WriteFile(file.get(), bytes.data() + done, part, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsReadOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool SetReadOnly(const std::wstring& path, bool readOnly) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    const DWORD wanted = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
    return SetFileAttributesW(path.c_str(), wanted) != FALSE;
}

bool WriteRegistrationFile(const std::wstring& folder, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += line + "\r\n";
    return WriteFileBytes(folder + L"\\cr.x", bytes);
}

std::string Cp932(const std::wstring& text) {
    win32::Cp932Text converted = win32::Cp932FromWide(text);
    if (!converted.lossless) throw std::invalid_argument("text has no code page 932 form");
    return converted.bytes;
}

std::vector<ProbeRecord> ReadProbeLog(const std::wstring& folder) {
    std::vector<ProbeRecord> records;
    const std::optional<std::string> bytes = ReadFileBytes(folder + L"\\probe.log");
    if (!bytes) return records;
    const std::wstring text = WideFromUtf8(*bytes);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(start, end - start);
        const std::size_t tab = line.find(L'\t');
        if (tab != std::wstring::npos) records.push_back({line.substr(0, tab), line.substr(tab + 1)});
        start = end + 2;
    }
    return records;
}

// ---- Processes --------------------------------------------------------------

Process::Process(HANDLE handle) : handle_(handle) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Terminate();
        handle_ = std::move(other.handle_);
    }
    return *this;
}

Process::~Process() { Terminate(); }

DWORD Process::Id() const { return handle_ ? GetProcessId(handle_.get()) : 0; }

bool Process::WaitForExit(DWORD timeoutMs) const {
    return handle_ && WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const {
    DWORD code = 0;
    if (!handle_ || !GetExitCodeProcess(handle_.get(), &code) || !WaitForExit(0)) return std::nullopt;
    return code;
}

void Process::Terminate() {
    if (handle_ && !WaitForExit(0)) {
        TerminateProcess(handle_.get(), 1);
        WaitForExit(kDefaultTimeoutMs);
    }
}

Process StartProgram(const std::wstring& exePath, const std::wstring& arguments,
                     const std::wstring& workingDirectory) {
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &started)) {
        return Process();
    }
    CloseHandle(started.hThread);
    return Process(started.hProcess);
}

Process WaitForProcess(const std::wstring& exePath, DWORD timeoutMs) {
    const std::wstring wanted = LongPath(exePath);
    auto find = [&]() -> HANDLE {
        win32::UniqueKernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return nullptr;
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
            win32::UniqueKernelHandle process(OpenProcess(
                PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
            if (!process || WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) continue;
            std::wstring image(32768, L'\0');
            DWORD length = static_cast<DWORD>(image.size());
            if (!QueryFullProcessImageNameW(process.get(), 0, image.data(), &length)) continue;
            image.resize(length);
            if (EqualIgnoringCase(LongPath(image), wanted)) return process.release();
        }
        return nullptr;
    };
    return Process(PollUntil(timeoutMs, find));
}

// ---- Windows ----------------------------------------------------------------

HWND FindTopWindow(const WindowQuery& query) {
    HWND match = nullptr;
    ForEachTopWindow([&](HWND window) {
        if (!Matches(window, query)) return true;
        match = window;
        return false;
    });
    return match;
}

HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs) {
    return PollUntil(timeoutMs, [&] { return FindTopWindow(query); });
}

bool WaitForWindowGone(HWND window, DWORD timeoutMs) {
    return PollUntil(timeoutMs, [&] { return !IsWindow(window) || !IsWindowVisible(window); });
}

bool WaitForWindowDestroyed(HWND window, DWORD timeoutMs) {
    return PollUntil(timeoutMs, [&] { return !IsWindow(window); });
}

bool IsAbove(HWND upper, HWND lower) {
    bool above = false;
    ForEachTopWindow([&](HWND window) {  // top of the z-order first
        above = window == upper;
        return window != upper && window != lower;
    });
    return above;
}

std::wstring DescribeTopWindows() {
    std::wstring lines;
    ForEachTopWindow([&](HWND window) {
        if (IsWindowVisible(window)) {
            lines += L"[" + ClassName(window) + L"] \"" + WindowText(window) + L"\" process " +
                     std::to_wstring(ProcessOf(window)) + L"\n";
        }
        return true;
    });
    return lines;
}

std::wstring WindowText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length)) {
        return std::wstring();
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied)) {
        return std::wstring();
    }
    text.resize(copied < text.size() ? static_cast<std::size_t>(copied) : text.size() - 1);
    return text;
}

std::wstring WindowClass(HWND window) { return ClassName(window); }

std::vector<std::wstring> StaticTexts(HWND dialog) {
    std::vector<std::wstring> texts;
    ForEachChild(dialog, [&](HWND child) {
        if (!EqualIgnoringCase(ClassName(child), L"Static")) return;
        std::wstring text = WindowText(child);
        if (!text.empty()) texts.push_back(std::move(text));
    });
    return texts;
}

HWND FindChildByCaption(HWND dialog, const std::wstring& caption) {
    const std::wstring wanted = WithoutMnemonic(caption);
    HWND match = nullptr;
    ForEachChild(dialog, [&](HWND child) {
        if (!match && WithoutMnemonic(WindowText(child)) == wanted) match = child;
    });
    return match;
}

bool PressButton(HWND dialog, int controlId) {
    HWND button = GetDlgItem(dialog, controlId);
    if (!button || !IsWindowEnabled(button)) return false;
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button)) !=
           FALSE;
}

bool PressButtonAndWait(HWND dialog, int controlId, DWORD timeoutMs) {
    HWND button = GetDlgItem(dialog, controlId);
    if (!button || !IsWindowEnabled(button)) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), reinterpret_cast<LPARAM>(button),
                               SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

bool DropFiles(HWND window, const std::vector<std::wstring>& paths) {
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::vector<BYTE> block(reinterpret_cast<const BYTE*>(&header), reinterpret_cast<const BYTE*>(&header + 1));
    for (const std::wstring& path : paths) {
        const auto* bytes = reinterpret_cast<const BYTE*>(path.c_str());
        block.insert(block.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
    }
    block.insert(block.end(), sizeof(wchar_t), 0);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    win32::UniqueKernelHandle process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) return false;
    void* remote = VirtualAllocEx(process.get(), nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    SIZE_T written = 0;
    if (remote == nullptr || !WriteProcessMemory(process.get(), remote, block.data(), block.size(), &written) ||
        written != block.size()) {
        return false;
    }
    return PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0) != FALSE;
}

bool PressButtonByCaption(HWND dialog, const std::wstring& caption) {
    HWND button = FindChildByCaption(dialog, caption);
    return button && PressButton(dialog, GetDlgCtrlID(button));
}

bool BringToForeground(HWND window) {
    SetForegroundWindow(window);
    return PollUntil(1000, [&] { return GetForegroundWindow() == window; });
}

// ---- Keyboard (SendInput) ---------------------------------------------------

void KeyDown(WORD virtualKey) { SendKey(virtualKey, false); }
void KeyAt(WORD virtualKey, bool up, DWORD eventTime) { SendKey(virtualKey, up, eventTime); }
void KeyUp(WORD virtualKey) { SendKey(virtualKey, true); }

void PressKey(WORD virtualKey) {
    KeyDown(virtualKey);
    KeyUp(virtualKey);
}

void TapKey(WORD virtualKey, int times, DWORD gapMs) {
    // A short hold, as a finger gives, inside the gap between two presses.
    const DWORD holdMs = gapMs / 3 < 30 ? gapMs / 3 : 30;
    for (int i = 0; i < times; ++i) {
        if (i > 0) ::Sleep(gapMs - holdMs);
        KeyDown(virtualKey);
        ::Sleep(holdMs);
        KeyUp(virtualKey);
    }
}

void TypeLetters(const std::string& letters, DWORD gapMs) {
    for (std::size_t i = 0; i < letters.size(); ++i) {
        char letter = letters[i];
        if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
        if (!((letter >= 'A' && letter <= 'Z') || (letter >= '0' && letter <= '9'))) {
            throw std::invalid_argument("TypeLetters types only A-Z, a-z and 0-9");
        }
        if (i > 0) ::Sleep(gapMs);
        PressKey(static_cast<WORD>(letter));
    }
}

void Sleep(DWORD ms) { ::Sleep(ms); }

// ---- A busy program ----------------------------------------------------------

BusyThread::BusyThread(HWND window) {
    const DWORD threadId = window != nullptr ? GetWindowThreadProcessId(window, nullptr) : 0;
    if (threadId != 0) thread_.reset(OpenThread(THREAD_SUSPEND_RESUME, FALSE, threadId));
    if (thread_ && SuspendThread(thread_.get()) == static_cast<DWORD>(-1)) thread_.reset();
}

BusyThread::~BusyThread() { Release(); }

void BusyThread::Release() {
    if (thread_) ResumeThread(thread_.get());
    thread_.reset();
}

// ---- The Startup folder -------------------------------------------------------

std::wstring StartupFolder() {
    PWSTR folder = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_CREATE, nullptr, &folder))) result = folder;
    CoTaskMemFree(folder);
    return result;
}

std::optional<std::pair<std::wstring, std::wstring>> ReadShortcut(const std::wstring& path) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::optional<std::pair<std::wstring, std::wstring>> result;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        std::wstring target(32768, L'\0');
        std::wstring folder(32768, L'\0');
        if (SUCCEEDED(link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, SLGP_RAWPATH)) &&
            SUCCEEDED(link->GetWorkingDirectory(folder.data(), static_cast<int>(folder.size())))) {
            target.resize(wcslen(target.c_str()));
            folder.resize(wcslen(folder.c_str()));
            result.emplace(target, folder);
        }
    }
    if (file != nullptr) file->Release();
    if (link != nullptr) link->Release();
    if (SUCCEEDED(com)) CoUninitialize();
    return result;
}

}  // namespace e2e
