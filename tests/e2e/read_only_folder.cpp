#include "tests/e2e/read_only_folder.h"

#include <aclapi.h>

#include <utility>

#include "common/win32/handles.h"

namespace e2e {
namespace {

// Wine's own exports: present only when running under Wine.
using UnixNameFromDos = char*(CDECL*)(const WCHAR*);
using DosNameFromUnix = WCHAR*(CDECL*)(const char*);

bool RunningUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

std::string UnixPathOf(const std::wstring& path) {
    auto convert = reinterpret_cast<UnixNameFromDos>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (convert == nullptr) return std::string();
    char* unix = convert(path.c_str());
    if (unix == nullptr) return std::string();
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// The Windows name of a Unix program, so that CreateProcess runs it (Wine
// starts Unix executables itself).
std::wstring UnixProgram(const char* const* candidates) {
    auto convert = reinterpret_cast<DosNameFromUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    if (convert == nullptr) return std::wstring();
    for (const char* const* candidate = candidates; *candidate != nullptr; ++candidate) {
        WCHAR* dos = convert(*candidate);
        if (dos == nullptr) continue;
        std::wstring result = dos;
        HeapFree(GetProcessHeap(), 0, dos);
        if (GetFileAttributesW(result.c_str()) != INVALID_FILE_ATTRIBUTES) return result;
    }
    return std::wstring();
}

std::wstring WideFromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Starts the program; Wine gives no handle to wait on for a Unix program, so the
// caller watches for its effect.
bool Run(const std::wstring& program, std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return false;
    }
    if (started.hThread != nullptr) CloseHandle(started.hThread);
    if (started.hProcess != nullptr) CloseHandle(started.hProcess);
    return true;
}

}  // namespace

ReadOnlyFolder::ReadOnlyFolder(std::wstring path) : path_(std::move(path)) {
    if (RunningUnderWine()) {
        if (!ChangeImmutable(true)) return;
        immutable_ = true;
        how_ = "the Linux directory made immutable (chattr +i)";
    } else {
        if (!DenyByAccessControl()) return;
        how_ = "an access-control entry denying everyone to add or delete files";
    }
    denies_ = ProbeDenied();
    if (!denies_) how_ += ", which did not stop a write here";
}

ReadOnlyFolder::~ReadOnlyFolder() { Lift(); }

void ReadOnlyFolder::Lift() {
    if (immutable_) {
        immutable_ = !ChangeImmutable(false);
    }
    if (savedSecurity_ != nullptr) {
        SetNamedSecurityInfoW(path_.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, savedAcl_,
                              nullptr);
        LocalFree(savedSecurity_);
        savedSecurity_ = nullptr;
        savedAcl_ = nullptr;
    }
    denies_ = false;
}

bool ReadOnlyFolder::ProbeDenied() const {
    const std::wstring probe = path_ + L"\\write-probe.tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    CloseHandle(file);
    DeleteFileW(probe.c_str());
    return false;
}

bool ReadOnlyFolder::ChangeImmutable(bool on) {
    static const char* const kChattr[] = {"/usr/bin/chattr", "/bin/chattr", "/usr/sbin/chattr", "/sbin/chattr",
                                          nullptr};
    const std::string unixPath = UnixPathOf(path_);
    const std::wstring chattr = UnixProgram(kChattr);
    if (unixPath.empty() || chattr.empty()) {
        how_ = "no chattr or no Unix path for the folder";
        return false;
    }
    // Wine hands the Unix program its arguments split by the Windows rules.
    const std::wstring commandLine =
        L"chattr " + std::wstring(on ? L"+i" : L"-i") + L" \"" + WideFromUtf8(unixPath) + L"\"";
    if (!Run(chattr, commandLine)) {
        how_ = "chattr could not be run (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    for (int waited = 0; waited < 5000; waited += 20) {
        if (ProbeDenied() == on) return true;
        Sleep(20);
    }
    how_ = on ? "chattr +i did not take" : "chattr -i did not take";
    return false;
}

bool ReadOnlyFolder::DenyByAccessControl() {
    if (GetNamedSecurityInfoW(path_.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &savedAcl_,
                              nullptr, &savedSecurity_) != ERROR_SUCCESS) {
        how_ = "the folder's access list could not be read";
        return false;
    }
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof(everyone);
    CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize);
    EXPLICIT_ACCESSW deny{};
    deny.grfAccessPermissions = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = NO_INHERITANCE;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    deny.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
    PACL denied = nullptr;
    if (SetEntriesInAclW(1, &deny, savedAcl_, &denied) != ERROR_SUCCESS) {
        how_ = "no access list with the denial could be built";
        return false;
    }
    const DWORD set = SetNamedSecurityInfoW(path_.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                            denied, nullptr);
    LocalFree(denied);
    if (set != ERROR_SUCCESS) {
        how_ = "the folder's access list could not be changed";
        return false;
    }
    return true;
}

}  // namespace e2e
