// Notices when the keyboard hook has stopped being called. Windows removes a
// low-level hook without a word once its procedure has taken too long; the
// only trace is key input that still arrives by another road (raw input) but
// no longer through the hook. The watchdog compares the two counts and names
// the key events the hook missed, so that they can be replayed after the hook
// is installed again. Plain values in and out, so that it runs and is tested
// anywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "vantoke/key_filter.h"
#include "vantoke/notice_queue.h"

namespace vantoke {

// RAWKEYBOARD.Flags bits (the values of the Windows headers).
namespace raw {
constexpr unsigned kBreak = 0x1;  // RI_KEY_BREAK: the key went up
constexpr unsigned kE0 = 0x2;     // RI_KEY_E0: the extended (right-hand) key
constexpr unsigned kNoVirtualKey = 0xFF;
}  // namespace raw

// A raw-input keyboard report as the key event the hook would have seen.
// Raw input names modifiers by their generic keys (VK_CONTROL with E0 for the
// right one); the key filter takes those as well.
KeyEvent KeyEventFromRawInput(unsigned virtualKey, unsigned makeCode, unsigned flags,
                              std::uintptr_t extraInfo) noexcept;

// False for reports that never reach the hook as an event of their own: the
// keyboard's overrun code and the first half of Pause's two-part sequence
// carry no virtual key.
bool ReachesTheHook(unsigned rawVirtualKey) noexcept;

enum class CheckTimer {
    Keep,    // leave the check timer as it is
    Arm,     // the hook is behind: check again after the grace
    Disarm,  // the hook has caught up: no check is needed
};

struct WatchdogVerdict {
    bool reinstall = false;         // the hook missed events: install it again
    bool rearm = false;             // only events still on their way: check again later
    std::vector<KeyEvent> missed;   // the missed events that were kept, oldest first
    bool someLost = false;          // more events were missed than were kept
};

class HookWatchdog {
public:
    static constexpr std::size_t kKeptEvents = 32;
    // How long the two roads may take to deliver the same event one after the
    // other, and the grace before a check. They deliver it within microseconds
    // on an idle machine, but on a busy one the second road can wait for the
    // processor for tens of milliseconds, and a check that fires then would
    // reinstall a working hook and forget the taps under way. A hook the
    // system removed has already made the user wait out its time-outs (300 ms
    // and more), and the keys it missed are replayed, so the margin costs
    // nothing the user sees.
    static constexpr std::uint32_t kGraceMs = 100;

    // `hookEvents`: the hook procedure's count when the watch begins.
    explicit HookWatchdog(std::uint32_t hookEvents = 0) noexcept : hookBase_(hookEvents) {}

    // A key event arrived as raw input at `nowMs` (a millisecond tick that may
    // wrap); `hookEvents` is the hook procedure's running count of the events
    // it has seen (it may wrap too).
    CheckTimer OnRawKey(const KeyEvent& event, std::uint32_t hookEvents, std::uint32_t nowMs) noexcept;

    // The grace after raw input that the hook had not yet seen is over. The
    // events that had arrived when the check was armed must have reached the
    // hook by now, whichever of the two roads delivers an event first.
    WatchdogVerdict OnCheck(std::uint32_t hookEvents);

    // The hook was installed again at `nowMs` after a verdict to reinstall.
    void HookInstalledAt(std::uint32_t nowMs) noexcept;

    // True for a raw event made no later than the new hook's installation
    // whose report came after the check: the old hook missed it and the new
    // one never had the chance. It is counted as handled, to be replayed by
    // the caller, and never taken for a hook gone again. Asked before OnRawKey.
    bool TakeMissedAtReinstall(const KeyEvent& event, std::uint32_t nowMs) noexcept;

private:
    void Keep(const KeyEvent& event) noexcept;
    // Raw events the hook has not seen yet; negative while the hook is ahead.
    std::int32_t Behind(std::uint32_t rawEvents, std::uint32_t hookEvents) const noexcept {
        return static_cast<std::int32_t>(hookBase_ + rawEvents - hookEvents);
    }

    std::array<KeyEvent, kKeptEvents> kept_{};  // the latest raw events, a ring
    std::size_t keptNext_ = 0;
    std::size_t keptCount_ = 0;
    std::uint32_t rawEvents_ = 0;   // raw events so far
    std::uint32_t hookBase_ = 0;    // hook events that have no raw event of their own
    std::uint32_t rawWhenArmed_ = 0;
    bool armed_ = false;
    bool anyRaw_ = false;
    std::uint32_t lastRawMs_ = 0;
    std::int32_t behindAtLastRaw_ = 0;
    bool settling_ = false;  // reports of events made before the new hook may still come
    std::uint32_t installedAtMs_ = 0;
};

// Queues what a reinstalled hook missed: first the notice to forget the
// sequence under way, then the missed events' transitions in the order they
// happened, so that taps made while the hook was gone still count. `nowTick`
// times the forget notice when no event was kept.
void QueueMissedEvents(const WatchdogVerdict& verdict, unsigned watchedKey, WatchedKeyState& state,
                       NoticeQueue& queue, std::uint32_t nowTick, KeyDownQuery isKeyDown = nullptr) noexcept;

// Queues the transition of one event the hook missed.
void QueueMissedEvent(const KeyEvent& event, unsigned watchedKey, WatchedKeyState& state, NoticeQueue& queue,
                      KeyDownQuery isKeyDown = nullptr) noexcept;

}  // namespace vantoke
