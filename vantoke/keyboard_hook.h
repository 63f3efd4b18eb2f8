// The low-level keyboard hook behind CMouseHook: its state, the work done per
// key event, and the thread that owns the hook, pumps its messages and keeps
// watch over it.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <future>
#include <mutex>

#include "vantoke/hook_watchdog.h"
#include "vantoke/key_filter.h"
#include "vantoke/notice_queue.h"
#include "vantoke/notices.h"
#include "vantoke/summons.h"

namespace vantoke {

// Everything the hook needs for one key event. The settings are written by the
// launcher's thread and read by the hook thread; the rest belongs to the hook
// thread, whose watchdog may also install the hook again.
struct HookState {
    std::atomic<unsigned> watchedKey{kDefaultWatchedKey};
    std::atomic<unsigned> action{0};
    std::atomic<HWND> target{nullptr};
    // A window on the target's thread that tells the hook thread when the
    // notice before it has been handled; without one, notices go out at once.
    std::atomic<HWND> relay{nullptr};
    NoticeQueue notices;

    // Key events the hook procedure has been called for: written by the hook
    // procedure alone, compared with raw input by the watchdog.
    std::atomic<std::uint32_t> hookEvents{0};

    WatchedKeyState keyState;
    std::atomic<HHOOK> hook{nullptr};

    // The launcher's tap rule, once it has given one: the hook then decides
    // each summons itself and holds the keys typed after it for the menu.
    std::atomic<bool> ruled{false};
    std::atomic<std::uint64_t> tapRule{0};  // countIndex in the high half, speed in the low
    Summons summons;
    // No summons while the program in front is full-screen (a game, a slide show).
    std::atomic<bool> quietOverFullScreen{false};
    UINT_PTR limitTimer = 0;  // a thread timer: the limit of the summons first in line
};

// Gives the hook the launcher's tap rule; any thread.
void SetTapRule(HookState& state, const TapRule& rule) noexcept;

// The whole work of the hook procedure for one event: count it, record its
// transition, hand over the next notice if none is in flight, and under a
// tap rule decide the summons. True when the event is held back for the
// letter menu. Never blocks, never throws.
bool HandleKeyEvent(HookState& state, const KBDLLHOOKSTRUCT& event) noexcept;

// Hook thread: the notice in flight has been handled; hands over the next.
void OnNoticeHandled(HookState& state) noexcept;

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
    enum class MenuState { Opened, Closed, Refused };
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
    void OnMenuState(MenuState menuState, unsigned serial) noexcept;
    void OnLimitTimer() noexcept;
    // Types the next part of the held keys (own input, so that the hook lets
    // it pass); false when nothing went.
    bool HandOver() noexcept;
    void ReleaseHeld() noexcept;

    HookState state_;
    HookWatchdog watchdog_;  // the hook thread's
    std::atomic<HWND> watchdogWindow_{nullptr};  // receives raw keyboard input; none without it
    DWORD relayThread_ = 0;                      // the thread the relay window belongs to
    std::mutex startStop_;
    HANDLE thread_ = nullptr;  // the hook thread while it runs
    std::atomic<DWORD> threadId_{0};
    static constexpr std::size_t kHandOverPart = 64;
    std::array<KeyEvent, kHandOverPart> handOver_{};  // the hook thread's
};

}  // namespace vantoke
