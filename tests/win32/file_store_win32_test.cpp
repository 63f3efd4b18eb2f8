#include "common/win32/file_store_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/win32/handles.h"
#include "common/win32/text.h"
#include "faulty_file_store.h"

namespace {

class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, base);
        path_ = std::wstring(base) + L"tobi-store-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring file = path_ + L"\\" + found.cFileName;
                SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveDirectoryW(file.c_str());
                } else {
                    DeleteFileW(file.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    std::string File(const std::string& name) const { return win32::Cp932FromWide(path_).bytes + "\\" + name; }
    std::wstring WideFile(const std::wstring& name) const { return path_ + L"\\" + name; }
    const std::wstring& Path() const { return path_; }
    int FileCount() const {
        int count = 0;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return 0;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return count;
    }

private:
    std::wstring path_;
};

bool IsReadOnly(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(win32::WideFromCp932(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

class FailingStore : public win32::FileStoreWin32 {
public:
    win32::WriteStep failAt = win32::WriteStep::Replace;
    unsigned long code = ERROR_DISK_FULL;

protected:
    unsigned long InjectedFailure(win32::WriteStep step) override { return step == failAt ? code : 0; }
};

TEST(FileStoreWin32, ReadCreatesAMissingFileEmptyAndNeverTruncates) {
    TempFolder folder;
    win32::FileStoreWin32 store;
    const std::string path = folder.File("cr.x");
    EXPECT_TRUE(store.Read(path).missing);
    EXPECT_FALSE(store.Exists(path)) << "a plain read creates nothing";
    auto read = store.ReadOrCreate(path);
    EXPECT_TRUE(read.ok());
    EXPECT_TRUE(read.missing);
    EXPECT_EQ(read.bytes, "");
    EXPECT_TRUE(store.Exists(path));
    ASSERT_TRUE(store.Replace(path, std::string("a\0b\r\n", 5), true).ok());
    read = store.ReadOrCreate(path);
    EXPECT_FALSE(read.missing);
    EXPECT_EQ(read.bytes, std::string("a\0b\r\n", 5));
    EXPECT_EQ(store.Read(path).bytes, read.bytes);

    // Only a missing file reads as empty (also in a missing folder); a folder in its place fails.
    EXPECT_TRUE(store.ReadOrCreate(folder.File("none\\cr.x")).missing);
    ASSERT_TRUE(CreateDirectoryW(folder.WideFile(L"opt.x").c_str(), nullptr));
    EXPECT_EQ(store.Read(folder.File("opt.x")).error, ReadError::AccessDenied);
    read = store.ReadOrCreate(folder.File("opt.x"));
    EXPECT_EQ(read.error, ReadError::AccessDenied);
    EXPECT_EQ(read.systemCode, static_cast<unsigned long>(ERROR_ACCESS_DENIED));
}

TEST(FileStoreWin32, ReplaceLeavesTheFileReadOnlyAndOverwritesAReadOnlyFile) {
    TempFolder folder;
    win32::FileStoreWin32 store;
    const std::string path = folder.File("表ソ.x");  // names with trail byte 0x5C
    ASSERT_TRUE(store.Replace(path, "one", true).ok());
    EXPECT_TRUE(IsReadOnly(path));
    ASSERT_TRUE(store.Replace(path, "two", true).ok());
    EXPECT_EQ(store.ReadOrCreate(path).bytes, "two");
    EXPECT_TRUE(IsReadOnly(path));
    EXPECT_EQ(folder.FileCount(), 1) << "no temporary file is left behind";
}

TEST(FileStoreWin32, AReadOnlyFileThatIsNotOursStaysProtected) {
    TempFolder folder;
    win32::FileStoreWin32 store;
    const std::string path = folder.File("nmerr.html");
    ASSERT_TRUE(store.Replace(path, "old", true).ok());
    const auto result = store.Replace(path, "new", false);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(store.ReadOrCreate(path).bytes, "old");
    EXPECT_EQ(folder.FileCount(), 1);
}

// A holder without sharing stops both; one that lets others read (a virus
// scanner, a backup tool) stops only the replacement; one that shares delete
// too (the launcher's reader) stops it only where the system has no POSIX-style
// rename (Windows before 10 1709, Wine), and then as "in use" too.
TEST(FileStoreWin32, AFileHeldOpenIsInUseForReplaceAndForReadUnlessShared) {
    for (const DWORD sharing : {DWORD{0}, DWORD{FILE_SHARE_READ}, DWORD{FILE_SHARE_READ | FILE_SHARE_DELETE}}) {
        SCOPED_TRACE(sharing);
        TempFolder folder;
        win32::FileStoreWin32 store;
        const std::string path = folder.File("cr.x");
        ASSERT_TRUE(store.Replace(path, "old", true).ok());
        HANDLE holder =
            CreateFileW(win32::WideFromCp932(path).c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        const auto result = store.Replace(path, "new", true);
        const ReadResult read = store.ReadOrCreate(path);
        CloseHandle(holder);
        const bool replaced = (sharing & FILE_SHARE_DELETE) != 0 && result.ok();
        EXPECT_EQ(result.error, replaced ? WriteError::None : WriteError::InUse);
        if (sharing == 0) {
            EXPECT_EQ(read.error, ReadError::InUse);
            EXPECT_EQ(read.systemCode, static_cast<unsigned long>(ERROR_SHARING_VIOLATION));
        } else {
            EXPECT_EQ(read.bytes, replaced ? "new" : "old");
        }
        EXPECT_EQ(store.ReadOrCreate(path).bytes, replaced ? "new" : "old");
        EXPECT_TRUE(IsReadOnly(path)) << "read-only again, replaced or not";
        EXPECT_EQ(folder.FileCount(), 1);
    }
}

TEST(FileStoreWin32, EveryFailingStepLeavesTheOldFileWholeAndNoTemporary) {
    for (auto step : {win32::WriteStep::CreateTemporary, win32::WriteStep::Write, win32::WriteStep::Flush,
                      win32::WriteStep::Replace}) {
        TempFolder folder;
        FailingStore store;
        const std::string path = folder.File("opt.x");
        win32::FileStoreWin32 plain;
        ASSERT_TRUE(plain.Replace(path, "old", true).ok());
        store.failAt = step;
        const auto result = store.Replace(path, "new", true);
        EXPECT_EQ(result.error, WriteError::DiskFull) << static_cast<int>(step);
        EXPECT_EQ(result.systemCode, static_cast<unsigned long>(ERROR_DISK_FULL));
        EXPECT_EQ(plain.ReadOrCreate(path).bytes, "old");
        EXPECT_TRUE(IsReadOnly(path));
        EXPECT_EQ(folder.FileCount(), 1);
    }
}

// Every step failing once and from the first write on, for a file that exists
// (read-only, as the programs keep cr.x and opt.x) and for one that does not.
TEST(FileStoreWin32, AFaultAtAnyStepLeavesTheFileWhollyOldAndTheRetryWhollyNew) {
    int cases = 0;
    for (auto step : testing_win32::kAllWriteSteps) {
        for (bool persistent : {false, true}) {
            for (bool existed : {true, false}) {
                SCOPED_TRACE(std::string(testing_win32::StepName(step)) + (persistent ? " persistent" : " once") +
                             (existed ? " over an old file" : " without a file"));
                TempFolder folder;
                const std::string path = folder.File("cr.x");
                win32::FileStoreWin32 plain;
                if (existed) {
                    ASSERT_TRUE(plain.Replace(path, "old\r\n", true).ok());
                }
                testing_win32::FaultyFileStore store({step, ERROR_HANDLE_DISK_FULL, 1, persistent});
                const std::string fresh(100001, 'n');  // odd length: the short write is a real half

                EXPECT_EQ(store.Replace(path, fresh, true).error, WriteError::DiskFull);
                EXPECT_EQ(store.InjectedFailures(), 1);
                EXPECT_EQ(plain.Exists(path), existed);
                if (existed) {
                    EXPECT_EQ(plain.ReadOrCreate(path).bytes, "old\r\n");
                    EXPECT_TRUE(IsReadOnly(path));
                }
                EXPECT_EQ(testing_win32::TemporariesIn(folder.Path()).size(), 0u);

                const WriteResult retry = store.Replace(path, fresh, true);
                EXPECT_EQ(retry.ok(), !persistent);
                EXPECT_EQ(plain.Exists(path), existed || !persistent);
                if (plain.Exists(path)) {
                    EXPECT_EQ(plain.ReadOrCreate(path).bytes, persistent ? "old\r\n" : fresh);
                    EXPECT_TRUE(IsReadOnly(path));
                }
                EXPECT_EQ(testing_win32::TemporariesIn(folder.Path()).size(), 0u);
                EXPECT_EQ(folder.FileCount(), plain.Exists(path) ? 1 : 0);
                cases += 2;
            }
        }
    }
    RecordProperty("faultCases", cases);
}

// A process of our own program, held suspended: it runs, and it started now.
class SuspendedChild {
public:
    SuspendedChild() {
        std::wstring self(32768, L'\0');
        self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
        std::wstring commandLine = L"\"" + self + L"\" --gtest_list_tests";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (CreateProcessW(self.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                           nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            CloseHandle(info.hThread);
            id_ = info.dwProcessId;
        }
    }
    ~SuspendedChild() { End(); }
    void End() {
        if (!process_) return;
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
        process_.reset();
    }
    DWORD Id() const { return id_; }

private:
    win32::UniqueKernelHandle process_;
    DWORD id_ = 0;
};

// The id of a process that has ended and is no longer known to the system.
DWORD GoneProcessId() {
    SuspendedChild child;
    const DWORD id = child.Id();
    child.End();
    return id;
}

bool CreateTemporaryFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    win32::UniqueKernelHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), "half", 4, &written, nullptr) != FALSE;
}

void MakeOlderThanNow(const std::wstring& path, int hours) {
    win32::UniqueKernelHandle file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time;
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= static_cast<unsigned long long>(hours) * 3600ull * 10000000ull;
    FILETIME old{time.LowPart, time.HighPart};
    SetFileTime(file.get(), nullptr, nullptr, &old);
}

TEST(FileStoreWin32, TemporariesOfProcessesThatNoLongerRunAreRemovedAtTheNextReadOrWrite) {
    const DWORD gone = GoneProcessId();
    ASSERT_NE(gone, 0u);
    SuspendedChild running;
    ASSERT_NE(running.Id(), 0u);
    const std::wstring goneTag = std::to_wstring(gone);
    const std::wstring runningTag = std::to_wstring(running.Id());
    const std::wstring ownTag = std::to_wstring(GetCurrentProcessId());

    for (bool byWrite : {false, true}) {
        SCOPED_TRACE(byWrite ? "at a write" : "at a read");
        TempFolder folder;
        win32::FileStoreWin32 store;
        const std::string path = folder.File("cr.x");
        ASSERT_TRUE(store.Replace(path, "old", true).ok());

        const std::vector<std::wstring> stale = {
            L"cr.x.tmp" + goneTag + L"-1",       // its writer was killed
            L"CR.X.TMP" + goneTag + L"-22",      // names compare without case
            L"cr.x.tmp" + ownTag + L"-999999",   // ours, but no write of ours is under way
            L"cr.x.tmp" + runningTag + L"-7",    // the id now belongs to a later process
        };
        const std::vector<std::wstring> kept = {
            L"cr.x.tmp" + runningTag + L"-3",        // its writer still runs
            L"cr.x.tmp",                             // not the pattern
            L"cr.x.tmp" + goneTag,                   // no counter
            L"cr.x.tmp" + goneTag + L"-",            // empty counter
            L"cr.x.tmp" + goneTag + L"-1.bak",       // more after the counter
            L"cr.x.tmpx" + goneTag + L"-1",          // letters in the id
            L"cr.x.tmp99999999999-1",                // no such id
            L"cr.xx.tmp" + goneTag + L"-1",          // another file's temporary
            L"opt.x.tmp" + goneTag + L"-1",          // another file's temporary
            L"cr.x.tmp" + goneTag + L"-5",           // read-only: not written by a replacement
        };
        for (const std::wstring& name : stale) ASSERT_TRUE(CreateTemporaryFile(folder.WideFile(name))) << name.size();
        MakeOlderThanNow(folder.WideFile(stale[3]), 2);
        for (const std::wstring& name : kept) {
            ASSERT_TRUE(CreateTemporaryFile(folder.WideFile(name), name == kept.back() ? FILE_ATTRIBUTE_READONLY
                                                                                        : FILE_ATTRIBUTE_NORMAL));
        }
        const std::wstring folderNamedLikeOne = L"cr.x.tmp" + goneTag + L"-6";
        ASSERT_TRUE(CreateDirectoryW(folder.WideFile(folderNamedLikeOne).c_str(), nullptr));

        if (byWrite) {
            ASSERT_TRUE(store.Replace(path, "new", true).ok());
        } else {
            EXPECT_EQ(store.ReadOrCreate(path).bytes, "old");
        }
        for (const std::wstring& name : stale) {
            EXPECT_EQ(GetFileAttributesW(folder.WideFile(name).c_str()), INVALID_FILE_ATTRIBUTES)
                << "stale temporary kept: " << win32::Cp932FromWide(name).bytes;
        }
        for (const std::wstring& name : kept) {
            EXPECT_NE(GetFileAttributesW(folder.WideFile(name).c_str()), INVALID_FILE_ATTRIBUTES)
                << "removed: " << win32::Cp932FromWide(name).bytes;
        }
        EXPECT_NE(GetFileAttributesW(folder.WideFile(folderNamedLikeOne).c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(store.ReadOrCreate(path).bytes, byWrite ? "new" : "old");
    }
}

// A store that reads the target in the middle of its own write, as another
// thread of the program could.
class ReadingWhileWritingStore : public win32::FileStoreWin32 {
public:
    std::string path;
    std::wstring folder;
    std::size_t temporariesSeen = 0;

protected:
    unsigned long InjectedFailure(win32::WriteStep step) override {
        if (step == win32::WriteStep::Flush) {
            ReadOrCreate(path);
            temporariesSeen = testing_win32::TemporariesIn(folder).size();
        }
        return 0;
    }
};

TEST(FileStoreWin32, TheCleanUpNeverTakesATemporaryWhoseWriteIsUnderWay) {
    TempFolder folder;
    ReadingWhileWritingStore store;
    store.path = folder.File("opt.x");
    store.folder = folder.Path();
    ASSERT_TRUE(store.Replace(store.path, "new", true).ok());
    EXPECT_EQ(store.temporariesSeen, 1u) << "the write's own temporary survived the read";
    win32::FileStoreWin32 plain;
    EXPECT_EQ(plain.ReadOrCreate(store.path).bytes, "new");
    EXPECT_EQ(folder.FileCount(), 1);
}

}  // namespace
