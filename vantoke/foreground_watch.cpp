#include "vantoke/foreground_watch.h"

#include <mutex>
#include <new>

#include "common/win32/full_screen_win32.h"
#include "common/win32/handles.h"

namespace vantoke {
namespace {

// A look asked for within this time after the last is made by the same thread.
constexpr DWORD kLingerMs = 1000;
constexpr DWORD kStopWaitMs = 500;

}  // namespace

struct ForegroundWatch::Shared {
    std::atomic<bool> fullScreen{false};
    std::atomic<std::uint32_t> lookedAt{0};  // when the look behind the verdict began
    std::atomic<bool> looked{false};
    win32::UniqueKernelHandle more{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    win32::UniqueKernelHandle idle{CreateEventW(nullptr, TRUE, TRUE, nullptr)};  // no thread looks
    std::mutex lock;
    bool looking = false;

    void Look() noexcept {
        const std::uint32_t began = GetTickCount();
        fullScreen.store(win32::ForegroundIsFullScreen(), std::memory_order_relaxed);
        lookedAt.store(began, std::memory_order_relaxed);
        looked.store(true, std::memory_order_release);
    }

    static DWORD WINAPI Run(void* parameter) noexcept {
        std::unique_ptr<std::shared_ptr<Shared>> owned(static_cast<std::shared_ptr<Shared>*>(parameter));
        Shared& shared = **owned;
        for (;;) {
            shared.Look();
            if (WaitForSingleObject(shared.more.get(), kLingerMs) == WAIT_OBJECT_0) continue;
            std::lock_guard<std::mutex> guard(shared.lock);
            if (WaitForSingleObject(shared.more.get(), 0) == WAIT_OBJECT_0) continue;  // asked meanwhile
            shared.looking = false;
            SetEvent(shared.idle.get());
            return 0;
        }
    }
};

ForegroundWatch::ForegroundWatch() : shared_(std::make_shared<Shared>()) {}

ForegroundWatch::~ForegroundWatch() {
    if (shared_->idle) WaitForSingleObject(shared_->idle.get(), kStopWaitMs);
}

void ForegroundWatch::Refresh() noexcept {
    if (!shared_->more || !shared_->idle) return;
    try {
        std::lock_guard<std::mutex> guard(shared_->lock);
        if (shared_->looking) {
            SetEvent(shared_->more.get());
            return;
        }
        auto* start = new (std::nothrow) std::shared_ptr<Shared>(shared_);
        if (start == nullptr) return;
        ResetEvent(shared_->idle.get());
        const HANDLE thread = CreateThread(nullptr, 0, &Shared::Run, start, 0, nullptr);
        if (thread == nullptr) {
            delete start;
            SetEvent(shared_->idle.get());
            return;  // the verdict stays as it was; the next press asks again
        }
        CloseHandle(thread);
        shared_->looking = true;
    } catch (...) {
        // A lock that cannot be had: the verdict stays as it was.
    }
}

bool ForegroundWatch::FullScreen(std::uint32_t now) const noexcept {
    if (!shared_->looked.load(std::memory_order_acquire)) return false;
    return now - shared_->lookedAt.load(std::memory_order_relaxed) < kFreshMs &&
           shared_->fullScreen.load(std::memory_order_relaxed);
}

}  // namespace vantoke
