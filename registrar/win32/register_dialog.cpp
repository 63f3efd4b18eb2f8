#include "registrar/win32/register_dialog.h"

#include <shellapi.h>

#include <optional>
#include <utility>

#include "common/win32/shell.h"
#include "common/win32/text.h"
#include "registrar/file_failure_messages.h"
#include "registrar/registration_names.h"
#include "registrar/win32/file_choice.h"
#include "registrar/win32/list_box.h"
#include "registrar/win32/name_check_dialog.h"
#include "registrar/win32/progress_dialog.h"
#include "registrar/win32/registrar_about_dialog.h"
#include "registrar/win32/report_dialog.h"
#include "registrar/win32/resource_ids.h"
#include "registrar/win32/settings_dialog.h"

namespace registrar {
namespace {

const wchar_t kWarningTitle[] = L"警告";
const wchar_t kStartLauncherQuestion[] = L"Tobi.exeを起動しますか ？";
const wchar_t kRefusedMessage[] = L"以下のファイルは、登録名にエラーがあったためその登録が実行されませんでした。";
const wchar_t kMissingMessage[] = L"以下のファイルは、存在が確認できなかったためその登録が実行されませんでした。";
const wchar_t kWithoutFolderMessage[] =
    L"以下のファイルは、パスにフォルダーが含まれていないためその登録が実行されませんでした。";
const wchar_t kUncheckedMessage[] = L"以下のファイルは、いまは存在を確認できなかったため、確認しないまま登録しました。";
const wchar_t kUnreadableMessage[] = L"以下の cr.x の行は、登録として読み取れなかったため書き込まれませんでした。";

HICON LoadProgramIcon(int metricX, int metricY) {
    return static_cast<HICON>(LoadImageW(win32::ResourceModule(), MAKEINTRESOURCEW(IDI_PARVANE), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY), 0));
}

// The dropped item's full path, whatever its length.
std::wstring DroppedPath(HDROP drop, UINT index) {
    const UINT length = DragQueryFileW(drop, index, nullptr, 0);
    if (length == 0) return std::wstring();
    std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
    const UINT copied = DragQueryFileW(drop, index, path.data(), length + 1);
    path.resize(copied);
    return path;
}

}  // namespace

RegisterDialog::RegisterDialog() : win32::Dialog(IDD_REGISTER) {}

BOOL RegisterDialog::OnInitDialog() {
    win32::AppendSystemMenuItem(hwnd(), IDM_ABOUT_BOX, win32::LoadStringResource(IDS_ABOUT_MENU_ITEM));

    bigIcon_.reset(LoadProgramIcon(SM_CXICON, SM_CYICON));
    smallIcon_.reset(LoadProgramIcon(SM_CXSMICON, SM_CYSMICON));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    DragAcceptFiles(hwnd(), TRUE);
    startupFolder_ = win32::CurrentDirectory();
    LoadRegistrationFile();
    RefreshCount();
    if (!filesToAdd.empty()) AddFiles(filesToAdd);
    keys_ = ListenForAddKeys(hwnd());
    return TRUE;
}

void RegisterDialog::LoadRegistrationFile() {
    // A cr.x that is there but unreadable, or whose reading did not finish, is
    // not an empty one: the list starts empty, without a baseline, and the
    // commit reads the file again before it may write.
    baseline_.reset();
    entries_.clear();
    ReadResult read;
    std::vector<std::string> unreadable;
    try {
        win32::ChangeDirectory(startupFolder_);
        read = Files().ReadOrCreate(kRegistrationFileName);
        if (read.ok()) {
            RegistrationList list = ReadRegistrationList(read.bytes);
            entries_ = std::move(list.entries);
            unreadable = std::move(list.unreadable);
            ShowEntries();
            baseline_ = entries_;
        }
    } catch (...) {
        read = ReadResult{ReadError::Other, 0, false, {}};
        baseline_.reset();
        entries_.clear();
    }
    if (baseline_) {
        // Hand-edited text that is no entry is not shown; nothing goes unsaid.
        if (!unreadable.empty()) ShowWarning(UnreadableLinesMessage(unreadable));
        return;
    }
    ShowEntries();
    ShowWarning(ReadFailureMessage(read));
}

std::optional<std::vector<Entry>> RegisterDialog::ReadCurrentEntries() {
    // Nothing is created here: a commit that then fails must not leave an
    // empty cr.x, which the running launcher would take for its list.
    win32::ChangeDirectory(startupFolder_);
    const ReadResult read = Files().Read(kRegistrationFileName);
    if (!read.ok()) {
        ShowWarning(CommitRefusedMessage(read));
        return std::nullopt;
    }
    return TakeForMerge(read, baseline_).entries;
}

void RegisterDialog::ShowEntries() {
    std::vector<std::wstring> names;
    std::vector<std::wstring> folders;
    names.reserve(entries_.size());
    folders.reserve(entries_.size());
    for (const Entry& entry : entries_) {
        names.push_back(win32::WideFromCp932(entry.nameField));
        folders.push_back(win32::WideFromCp932(entry.folderText));
    }
    FillListBox(Item(IDC_NAME_LIST), names);
    FillListBox(Item(IDC_FOLDER_LIST), folders);
}

void RegisterDialog::RefreshCount() {
    SetItemText(IDC_COUNT_EDIT, win32::WideFromInt(static_cast<long long>(entries_.size())));
}

bool RegisterDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    switch (message) {
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) != IDM_ABOUT_BOX) return false;
            ShowAboutBox();
            result = 0;
            return true;
        case WM_PAINT:
            if (!win32::PaintMinimizedIcon(hwnd(), bigIcon_.get())) return false;
            result = 0;
            return true;
        case WM_QUERYDRAGICON:
            result = reinterpret_cast<INT_PTR>(bigIcon_.get());
            return true;
        case WM_DROPFILES:
            DropFiles(reinterpret_cast<HDROP>(wParam));
            result = 0;
            return true;
        default:
            return false;
    }
}

bool RegisterDialog::OnCommand(WORD id, WORD notification, HWND control) {
    switch (id) {
        case IDC_NAME_LIST:
            if (notification != LBN_DBLCLK) return false;
            EditEntry();
            return true;
        case IDC_DELETE:
            if (notification != BN_CLICKED) return false;
            DeleteSelected();
            return true;
        case IDC_VERSION:
            if (notification != BN_CLICKED) return false;
            ShowAboutBox();
            return true;
        case IDC_ADD_FILES:
            ChooseFilesToAdd();
            return true;
        default:
            return win32::Dialog::OnCommand(id, notification, control);
    }
}

void RegisterDialog::ShowAboutBox() {
    RegistrarAboutDialog about;
    about.RunModal(hwnd());
}

void RegisterDialog::DropFiles(HDROP drop) {
    const UINT dropped = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::wstring> paths;
    for (UINT i = 0; i < dropped; ++i) paths.push_back(DroppedPath(drop, i));
    DragFinish(drop);
    AddFiles(paths);
}

void RegisterDialog::AddFiles(const std::vector<std::wstring>& paths) {
    std::vector<std::wstring> unusable;  // paths that code page 932 cannot hold
    std::vector<std::string> usable;
    for (const std::wstring& path : paths) {
        if (path.empty()) continue;
        const win32::Cp932Text bytes = win32::Cp932FromWide(path);
        if (bytes.lossless) {
            usable.push_back(bytes.bytes);
        } else {
            unusable.push_back(path);
        }
    }
    const std::size_t before = entries_.size();
    AddDroppedPaths(entries_, usable);
    if (entries_.size() > before) lastAddedFolder_ = win32::WideFromCp932(entries_.back().folderText);
    // Appended, not refilled: the user's selection and scroll position stay.
    std::vector<std::wstring> names;
    std::vector<std::wstring> folders;
    for (std::size_t i = before; i < entries_.size(); ++i) {
        names.push_back(win32::WideFromCp932(entries_[i].nameField));
        folders.push_back(win32::WideFromCp932(entries_[i].folderText));
    }
    AppendListItems(Item(IDC_NAME_LIST), names);
    AppendListItems(Item(IDC_FOLDER_LIST), folders);
    RefreshCount();

    if (!unusable.empty()) {
        // A box that stays on the screen however many were given.
        constexpr std::size_t kNamed = 10;
        std::wstring text = L"以下のファイルは、名前に Shift_JIS で表せない文字が含まれているため、登録できません。\n";
        for (std::size_t i = 0; i < unusable.size() && i < kNamed; ++i) text += L"\n" + unusable[i];
        if (unusable.size() > kNamed) text += L"\n(ほか " + std::to_wstring(unusable.size() - kNamed) + L" 件)";
        MessageBoxW(hwnd(), text.c_str(), kWarningTitle, MB_OK | MB_ICONEXCLAMATION);
    }
}

void RegisterDialog::ChooseFilesToAdd() {
    // Where the last file added lies, or the start-up folder: never the folder
    // of a line of cr.x, which may be on a share that keeps the dialog waiting.
    const std::wstring& folder = lastAddedFolder_.empty() ? startupFolder_ : lastAddedFolder_;
    const std::optional<std::vector<std::wstring>> chosen = ChooseFiles(hwnd(), folder);
    if (chosen) AddFiles(*chosen);
}

void RegisterDialog::DeleteSelected() {
    const std::vector<int> selected = SelectedListItems(Item(IDC_NAME_LIST));
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
        const int index = *it;
        if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) continue;
        SendMessageW(Item(IDC_NAME_LIST), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        SendMessageW(Item(IDC_FOLDER_LIST), LB_DELETESTRING, static_cast<WPARAM>(index), 0);
        entries_.erase(entries_.begin() + index);
    }
    RefreshCount();
}

void RegisterDialog::EditEntry() {
    const int index = FocusedSelectedItem(Item(IDC_NAME_LIST));
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
    const std::optional<std::string> nameField = EditEntrySettings(hwnd(), entries_[index]);
    if (!nameField) return;
    entries_[index].nameField = *nameField;
    ReplaceListItem(Item(IDC_NAME_LIST), index, win32::WideFromCp932(*nameField));
}

void RegisterDialog::ShowWarning(const std::string& text) {
    MessageBoxW(hwnd(), win32::WideFromCp932(text).c_str(), kWarningTitle, MB_OK | MB_ICONEXCLAMATION);
}

void RegisterDialog::OnOK() { Commit(); }

void RegisterDialog::Commit() {
    // This window's changes go onto cr.x as it stands now, never its list over
    // it; a cr.x that cannot be read is never written.
    std::optional<std::vector<Entry>> current = ReadCurrentEntries();
    if (!current) return;
    const std::vector<Entry> listBefore = entries_;
    const std::optional<std::vector<Entry>> baselineBefore = baseline_;
    entries_ = MergeChanges(baseline_, entries_, *current);
    baseline_ = std::move(current);
    ShowEntries();
    RefreshCount();
    if (CheckRegistrationNames()) {
        entries_ = listBefore;
        baseline_ = baselineBefore;
        ShowEntries();
        RefreshCount();
        return;
    }

    win32::ChangeDirectory(startupFolder_);
    ProgressDialog progress(Files());
    progress.entries = entries_;
    progress.baseline = *baseline_;
    progress.RunModal(hwnd());
    if (!progress.doneFlag) {  // the progress dialog could not be shown: nothing was done
        ShowWarning(WriteFailureMessage(WriteResult{WriteError::Other, GetLastError()}));
        return;
    }
    const CommitResult& result = progress.outcome;
    if (!result.written()) {
        // The list as merged with cr.x when it was last read, names typed in
        // the name check included: nothing is lost, OK may be pressed again.
        entries_ = result.listed;
        baseline_ = result.baseline;
        ShowEntries();
        RefreshCount();
        ShowWarning(CommitFailureMessage(result));
        return;
    }

    entries_.clear();
    ShowEntries();
    SetItemText(IDC_COUNT_EDIT, L"");
    if (result.unmerged) ShowWarning(UnmergedCommitMessage(result));
    ShowReports(result);

    if (AskToStartLauncher()) {
        win32::ChangeDirectory(startupFolder_);
        win32::OpenWithShell(hwnd(), L"Tobi.exe", L"");
    }
    EndDialog(IDOK);
}

void RegisterDialog::ShowReports(const CommitResult& result) {
    const std::pair<const wchar_t*, const std::vector<std::string>*> reports[] = {
        {kRefusedMessage, &result.refused},
        {kWithoutFolderMessage, &result.withoutFolder},
        {kUnreadableMessage, &result.unreadable},
        {kMissingMessage, &result.ordered.missing},
        {kUncheckedMessage, &result.ordered.unchecked},
    };
    ReportDialog report;
    for (const auto& [message, rows] : reports) {
        if (rows->empty()) continue;
        report.message = message;
        report.rows = *rows;
        report.RunModal(hwnd());
    }
}

bool RegisterDialog::CheckRegistrationNames() {
    const std::vector<std::size_t> positions = registrar::CheckRegistrationNames(entries_);
    if (positions.empty()) return false;

    NameCheckDialog check;
    check.startupFolder = startupFolder_;
    check.files = &Files();
    for (std::size_t position : positions) check.entries.push_back(entries_[position]);
    if (check.RunModal(hwnd()) != IDOK) return true;

    for (std::size_t k = 0; k < positions.size(); ++k) {
        const std::size_t position = positions[k];
        if (entries_[position].nameField == check.entries[k].nameField) continue;
        entries_[position].nameField = check.entries[k].nameField;
        ReplaceListItem(Item(IDC_NAME_LIST), static_cast<int>(position),
                        win32::WideFromCp932(entries_[position].nameField));
    }
    return false;
}

bool RegisterDialog::AskToStartLauncher() {
    return MessageBoxW(hwnd(), kStartLauncherQuestion, kWarningTitle, MB_YESNO | MB_ICONEXCLAMATION) != IDNO;
}

void RegisterDialog::OnCancel() { StartLauncherOnCancel(); }

void RegisterDialog::OnDestroyed() {
    if (keys_ != nullptr) UnhookWindowsHookEx(keys_);
    keys_ = nullptr;
}

void RegisterDialog::StartLauncherOnCancel() {
    if (AskToStartLauncher()) win32::OpenWithShell(hwnd(), L"./Tobi.exe", L"");
    EndDialog(IDCANCEL);
}

}  // namespace registrar
