// The hook watchdog's judgement from the two counts, whichever road delivers a
// key event first, and the replay of missed events into the trigger.
#include "vantoke/hook_watchdog.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launcher_model.h"

namespace {

using vantoke::CheckTimer;
using vantoke::HookWatchdog;
using vantoke::KeyEvent;
using vantoke::KeyNotice;
namespace vk = vantoke::vk;

constexpr unsigned kKeyC = 0x43;

// Raw input names Ctrl by its generic key, the right one with E0.
KeyEvent RawDown(unsigned key, bool e0 = false) { return vantoke::KeyEventFromRawInput(key, 0x1D, e0 ? 2 : 0, 0); }
KeyEvent RawUp(unsigned key, bool e0 = false) { return vantoke::KeyEventFromRawInput(key, 0x1D, e0 ? 3 : 1, 0); }

// The hook thread's two roads: the hook's count and the watchdog fed with raw
// input, and whether the check timer runs.
struct HookThread {
    HookWatchdog watchdog;
    std::uint32_t hookEvents = 0;
    std::uint32_t nowMs = 5000;
    bool timerArmed = false;
    int arms = 0;

    void Hook() { ++hookEvents; }
    // A raw event `afterMs` after the previous one.
    void Raw(const KeyEvent& event, std::uint32_t afterMs = 1) {
        nowMs += afterMs;
        switch (watchdog.OnRawKey(event, hookEvents, nowMs)) {
            case CheckTimer::Arm:
                EXPECT_FALSE(timerArmed) << "armed twice";
                timerArmed = true;
                ++arms;
                break;
            case CheckTimer::Disarm:
                EXPECT_TRUE(timerArmed) << "disarmed without a timer";
                timerArmed = false;
                break;
            case CheckTimer::Keep:
                break;
        }
    }
    // The timer fires: it must have been armed.
    vantoke::WatchdogVerdict Check() {
        EXPECT_TRUE(timerArmed) << "a check without a timer";
        vantoke::WatchdogVerdict verdict = watchdog.OnCheck(hookEvents);
        timerArmed = verdict.rearm;
        return verdict;
    }
};

bool SameEvent(const KeyEvent& a, const KeyEvent& b) {
    return a.virtualKey == b.virtualKey && a.keyUp == b.keyUp && a.extended == b.extended;
}

TEST(HookWatchdog, HookBeforeRawInputNeverArmsATimer) {
    HookThread thread;
    for (int i = 0; i < 1000; ++i) {
        thread.Hook();
        thread.Raw(i % 2 == 0 ? RawDown(vk::kControl) : RawUp(vk::kControl));
    }
    EXPECT_EQ(thread.arms, 0);
    EXPECT_FALSE(thread.timerArmed);
}

TEST(HookWatchdog, RawInputBeforeTheHookArmsOnceAndFindsNothingMissed) {
    HookThread thread;
    thread.Raw(RawDown(vk::kControl));
    EXPECT_TRUE(thread.timerArmed);
    thread.Hook();
    const auto verdict = thread.Check();
    EXPECT_FALSE(verdict.reinstall);
    EXPECT_FALSE(verdict.rearm);

    // Typing on in that order: one timer for the burst, nothing missed.
    thread.Raw(RawUp(vk::kControl));
    thread.Hook();
    thread.Raw(RawDown(kKeyC));
    thread.Hook();
    thread.Raw(RawUp(kKeyC));
    thread.Hook();
    EXPECT_EQ(thread.arms, 2);
    const auto burst = thread.Check();
    EXPECT_FALSE(burst.reinstall);
    EXPECT_FALSE(burst.rearm);

    // A hook call that comes first again settles a pending check on arrival.
    thread.Raw(RawDown(kKeyC));
    ASSERT_TRUE(thread.timerArmed);
    thread.Hook();
    thread.Hook();
    thread.Raw(RawUp(kKeyC));
    EXPECT_FALSE(thread.timerArmed);
}

TEST(HookWatchdog, EventsStillOnTheirWayAtTheCheckAreCheckedAgain) {
    HookThread thread;
    thread.Raw(RawDown(vk::kControl));
    thread.Hook();
    thread.Raw(RawUp(vk::kControl));  // its hook call is still to come
    auto verdict = thread.Check();
    EXPECT_FALSE(verdict.reinstall);
    EXPECT_TRUE(verdict.rearm);
    thread.Hook();
    verdict = thread.Check();
    EXPECT_FALSE(verdict.reinstall);
    EXPECT_FALSE(verdict.rearm);
}

TEST(HookWatchdog, AHookThatWasRemovedIsReinstalledWithTheEventsItMissed) {
    HookThread thread;
    thread.Hook();
    thread.Raw(RawDown(kKeyC));
    thread.Hook();
    thread.Raw(RawUp(kKeyC));
    // The system removes the hook here.
    const std::vector<KeyEvent> taps = {RawDown(vk::kControl), RawUp(vk::kControl), RawDown(vk::kControl, true),
                                        RawUp(vk::kControl, true)};
    for (const KeyEvent& event : taps) thread.Raw(event);
    EXPECT_EQ(thread.arms, 1);

    const auto verdict = thread.Check();
    EXPECT_TRUE(verdict.reinstall);
    EXPECT_FALSE(verdict.someLost);
    ASSERT_EQ(verdict.missed.size(), taps.size());
    for (std::size_t i = 0; i < taps.size(); ++i) EXPECT_TRUE(SameEvent(verdict.missed[i], taps[i])) << i;

    // A report after the check of an event made before the new hook: missed
    // too, and no sign of a hook gone again; one made after is the new hook's.
    thread.watchdog.HookInstalledAt(thread.nowMs);
    KeyEvent late = RawDown(vk::kControl);
    late.time = thread.nowMs;
    EXPECT_TRUE(thread.watchdog.TakeMissedAtReinstall(late, thread.nowMs + 1));
    late.time = thread.nowMs + 1;
    EXPECT_FALSE(thread.watchdog.TakeMissedAtReinstall(late, thread.nowMs + 1));

    // The new hook sees everything again: no more checks.
    for (int i = 0; i < 10; ++i) {
        thread.Hook();
        thread.Raw(RawDown(kKeyC));
    }
    EXPECT_EQ(thread.arms, 1);
}

TEST(HookWatchdog, MoreMissedThanKeptNamesTheLatestAndSaysSomeWereLost) {
    HookThread thread;
    const std::size_t missed = HookWatchdog::kKeptEvents + 5;
    for (std::size_t i = 0; i < missed; ++i) thread.Raw(RawDown(0x41 + static_cast<unsigned>(i % 26)));
    const auto verdict = thread.Check();
    EXPECT_TRUE(verdict.reinstall);
    EXPECT_TRUE(verdict.someLost);
    ASSERT_EQ(verdict.missed.size(), HookWatchdog::kKeptEvents);
    EXPECT_EQ(verdict.missed.front().virtualKey, 0x41u + 5);
    EXPECT_EQ(verdict.missed.back().virtualKey, 0x41u + (missed - 1) % 26);
}

TEST(HookWatchdog, TheHookAheadInABurstIsWaitedFor) {
    HookThread thread;
    for (int i = 0; i < 50; ++i) thread.Hook();  // it takes all its calls first
    for (int i = 0; i < 50; ++i) thread.Raw(RawDown(kKeyC));
    thread.Hook();
    thread.Raw(RawUp(kKeyC), 500);
    EXPECT_EQ(thread.arms, 0);
}

TEST(HookWatchdog, InputOnlyTheHookSeesDoesNotHideALaterMiss) {
    HookThread thread;
    for (int i = 0; i < 20; ++i) thread.Hook();  // keys another program's hook swallowed
    thread.Raw(RawDown(kKeyC));
    EXPECT_FALSE(thread.timerArmed);
    // Within the grace those calls may still be waiting for their raw events...
    thread.Raw(RawUp(kKeyC), 5);
    EXPECT_FALSE(thread.timerArmed);
    // ...after a quiet spell they cannot be: the hook, gone now, is missed at once.
    thread.Raw(RawDown(vk::kControl), 300);
    ASSERT_TRUE(thread.timerArmed);
    const auto verdict = thread.Check();
    EXPECT_TRUE(verdict.reinstall);
    ASSERT_EQ(verdict.missed.size(), 1u);
    EXPECT_EQ(verdict.missed[0].virtualKey, vk::kControl);
}

TEST(HookWatchdog, CountsAndTicksMayWrap) {
    HookThread thread;
    thread.hookEvents = UINT32_MAX - 2;
    thread.watchdog = HookWatchdog(thread.hookEvents);
    thread.nowMs = UINT32_MAX - 3;  // the tick wraps as well
    for (int i = 0; i < 6; ++i) {
        thread.Hook();
        thread.Raw(RawDown(kKeyC));
    }
    EXPECT_EQ(thread.arms, 0);
    thread.Raw(RawDown(kKeyC));
    EXPECT_TRUE(thread.Check().reinstall);
}

TEST(HookWatchdog, RawReportsWithoutAKeyNeverReachTheHook) {
    EXPECT_FALSE(vantoke::ReachesTheHook(0xFF));  // overrun, first half of Pause
    EXPECT_FALSE(vantoke::ReachesTheHook(0));
    EXPECT_TRUE(vantoke::ReachesTheHook(vk::kControl));
    EXPECT_TRUE(vantoke::ReachesTheHook(0xFE));

    const KeyEvent rightUp = vantoke::KeyEventFromRawInput(vk::kControl, 0x1D, 3, vantoke::kOwnInputMarker);
    EXPECT_TRUE(rightUp.keyUp);
    EXPECT_TRUE(rightUp.extended);
    EXPECT_EQ(rightUp.scanCode, 0x1Du);
    EXPECT_EQ(rightUp.extraInfo, vantoke::kOwnInputMarker);
}

// ---- Missed events queued after the reinstall -------------------------------

KeyEvent At(KeyEvent event, std::uint32_t time) {
    event.time = time;
    return event;
}

vantoke::WatchdogVerdict Missed(std::vector<KeyEvent> events) {
    vantoke::WatchdogVerdict verdict;
    verdict.reinstall = true;
    verdict.missed = std::move(events);
    return verdict;
}

TEST(QueueMissedEvents, ForgetFirstThenTheTransitionsTheActionSelects) {
    struct Case {
        const char* name;
        std::vector<KeyEvent> missed;
        vantoke::WatchedKeyState state;
        std::vector<KeyNotice> handled;
    };
    const Case cases[] = {
        {"auto-repeat is no press; the key-up asked for comes; then C",
         {RawDown(vk::kControl), RawDown(vk::kControl), RawUp(vk::kControl), RawDown(kKeyC), RawUp(kKeyC)},
         {},
         {KeyNotice::Forget, KeyNotice::WatchedKey, KeyNotice::WatchedKey, KeyNotice::OtherKey}},
        {"both sides held are one press; own input is skipped",
         {RawDown(vk::kControl), RawDown(vk::kControl, true), RawUp(vk::kControl), RawUp(vk::kControl, true),
          vantoke::KeyEventFromRawInput(kKeyC, 0x2E, 0, vantoke::kOwnInputMarker)},
         {},
         {KeyNotice::Forget, KeyNotice::WatchedKey, KeyNotice::WatchedKey}},
        {"a key held when the hook went is not pressed again by its repeat",
         {RawDown(vk::kControl), RawUp(vk::kControl)},
         {vk::kControl, 1},
         {KeyNotice::Forget}},
    };
    for (const Case& c : cases) {
        vantoke::WatchedKeyState state = c.state;
        vantoke::NoticeQueue queue;
        vantoke::QueueMissedEvents(Missed(c.missed), vk::kControl, state, queue, 0);
        LauncherModel launcher(1, 50);
        launcher.Drain(queue);
        EXPECT_EQ(launcher.handled, c.handled) << c.name;
        EXPECT_EQ(state.sidesDown, 0u) << c.name;
    }
}

// A tap made while the hook was gone still counts, timed when it was made.
TEST(QueueMissedEvents, AMissedTapCountsTowardsTheSummons) {
    LauncherModel launcher(1, 50);
    vantoke::NoticeQueue queue;
    vantoke::WatchedKeyState state;
    queue.Push({vantoke::Transition::WatchedDown, vk::kControl, 1000});  // a press before the hook went
    queue.Push({vantoke::Transition::WatchedUp, vk::kControl, 1040});
    launcher.Drain(queue);
    vantoke::QueueMissedEvents(Missed({At(RawDown(vk::kControl), 1100), At(RawUp(vk::kControl), 1140)}),
                               vk::kControl, state, queue, 0);
    launcher.Drain(queue);
    EXPECT_EQ(launcher.trigger.pressCount(), 1);  // the sequence before was forgotten
    EXPECT_EQ(launcher.action, 0u);              // in step with the new hook
    for (std::uint32_t time : {1300u, 1500u}) {  // two more taps through the new hook
        queue.Push({vantoke::Transition::WatchedDown, vk::kControl, time});
        queue.Push({vantoke::Transition::WatchedUp, vk::kControl, time + 40});
    }
    launcher.Drain(queue);
    EXPECT_EQ(launcher.summonCount, 1);
}

}  // namespace
