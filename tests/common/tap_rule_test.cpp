#include "common/tap_rule.h"

#include <climits>
#include <vector>

#include <gtest/gtest.h>

namespace {

using taps::KeyPressTrigger;

struct RecordingHook : taps::HookControl {
    std::vector<unsigned> actions;
    void SetAction(unsigned action) override { actions.push_back(action); }
};

// A trigger with its hook, pressing the watched key as the hook reports it:
// a press is the key-down notification and, unless it summoned, the key-up
// notification that the action 1 asks for.
struct Keyboard {
    RecordingHook hook;
    KeyPressTrigger trigger{hook};
    int countIndex = 1;
    int speed = 50;
    int summons = 0;

    bool Notify(int stamp) {
        const bool summon = trigger.OnKeyNotification(stamp, countIndex, speed);
        if (summon) ++summons;
        return summon;
    }
    // Key down at `stamp`, key up 30 ms later when the hook is on key-ups.
    bool Tap(int stamp) {
        const bool summon = Notify(stamp);
        if (trigger.triggerState() == 1) Notify((stamp + 30) % taps::kStampModulus);
        return summon;
    }
};

TEST(TimeStamp, MillisecondsModuloThousandSeconds) {
    EXPECT_EQ(taps::TimeStamp(0, 0), 0);
    EXPECT_EQ(taps::TimeStamp(1700000123, 456), 123456);
    EXPECT_EQ(taps::TimeStamp(1700000999, 999), 999999);
    EXPECT_EQ(taps::TimeStamp(1700001000, 0), 0);
    EXPECT_EQ(taps::TimeStamp(-1, 5), 999005);  // a clock before the epoch stays in range
    EXPECT_EQ(taps::StampFromEpochMs(1700000123456LL), 123456);
    EXPECT_EQ(taps::StampFromEpochMs(-995), 999005);
    EXPECT_EQ(taps::EpochMsFromFileTime(116444736000000000ULL + 12345678), 1234);  // 1970 plus 1.2345678 s
}

// A key event is stamped when it was made, however late it is handled.
TEST(TimeStamp, KeyEventsAreStampedFromTheirOwnTick) {
    const long long now = 1700000500000LL;  // stamp 500,000
    EXPECT_EQ(taps::EventStamp(now, 90000, 88000), 498000);
    EXPECT_EQ(taps::EventStamp(now, 5, 0xFFFFFFF0u), 499979);      // the tick clock wrapped in between
    EXPECT_EQ(taps::EventStamp(1700000000100LL, 1000, 800), 999900);  // and the stamp did too
    EXPECT_EQ(taps::EventStamp(now, 90000, 0), 500000);            // no time given: now
    EXPECT_EQ(taps::EventStamp(now, 90000, 90002), 500000);        // ahead of the clock: now
}

TEST(LongestGap, EightTimesSpeedPlus120WithoutOverflow) {
    EXPECT_EQ(taps::LongestGap(0), 120);
    EXPECT_EQ(taps::LongestGap(50), 520);
    EXPECT_EQ(taps::LongestGap(100), 920);
    EXPECT_EQ(taps::LongestGap(-15), 0);
    EXPECT_EQ(taps::LongestGap(INT_MAX), 8LL * INT_MAX + 120);
    EXPECT_EQ(taps::LongestGap(INT_MIN), 8LL * INT_MIN + 120);
}

TEST(KeyPressTrigger, DefaultsSummonAtTheThirdPressWithin520Ms) {
    Keyboard k;
    EXPECT_EQ(k.trigger.triggerState(), 0);
    EXPECT_FALSE(k.Tap(10000));
    EXPECT_FALSE(k.Tap(10520));
    EXPECT_TRUE(k.Tap(11040));
    EXPECT_EQ(k.trigger.triggerState(), 2);
    EXPECT_EQ(k.trigger.pressCount(), 3);
    EXPECT_EQ(k.trigger.lastPressTime(), 10520);  // left as it was by the summons
}

TEST(KeyPressTrigger, A521MsGapStartsANewSequence) {
    Keyboard before2nd;
    before2nd.Tap(10000);
    before2nd.Tap(10521);
    EXPECT_EQ(before2nd.trigger.pressCount(), 1);
    EXPECT_FALSE(before2nd.Tap(11000));
    EXPECT_TRUE(before2nd.Tap(11500));

    Keyboard before3rd;
    before3rd.Tap(10000);
    before3rd.Tap(10500);
    EXPECT_FALSE(before3rd.Tap(11021));
    EXPECT_EQ(before3rd.trigger.pressCount(), 1);
    EXPECT_EQ(before3rd.summons, 0);
}

TEST(KeyPressTrigger, TwoPressesAtSpeedZero120MsInAnd121MsOut) {
    Keyboard in;
    in.countIndex = 0;
    in.speed = 0;
    in.Notify(5000);
    in.Notify(5030);  // key up
    EXPECT_TRUE(in.Notify(5120));

    Keyboard out;
    out.countIndex = 0;
    out.speed = 0;
    out.Notify(5000);
    out.Notify(5030);
    EXPECT_FALSE(out.Notify(5121));
    EXPECT_EQ(out.trigger.pressCount(), 1);
    EXPECT_EQ(out.trigger.lastPressTime(), 5121);
}

TEST(KeyPressTrigger, GapIsMeasuredFromThePreviousPressNotTheFirst) {
    Keyboard k;
    k.countIndex = 2;  // four presses
    EXPECT_FALSE(k.Tap(0 + 100));
    EXPECT_FALSE(k.Tap(600));
    EXPECT_FALSE(k.Tap(1100));
    EXPECT_TRUE(k.Tap(1600));  // 1.5 s after the first
}

TEST(KeyPressTrigger, WrapOfTheStampGivesTheTrueGap) {
    Keyboard k;
    k.Tap(999400);
    k.Notify(999900);
    EXPECT_EQ(k.trigger.pressCount(), 2);
    k.Notify(999950);  // key up
    EXPECT_TRUE(k.Notify(300));
    EXPECT_EQ(k.trigger.currentTime(), 1000300);  // a gap of 400 ms
}

TEST(KeyPressTrigger, EightHundredSecondsLaterIsANewSequence) {
    Keyboard k;
    k.Tap(499600);
    k.Notify(500000);
    EXPECT_EQ(k.trigger.pressCount(), 2);
    k.Notify(500040);
    EXPECT_FALSE(k.Notify(300000));
    EXPECT_EQ(k.trigger.currentTime(), 1300000);
    EXPECT_EQ(k.trigger.pressCount(), 1);
    EXPECT_EQ(k.trigger.lastPressTime(), 300000);
}

TEST(KeyPressTrigger, SameStampAsLastPressCountsAsAFullWrap) {
    Keyboard k;
    k.speed = INT_MAX;  // every gap is within the limit
    k.Tap(4000);
    k.Notify(4000);
    EXPECT_EQ(k.trigger.currentTime(), 1004000);
    EXPECT_EQ(k.trigger.pressCount(), 2);
}

TEST(KeyPressTrigger, SpeedChangeAppliesToTheVeryNextPress) {
    Keyboard k;
    k.Tap(1000);
    k.speed = 100;  // 920 ms
    EXPECT_FALSE(k.Tap(1900));
    EXPECT_EQ(k.trigger.pressCount(), 2);
    k.speed = 0;  // 120 ms
    EXPECT_FALSE(k.Tap(2100));
    EXPECT_EQ(k.trigger.pressCount(), 1);
}

TEST(KeyPressTrigger, SpeedOfMinus15OrLessNeverSummons) {
    for (int speed : {-15, -16, INT_MIN}) {
        Keyboard k;
        k.speed = speed;
        k.countIndex = 0;
        for (int stamp = 1000; stamp < 3000; stamp += 1) k.Notify(stamp);
        EXPECT_EQ(k.summons, 0) << speed;
        EXPECT_EQ(k.trigger.pressCount(), 1) << speed;
    }
    Keyboard k;
    k.speed = -14;  // limit 8: a gap of 8 ms still counts
    k.countIndex = 0;
    k.Notify(1000);
    k.Notify(1004);
    EXPECT_TRUE(k.Notify(1008));
}

TEST(KeyPressTrigger, CountIndexBelowZeroStillNeedsTwoPresses) {
    for (int countIndex : {-1, -5, INT_MIN}) {
        Keyboard k;
        k.countIndex = countIndex;
        EXPECT_FALSE(k.Tap(100)) << countIndex;  // the first press after set-up, 100 ms after stamp 0
        EXPECT_TRUE(k.Tap(400)) << countIndex;
        EXPECT_FALSE(k.Tap(700)) << countIndex;
        EXPECT_TRUE(k.Tap(1000)) << countIndex;
    }
}

TEST(KeyPressTrigger, HugeCountIndexNeverSummons) {
    Keyboard k;
    k.countIndex = INT_MAX;
    for (int stamp = 1000; stamp < 200000; stamp += 100) k.Tap(stamp);
    EXPECT_EQ(k.summons, 0);
    EXPECT_EQ(k.trigger.pressCount(), 1990);
}

TEST(KeyPressTrigger, AfterASummonTheNextNotificationStartsANewSequence) {
    Keyboard k;
    k.Tap(1000);
    k.Tap(1200);
    ASSERT_TRUE(k.Tap(1400));
    EXPECT_FALSE(k.Tap(1500));  // within the limit, yet counted as the first
    EXPECT_EQ(k.trigger.pressCount(), 1);
    EXPECT_FALSE(k.Tap(1600));
    EXPECT_TRUE(k.Tap(1700));
    EXPECT_EQ(k.summons, 2);
}

TEST(KeyPressTrigger, HookActionFollowsTheStates) {
    Keyboard k;
    k.Notify(1000);  // down: a sequence starts, listen for the key-up
    k.Notify(1050);  // up
    k.Notify(1200);  // down, counted
    k.Notify(1250);  // up
    ASSERT_TRUE(k.Notify(1400));  // down, summons: the hook stays on key-downs
    k.Notify(9000);  // down: a new sequence
    EXPECT_EQ(k.hook.actions, (std::vector<unsigned>{1, 0, 1, 0, 1}));
    EXPECT_EQ(k.trigger.triggerState(), 1);
}

TEST(KeyPressTrigger, SlowTapsNeverSummon) {
    Keyboard k;
    for (int stamp = 0; stamp < 900000; stamp += 521) k.Tap(stamp);
    EXPECT_EQ(k.summons, 0);
    EXPECT_EQ(k.trigger.pressCount(), 1);
}

// Chords: a key that goes down beside the watched one breaks the sequence.
TEST(KeyPressTriggerChords, CtrlCBetweenTapsNeedsThreeFreshTaps) {
    Keyboard k;
    k.Tap(1000);
    k.Tap(1200);
    k.trigger.OnOtherKey();  // typing between taps
    EXPECT_FALSE(k.Tap(1400));
    EXPECT_EQ(k.trigger.pressCount(), 1);
    EXPECT_FALSE(k.Tap(1600));
    EXPECT_TRUE(k.Tap(1800));
}

TEST(KeyPressTriggerChords, KeyHeldWhileAnotherGoesDownKeepsTheHookInStep) {
    Keyboard k;
    k.Notify(1000);           // Ctrl down: counted, action 1
    k.trigger.OnOtherKey();   // C down while Ctrl is held
    k.Notify(1100);           // Ctrl up: state 1 -> 0, action 0
    EXPECT_EQ(k.trigger.triggerState(), 0);
    EXPECT_FALSE(k.Notify(1250));  // Ctrl down: a new sequence
    EXPECT_EQ(k.trigger.pressCount(), 1);
    EXPECT_EQ(k.trigger.lastPressTime(), 1250);
    EXPECT_EQ(k.hook.actions, (std::vector<unsigned>{1, 0, 1}));
    k.Notify(1300);
    k.Tap(1450);
    EXPECT_TRUE(k.Tap(1600));
}

TEST(KeyPressTriggerChords, EverydayShortcutsAtTypingSpeedNeverSummon) {
    Keyboard k;
    int stamp = 50000;
    for (int shortcut = 0; shortcut < 30; ++shortcut) {  // Ctrl+A, Ctrl+C, Ctrl+V ...
        k.Notify(stamp);           // Ctrl down
        k.trigger.OnOtherKey();    // letter down
        k.Notify(stamp + 80);      // Ctrl up
        stamp += 150;
    }
    EXPECT_EQ(k.summons, 0);
    EXPECT_EQ(k.trigger.pressCount(), 1);
}

TEST(KeyPressTriggerChords, OtherKeyAfterTheSummonDoesNotHoldBackTheNextSequence) {
    Keyboard k;
    k.Tap(1000);
    k.Tap(1200);
    ASSERT_TRUE(k.Tap(1400));
    k.trigger.OnOtherKey();  // the letters typed into the menu
    k.Tap(5000);
    k.Tap(5200);
    EXPECT_TRUE(k.Tap(5400));
}

// The hook was installed again after the system had removed it.
TEST(KeyPressTriggerReset, ForgetsTheSequenceUnderWay) {
    Keyboard k;
    k.Tap(1000);
    k.Tap(1200);
    k.trigger.Reset();
    EXPECT_EQ(k.trigger.triggerState(), 0);
    EXPECT_FALSE(k.Tap(1400));  // within the limit, yet the first of a new sequence
    EXPECT_EQ(k.trigger.pressCount(), 1);
    EXPECT_EQ(k.trigger.lastPressTime(), 1400);
    EXPECT_FALSE(k.Tap(1600));
    EXPECT_TRUE(k.Tap(1800));
}

TEST(KeyPressTriggerReset, WhileWaitingForTheKeyUpPutsTheHookBackOnKeyDowns) {
    Keyboard k;
    k.Notify(1000);  // down: the hook now waits for the key-up
    ASSERT_EQ(k.hook.actions.back(), 1u);
    k.trigger.Reset();  // the key-up went by while the hook was gone
    EXPECT_EQ(k.hook.actions.back(), 0u);
    EXPECT_EQ(k.trigger.triggerState(), 0);
    EXPECT_FALSE(k.Notify(1150));  // the next key-down starts a sequence
    EXPECT_EQ(k.trigger.triggerState(), 1);
    EXPECT_EQ(k.trigger.pressCount(), 1);
    k.Notify(1180);
    k.Tap(1300);
    EXPECT_TRUE(k.Tap(1450));
}

TEST(KeyPressTriggerReset, EvenTwoPressesNeededStartAfresh) {
    Keyboard k;
    k.countIndex = 0;
    k.Tap(1000);
    k.trigger.Reset();
    EXPECT_FALSE(k.Tap(1100));
    EXPECT_TRUE(k.Tap(1200));
}

TEST(KeyPressTriggerReset, AfterASummonTheNextTapsSummonAgain) {
    Keyboard k;
    k.Tap(1000);
    k.Tap(1200);
    ASSERT_TRUE(k.Tap(1400));
    k.trigger.Reset();
    EXPECT_FALSE(k.Tap(1500));
    EXPECT_FALSE(k.Tap(1600));
    EXPECT_TRUE(k.Tap(1700));
    EXPECT_EQ(k.summons, 2);
}

}  // namespace
