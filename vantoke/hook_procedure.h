// The low-level keyboard hook's work per key event, on the hook thread: the
// hook's state, the hook procedure, and the notices it hands to the target
// window (one at a time through a relay window, or, under the launcher's tap
// rule, decided at once by the hook itself).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "vantoke/foreground_watch.h"
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

    // Key events the hook procedure has handled, counted once it is done with
    // each: written by the hook procedure alone, compared with raw input by
    // the watchdog.
    std::atomic<std::uint32_t> hookEvents{0};

    WatchedKeyState keyState;
    std::atomic<HHOOK> hook{nullptr};

    // The launcher's tap rule, once it has given one: the hook then decides
    // each summons itself and holds the keys typed after it for the menu.
    std::atomic<bool> ruled{false};
    std::atomic<std::uint64_t> tapRule{0};  // countIndex in the high half, speed in the low
    Summons summons;
    // No summons while the program in front is full-screen (a game, a slide
    // show), as the watch found it last.
    std::atomic<bool> quietOverFullScreen{false};
    ForegroundWatch foreground;
    HWND frontAtSummons = nullptr;  // the window in front when the summons in flight was made
    bool frontPutBack = false;      // its keys' way to it has been cleared
    UINT_PTR dueTimer = 0;          // a thread timer: when the summons is next due (Summons::UntilDue)
};

// Gives the hook the launcher's tap rule; any thread.
void SetTapRule(HookState& state, const TapRule& rule) noexcept;

// The whole work of the hook procedure for one event: record its transition,
// hand over the next notice if none is in flight, under a tap rule decide the
// summons, and count it. True when the event is held back for the letter
// menu. Never blocks, never throws.
bool HandleKeyEvent(HookState& state, const KBDLLHOOKSTRUCT& event) noexcept;

// Hands over the notices waiting, as far as none is in flight; hook thread.
void DeliverNotices(HookState& state) noexcept;

// Installs the hook procedure for `state` on this thread (the thread then
// pumps messages); nullptr when the system refuses.
HHOOK InstallHook(HookState& state) noexcept;
// Removes the hook installed last on this thread; nothing is handled after it.
void RemoveHook(HookState& state) noexcept;

// Posted to the hook thread by the relay: the notice in flight has been handled.
constexpr UINT kNoticeHandledMessage = WM_APP + 0x21;
// Hook thread: the notice in flight has been handled; hands over the next.
void OnNoticeHandled(HookState& state) noexcept;

// The relay window, made on the target's thread.
HWND CreateRelayWindow() noexcept;
// Destroys a relay window on its own thread, or asks that thread to.
void DestroyRelayWindow(HWND relay, DWORD relayThread) noexcept;

// Whether the system has the key down now (a KeyDownQuery).
bool IsKeyDownNow(unsigned virtualKey) noexcept;

// The module this code is linked into (Vantoke.dll, or a test program).
HMODULE ThisModule() noexcept;

}  // namespace vantoke
