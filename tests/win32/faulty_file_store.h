// Fault injection for the programs' file writes: a real FileStoreWin32 whose
// replacements fail at one chosen step, either on the N-th replacement only or
// on every replacement from the N-th on. The failure comes from the store's own
// seam, so the real temporary file is created, half written, flushed or moved
// up to the failing step and the real clean-up runs after it.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/win32/file_store_win32.h"

namespace testing_win32 {

struct WriteFault {
    win32::WriteStep step = win32::WriteStep::Replace;
    unsigned long code = ERROR_DISK_FULL;
    int firstFailingWrite = 1;  // counted from 1, over every Replace of the store
    bool persistent = false;    // false: only that write fails
};

inline const char* StepName(win32::WriteStep step) {
    switch (step) {
        case win32::WriteStep::CreateTemporary: return "CreateTemporary";
        case win32::WriteStep::Write: return "ShortWrite";
        case win32::WriteStep::Flush: return "Flush";
        case win32::WriteStep::Replace: return "Replace";
    }
    return "?";
}

}  // namespace testing_win32

namespace win32 {
// For GoogleTest's messages about parameterised cases.
inline void PrintTo(WriteStep step, std::ostream* out) { *out << testing_win32::StepName(step); }
}  // namespace win32

namespace testing_win32 {

inline const win32::WriteStep kAllWriteSteps[] = {win32::WriteStep::CreateTemporary, win32::WriteStep::Write,
                                                  win32::WriteStep::Flush, win32::WriteStep::Replace};

class FaultyFileStore : public win32::FileStoreWin32 {
public:
    explicit FaultyFileStore(const WriteFault& fault) : fault_(fault) {}

    WriteResult Replace(const std::string& path, const std::string& bytes, bool readOnly) override {
        ++writes_;
        return win32::FileStoreWin32::Replace(path, bytes, readOnly);
    }
    WriteResult ReplaceIfUnchanged(const std::string& path, const std::string& bytes, bool readOnly,
                                   const ReadResult& asRead) override {
        ++writes_;
        return win32::FileStoreWin32::ReplaceIfUnchanged(path, bytes, readOnly, asRead);
    }

    int Writes() const { return writes_; }
    // Failures actually injected: a test whose fault never fired proves nothing.
    int InjectedFailures() const { return injected_; }

protected:
    unsigned long InjectedFailure(win32::WriteStep step) override {
        if (step != fault_.step) return 0;
        const bool failing =
            fault_.persistent ? writes_ >= fault_.firstFailingWrite : writes_ == fault_.firstFailingWrite;
        if (!failing) return 0;
        ++injected_;
        return fault_.code;
    }

private:
    WriteFault fault_;
    int writes_ = 0;
    int injected_ = 0;
};

// Names in `folder` (with or without a trailing backslash) that look like a
// replacement's temporary ("<name>.tmp<digits>..."), for "nothing left behind".
inline std::vector<std::wstring> TemporariesIn(std::wstring folder) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*.tmp*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        const std::size_t mark = name.find(L".tmp");
        if (mark != std::wstring::npos && mark + 4 < name.size() && name[mark + 4] >= L'0' && name[mark + 4] <= L'9') {
            names.push_back(name);
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace testing_win32
