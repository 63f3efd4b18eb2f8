#include "launcher/win32/startup_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <new>

namespace tobi {
namespace {

const wchar_t kShortcutName[] = L"\\Tobi.lnk";

// The folder's path even when it does not exist: nothing is created by asking.
std::wstring UserStartupFolder() {
    PWSTR folder = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_DONT_VERIFY, nullptr, &folder))) result = folder;
    CoTaskMemFree(folder);
    return result;
}

// An IShellLinkW released on every path out.
struct ShellLink {
    IShellLinkW* link = nullptr;
    HRESULT made = E_FAIL;
    ShellLink() {
        made = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link));
    }
    ~ShellLink() {
        if (link != nullptr) link->Release();
    }
    ShellLink(const ShellLink&) = delete;
    ShellLink& operator=(const ShellLink&) = delete;

    // Saves to or loads from `path` through the link's IPersistFile.
    HRESULT Persist(const std::wstring& path, bool save) {
        if (link == nullptr) return FAILED(made) ? made : E_FAIL;
        IPersistFile* file = nullptr;
        HRESULT result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        if (FAILED(result)) return result;
        result = save ? file->Save(path.c_str(), TRUE) : file->Load(path.c_str(), STGM_READ);
        file->Release();
        return result;
    }
};

// A text the link hands out into a buffer of its choosing size; long paths
// are taken whole by growing the buffer until the text fits.
template <typename Getter>
std::wstring LinkText(Getter get) {
    for (std::size_t size = MAX_PATH; size <= 32768; size *= 2) {
        std::vector<wchar_t> buffer(size, L'\0');
        if (FAILED(get(buffer.data(), static_cast<int>(size)))) return std::wstring();
        const std::wstring text(buffer.data());
        if (text.size() + 1 < size) return text;
    }
    return std::wstring();
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring FailureText(const wchar_t* what, const std::wstring& folder, long code) {
    std::wstring text = what;
    text += L"\nスタートアップ フォルダー: " + folder;
    wchar_t* reason = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&reason), 0,
                                        nullptr);
    if (length > 0 && reason != nullptr) {
        std::wstring line(reason, length);
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r' || line.back() == L' ')) line.pop_back();
        text += L"\n" + line;
    }
    LocalFree(reason);
    wchar_t number[16];
    wsprintfW(number, L"0x%08lX", static_cast<unsigned long>(code));
    return text + L"(エラーコード " + number + L")";
}

}  // namespace

StartupShortcut::StartupShortcut(std::wstring folder) : folder_(folder.empty() ? UserStartupFolder() : folder) {}

std::wstring StartupShortcut::Path() const { return folder_.empty() ? std::wstring() : folder_ + kShortcutName; }

std::vector<std::wstring> StartupShortcut::Starting(const std::wstring& program) const {
    std::vector<std::wstring> found;
    if (folder_.empty() || program.empty()) return found;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((folder_ + L"\\*.lnk").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring path = folder_ + L"\\" + entry.cFileName;
        const std::optional<ShortcutTarget> target = Read(path);
        if (target && SamePath(target->program, program)) found.push_back(path);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return found;
}

long StartupShortcut::Create(const ShortcutTarget& target) const {
    if (folder_.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (GetFileAttributesW(folder_.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const int made = SHCreateDirectoryExW(nullptr, folder_.c_str(), nullptr);
        if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS) return HRESULT_FROM_WIN32(made);
    }
    ShellLink shortcut;
    if (shortcut.link == nullptr) return FAILED(shortcut.made) ? shortcut.made : E_FAIL;
    HRESULT result = shortcut.link->SetPath(target.program.c_str());
    if (SUCCEEDED(result)) result = shortcut.link->SetWorkingDirectory(target.workingFolder.c_str());
    if (FAILED(result)) return result;
    shortcut.link->SetDescription(L"Tobi");
    result = shortcut.Persist(Path(), true);
    return SUCCEEDED(result) ? 0 : result;
}

long StartupShortcut::RemoveAll(const std::wstring& program) const {
    long first = 0;
    for (const std::wstring& path : Starting(program)) {
        if (!DeleteFileW(path.c_str()) && first == 0) first = HRESULT_FROM_WIN32(GetLastError());
    }
    return first;
}

std::optional<ShortcutTarget> StartupShortcut::Read(const std::wstring& path) {
    ShellLink shortcut;
    if (FAILED(shortcut.Persist(path, false))) return std::nullopt;
    ShortcutTarget target;
    target.program = LinkText([&](wchar_t* buffer, int size) {
        return shortcut.link->GetPath(buffer, size, nullptr, SLGP_RAWPATH);
    });
    target.workingFolder =
        LinkText([&](wchar_t* buffer, int size) { return shortcut.link->GetWorkingDirectory(buffer, size); });
    return target;
}

SignInState ReadSignInState(const StartupShortcut& shortcut, const std::wstring& program) {
    return SignInState{!shortcut.Starting(program).empty(), std::wstring()};
}

SignInState ToggleSignIn(const StartupShortcut& shortcut, const ShortcutTarget& target, bool shownChecked) {
    SignInState state;
    if (shownChecked) {
        if (const long failed = shortcut.RemoveAll(target.program)) {
            state.failure = FailureText(L"スタートアップ フォルダーから Tobi のショートカットを削除できませんでした。",
                                        shortcut.Folder(), failed);
        }
    } else if (shortcut.Starting(target.program).empty()) {
        if (const long failed = shortcut.Create(target)) {
            state.failure = FailureText(L"スタートアップ フォルダーに Tobi のショートカットを作成できませんでした。",
                                        shortcut.Folder(), failed);
        }
    }
    state.runs = !shortcut.Starting(target.program).empty();
    return state;
}

namespace {

// A job's result, posted to the window.
struct SignInResult {
    SignInState state;
};

}  // namespace

SignInItem::SignInItem(HWND window, UINT message, std::shared_ptr<ShellWorker> worker, std::wstring folder,
                       ShortcutTarget thisLauncher)
    : window_(window),
      message_(message),
      worker_(std::move(worker)),
      folder_(std::move(folder)),
      thisLauncher_(std::move(thisLauncher)) {}

void SignInItem::Read() {
    if (running_) {
        readAfter_ = true;
        return;
    }
    Start(false);
}

void SignInItem::Toggle() {
    if (running_ || thisLauncher_.program.empty()) return;
    if (!Start(true)) {
        // No thread to be had: say so rather than nothing.
        auto* result = new (std::nothrow)
            SignInResult{SignInState{runs_, L"「Windows の起動時に実行」を変更できませんでした。(スレッドを作れません)"}};
        if (result != nullptr && !PostMessageW(window_, message_, 0, reinterpret_cast<LPARAM>(result))) delete result;
    }
}

bool SignInItem::Start(bool toggle) {
    running_ = true;
    const bool started = worker_->Run([folder = folder_, target = thisLauncher_, toggle, shown = runs_,
                                       window = window_, message = message_] {
        // The Startup folder is found here too: asking for it may wait.
        const StartupShortcut shortcut(folder);
        auto* result = new (std::nothrow) SignInResult{toggle ? ToggleSignIn(shortcut, target, shown)
                                                              : ReadSignInState(shortcut, target.program)};
        if (result != nullptr && !PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(result))) delete result;
    });
    if (!started) running_ = false;
    return started;
}

std::wstring SignInItem::Take(LPARAM result) {
    const std::unique_ptr<SignInResult> taken(reinterpret_cast<SignInResult*>(result));
    running_ = false;
    if (taken) {
        runs_ = taken->state.runs;
        known_ = true;
    }
    if (readAfter_) {
        readAfter_ = false;
        Start(false);
    }
    return taken ? taken->state.failure : std::wstring();
}

}  // namespace tobi
