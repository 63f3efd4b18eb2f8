#include "scratch.h"

#include <shlobj.h>

#include <cstring>

#include "common/win32/handles.h"
#include "common/win32/shell.h"
#include "common/win32/text.h"

namespace testing_win32 {
namespace {

void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + L"\\");
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder() {
    static unsigned counter = 0;
    std::wstring base(MAX_PATH + 1, L'\0');
    base.resize(GetTempPathW(static_cast<DWORD>(base.size()), base.data()));
    path_ = base + L"parvane-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(++counter) + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
    previousDirectory_ = win32::CurrentDirectory();
    win32::ChangeDirectory(path_);
}

ScratchFolder::~ScratchFolder() {
    win32::ChangeDirectory(previousDirectory_);
    RemoveTree(path_);
}

std::string ScratchFolder::Cp932Path() const { return win32::Cp932FromWide(path_).bytes; }

bool ScratchFolder::MakeFolder(const std::wstring& relative) const {
    return CreateDirectoryW(File(relative).c_str(), nullptr) != FALSE;
}

bool ScratchFolder::WriteFile(const std::wstring& relative, const std::string& bytes) const {
    win32::UniqueKernelHandle file(CreateFileW(File(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ScratchFolder::ReadFile(const std::wstring& relative) const {
    win32::UniqueKernelHandle file(CreateFileW(File(relative).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes(static_cast<std::size_t>(GetFileSize(file.get(), nullptr)), '\0');
    DWORD read = 0;
    if (!bytes.empty()) ::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

bool ScratchFolder::Exists(const std::wstring& relative) const {
    return GetFileAttributesW(File(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ScratchFolder::IsReadOnly(const std::wstring& relative) const {
    const DWORD attributes = GetFileAttributesW(File(relative).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    std::size_t characters = 1;  // the closing NUL
    for (const std::wstring& path : paths) characters += path.size() + 1;
    const std::size_t size = sizeof(DROPFILES) + characters * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (memory == nullptr) return nullptr;
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(header) + sizeof(DROPFILES));
    for (const std::wstring& path : paths) {
        std::memcpy(text, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        text += path.size() + 1;
    }
    *text = L'\0';
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

}  // namespace testing_win32
