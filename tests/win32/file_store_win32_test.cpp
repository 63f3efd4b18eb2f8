#include "common/win32/file_store_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "common/win32/text.h"

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
                DeleteFileW(file.c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    std::string File(const std::string& name) const { return win32::Cp932FromWide(path_).bytes + "\\" + name; }
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
    EXPECT_FALSE(store.Exists(path));
    auto read = store.ReadOrCreate(path);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, "");
    EXPECT_TRUE(store.Exists(path));
    ASSERT_TRUE(store.Replace(path, std::string("a\0b\r\n", 5), true).ok());
    read = store.ReadOrCreate(path);
    EXPECT_EQ(read.bytes, std::string("a\0b\r\n", 5));
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

TEST(FileStoreWin32, AFileHeldOpenWithoutSharingIsNotReplaced) {
    TempFolder folder;
    win32::FileStoreWin32 store;
    const std::string path = folder.File("cr.x");
    ASSERT_TRUE(store.Replace(path, "old", true).ok());
    HANDLE holder = CreateFileW(win32::WideFromCp932(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const auto result = store.Replace(path, "new", true);
    CloseHandle(holder);
    EXPECT_FALSE(result.ok());
    EXPECT_NE(result.error, WriteError::None);
    EXPECT_EQ(store.ReadOrCreate(path).bytes, "old");
    EXPECT_TRUE(IsReadOnly(path)) << "the attribute comes back after a failed replacement";
    EXPECT_EQ(folder.FileCount(), 1);
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

}  // namespace
