#include "launcher/win32/registration_watch.h"

#include <algorithm>
#include <vector>

#include "common/win32/file_store_win32.h"
#include "common/win32/handles.h"
#include "common/win32/text.h"

namespace tobi {
namespace {

// The changes to one file, from its folder's change notification. An event
// that a wait can take together with messages tells that something changed.
class FileChanges {
public:
    explicit FileChanges(const std::wstring& file) {
        const std::size_t separator = file.find_last_of(L'\\');
        name_ = file.substr(separator + 1);
        const DWORD everySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        folder_.reset(CreateFileW(file.substr(0, separator + 1).c_str(), FILE_LIST_DIRECTORY, everySharing, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
        event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (folder_ && event_) Arm();
    }
    ~FileChanges() {
        if (!pending_) return;
        CancelIoEx(folder_.get(), &overlapped_);
        DWORD ignored = 0;
        GetOverlappedResult(folder_.get(), &overlapped_, &ignored, TRUE);  // the system is done with the buffer
    }
    FileChanges(const FileChanges&) = delete;
    FileChanges& operator=(const FileChanges&) = delete;

    // Null once the folder can no longer be watched.
    HANDLE Event() const { return pending_ ? event_.get() : nullptr; }

    // Whether the file changed since the last call, or may have (more changes
    // than the buffer holds). Never waits.
    bool Changed() {
        if (!pending_ || WaitForSingleObject(event_.get(), 0) != WAIT_OBJECT_0) return false;
        pending_ = false;
        DWORD size = 0;
        if (!GetOverlappedResult(folder_.get(), &overlapped_, &size, FALSE)) {
            if (GetLastError() != ERROR_NOTIFY_ENUM_DIR) return true;  // the folder is gone: one last look
            size = 0;
        }
        const bool changed = size == 0 || Named(size);
        Arm();
        return changed;
    }

private:
    bool Named(DWORD size) const {
        const auto* bytes = reinterpret_cast<const BYTE*>(buffer_.data());
        for (DWORD offset = 0; offset + sizeof(FILE_NOTIFY_INFORMATION) <= size;) {
            const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(bytes + offset);
            if (CompareStringOrdinal(record->FileName, static_cast<int>(record->FileNameLength / sizeof(WCHAR)),
                                     name_.c_str(), static_cast<int>(name_.size()), TRUE) == CSTR_EQUAL) {
                return true;
            }
            if (record->NextEntryOffset == 0) break;
            offset += record->NextEntryOffset;
        }
        return false;
    }

    // Names as well as writes: a commit renames a new file over the old one.
    void Arm() {
        ResetEvent(event_.get());
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_.get();
        pending_ = ReadDirectoryChangesW(folder_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size() * sizeof(DWORD)),
                                         FALSE,
                                         FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE |
                                             FILE_NOTIFY_CHANGE_LAST_WRITE,
                                         nullptr, &overlapped_, nullptr) != FALSE;
    }

    std::wstring name_;
    win32::UniqueKernelHandle folder_;
    win32::UniqueKernelHandle event_;
    OVERLAPPED overlapped_{};
    std::vector<DWORD> buffer_ = std::vector<DWORD>(256);  // aligned as the records need
    bool pending_ = false;
};

ReadResult ReadFailure(DWORD code) {
    ReadResult result;
    result.error = win32::ClassifyReadError(code);
    if (result.error == ReadError::None) result.error = ReadError::Other;
    result.systemCode = code;
    return result;
}

// cr.x as it stands. Like every reader it denies writers, so that a file still
// held by one reads as in use; unlike the start-up read it creates nothing (a
// writer may be between a delete and a rename) and lets a new file be renamed
// over it while it reads (a commit then need not fail).
ReadResult ReadNow(const std::wstring& path) {
    win32::UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) return ReadFailure(code);
        ReadResult missing;
        missing.missing = true;
        return missing;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return ReadFailure(GetLastError());
    ReadResult result;
    result.bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(result.bytes.size() - done, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file.get(), &result.bytes[done], wanted, &read, nullptr)) return ReadFailure(GetLastError());
        if (read == 0) break;  // it shrank meanwhile
        done += read;
    }
    result.bytes.resize(done);
    return result;
}

// A command posted by a menu that has just closed was chosen from the list in
// use: it goes before any new list.
bool CommandWaiting(HWND window) {
    MSG message;
    return PeekMessageW(&message, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) != FALSE;
}

// One look at the file: a new list goes to `adopt`, a warning into a box.
// Returns what the follower wants done next.
launcher::FollowStep FollowOnce(const std::wstring& file, FileChanges& changes,
                                launcher::RegistrationFollower& follower,
                                const std::function<void(launcher::RegistrationList)>& adopt) {
    try {
        const ReadResult read = ReadNow(file);
        launcher::FollowStep step = follower.Look(read, changes.Changed());
        if (step.list) adopt(std::move(*step.list));
        if (!step.warning.empty()) {
            // Standing alone, as the version box does: owned by the hidden
            // window it would hand that window the keyboard when closed.
            MessageBoxW(nullptr, win32::WideFromCp932(step.warning).c_str(), L"警告", MB_OK | MB_ICONEXCLAMATION);
        }
        return step;
    } catch (...) {
        return launcher::FollowStep{};  // out of memory: the launcher runs on; the next change looks again
    }
}

}  // namespace

void RunFollowingRegistrations(HWND window, const std::wstring& file, launcher::RegistrationFollower& follower,
                               const std::function<void(launcher::RegistrationList)>& adopt) {
    FileChanges changes(file);
    bool lookDue = true;  // the file may have changed before the watch began (the first menu was open)
    bool retrying = false;  // a look caught the file mid-write: look again at retryAt
    DWORD retryAt = 0;
    bool lookOnInput = false;  // the file could not be read: look again before the next message
    while (IsWindow(window)) {
        if (changes.Changed()) lookDue = true;
        if (retrying && static_cast<LONG>(GetTickCount() - retryAt) >= 0) lookDue = true;
        if (lookDue && !CommandWaiting(window)) {
            lookDue = false;
            const launcher::FollowStep step = FollowOnce(file, changes, follower, adopt);
            retrying = step.retryAfterMs != 0;
            retryAt = GetTickCount() + step.retryAfterMs;
            lookOnInput = step.lookAtNextInput;
            continue;
        }
        if (lookOnInput && HIWORD(GetQueueStatus(QS_ALLINPUT)) != 0) {
            lookOnInput = false;
            lookDue = true;
            continue;
        }
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            if (!IsDialogMessageW(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            continue;
        }
        // Idle: no timeout unless a look caught the file mid-write.
        const DWORD timeout =
            retrying ? static_cast<DWORD>(std::max<LONG>(0, static_cast<LONG>(retryAt - GetTickCount()))) : INFINITE;
        HANDLE event = changes.Event();
        MsgWaitForMultipleObjectsEx(event != nullptr ? 1 : 0, event != nullptr ? &event : nullptr, timeout, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

}  // namespace tobi
