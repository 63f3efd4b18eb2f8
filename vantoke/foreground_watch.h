// Whether the program in front is full-screen, kept current on a thread of
// its own: asking the system can take its time (the shell's notification
// state, the monitor of a window on a busy machine), and nothing that can
// wait may run inside the hook procedure. The verdict is looked at again
// whenever the foreground window changes and at every press of the watched
// key, so that it is fresh by the tap that would summon.
#pragma once

#include <windows.h>

#include <atomic>

namespace vantoke {

class ForegroundWatch {
public:
    ForegroundWatch() = default;
    ~ForegroundWatch();
    ForegroundWatch(const ForegroundWatch&) = delete;
    ForegroundWatch& operator=(const ForegroundWatch&) = delete;

    // Starts the thread, which looks once before it returns; false without one.
    bool Start();
    void Stop();

    // Any thread, never waits: a fresh look is wanted.
    void Refresh() noexcept;
    // The verdict of the latest look.
    bool FullScreen() const noexcept { return fullScreen_.load(std::memory_order_acquire); }

private:
    static DWORD WINAPI ThreadMain(void* self) noexcept;
    static void CALLBACK OnForegroundChange(HWINEVENTHOOK, DWORD, HWND, LONG, LONG, DWORD, DWORD) noexcept;
    void Run() noexcept;
    void Look() noexcept;

    std::atomic<bool> fullScreen_{false};
    std::atomic<DWORD> threadId_{0};
    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
};

}  // namespace vantoke
