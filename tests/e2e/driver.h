// Driver for end-to-end tests: runs the product's programs in a scratch folder,
// finds their windows, presses keys and buttons, and reads files back.
//
// Everything that waits takes a timeout in milliseconds and polls briefly; a
// wait that runs out returns nullptr / false so that the test reports it.
// Key presses go through SendInput untagged (dwExtraInfo 0), so the product's
// keyboard hook treats them as the user's own.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/win32/handles.h"

namespace e2e {

constexpr DWORD kDefaultTimeoutMs = 10000;

// ---- Folders and files ----------------------------------------------------

// The folder of the running test program, where the build puts Tobi.exe,
// Vantoke.dll, Parvane.exe, probe.exe and empty_app.exe. No trailing backslash.
std::wstring BuildFolder();

// A fresh empty folder under %TEMP%, removed with its contents on destruction
// (read-only files included) unless Keep() was called.
class TestFolder {
public:
    explicit TestFolder(const std::wstring& prefix = L"tobi-e2e");
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::wstring& Path() const { return path_; }   // no trailing backslash
    std::wstring File(const std::wstring& name) const;  // Path() + "\" + name
    // Copies the named files from BuildFolder(); false if any is missing.
    bool CopyFromBuild(std::initializer_list<std::wstring> names) const;
    void Keep() { keep_ = true; }

private:
    std::wstring path_;
    bool keep_ = false;
};

std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
bool IsReadOnly(const std::wstring& path);
bool SetReadOnly(const std::wstring& path, bool readOnly);

// Writes `folder`\cr.x from cp932 lines, each followed by CR LF.
bool WriteRegistrationFile(const std::wstring& folder, const std::vector<std::string>& lines);

// cp932 bytes of a wide text (for building cr.x lines from folder paths);
// fails the calling test's expectations when the text has no cp932 form.
std::string Cp932(const std::wstring& text);

// One start of probe.exe, as recorded in probe.log beside it.
struct ProbeRecord {
    std::wstring workingDirectory;
    std::wstring commandLine;  // GetCommandLineW, as the program received it
};
// The records of probe.log in `folder`, oldest first; empty if none.
std::vector<ProbeRecord> ReadProbeLog(const std::wstring& folder);

// The user's Startup folder (no trailing backslash), and what a shortcut
// starts and where: its target and working folder.
std::wstring StartupFolder();
std::optional<std::pair<std::wstring, std::wstring>> ReadShortcut(const std::wstring& path);

// ---- Processes --------------------------------------------------------------

// A started (or found) process; terminated on destruction if still running, so
// a failing test never leaves a launcher behind for the next one.
class Process {
public:
    Process() = default;
    explicit Process(HANDLE handle);
    Process(Process&&) = default;
    Process& operator=(Process&& other) noexcept;  // ends the process it held
    ~Process();

    bool IsValid() const { return static_cast<bool>(handle_); }
    DWORD Id() const;
    HANDLE Handle() const { return handle_.get(); }
    bool WaitForExit(DWORD timeoutMs = kDefaultTimeoutMs) const;
    std::optional<DWORD> ExitCode() const;  // nullopt while running
    void Terminate();

private:
    win32::UniqueKernelHandle handle_;
};

// Starts `exePath` with `arguments` in `workingDirectory`; invalid on failure.
Process StartProgram(const std::wstring& exePath, const std::wstring& arguments,
                     const std::wstring& workingDirectory);

// Waits for a process whose image is exactly `exePath` (case-insensitive), for
// programs that the product starts itself through the shell.
Process WaitForProcess(const std::wstring& exePath, DWORD timeoutMs = kDefaultTimeoutMs);

// ---- Windows ----------------------------------------------------------------

// Window classes of the system's own windows.
inline const wchar_t* const kDialogClass = L"#32770";     // dialogs, message boxes
inline const wchar_t* const kPopupMenuClass = L"#32768";  // TrackPopupMenu menus

// Which top-level window to look for; empty fields and processId 0 match all.
struct WindowQuery {
    std::wstring title;
    std::wstring className;
    DWORD processId = 0;
    bool visibleOnly = true;
};

HWND FindTopWindow(const WindowQuery& query);
HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs = kDefaultTimeoutMs);
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);  // destroyed or hidden
// Destroyed, not merely hidden: a modal dialog's run has ended and its caller
// goes on.
bool WaitForWindowDestroyed(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);
// Whether `upper` lies above `lower` among the top-level windows.
bool IsAbove(HWND upper, HWND lower);
// One line per visible top-level window (class, title, process): for failure messages.
std::wstring DescribeTopWindows();

std::wstring WindowText(HWND window);  // WM_GETTEXT, also across processes
std::wstring WindowClass(HWND window);
// Texts of the non-empty Static children, in z-order: a message box's text is among them.
std::vector<std::wstring> StaticTexts(HWND dialog);
HWND FindChildByCaption(HWND dialog, const std::wstring& caption);  // '&' ignored

// Presses a dialog's button as a click would (WM_COMMAND BN_CLICKED, posted so
// that a modal loop the button opens does not block the test).
bool PressButton(HWND dialog, int controlId);
bool PressButtonByCaption(HWND dialog, const std::wstring& caption);
// Presses a button by sending the click, and so returns once the program has
// handled it; false when it has not within the time (it opened a modal window,
// or hangs).
bool PressButtonAndWait(HWND dialog, int controlId, DWORD timeoutMs = kDefaultTimeoutMs);
bool BringToForeground(HWND window);

// Drops files on a window of another program, as the shell's drag and drop
// ends: the drop's block (DROPFILES and the wide paths) is put into that
// program, whose DragQueryFile takes the block's address as a fixed-memory
// handle. The block is not freed (one page per drop, for the program's life).
bool DropFiles(HWND window, const std::vector<std::wstring>& paths);

// ---- Keyboard (SendInput) ---------------------------------------------------

void KeyDown(WORD virtualKey);
// One key event carrying its own time (the GetTickCount clock), as input the
// system delivers late does.
void KeyAt(WORD virtualKey, bool up, DWORD eventTime);
void KeyUp(WORD virtualKey);
void PressKey(WORD virtualKey);  // down, then up
// Taps a key `times` times, `gapMs` from one press to the next.
void TapKey(WORD virtualKey, int times, DWORD gapMs);
// Types A-Z / a-z / 0-9 by their virtual keys, `gapMs` apart.
void TypeLetters(const std::string& letters, DWORD gapMs = 30);

void Sleep(DWORD ms);

// ---- A busy program ----------------------------------------------------------

// Holds the thread of a window still, as a long call on a program's
// user-interface thread does, until Release or destruction. Suspend it only
// while it waits for messages, so that it holds no lock another thread needs.
class BusyThread {
public:
    explicit BusyThread(HWND window);
    ~BusyThread();
    BusyThread(const BusyThread&) = delete;
    BusyThread& operator=(const BusyThread&) = delete;

    bool IsHeld() const { return static_cast<bool>(thread_); }
    void Release();

private:
    win32::UniqueKernelHandle thread_;
};

}  // namespace e2e
