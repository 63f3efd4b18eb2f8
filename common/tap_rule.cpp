#include "common/tap_rule.h"

#include <climits>

namespace taps {

int TimeStamp(long long secondsSinceEpoch, int milliseconds) {
    const long long seconds = ((secondsSinceEpoch % 1000) + 1000) % 1000;
    return static_cast<int>(seconds * 1000 + milliseconds);
}

long long EpochMsFromFileTime(std::uint64_t fileTimeTicks) {
    constexpr long long kFileTimeToEpochMs = 11644473600000LL;  // 1601-01-01 to 1970-01-01
    return static_cast<long long>(fileTimeTicks / 10000) - kFileTimeToEpochMs;
}

int StampFromEpochMs(long long epochMs) {
    long long seconds = epochMs / 1000;
    long long milliseconds = epochMs % 1000;
    if (milliseconds < 0) {  // before 1970
        milliseconds += 1000;
        seconds -= 1;
    }
    return TimeStamp(seconds, static_cast<int>(milliseconds));
}

int EventStamp(long long nowEpochMs, std::uint32_t nowTick, std::uint32_t eventTick) {
    const std::uint32_t elapsed = nowTick - eventTick;
    const bool usable = eventTick != 0 && elapsed < 0x80000000u;
    return StampFromEpochMs(usable ? nowEpochMs - elapsed : nowEpochMs);
}

long long LongestGap(int speed) {
    return 8LL * speed + 120;
}

KeyPressTrigger::KeyPressTrigger(HookControl& hook) : hook_(hook) {}

bool KeyPressTrigger::OnKeyNotification(int stamp, int countIndex, int speed) {
    currentTime_ = stamp;
    if (lastPressTime_ >= currentTime_) currentTime_ += kStampModulus;  // the stamp has wrapped

    switch (triggerState_) {
        case 0: {
            const long long gap = static_cast<long long>(currentTime_) - lastPressTime_;
            if (sequenceBroken_ || gap > LongestGap(speed)) {
                StartSequence(stamp);
                return false;
            }
            if (pressCount_ < INT_MAX) ++pressCount_;
            if (pressCount_ >= static_cast<long long>(countIndex) + 2) {
                triggerState_ = 2;  // the hook stays on key-downs
                return true;
            }
            triggerState_ = 1;
            hook_.SetAction(1);
            lastPressTime_ = stamp;
            return false;
        }
        case 1:
            triggerState_ = 0;
            hook_.SetAction(0);
            return false;
        default:
            StartSequence(stamp);
            return false;
    }
}

void KeyPressTrigger::OnOtherKey() {
    sequenceBroken_ = true;
}

void KeyPressTrigger::Reset() {
    triggerState_ = 0;
    pressCount_ = 0;
    sequenceBroken_ = true;
    hook_.SetAction(0);
}

void KeyPressTrigger::StartSequence(int stamp) {
    triggerState_ = 1;
    hook_.SetAction(1);
    lastPressTime_ = stamp;
    pressCount_ = 1;
    sequenceBroken_ = false;
}

}  // namespace taps
