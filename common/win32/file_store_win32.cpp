#include "common/win32/file_store_win32.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

#include "common/temporary_name.h"
#include "common/win32/handles.h"
#include "common/win32/text.h"

namespace win32 {
namespace {

std::atomic<unsigned> temporaryCounter{0};

// Temporaries this process is writing right now (by their counter), so that a
// cleanup on another thread never takes one of them for stale.
std::mutex inFlightMutex;
std::set<unsigned> inFlight;

class InFlightTemporary {
public:
    InFlightTemporary() : number_(++temporaryCounter) {
        std::lock_guard<std::mutex> lock(inFlightMutex);
        inFlight.insert(number_);
    }
    ~InFlightTemporary() {
        std::lock_guard<std::mutex> lock(inFlightMutex);
        inFlight.erase(number_);
    }
    InFlightTemporary(const InFlightTemporary&) = delete;
    InFlightTemporary& operator=(const InFlightTemporary&) = delete;
    unsigned Number() const { return number_; }

private:
    unsigned number_;
};

bool IsInFlight(unsigned number) {
    std::lock_guard<std::mutex> lock(inFlightMutex);
    return inFlight.count(number) > 0;
}

// The full path in the form that has no MAX_PATH limit ("\\?\C:\...",
// "\\?\UNC\server\share\..."): a temporary's name is longer than its
// target's, and must open wherever the target does. Anything else stays as it is.
std::wstring LongPathName(const std::wstring& path) {
    if (path.rfind(L"\\\\?\\", 0) == 0) return path;
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    if (full.rfind(L"\\\\", 0) == 0 && full.rfind(L"\\\\.\\", 0) != 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return path;
}

std::wstring TemporaryNameBeside(const std::wstring& target, unsigned number) {
    return target + WideFromCp932(temporary_name::Suffix(GetCurrentProcessId(), number));
}

// Whether the writer of a temporary named with `processId` and `number`, last
// written at `lastWrite`, can no longer be writing it. In doubt (a process that
// runs and cannot be asked) it is kept.
bool WriterIsGone(DWORD processId, unsigned long number, const FILETIME& lastWrite) {
    if (processId == GetCurrentProcessId()) return !IsInFlight(static_cast<unsigned>(number));
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    DWORD exitCode = 0;
    if (GetExitCodeProcess(process.get(), &exitCode) && exitCode != STILL_ACTIVE) return true;
    // The id may have been reused: a process started after the file was last
    // written did not write it. File times can lag the clock by a few ticks, so
    // only a clear margin counts.
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process.get(), &created, &exited, &kernel, &user)) return false;
    constexpr unsigned long long kMarginIn100ns = 2ull * 10000000ull;  // 2 s
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return ticks(created) > ticks(lastWrite) + kMarginIn100ns;
}

// Removes the temporaries of `target` that a process killed in the middle of a
// write (or a failed delete) left behind. Only names of the temporaries' own
// pattern are touched.
void RemoveStaleTemporaries(const std::wstring& target) {
    const std::size_t separator = target.find_last_of(L"\\/:");
    const std::wstring folder = separator == std::wstring::npos ? std::wstring() : target.substr(0, separator + 1);
    const std::wstring fileName = target.substr(folder.size());
    if (fileName.empty()) return;

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + fileName + L".tmp*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) continue;
        const std::wstring name = found.cFileName;
        // The search also matches short names; the long name must follow the pattern.
        if (name.size() <= fileName.size() ||
            CompareStringOrdinal(name.c_str(), static_cast<int>(fileName.size()), fileName.c_str(),
                                 static_cast<int>(fileName.size()), TRUE) != CSTR_EQUAL) {
            continue;
        }
        const Cp932Text suffix = Cp932FromWide(name.substr(fileName.size()));
        const auto writer = suffix.lossless ? temporary_name::ParseSuffix(suffix.bytes) : std::nullopt;
        if (!writer) continue;
        if (WriterIsGone(writer->processId, writer->counter, found.ftLastWriteTime)) {
            DeleteFileW((folder + name).c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// FileRenameInfoEx and its flags (Windows 10 1709 on); the headers give them
// only for targets newer than ours. The structure is FILE_RENAME_INFO with its
// first member as the flags word.
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;
struct RenameInfoEx {
    DWORD flags;
    HANDLE rootDirectory;
    DWORD fileNameLength;  // in bytes, without the closing NUL
    WCHAR fileName[1];     // the name runs on past the structure
};
static_assert(sizeof(RenameInfoEx) == sizeof(FILE_RENAME_INFO) &&
                  offsetof(RenameInfoEx, rootDirectory) == offsetof(FILE_RENAME_INFO, RootDirectory) &&
                  offsetof(RenameInfoEx, fileNameLength) == offsetof(FILE_RENAME_INFO, FileNameLength) &&
                  offsetof(RenameInfoEx, fileName) == offsetof(FILE_RENAME_INFO, FileName),
              "laid out as FILE_RENAME_INFO, the flags in place of its first member");

// Moves the open file over `target` (its full "\\?\" path) with POSIX
// semantics: a target that another program holds open, sharing delete (as the
// launcher's reader does), is replaced all the same, where MoveFileExW is
// refused until the holder lets go. False when the system has no such rename
// (before Windows 10 1709, Wine, some file systems and shares) or it failed
// for another reason: the caller then moves the file the old way, which
// gives the verdict.
bool RenameOverPosixStyle(HANDLE file, const std::wstring& target) {
    const std::size_t nameBytes = target.size() * sizeof(wchar_t);
    const std::size_t size =
        std::max(sizeof(RenameInfoEx), offsetof(RenameInfoEx, fileName) + nameBytes + sizeof(wchar_t));
    if (size > MAXDWORD) return false;
    std::vector<std::uint64_t> storage((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t));  // aligned
    auto* info = reinterpret_cast<RenameInfoEx*>(storage.data());
    info->flags = kRenameReplaceIfExists | kRenamePosixSemantics;
    info->rootDirectory = nullptr;
    info->fileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->fileName, target.c_str(), nameBytes + sizeof(wchar_t));
    return SetFileInformationByHandle(file, kFileRenameInfoEx, info, static_cast<DWORD>(size)) != FALSE;
}

bool WriteAll(HANDLE file, const char* bytes, std::size_t size) {
    std::size_t written = 0;
    while (written < size) {
        const std::size_t remaining = size - written;
        const DWORD chunk = remaining > 0x40000000u ? 0x40000000u : static_cast<DWORD>(remaining);
        DWORD done = 0;
        if (!WriteFile(file, bytes + written, chunk, &done, nullptr) || done == 0) return false;
        written += done;
    }
    return true;
}

// A file that another program holds open gives "access denied" to a
// replacement onto it, as a read-only one does. Without a POSIX-style rename
// any holder stands in the way, even one that shares delete (the launcher's
// reader): so the file is opened sharing nothing, which any holder refuses.
bool HeldOpenElsewhere(const std::wstring& path) {
    UniqueKernelHandle file(
        CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

Presence LookUp(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return Presence::Present;
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? Presence::Missing : Presence::Unknown;
}

ReadResult ReadFailure(unsigned long code) {
    ReadResult result;
    result.error = ClassifyReadError(code);
    if (result.error == ReadError::None) result.error = ReadError::Other;  // failed without saying why
    result.systemCode = code;
    return result;
}

}  // namespace

WriteError ClassifyWriteError(unsigned long systemCode) {
    switch (systemCode) {
        case ERROR_SUCCESS: return WriteError::None;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT: return WriteError::AccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE: return WriteError::InUse;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return WriteError::DiskFull;
        default: return WriteError::Other;
    }
}

ReadError ClassifyReadError(unsigned long systemCode) {
    switch (ClassifyWriteError(systemCode)) {
        case WriteError::None: return ReadError::None;
        case WriteError::AccessDenied: return ReadError::AccessDenied;
        case WriteError::InUse: return ReadError::InUse;
        case WriteError::DiskFull:
        case WriteError::Other:
        case WriteError::Changed: return ReadError::Other;
    }
    return ReadError::Other;
}

ReadResult FileStoreWin32::ReadOrCreate(const std::string& path) { return ReadWholeFile(WideFromCp932(path), true); }

ReadResult FileStoreWin32::Read(const std::string& path) { return ReadWholeFile(WideFromCp932(path), false); }

ReadResult ReadWholeFile(const std::wstring& path, bool create) {
    ReadResult result;
    const std::wstring target = LongPathName(path);
    // Only a read at start sweeps: a plain read is the commit's, right before
    // its own write, which sweeps anyway, or the running launcher's, which
    // writes nothing. Each scan of the folder costs, on a share the more.
    if (create) RemoveStaleTemporaries(target);
    // Writers are kept out; another program's replacement (a rename over the
    // file) is not, so that a read never makes someone else's commit fail.
    UniqueKernelHandle file(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                        create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        // A missing file that cannot be created (a folder without write access)
        // still holds nothing; only a file that is there and unreadable fails.
        if (LookUp(target) == Presence::Missing) {
            result.missing = true;
            return result;
        }
        return ReadFailure(code);
    }
    result.missing = create && GetLastError() != ERROR_ALREADY_EXISTS;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return ReadFailure(GetLastError());
    result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const std::size_t remaining = result.bytes.size() - done;
        const DWORD chunk = remaining > 0x40000000u ? 0x40000000u : static_cast<DWORD>(remaining);
        DWORD read = 0;
        if (!ReadFile(file.get(), result.bytes.data() + done, chunk, &read, nullptr)) return ReadFailure(GetLastError());
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    result.bytes.resize(done);
    return result;
}

WriteResult FileStoreWin32::Replace(const std::string& path, const std::string& bytes, bool readOnly) {
    return ReplaceWhole(path, bytes, readOnly, nullptr);
}

WriteResult FileStoreWin32::ReplaceIfUnchanged(const std::string& path, const std::string& bytes, bool readOnly,
                                               const ReadResult& asRead) {
    return ReplaceWhole(path, bytes, readOnly, &asRead);
}

WriteResult FileStoreWin32::ReplaceWhole(const std::string& path, const std::string& bytes, bool readOnly,
                                         const ReadResult* asRead) {
    const std::wstring target = LongPathName(WideFromCp932(path));
    RemoveStaleTemporaries(target);
    const InFlightTemporary number;
    const std::wstring temporary = TemporaryNameBeside(target, number.Number());
    auto fail = [&](unsigned long code) {
        DeleteFileW(temporary.c_str());
        return WriteResult{ClassifyWriteError(code), code};
    };

    // A read-only file that the caller does not manage stays protected (Windows
    // refuses to replace it; Wine would not, so ask first).
    const DWORD targetAttributes = GetFileAttributesW(target.c_str());
    if (!readOnly && targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & FILE_ATTRIBUTE_READONLY)) {
        return WriteResult{WriteError::AccessDenied, ERROR_ACCESS_DENIED};
    }

    unsigned long injected = InjectedFailure(WriteStep::CreateTemporary);
    UniqueKernelHandle file;
    if (!injected) {
        // Delete access: the temporary renames itself over the target.
        file.reset(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return fail(GetLastError());
    } else {
        return fail(injected);
    }
    // An injected write failure is a short write: part of the bytes reach the file.
    injected = InjectedFailure(WriteStep::Write);
    const std::size_t toWrite = injected ? bytes.size() / 2 : bytes.size();
    if (!WriteAll(file.get(), bytes.data(), toWrite) || injected) {
        const unsigned long code = injected ? injected : GetLastError();
        file.reset();
        return fail(code);
    }
    if ((injected = InjectedFailure(WriteStep::Flush)) != 0 || !FlushFileBuffers(file.get())) {
        const unsigned long code = injected ? injected : GetLastError();
        file.reset();
        return fail(code);
    }
    if (asRead != nullptr) {
        const WriteResult unchanged = ConfirmUnchanged(ReadWholeFile(target, false), *asRead);
        if (!unchanged.ok()) {
            file.reset();
            DeleteFileW(temporary.c_str());
            return unchanged;
        }
    }

    // A read-only target refuses to be replaced: the files the programs keep
    // read-only have the attribute cleared first, and put back on failure.
    const DWORD oldAttributes = GetFileAttributesW(target.c_str());
    const bool clearedReadOnly = readOnly && oldAttributes != INVALID_FILE_ATTRIBUTES &&
                                 (oldAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (clearedReadOnly) SetFileAttributesW(target.c_str(), oldAttributes & ~FILE_ATTRIBUTE_READONLY);

    unsigned long code = InjectedFailure(WriteStep::Replace);
    if (code == 0) {
        const bool renamed = RenameOverPosixStyle(file.get(), target);
        file.reset();  // the old way moves the temporary by its name, closed
        if (!renamed &&
            !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            code = GetLastError();
            if (code == ERROR_SUCCESS) code = ERROR_GEN_FAILURE;
        }
    }
    file.reset();
    if (code != 0) {
        if (clearedReadOnly) SetFileAttributesW(target.c_str(), oldAttributes);
        WriteResult failure = fail(code);
        if (failure.error == WriteError::AccessDenied && HeldOpenElsewhere(target)) failure.error = WriteError::InUse;
        return failure;
    }
    // The new file keeps the old one's other attributes (hidden, archive, ...).
    DWORD attributes = oldAttributes != INVALID_FILE_ATTRIBUTES ? oldAttributes : GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(target.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes);
    }
    return WriteResult{};
}

Presence FileStoreWin32::Lookup(const std::string& path) { return LookUp(WideFromCp932(path)); }

}  // namespace win32
