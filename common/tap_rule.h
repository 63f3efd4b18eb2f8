// The tap rule: counts quick presses of the watched key and says when the
// letter menu is to be summoned. The keyboard hook runs it at the key event,
// by the event's own time, with the launcher's options; one definition below
// both of them.
#pragma once

#include <cstdint>

namespace taps {

// What the trigger sets on the hook that watches for it.
class HookControl {
public:
    virtual ~HookControl() = default;
    // 0: notify when the watched key goes down; 1: when it goes up.
    virtual void SetAction(unsigned action) = 0;
};

constexpr int kStampModulus = 1000000;  // stamps are milliseconds modulo 1000 s

// (seconds modulo 1000) * 1000 + milliseconds; always 0 to 999,999 for
// milliseconds 0 to 999, also for a clock before the epoch.
int TimeStamp(long long secondsSinceEpoch, int milliseconds);

// Milliseconds since 1970-01-01 from the system's file time (100 ns ticks
// since 1601-01-01); negative for a clock set before 1970.
long long EpochMsFromFileTime(std::uint64_t fileTimeTicks);

// The stamp of a moment given in milliseconds since the epoch.
int StampFromEpochMs(long long epochMs);

// The stamp of a key event from its own time on the millisecond tick clock
// (which wraps), so that a press handled late still counts when it was made.
// `nowEpochMs` and `nowTick` are the two clocks read together. A tick of 0
// (no time given) or one ahead of `nowTick` counts as now.
int EventStamp(long long nowEpochMs, std::uint32_t nowTick, std::uint32_t eventTick);

// Longest gap allowed between two counted presses: 8 * speed + 120 ms, in 64
// bits so that no speed overflows; 0 or less (speed -15 or below) lets no gap in.
long long LongestGap(int speed);

class KeyPressTrigger {
public:
    explicit KeyPressTrigger(HookControl& hook);

    // One notification of the watched key; true when the letter menu is to be
    // summoned now. `countIndex` and `speed` are read afresh every time.
    bool OnKeyNotification(int stamp, int countIndex, int speed);

    // Another key went down: the sequence under way is forgotten (chords are
    // not taps), so the next press of the watched key starts a new one.
    void OnOtherKey();

    // The hook was installed again after the system had removed it, and key
    // events may have gone by unseen: the sequence under way is forgotten and
    // the hook goes back to key-downs, so the next press starts a new one.
    void Reset();

    int triggerState() const { return triggerState_; }
    int pressCount() const { return pressCount_; }
    int lastPressTime() const { return lastPressTime_; }
    int currentTime() const { return currentTime_; }

private:
    void StartSequence(int stamp);

    HookControl& hook_;
    int triggerState_ = 0;  // 0 waiting for a press, 1 a counted press ends next, 2 menu summoned
    int pressCount_ = 0;
    int lastPressTime_ = 0;
    int currentTime_ = 0;
    // Set at start and by another key: the next press starts a sequence
    // whatever its gap, so that even one press needed cannot summon on its own.
    bool sequenceBroken_ = true;
};

}  // namespace taps
