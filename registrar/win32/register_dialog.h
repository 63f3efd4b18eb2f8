// Parvane's main dialog: the registration list. Files dropped from the shell
// become entries, a double-click edits one, DEL removes the selected ones, OK
// commits the list to cr.x and Cancel leaves without writing.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

#include "common/file_store.h"
#include "common/win32/dialog.h"
#include "common/win32/file_store_win32.h"
#include "common/win32/handles.h"
#include "registrar/commit.h"
#include "registrar/registration_file.h"

namespace registrar {

class RegisterDialog : public win32::Dialog {
public:
    RegisterDialog();

    // Files to add as if dropped once the list is read (Parvane.exe's command
    // line: Explorer's drop onto its icon, its "送る" menu); full paths.
    std::vector<std::wstring> filesToAdd;

    // The entries in list order: item i of the visible list shows entries[i]'s
    // name field, item i of the hidden list its folder text.
    const std::vector<Entry>& Entries() const { return entries_; }
    const std::wstring& StartupFolder() const { return startupFolder_; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notification, HWND control) override;
    void OnOK() override;      // the commit
    void OnCancel() override;  // StartLauncherOnCancel
    void OnDestroyed() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // The files the dialog reads and writes (tests put a failing store here).
    virtual FileStore& Files() { return files_; }

private:
    void LoadRegistrationFile();
    // cr.x now, as a merge takes it; nothing: it cannot be read (told).
    std::optional<std::vector<Entry>> ReadCurrentEntries();
    void DropFiles(HDROP drop);
    // Adds files as a drop does; paths that code page 932 cannot hold are told.
    void AddFiles(const std::vector<std::wstring>& paths);
    // The standard open-file dialog, several files at once (Insert, Ctrl+O).
    void ChooseFilesToAdd();
    void DeleteSelected();
    void EditEntry();
    void RefreshCount();
    void ShowEntries();
    void ShowAboutBox();
    void ShowWarning(const std::string& text);  // cp932

    void Commit();
    void ShowReports(const CommitResult& result);
    bool CheckRegistrationNames();  // true: the commit is abandoned
    bool AskToStartLauncher();      // false when the answer is No
    void StartLauncherOnCancel();

    std::wstring startupFolder_;
    // cr.x's entries as this window last read them, the base of its own
    // changes; nothing while cr.x has not been read (it was unreadable).
    std::optional<std::vector<Entry>> baseline_;
    std::vector<Entry> entries_;
    win32::UniqueIcon bigIcon_;
    win32::UniqueIcon smallIcon_;
    win32::FileStoreWin32 files_;
    HHOOK keys_ = nullptr;  // Insert and Ctrl+O while the dialog runs
    std::wstring lastAddedFolder_;  // where the file dialog starts
};

}  // namespace registrar
