#include "vantoke/hook_watchdog.h"

namespace vantoke {

KeyEvent KeyEventFromRawInput(unsigned virtualKey, unsigned makeCode, unsigned flags,
                              std::uintptr_t extraInfo) noexcept {
    return KeyEvent{virtualKey, makeCode, (flags & raw::kE0) != 0, (flags & raw::kBreak) != 0, extraInfo};
}

bool ReachesTheHook(unsigned rawVirtualKey) noexcept {
    return rawVirtualKey != 0 && rawVirtualKey < raw::kNoVirtualKey;
}

void HookWatchdog::Keep(const KeyEvent& event) noexcept {
    kept_[keptNext_] = event;
    keptNext_ = (keptNext_ + 1) % kKeptEvents;
    if (keptCount_ < kKeptEvents) ++keptCount_;
}

void HookWatchdog::HookInstalledAt(std::uint32_t nowMs) noexcept {
    settling_ = true;
    installedAtMs_ = nowMs;
}

bool HookWatchdog::TakeMissedAtReinstall(const KeyEvent& event, std::uint32_t nowMs) noexcept {
    if (!settling_) return false;
    // Reports come within the grace of their events.
    if (nowMs - installedAtMs_ > kGraceMs) {
        settling_ = false;
        return false;
    }
    // Made in the same millisecond the new hook may have seen it too; a
    // transition replayed twice changes nothing (the second is a repeat).
    if (static_cast<std::int32_t>(event.time - installedAtMs_) > 0) return false;
    Keep(event);
    ++rawEvents_;
    --hookBase_;  // a raw event without its hook call
    return true;
}

CheckTimer HookWatchdog::OnRawKey(const KeyEvent& event, std::uint32_t hookEvents, std::uint32_t nowMs) noexcept {
    Keep(event);

    // The hook may run ahead of raw input for a while (a burst of input lets
    // it take all its calls first). After a quiet spell, though, every hook
    // call made before the previous raw event has long had its raw event: if
    // the hook was ahead then, that was input raw input does not report (a key
    // another program's hook swallowed), and it must not hide a later miss.
    if (anyRaw_ && nowMs - lastRawMs_ > kGraceMs && behindAtLastRaw_ < 0) {
        hookBase_ += static_cast<std::uint32_t>(-static_cast<std::int64_t>(behindAtLastRaw_));
    }
    ++rawEvents_;
    anyRaw_ = true;
    lastRawMs_ = nowMs;
    behindAtLastRaw_ = Behind(rawEvents_, hookEvents);

    if (behindAtLastRaw_ <= 0) {
        if (!armed_) return CheckTimer::Keep;
        armed_ = false;
        return CheckTimer::Disarm;
    }
    if (armed_) return CheckTimer::Keep;
    armed_ = true;
    rawWhenArmed_ = rawEvents_;
    return CheckTimer::Arm;
}

WatchdogVerdict HookWatchdog::OnCheck(std::uint32_t hookEvents) {
    WatchdogVerdict verdict;
    armed_ = false;
    const std::int32_t behind = Behind(rawEvents_, hookEvents);
    if (behind <= 0) return verdict;
    if (Behind(rawWhenArmed_, hookEvents) <= 0) {
        // What was there at the arming has been seen; newer events may still be on their way.
        armed_ = true;
        rawWhenArmed_ = rawEvents_;
        verdict.rearm = true;
        return verdict;
    }

    // The hook stopped before the latest events: those are the missed ones.
    const std::size_t missed = static_cast<std::size_t>(behind);
    const std::size_t replayable = missed < keptCount_ ? missed : keptCount_;
    verdict.reinstall = true;
    verdict.someLost = missed > replayable;
    verdict.missed.reserve(replayable);
    for (std::size_t i = replayable; i > 0; --i) {
        verdict.missed.push_back(kept_[(keptNext_ + kKeptEvents - i) % kKeptEvents]);
    }
    // The new hook starts level with raw input.
    hookBase_ = hookEvents - rawEvents_;
    behindAtLastRaw_ = 0;
    return verdict;
}

void QueueMissedEvents(const WatchdogVerdict& verdict, unsigned watchedKey, WatchedKeyState& state,
                       NoticeQueue& queue, std::uint32_t nowTick, KeyDownQuery isKeyDown) noexcept {
    if (verdict.someLost) state = WatchedKeyState{};
    const std::uint32_t firstTime = verdict.missed.empty() ? nowTick : verdict.missed.front().time;
    queue.Push(TimedTransition{Transition::Forget, 0, firstTime});
    for (const KeyEvent& event : verdict.missed) QueueMissedEvent(event, watchedKey, state, queue, isKeyDown);
}

void QueueMissedEvent(const KeyEvent& event, unsigned watchedKey, WatchedKeyState& state, NoticeQueue& queue,
                      KeyDownQuery isKeyDown) noexcept {
    queue.Push(
        TimedTransition{ClassifyKeyEvent(event, watchedKey, state, isKeyDown), event.virtualKey, event.time, true});
}

}  // namespace vantoke
