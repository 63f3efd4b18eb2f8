#include "common/win32/file_store_win32.h"

#include <windows.h>

#include <atomic>

#include "common/win32/handles.h"
#include "common/win32/text.h"

namespace win32 {
namespace {

std::atomic<unsigned> temporaryCounter{0};

std::wstring TemporaryNameBeside(const std::wstring& target) {
    return target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++temporaryCounter);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const std::size_t remaining = bytes.size() - written;
        const DWORD chunk = remaining > 0x40000000u ? 0x40000000u : static_cast<DWORD>(remaining);
        DWORD done = 0;
        if (!WriteFile(file, bytes.data() + written, chunk, &done, nullptr) || done == 0) return false;
        written += done;
    }
    return true;
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

ReadResult FileStoreWin32::ReadOrCreate(const std::string& path) {
    ReadResult result;
    UniqueKernelHandle file(CreateFileW(WideFromCp932(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return result;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 0) return result;
    result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const std::size_t remaining = result.bytes.size() - done;
        const DWORD chunk = remaining > 0x40000000u ? 0x40000000u : static_cast<DWORD>(remaining);
        DWORD read = 0;
        if (!ReadFile(file.get(), result.bytes.data() + done, chunk, &read, nullptr)) return ReadResult{};
        if (read == 0) break;  // the file shrank meanwhile
        done += read;
    }
    result.bytes.resize(done);
    result.ok = true;
    return result;
}

WriteResult FileStoreWin32::Replace(const std::string& path, const std::string& bytes, bool readOnly) {
    const std::wstring target = WideFromCp932(path);
    const std::wstring temporary = TemporaryNameBeside(target);
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
        file.reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return fail(GetLastError());
    } else {
        return fail(injected);
    }
    if ((injected = InjectedFailure(WriteStep::Write)) != 0 || !WriteAll(file.get(), bytes)) {
        const unsigned long code = injected ? injected : GetLastError();
        file.reset();
        return fail(code);
    }
    if ((injected = InjectedFailure(WriteStep::Flush)) != 0 || !FlushFileBuffers(file.get())) {
        const unsigned long code = injected ? injected : GetLastError();
        file.reset();
        return fail(code);
    }
    file.reset();

    // A read-only target refuses to be replaced: the files the programs keep
    // read-only have the attribute cleared first, and put back on failure.
    const DWORD oldAttributes = GetFileAttributesW(target.c_str());
    const bool clearedReadOnly = readOnly && oldAttributes != INVALID_FILE_ATTRIBUTES &&
                                 (oldAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (clearedReadOnly) SetFileAttributesW(target.c_str(), oldAttributes & ~FILE_ATTRIBUTE_READONLY);

    injected = InjectedFailure(WriteStep::Replace);
    if (injected || !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const unsigned long code = injected ? injected : GetLastError();
        if (clearedReadOnly) SetFileAttributesW(target.c_str(), oldAttributes);
        return fail(code);
    }
    // The new file keeps the old one's other attributes (hidden, archive, ...).
    DWORD attributes = oldAttributes != INVALID_FILE_ATTRIBUTES ? oldAttributes : GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~FILE_ATTRIBUTE_READONLY);
        SetFileAttributesW(target.c_str(), attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes);
    }
    return WriteResult{};
}

bool FileStoreWin32::Exists(const std::string& path) {
    return GetFileAttributesW(WideFromCp932(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace win32
