// The low-level keyboard hook behind CMouseHook: the thread that owns the
// hook, pumps its messages and keeps watch over it with raw input. The work
// per key event is in hook_procedure.h, the hand-over of held keys in
// hand_over.h.
#pragma once

#include <windows.h>

#include <atomic>
#include <future>
#include <mutex>

#include "vantoke/hand_over.h"
#include "vantoke/hook_procedure.h"
#include "vantoke/hook_watchdog.h"

namespace vantoke {

class KeyboardHook {
public:
    KeyboardHook() = default;
    ~KeyboardHook();
    KeyboardHook(const KeyboardHook&) = delete;
    KeyboardHook& operator=(const KeyboardHook&) = delete;

    HookState& State() { return state_; }

    // The window that receives the notices. On the window's own thread a relay
    // window is made beside it, so that each notice waits for the one before.
    void SetTarget(HWND target);

    // Starts the hook thread and waits until the hook is in place. The hook's
    // handle, or nullptr when it could not be installed. A second call while
    // the hook runs installs nothing and returns the hook's current handle.
    HHOOK Start();

    // Removes the hook and ends its thread; nothing is posted after it
    // returns. Keys still held go where they were going first.
    void Stop();

    // The target's letter menu, as its thread tells it (posted to the hook
    // thread; returns at once). `serial` names the summons it is for.
    void PostMenuState(MenuState menuState, unsigned serial);

    // The hook thread's id while it runs, 0 otherwise.
    DWORD ThreadId() const { return threadId_.load(); }

private:
    static DWORD WINAPI ThreadMain(void* start) noexcept;
    void Run(std::promise<HHOOK> installed);
    static LRESULT CALLBACK WatchdogWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void OnRawInput(HWND window, HRAWINPUT input) noexcept;
    void OnCheckTimer(HWND window) noexcept;
    void Reinstall(const WatchdogVerdict& verdict) noexcept;
    // A key event the hook missed, for the summons; true when keys are to go now.
    bool TellSummonsOfMissed(const KeyEvent& missed) noexcept;

    HookState state_;
    HookWatchdog watchdog_;  // the hook thread's
    std::atomic<HWND> watchdogWindow_{nullptr};  // receives raw keyboard input; none without it
    DWORD relayThread_ = 0;                      // the thread the relay window belongs to
    std::mutex startStop_;
    HANDLE thread_ = nullptr;  // the hook thread while it runs
    std::atomic<DWORD> threadId_{0};
};

}  // namespace vantoke
