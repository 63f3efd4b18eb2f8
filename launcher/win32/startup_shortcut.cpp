#include "launcher/win32/startup_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace tobi {
namespace {

const wchar_t kShortcutName[] = L"\\Tobi.lnk";

std::wstring UserStartupFolder() {
    PWSTR folder = nullptr;
    std::wstring result;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Startup, KF_FLAG_CREATE, nullptr, &folder))) result = folder;
    CoTaskMemFree(folder);
    return result;
}

// An IShellLinkW released on every path out.
struct ShellLink {
    IShellLinkW* link = nullptr;
    ShellLink() {
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                         reinterpret_cast<void**>(&link));
    }
    ~ShellLink() {
        if (link != nullptr) link->Release();
    }
    ShellLink(const ShellLink&) = delete;
    ShellLink& operator=(const ShellLink&) = delete;

    // Saves to or loads from `path` through the link's IPersistFile.
    bool Persist(const std::wstring& path, bool save) {
        IPersistFile* file = nullptr;
        if (link == nullptr || FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            return false;
        }
        const HRESULT result = save ? file->Save(path.c_str(), TRUE) : file->Load(path.c_str(), STGM_READ);
        file->Release();
        return SUCCEEDED(result);
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

// A folder's path without the backslash that may end it ("C:\\" stays whole).
std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

StartupShortcut::StartupShortcut(std::wstring folder) {
    if (folder.empty()) folder = UserStartupFolder();
    if (!folder.empty()) path_ = folder + kShortcutName;
}

bool StartupShortcut::Exists() const {
    return !path_.empty() && GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool StartupShortcut::Create(const ShortcutTarget& target) const {
    if (path_.empty()) return false;
    ShellLink shortcut;
    if (shortcut.link == nullptr || FAILED(shortcut.link->SetPath(target.program.c_str())) ||
        FAILED(shortcut.link->SetWorkingDirectory(target.workingFolder.c_str()))) {
        return false;
    }
    shortcut.link->SetDescription(L"Tobi");
    return shortcut.Persist(path_, true);
}

bool StartupShortcut::Remove() const { return !path_.empty() && DeleteFileW(path_.c_str()) != FALSE; }

std::optional<ShortcutTarget> StartupShortcut::Read() const {
    ShellLink shortcut;
    if (path_.empty() || !shortcut.Persist(path_, false)) return std::nullopt;
    ShortcutTarget target;
    target.program = LinkText([&](wchar_t* buffer, int size) {
        return shortcut.link->GetPath(buffer, size, nullptr, SLGP_RAWPATH);
    });
    target.workingFolder =
        LinkText([&](wchar_t* buffer, int size) { return shortcut.link->GetWorkingDirectory(buffer, size); });
    return target;
}

bool StartupShortcut::Starts(const ShortcutTarget& target) const {
    const std::optional<ShortcutTarget> read = Exists() ? Read() : std::nullopt;
    return read && SamePath(read->program, target.program) &&
           SamePath(WithoutTrailingBackslash(read->workingFolder), WithoutTrailingBackslash(target.workingFolder));
}

}  // namespace tobi
