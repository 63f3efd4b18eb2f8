#include "vantoke/key_filter.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/launcher_model.h"

namespace {

using vantoke::FilterKeyEvent;
using vantoke::KeyEvent;
using vantoke::KeyNotice;
namespace vk = vantoke::vk;

constexpr unsigned kKeyA = 0x41;
constexpr unsigned kLeftControlScan = 0x1D;

KeyEvent Down(unsigned key, unsigned scanCode = 0, bool extended = false) {
    return KeyEvent{key, scanCode, extended, false, 0};
}
KeyEvent Up(unsigned key, unsigned scanCode = 0, bool extended = false) {
    return KeyEvent{key, scanCode, extended, true, 0};
}

// Feeds events through one filter state, as the hook thread does.
struct Hook {
    unsigned watchedKey = vantoke::kDefaultWatchedKey;
    unsigned action = 0;
    vantoke::WatchedKeyState state;

    KeyNotice Feed(const KeyEvent& event) { return FilterKeyEvent(event, watchedKey, action, state); }
    int CountWatched(const std::vector<KeyEvent>& events) {
        int count = 0;
        for (const auto& event : events) count += Feed(event) == KeyNotice::WatchedKey;
        return count;
    }
};

TEST(KeyFilter, CtrlIsWatchedBeforeAnySetKey) {
    Hook hook;
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl, kLeftControlScan)), KeyNotice::WatchedKey);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl, kLeftControlScan)), KeyNotice::None);
}

TEST(KeyFilter, ActionSelectsTheTransition) {
    Hook hook;
    hook.action = 1;
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::WatchedKey);
    hook.action = 0;  // taken for the very next event
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::WatchedKey);
    hook.action = 1;
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::WatchedKey);
}

TEST(KeyFilter, AutoRepeatWhileHeldIsNotATransition) {
    Hook hook;
    EXPECT_EQ(hook.CountWatched({Down(vk::kLeftControl), Down(vk::kLeftControl), Down(vk::kLeftControl),
                                 Up(vk::kLeftControl), Down(vk::kLeftControl)}),
              2);
    hook.action = 1;
    EXPECT_EQ(hook.CountWatched({Down(vk::kLeftControl), Up(vk::kLeftControl), Up(vk::kLeftControl)}), 1);
}

TEST(KeyFilter, LeftRightAndGenericKeysCountAsOneKey) {
    struct Case {
        unsigned watched, left, right, generic;
    };
    for (const Case& c : {Case{vk::kControl, vk::kLeftControl, vk::kRightControl, vk::kControl},
                          Case{vk::kMenu, vk::kLeftMenu, vk::kRightMenu, vk::kMenu},
                          Case{vk::kShift, vk::kLeftShift, vk::kRightShift, vk::kShift}}) {
        Hook hook;
        hook.watchedKey = c.watched;
        EXPECT_EQ(hook.CountWatched({Down(c.right), Up(c.right), Down(c.generic), Up(c.generic)}), 2) << c.watched;
        // Both sides held: one press down, one release up.
        EXPECT_EQ(hook.CountWatched({Down(c.left), Down(c.right), Up(c.left), Down(c.left), Up(c.right),
                                     Up(c.left)}),
                  1)
            << c.watched;
        hook.action = 1;
        EXPECT_EQ(hook.CountWatched({Down(c.left), Down(c.right), Up(c.right), Up(c.left)}), 1) << c.watched;
    }
}

TEST(KeyFilter, GenericKeysTakeTheirSideFromTheEvent) {
    Hook hook;
    hook.action = 1;
    // Left Ctrl down, then a generic Ctrl released with the extended flag: the
    // right side, so the left one is still down.
    EXPECT_EQ(hook.CountWatched({Down(vk::kLeftControl), Up(vk::kControl, 0x1D, true)}), 0);
    EXPECT_EQ(hook.Feed(Up(vk::kControl, 0x1D, false)), KeyNotice::WatchedKey);

    hook.watchedKey = vk::kShift;
    EXPECT_EQ(hook.CountWatched({Down(vk::kRightShift), Up(vk::kShift, 0x2A)}), 0);
    EXPECT_EQ(hook.Feed(Up(vk::kShift, vantoke::kRightShiftScanCode)), KeyNotice::WatchedKey);
}

TEST(KeyFilter, OtherKeysAreReportedOnEveryKeyDownOnly) {
    Hook hook;
    EXPECT_EQ(hook.Feed(Down(kKeyA)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Down(kKeyA)), KeyNotice::OtherKey);  // auto-repeat of a letter too
    EXPECT_EQ(hook.Feed(Up(kKeyA)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::OtherKey);  // another modifier
    EXPECT_EQ(hook.Feed(Down(vk::kRightMenu)), KeyNotice::OtherKey);
}

TEST(KeyFilter, ChordDoesNotDisturbTheWatchedKeyState) {
    Hook hook;
    hook.action = 1;
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(kKeyA)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(kKeyA)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::WatchedKey);
}

TEST(KeyFilter, AltGrControlIsNoKeyAtAll) {
    Hook hook;
    // AltGr: the system's left Ctrl (scan code 0x21D), then right Alt.
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl, vantoke::kAltGrControlScanCode)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kRightMenu, 0x38, true)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Down(kKeyA)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl, vantoke::kAltGrControlScanCode)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kRightMenu, 0x38, true)), KeyNotice::None);
    EXPECT_EQ(hook.state.sidesDown, 0u);
    // The real left Ctrl still counts, also as generic Ctrl with the AltGr scan code refused.
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl, kLeftControlScan)), KeyNotice::WatchedKey);
    EXPECT_EQ(hook.Feed(Up(vk::kControl, vantoke::kAltGrControlScanCode)), KeyNotice::None);
    EXPECT_NE(hook.state.sidesDown, 0u);

    // Watching Alt, AltGr is a press of Alt, and its Ctrl is no other key.
    Hook alt;
    alt.watchedKey = vk::kMenu;
    EXPECT_EQ(alt.Feed(Down(vk::kLeftControl, vantoke::kAltGrControlScanCode)), KeyNotice::None);
    EXPECT_EQ(alt.Feed(Down(vk::kRightMenu, 0x38, true)), KeyNotice::WatchedKey);
}

TEST(KeyFilter, OwnInputIsIgnored) {
    Hook hook;
    KeyEvent own = Down(vk::kLeftControl);
    own.extraInfo = vantoke::kOwnInputMarker;
    EXPECT_EQ(hook.Feed(own), KeyNotice::None);
    own.virtualKey = kKeyA;
    EXPECT_EQ(hook.Feed(own), KeyNotice::None);
    EXPECT_EQ(hook.state.sidesDown, 0u);
    KeyEvent foreign = Down(vk::kLeftControl);
    foreign.extraInfo = 12345;  // another program's tag: a real press
    EXPECT_EQ(hook.Feed(foreign), KeyNotice::WatchedKey);
}

TEST(KeyFilter, ChangingTheWatchedKeyStartsFromKeyUp) {
    Hook hook;
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::WatchedKey);
    hook.watchedKey = vk::kShift;  // Ctrl still held
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::OtherKey);  // Ctrl+Shift: a chord
    EXPECT_EQ(hook.Feed(Up(vk::kLeftShift)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::WatchedKey);
    hook.watchedKey = vk::kControl;  // back to Ctrl while Shift is down: a chord again
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftShift)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::WatchedKey);
}

TEST(KeyFilter, AnyOtherWatchedKeyIsItsOwnOnlySide) {
    Hook hook;
    hook.watchedKey = kKeyA;
    EXPECT_EQ(hook.CountWatched({Down(kKeyA), Down(kKeyA), Up(kKeyA)}), 1);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::OtherKey);
}

// ---- Presses with another modifier held --------------------------------------

bool NothingIsDown(unsigned) noexcept { return false; }
bool EverythingIsDown(unsigned) noexcept { return true; }

TEST(KeyFilterHeldModifier, APressWithAnotherModifierHeldIsAChord) {
    Hook hook;
    EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::OtherKey);  // its auto-repeat
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kRightControl, 0x1D, true)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kRightControl, 0x1D, true)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftShift)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::WatchedKey);  // bare again
}

TEST(KeyFilterHeldModifier, ShiftTappedToSwitchLayoutsIsAChordWithEveryModifier) {
    for (unsigned held : {vk::kLeftMenu, vk::kRightMenu, vk::kLeftControl, vk::kRightControl, vk::kLeftWindows,
                          vk::kRightWindows}) {
        Hook hook;
        hook.watchedKey = vk::kShift;
        EXPECT_EQ(hook.Feed(Down(held)), KeyNotice::OtherKey);
        EXPECT_EQ(hook.CountWatched({Down(vk::kLeftShift), Up(vk::kLeftShift), Down(vk::kRightShift),
                                     Up(vk::kRightShift), Down(vk::kShift), Up(vk::kShift)}),
                  0)
            << held;
        EXPECT_EQ(hook.Feed(Up(held)), KeyNotice::None);
        EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::WatchedKey) << held;
    }
}

TEST(KeyFilterHeldModifier, GenericModifiersTakeTheirSide) {
    Hook hook;
    EXPECT_EQ(hook.Feed(Down(vk::kShift, vantoke::kRightShiftScanCode)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kShift, 0x2A)), KeyNotice::None);  // the left one: the right is still down
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kRightShift)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::WatchedKey);
}

TEST(KeyFilterHeldModifier, TheReleaseTheLauncherWaitsForStillComes) {
    Hook hook;
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::WatchedKey);
    hook.action = 1;
    EXPECT_EQ(hook.Feed(Down(vk::kLeftShift)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::WatchedKey);
}

TEST(KeyFilterHeldModifier, AModifierTheSystemSaysIsUpIsForgotten) {
    Hook hook;
    // Windows+L: the key-up of the Windows key goes to the locked desktop.
    EXPECT_EQ(hook.Feed(Down(vk::kLeftWindows)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Down(0x4C)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(0x4C)), KeyNotice::None);
    // Without asking the system, every later press would look like a chord.
    EXPECT_EQ(FilterKeyEvent(Down(vk::kLeftControl), vk::kControl, 0, hook.state, EverythingIsDown),
              KeyNotice::OtherKey);
    EXPECT_EQ(FilterKeyEvent(Up(vk::kLeftControl), vk::kControl, 0, hook.state, EverythingIsDown), KeyNotice::None);
    EXPECT_EQ(FilterKeyEvent(Down(vk::kLeftControl), vk::kControl, 0, hook.state, NothingIsDown),
              KeyNotice::WatchedKey);
    EXPECT_EQ(hook.state.modifiersDown, 0u);
}

TEST(KeyFilterHeldModifier, AWatchedKeyReleasedUnseenIsForgottenAtTheNextPress) {
    for (const KeyEvent& side : {Down(vk::kLeftControl), Down(vk::kRightControl, 0x1D, true)}) {
        Hook hook;
        EXPECT_EQ(hook.Feed(side), KeyNotice::WatchedKey);
        // Auto-repeat, and the other side, while the system says the key is down.
        for (const KeyEvent& again : {side, Down(vk::kControl, 0x1D, !side.extended)}) {
            vantoke::ForgetSidesReleasedUnseen(again, vk::kControl, hook.state, EverythingIsDown);
            EXPECT_EQ(hook.Feed(again), KeyNotice::None);
        }
        // Ctrl+Alt+Del: the key-ups went to the secure desktop.
        vantoke::ForgetSidesReleasedUnseen(side, vk::kControl, hook.state, NothingIsDown);
        EXPECT_EQ(hook.Feed(side), KeyNotice::WatchedKey) << side.virtualKey;
    }
}

TEST(KeyFilterHeldModifier, AWatchedKeyHeldWhenAnotherIsChosenStaysAModifier) {
    Hook hook;
    hook.watchedKey = vk::kShift;
    EXPECT_EQ(hook.Feed(Down(vk::kRightShift)), KeyNotice::WatchedKey);
    hook.watchedKey = vk::kControl;  // Shift still held
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::OtherKey);
    EXPECT_EQ(hook.Feed(Up(vk::kLeftControl)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Up(vk::kRightShift)), KeyNotice::None);
    EXPECT_EQ(hook.Feed(Down(vk::kLeftControl)), KeyNotice::WatchedKey);
}

// ---- Transitions queued while the launcher is busy ---------------------------

// Taps of Ctrl `interval` ms apart, recorded while nothing is handed over.
void QueueTaps(Hook& hook, vantoke::NoticeQueue& queue, int taps, std::uint32_t interval) {
    for (int i = 0; i < taps; ++i) {
        for (KeyEvent event : {Down(vk::kLeftControl), Up(vk::kLeftControl)}) {
            event.time = 5000 + i * interval + (event.keyUp ? 40 : 0);
            queue.Push({vantoke::ClassifyKeyEvent(event, hook.watchedKey, hook.state), event.virtualKey, event.time});
        }
    }
}

TEST(NoticeQueue, TapsMadeWhileTheLauncherIsBusyCountInOrderAndWhenMade) {
    struct Case {
        int taps;
        std::uint32_t interval;
        int summons;
    };
    for (const Case& c : {Case{3, 100, 1}, Case{3, 520, 1}, Case{3, 521, 0}, Case{2, 100, 0}, Case{6, 100, 2}}) {
        Hook hook;
        vantoke::NoticeQueue queue;
        QueueTaps(hook, queue, c.taps, c.interval);
        EXPECT_EQ(queue.Waiting(), static_cast<std::size_t>(2 * c.taps));
        LauncherModel launcher(1, 50);  // three presses within 520 ms
        launcher.Drain(queue);
        EXPECT_EQ(launcher.summonCount, c.summons) << c.taps << " taps " << c.interval << " ms apart";
    }
}

TEST(NoticeQueue, OneNoticeInFlightAndOverflowForgets) {
    vantoke::NoticeQueue queue;
    queue.Push({vantoke::Transition::OtherKeyDown, kKeyA, 1});
    queue.Push({vantoke::Transition::WatchedUp, vk::kLeftControl, 3});
    const auto first = queue.TakeNext(0);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->kind, KeyNotice::OtherKey);
    EXPECT_EQ(first->virtualKey, kKeyA);
    EXPECT_FALSE(queue.TakeNext(0).has_value());  // in flight until handled
    queue.Handled();
    EXPECT_FALSE(queue.TakeNext(0).has_value());  // a key-up the action does not select is dropped
    EXPECT_EQ(queue.Waiting(), 0u);

    Hook hook;
    QueueTaps(hook, queue, 200, 100);  // more than the queue holds
    const auto oldest = queue.TakeNext(0);
    ASSERT_TRUE(oldest.has_value());
    EXPECT_EQ(oldest->kind, KeyNotice::Forget);
    EXPECT_LT(queue.Waiting(), vantoke::NoticeQueue::kCapacity);
}

}  // namespace
