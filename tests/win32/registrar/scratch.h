// A scratch folder that becomes the current directory (the registrar's
// start-up folder) for one test, and a real drop handle built in-process.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace testing_win32 {

class ScratchFolder {
public:
    ScratchFolder();   // creates it and changes into it
    ~ScratchFolder();  // changes back and removes it with everything in it
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::wstring& Path() const { return path_; }  // ends with a backslash
    std::string Cp932Path() const;                       // the same in cp932 bytes

    std::wstring File(const std::wstring& relative) const { return path_ + relative; }
    bool MakeFolder(const std::wstring& relative) const;
    bool WriteFile(const std::wstring& relative, const std::string& bytes) const;
    std::string ReadFile(const std::wstring& relative) const;  // empty when missing
    bool Exists(const std::wstring& relative) const;
    bool IsReadOnly(const std::wstring& relative) const;

private:
    std::wstring path_;
    std::wstring previousDirectory_;
};

// An HGLOBAL in the shell's drop format: DROPFILES, then the wide paths, each
// NUL-terminated, and one more NUL. The receiver's DragFinish frees it.
HDROP MakeDrop(const std::vector<std::wstring>& paths);

}  // namespace testing_win32
