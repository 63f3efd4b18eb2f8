// The low-level keyboard hook behind CMouseHook: its state, the work done per
// key event, and the thread that owns the hook and pumps its messages.
#pragma once

#include <windows.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "vantoke/key_filter.h"

namespace vantoke {

// Everything the hook needs for one key event. The settings are written by the
// launcher's thread and read by the hook thread; the rest belongs to the hook
// thread, which may also install the hook again from it.
struct HookState {
    std::atomic<unsigned> watchedKey{kDefaultWatchedKey};
    std::atomic<unsigned> action{0};
    std::atomic<HWND> target{nullptr};

    WatchedKeyState keyState;
    HHOOK hook = nullptr;
};

// Posted to the target when a key other than the watched one goes down;
// wParam is its virtual-key code.
constexpr UINT kOtherKeyNotice = WM_APP + 0x10;

// The whole work of the hook procedure for one event: decide and post. Never
// blocks, never throws.
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
    // the hook runs installs nothing and returns the same handle.
    HHOOK Start();

    // Removes the hook and ends its thread; nothing is posted after it returns.
    void Stop();

private:
    void Run(std::promise<HHOOK>& installed);

    HookState state_;
    std::mutex startStop_;
    std::thread thread_;
    DWORD threadId_ = 0;
    HHOOK runningHook_ = nullptr;
};

}  // namespace vantoke
