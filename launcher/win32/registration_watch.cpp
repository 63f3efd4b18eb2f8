#include "launcher/win32/registration_watch.h"

#include <algorithm>
#include <utility>
#include <new>

#include "common/win32/file_store_win32.h"

namespace tobi {
namespace {

// The first wait before a folder that could not be watched is tried again;
// twice as long each time after, up to kRewatchMaxMs.
constexpr DWORD kRewatchFirstMs = 1000;
constexpr DWORD kRewatchMaxMs = 60000;

// A command posted by a menu that has just closed was chosen from the list in
// use: it goes before any new list.
bool CommandWaiting(HWND window) {
    MSG message;
    return PeekMessageW(&message, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) != FALSE;
}

HANDLE OpenFolderForChanges(const std::wstring& folder) {
    const DWORD everySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    return CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, everySharing, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
}

// Hands `value` to `window` as lParam of `message`; freed when it cannot go.
template <typename Value, typename Free>
void PostOwned(HWND window, UINT message, Value value, Free free) {
    if (!PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(value))) free(value);
}

}  // namespace

// The changes to one file, from its folder's change notification, asked for
// by the window's thread (I/O ends with the thread that asked for it).
class RegistrationWatch::FileChanges {
public:
    explicit FileChanges(const std::wstring& file) {
        const std::size_t separator = file.find_last_of(L'\\');
        folderPath_ = file.substr(0, separator + 1);
        name_ = file.substr(separator + 1);
        event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    }
    ~FileChanges() { Close(); }
    FileChanges(const FileChanges&) = delete;
    FileChanges& operator=(const FileChanges&) = delete;

    const std::wstring& Folder() const { return folderPath_; }
    bool Watching() const { return pending_; }
    // Whether a change has come through since the last watch began: a watch
    // that ends at once again and again is not one to trust.
    bool Delivered() const { return delivered_; }
    // Once after the watch has ended with an error.
    bool TakeEnded() { return std::exchange(ended_, false); }
    HANDLE Event() const { return pending_ ? event_.get() : nullptr; }

    // Watches through `folder`, a handle opened for it; false when it cannot.
    bool Watch(HANDLE folder) {
        Close();
        delivered_ = false;
        folder_.reset(folder);
        if (folder_ && event_) Arm();
        return pending_;
    }

    // Whether the file changed since the last call, or may have (more changes
    // than the buffer holds, or the watch ended: one last look). Never waits.
    bool Changed() {
        if (!pending_ || WaitForSingleObject(event_.get(), 0) != WAIT_OBJECT_0) return false;
        pending_ = false;
        DWORD size = 0;
        if (!GetOverlappedResult(folder_.get(), &overlapped_, &size, FALSE)) {
            if (GetLastError() != ERROR_NOTIFY_ENUM_DIR) {
                ended_ = true;  // Watching() says so from now on
                return true;
            }
            size = 0;
        }
        if (size > 0) delivered_ = true;
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

    // Names as well as writes (a commit renames a new file over the old one),
    // a folder of that name, and rights granted.
    void Arm() {
        ResetEvent(event_.get());
        overlapped_ = OVERLAPPED{};
        overlapped_.hEvent = event_.get();
        pending_ = ReadDirectoryChangesW(folder_.get(), buffer_.data(), static_cast<DWORD>(buffer_.size() * sizeof(DWORD)),
                                         FALSE,
                                         FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                             FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE |
                                             FILE_NOTIFY_CHANGE_ATTRIBUTES | FILE_NOTIFY_CHANGE_SECURITY,
                                         nullptr, &overlapped_, nullptr) != FALSE;
    }

    void Close() {
        if (pending_) {
            CancelIoEx(folder_.get(), &overlapped_);
            DWORD ignored = 0;
            GetOverlappedResult(folder_.get(), &overlapped_, &ignored, TRUE);  // the system is done with the buffer
            pending_ = false;
        }
        folder_.reset();
    }

    std::wstring folderPath_;
    std::wstring name_;
    win32::UniqueKernelHandle folder_;
    win32::UniqueKernelHandle event_;
    OVERLAPPED overlapped_{};
    std::vector<DWORD> buffer_ = std::vector<DWORD>(256);  // aligned as the records need
    bool pending_ = false;
    bool delivered_ = false;
    bool ended_ = false;
};

RegistrationWatch::RegistrationWatch(HWND window, std::wstring file, std::shared_ptr<ShellWorker> worker)
    : window_(window),
      file_(std::move(file)),
      worker_(std::move(worker)),
      changes_(std::make_unique<FileChanges>(file_)),
      rewatchMs_(kRewatchFirstMs) {
    // The start-up folder was just read on this thread: opening it waits no longer.
    if (!changes_->Watch(OpenFolderForChanges(changes_->Folder()))) rewatchAt_ = GetTickCount64() + rewatchMs_;
}

RegistrationWatch::~RegistrationWatch() = default;

void RegistrationWatch::Follow(launcher::RegistrationFollower follower) { follower_ = std::move(follower); }

HANDLE RegistrationWatch::ChangeEvent() const { return changes_->Event(); }

DWORD RegistrationWatch::Timeout() const {
    if (!follower_) return INFINITE;
    const ULONGLONG now = GetTickCount64();
    ULONGLONG at = ~0ull;
    if (lookAt_ && !reading_) at = std::min(at, *lookAt_);
    if (!changes_->Watching() && !rewatching_) at = std::min(at, rewatchAt_);
    if (at == ~0ull) return INFINITE;
    return at <= now ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(at - now, INFINITE - 1));
}

bool RegistrationWatch::TakeChanges() {
    const bool changed = changes_->Changed();
    if (changes_->TakeEnded()) {
        // The watch has ended (a share gone, the folder replaced): opened again
        // after a while, longer each time while it never delivers.
        if (changes_->Delivered()) rewatchMs_ = kRewatchFirstMs;
        rewatchAt_ = GetTickCount64() + rewatchMs_;
        rewatchMs_ = std::min(rewatchMs_ * 2, kRewatchMaxMs);
    }
    return changed;
}

void RegistrationWatch::Poll() {
    if (!follower_) return;
    if (TakeChanges()) lookDue_ = true;
    const ULONGLONG now = GetTickCount64();
    if (!changes_->Watching() && !rewatching_ && now >= rewatchAt_) StartRewatch();
    if (lookAt_ && now >= *lookAt_) lookDue_ = true;
    if (lookDue_ && !reading_) StartRead();
}

void RegistrationWatch::StartRead() {
    lookDue_ = false;
    lookAt_.reset();
    reading_ = true;
    const bool started = worker_->Run(
        [file = file_, window = window_] {
            ReadResult* read = new (std::nothrow) ReadResult(win32::ReadWholeFile(file, false));
            if (read != nullptr) PostOwned(window, kRegistrationReadMessage, read, [](ReadResult* lost) { delete lost; });
        },
        false);
    if (!started) {
        reading_ = false;
        lookAt_ = GetTickCount64() + rewatchMs_;  // no thread now: later
    }
}

void RegistrationWatch::StartRewatch() {
    rewatching_ = true;
    const bool started = worker_->Run(
        [folder = changes_->Folder(), window = window_] {
            const HANDLE opened = OpenFolderForChanges(folder);
            PostOwned(window, kRegistrationFolderMessage, opened, [](HANDLE lost) {
                if (lost != INVALID_HANDLE_VALUE) CloseHandle(lost);
            });
        },
        false);
    if (!started) {
        rewatching_ = false;
        rewatchAt_ = GetTickCount64() + rewatchMs_;
    }
}

void RegistrationWatch::TakeFolder(HANDLE folder) {
    rewatching_ = false;
    // Whatever happened while nobody watched; without a watch, a look now and
    // then stands in for it.
    lookDue_ = true;
    if (changes_->Watch(folder == INVALID_HANDLE_VALUE ? nullptr : folder)) return;
    rewatchAt_ = GetTickCount64() + rewatchMs_;
    rewatchMs_ = std::min(rewatchMs_ * 2, kRewatchMaxMs);
}

void RegistrationWatch::TakeRead(std::unique_ptr<ReadResult> read) {
    reading_ = false;
    if (!follower_ || !read) return;
    const bool changedMeanwhile = TakeChanges();
    // A change while it was read is looked at again, whatever this look decides.
    if (changedMeanwhile) lookDue_ = true;
    launcher::FollowStep step = follower_->Look(*read, changedMeanwhile, GetTickCount64());
    if (step.list) news_.list = std::move(step.list);
    if (!step.warning.empty()) news_.warnings.push_back(std::move(step.warning));
    if (step.lookAgainAfterMs != 0) lookAt_ = GetTickCount64() + step.lookAgainAfterMs;
    if (!changes_->Watching() && !lookAt_) lookAt_ = GetTickCount64() + rewatchMs_;
}

RegistrationWatch::News RegistrationWatch::TakeNews() {
    News taken = std::move(news_);
    news_ = News{};
    return taken;
}

void RunWindowLoop(HWND window, RegistrationWatch* watch, const std::function<void()>& takeNews) {
    while (IsWindow(window)) {
        if (watch != nullptr && watch->HasNews() && !CommandWaiting(window)) {
            takeNews();
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
        if (watch != nullptr) watch->Poll();
        HANDLE change = watch != nullptr ? watch->ChangeEvent() : nullptr;
        const DWORD timeout = watch != nullptr ? watch->Timeout() : INFINITE;
        MsgWaitForMultipleObjectsEx(change != nullptr ? 1 : 0, change != nullptr ? &change : nullptr, timeout,
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

}  // namespace tobi
