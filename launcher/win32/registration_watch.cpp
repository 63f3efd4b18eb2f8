#include "launcher/win32/registration_watch.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "common/win32/file_store_win32.h"
#include "common/win32/handles.h"

namespace tobi {
namespace {

// The first wait before a folder that could not be watched is tried again;
// twice as long each time after, up to kRewatchMaxMs.
constexpr DWORD kRewatchFirstMs = 1000;
constexpr DWORD kRewatchMaxMs = 60000;
// How long the end of the launcher waits for a read that hangs.
constexpr DWORD kStopWaitMs = 2000;

// The changes to one file, from its folder's change notification.
class FileChanges {
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

    bool Watching() const { return pending_; }
    // Signalled when a change has come; null while the folder is not watched.
    HANDLE Event() const { return pending_ ? event_.get() : nullptr; }

    // Opens the folder afresh and asks for its next change; false when it
    // cannot be watched now (gone, a share away, no right).
    bool Watch() {
        Close();
        const DWORD everySharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        folder_.reset(CreateFileW(folderPath_.c_str(), FILE_LIST_DIRECTORY, everySharing, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
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
            if (GetLastError() != ERROR_NOTIFY_ENUM_DIR) return true;  // the watch has ended: Watching() says so
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
};

// A command posted by a menu that has just closed was chosen from the list in
// use: it goes before any new list.
bool CommandWaiting(HWND window) {
    MSG message;
    return PeekMessageW(&message, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE) != FALSE;
}

// Milliseconds from now until `at` (GetTickCount64), 0 when it has passed.
DWORD Until(ULONGLONG at) {
    const ULONGLONG now = GetTickCount64();
    return at <= now ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(at - now, INFINITE - 1));
}

}  // namespace

struct RegistrationWatch::Shared {
    Shared(std::wstring path, launcher::RegistrationFollower following)
        : file(std::move(path)), follower(std::move(following)) {}

    const std::wstring file;
    launcher::RegistrationFollower follower;  // the thread's alone
    win32::UniqueKernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    win32::UniqueKernelHandle newsEvent{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::mutex lock;
    News news;

    void Tell(launcher::FollowStep& step) {
        if (!step.list && step.warning.empty()) return;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (step.list) news.list = std::move(step.list);
            if (!step.warning.empty()) news.warnings.push_back(std::move(step.warning));
        }
        SetEvent(newsEvent.get());
    }

    // One look at the file; returns when to look again even without a change.
    std::optional<ULONGLONG> Look(FileChanges& changes) {
        ReadResult read;
        try {
            read = win32::ReadWholeFile(file, false);
        } catch (const std::bad_alloc&) {
            read = ReadResult{ReadError::Other, ERROR_NOT_ENOUGH_MEMORY, false, {}};
        }
        launcher::FollowStep step = follower.Look(read, changes.Changed(), GetTickCount64());
        try {
            Tell(step);
        } catch (...) {
            // Out of memory: the list in use stays; a later look tells again.
        }
        if (step.lookAgainAfterMs == 0) return std::nullopt;
        return GetTickCount64() + step.lookAgainAfterMs;
    }

    void Run() {
        FileChanges changes(file);
        bool lookDue = true;  // the file may have changed before the watch began
        std::optional<ULONGLONG> lookAt;
        ULONGLONG rewatchAt = 0;
        DWORD rewatchMs = kRewatchFirstMs;
        for (;;) {
            if (!changes.Watching() && GetTickCount64() >= rewatchAt) {
                if (changes.Watch()) {
                    rewatchMs = kRewatchFirstMs;
                } else {
                    rewatchAt = GetTickCount64() + rewatchMs;
                    rewatchMs = std::min(rewatchMs * 2, kRewatchMaxMs);
                }
                lookDue = true;  // whatever happened while nobody watched
            }
            if (lookDue || (lookAt && GetTickCount64() >= *lookAt)) {
                lookDue = false;
                lookAt = Look(changes);
                continue;
            }
            DWORD timeout = lookAt ? Until(*lookAt) : INFINITE;
            if (!changes.Watching()) timeout = std::min(timeout, Until(rewatchAt));
            const HANDLE waits[] = {stop.get(), changes.Event()};
            const DWORD woken = WaitForMultipleObjects(changes.Watching() ? 2 : 1, waits, FALSE, timeout);
            if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return;
            if (woken == WAIT_OBJECT_0 + 1 && changes.Changed()) lookDue = true;
        }
    }
};

namespace {

DWORD WINAPI WatchThread(void* parameter) noexcept {
    std::unique_ptr<std::shared_ptr<RegistrationWatch::Shared>> shared(
        static_cast<std::shared_ptr<RegistrationWatch::Shared>*>(parameter));
    try {
        (*shared)->Run();
    } catch (...) {
        // Nothing leaves a thread: the launcher runs on with the list in use.
    }
    return 0;
}

}  // namespace

RegistrationWatch::RegistrationWatch(std::wstring file, launcher::RegistrationFollower follower)
    : shared_(std::make_shared<Shared>(std::move(file), std::move(follower))) {
    if (!shared_->stop || !shared_->newsEvent) return;
    auto* start = new (std::nothrow) std::shared_ptr<Shared>(shared_);
    if (start == nullptr) return;
    thread_.reset(CreateThread(nullptr, 0, &WatchThread, start, 0, nullptr));
    if (!thread_) delete start;
}

RegistrationWatch::~RegistrationWatch() {
    if (!thread_) return;
    SetEvent(shared_->stop.get());
    // A read that hangs on a share goes on alone; it keeps what it uses.
    WaitForSingleObject(thread_.get(), kStopWaitMs);
}

HANDLE RegistrationWatch::NewsEvent() const { return thread_ ? shared_->newsEvent.get() : nullptr; }

RegistrationWatch::News RegistrationWatch::TakeNews() {
    std::lock_guard<std::mutex> guard(shared_->lock);
    News taken = std::move(shared_->news);
    shared_->news = News{};
    return taken;
}

void RunWindowLoop(HWND window, HANDLE news, const std::function<void()>& takeNews) {
    bool newsWaiting = false;
    while (IsWindow(window)) {
        if (newsWaiting && !CommandWaiting(window)) {
            newsWaiting = false;
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
        const DWORD woken = MsgWaitForMultipleObjectsEx(news != nullptr ? 1 : 0, news != nullptr ? &news : nullptr,
                                                        INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (news != nullptr && woken == WAIT_OBJECT_0) newsWaiting = true;
    }
}

}  // namespace tobi
