// The low-level keyboard hook behind CMouseHook: its state, the work done per
// key event, and the thread that owns the hook, pumps its messages and keeps
// watch over it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <mutex>
#include <thread>

#include "vantoke/hook_watchdog.h"
#include "vantoke/key_filter.h"

namespace vantoke {

// Everything the hook needs for one key event. The settings are written by the
// launcher's thread and read by the hook thread; the rest belongs to the hook
// thread, whose watchdog may also install the hook again.
struct HookState {
    std::atomic<unsigned> watchedKey{kDefaultWatchedKey};
    std::atomic<unsigned> action{0};
    std::atomic<HWND> target{nullptr};

    // Key events the hook procedure has been called for: written by the hook
    // procedure alone, compared with raw input by the watchdog.
    std::atomic<std::uint32_t> hookEvents{0};

    WatchedKeyState keyState;
    std::atomic<HHOOK> hook{nullptr};
};

// Posted to the target when a key other than the watched one goes down;
// wParam is its virtual-key code.
constexpr UINT kOtherKeyNotice = WM_APP + 0x10;
// Posted to the target when the hook had gone and has been installed again;
// the notices of the key events it missed follow.
constexpr UINT kHookReinstalledNotice = WM_APP + 0x11;

// The whole work of the hook procedure for one event: count it, decide and
// post. Never blocks, never throws.
void HandleKeyEvent(HookState& state, const KBDLLHOOKSTRUCT& event) noexcept;

class KeyboardHook {
public:
    KeyboardHook() = default;
    ~KeyboardHook();
    KeyboardHook(const KeyboardHook&) = delete;
    KeyboardHook& operator=(const KeyboardHook&) = delete;

    HookState& State() { return state_; }

    // Starts the hook thread and waits until the hook is in place. The hook's
    // handle, or nullptr when it could not be installed. A second call while
    // the hook runs installs nothing and returns the hook's current handle.
    HHOOK Start();

    // Removes the hook and ends its thread; nothing is posted after it returns.
    void Stop();

    // Removes the hook the way Windows does when the hook procedure has timed
    // out: silently, leaving everything else as it was. Only the watchdog can
    // bring it back. For tests, which cannot make Wine time a hook out.
    void RemoveHookSilently();

    // The hook thread's id while it runs, 0 otherwise.
    DWORD ThreadId() const { return threadId_.load(); }

private:
    void Run(std::promise<HHOOK>& installed);
    static LRESULT CALLBACK WatchdogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnRawInput(HWND window, HRAWINPUT input) noexcept;
    void OnCheckTimer(HWND window) noexcept;
    void Reinstall(const WatchdogVerdict& verdict) noexcept;

    HookState state_;
    HookWatchdog watchdog_;  // the hook thread's
    std::atomic<HWND> watchdogWindow_{nullptr};  // receives raw keyboard input; none without it
    std::mutex startStop_;
    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
};

}  // namespace vantoke
