// The launcher's tap rule run by the hook itself, where the keys are seen, and
// the one record of the summons in flight. From the key event that summons,
// every key typed (but the watched key's own taps) is held back from the
// program in front, in order, until the summons has its outcome: the menu
// opens, and all of it goes into the menu; or no menu comes (refused, or not
// claimed within the limit), and all of it goes where it was going. Keys
// outside a summons pass untouched. One summons at a time: taps while one is
// in flight or a menu is open start nothing. Plain values and no allocation,
// so that the hook procedure runs it at once; everything runs on the hook
// thread but the launcher's claim, which is one atomic word.
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/tap_rule.h"
#include "vantoke/key_filter.h"
#include "vantoke/notice_queue.h"

namespace vantoke {

// The launcher's options for its trigger: presses needed = countIndex + 2,
// longest gap 8 * speed + 120 ms.
struct TapRule {
    int countIndex = 1;
    int speed = 50;
};

class Summons : private taps::HookControl {
public:
    static constexpr std::size_t kCapacity = 256;  // held key events
    // Held events that end the wait: the menu is not coming soon enough for a
    // held key's auto-repeat, so everything goes where it was going.
    static constexpr std::size_t kHoldLimit = kCapacity / 2;
    // Room kept for the releases of held presses, so that a press and its
    // release never part.
    static constexpr std::size_t kReleaseReserve = 32;
    // How long the launcher may take to claim a summons before its keys go
    // where they were going. It claims it when it turns to it: a hide on a
    // slow X server or a program start takes about 2 s, a launcher paged
    // out after hours idle 1-2 s.
    static constexpr std::uint32_t kLimitMs = 3000;
    // How long a claimed summons may take to show its menu.
    static constexpr std::uint32_t kClaimedLimitMs = 10000;
    // A part that SendInput refused is offered again after this long. After
    // kRetryForMs of refusals (a secure desktop, input blocked) the presses
    // are given up rather than typed into whatever is in front by then; the
    // releases of keys already put down are offered until they go.
    static constexpr std::uint32_t kRetryMs = 250;
    static constexpr std::uint32_t kRetryForMs = 5000;
    static constexpr std::uint32_t kRetryAfterGivingUpMs = 8000;  // the longest wait between offers then
    // A part whose events have not all come by within this long is not waited
    // for again (another hook swallowed some).
    static constexpr std::uint32_t kPartTimeoutMs = 1000;
    // Room a hand-over part needs at least: one key with every modifier
    // changed around it, and the modifiers put back after it.
    static constexpr std::size_t kMinBatch = 1 + 2 * kModifierKeyCount;

    // What the hook does with the outcome.
    class Outlet {
    public:
        // The trigger's time stamp of a key event's own tick.
        virtual int StampOf(std::uint32_t tick) noexcept = 0;
        // Asked at the key event that would summon; true refuses the summons
        // now: no keys are held and the launcher is told of no summons.
        virtual bool Vetoed() noexcept = 0;
        // One notice for the launcher; `summons` is 0, or SummonsNotice(...)
        // for the press that summons.
        virtual void Notify(const Notice& notice, unsigned summons) noexcept = 0;

    protected:
        ~Outlet() = default;
    };

    // Whether a key event is the hook's own input coming back.
    enum class Own { No, Yes, PartDone };

    Summons() = default;
    Summons(const Summons&) = delete;
    Summons& operator=(const Summons&) = delete;

    // Takes every notice waiting, in order, each handled at once by the tap
    // rule under `rule`; the rule's action selects the next. True when a
    // summons began (its limit is to be armed).
    bool Drain(NoticeQueue& queue, const TapRule& rule, Outlet& outlet, std::uint32_t now) noexcept;

    // The release of a key went by the hook unseen (the system had removed
    // the hook; the watchdog found it): when its press is held, the release
    // follows it; when the press went in after the summons (its release
    // already past), the release goes on its own; so that the key is not put
    // down for good; nothing when its press went in before the release.
    // True when keys are to go now.
    bool ReleasedUnseen(const KeyEvent& release) noexcept;
    // A press went by the hook unseen: the system has the key as typed.
    void PressedUnseen(const KeyEvent& press) noexcept;

    // Whether Hold is to see every key event, although no summons is in flight.
    bool OwesReleases() const noexcept { return injectedDown_.any(); }

    // Whether a live key event is held back. `keys` is the hook's view of the
    // keys after the event; `isKeyDown` asks the system whether a key was
    // already down. Sets `goNow` when the hold has just ended (its room is
    // used up) and the keys are to go.
    bool Hold(const KeyEvent& event, const WatchedKeyState& keys, KeyDownQuery isKeyDown, bool& goNow) noexcept;

    // ---- The launcher's thread: the summons is claimed, then its menu shown.
    // The summons `serial` is taken by the launcher, to open its menu for it;
    // false when its keys have gone where they were going already (the menu
    // would come too late) or it is not the summons in flight.
    bool Claim(unsigned serial) noexcept;
    // The menu for the claimed summons `serial` is about to show; false when
    // the summons went meanwhile (the menu is then to close at once).
    bool Showing(unsigned serial) noexcept;

    // ---- The hook thread, as the launcher's reports arrive.
    // A letter menu opened, for the summons `serial` (0: for none). True when
    // held keys are to go to it now.
    bool MenuOpened(unsigned serial) noexcept;
    // The letter menu has closed.
    void MenuClosed() noexcept;
    // No menu opens for the summons `serial`: its keys go where they were
    // going. True when they are to go now.
    bool MenuRefused(unsigned serial) noexcept;

    // Milliseconds until Due() is to be asked; none when nothing waits on time.
    std::optional<std::uint32_t> UntilDue(std::uint32_t now) const noexcept;
    // Time has come (the limit, a retry, a part that stays away): true when
    // keys are to go now.
    bool Due(std::uint32_t now) noexcept;

    // The next part of the keys to go, as key events to inject: the held keys
    // in order, each with the watched key's sides put as they were when it
    // was typed, then put back as they are now (`sidesNow`, modifier bits).
    // Into the menu, Alt is left as it is (it would close the menu). 0 when
    // nothing is to go now. `capacity` is at least kMinBatch. The part counts
    // as on its way until PartSent.
    std::size_t NextPart(unsigned sidesNow, KeyEvent* out, std::size_t capacity) noexcept;
    // SendInput took `sent` events of the part: those are gone, the rest is
    // offered again later. True when the next part may go now.
    bool PartSent(std::size_t sent, std::uint32_t now) noexcept;
    // An event reached the hook: whether it is one of the part on its way
    // (PartDone: the last of it, and the next part may go).
    Own OwnEvent(const KeyEvent& event) noexcept;
    // Whether OwnEvent could say anything but No: a part is on its way, or
    // the event bears the hook's own mark. Cheap, for every key event.
    bool MayBeOwn(const KeyEvent& event) const noexcept {
        return partCount_ > 0 || event.extraInfo == kOwnInputMarker;
    }

    // Everything held goes where it was going, whatever it waits for (the hook stops).
    void ReleaseAll() noexcept;
    // Back to the start: nothing held, no summons, no menu open.
    void Reset() noexcept;

    bool MenuOpen() const noexcept { return menuOpen_; }
    // The keys of a summons go where they were going (not a release owed on its own).
    bool GoingToFront() const noexcept { return where_ == Where::Front && serial_ != 0; }
    bool InFlight() const noexcept { return serial_ != 0 || heldCount_ > 0 || partCount_ > 0; }
    unsigned Action() const noexcept { return action_; }
    const taps::KeyPressTrigger& Trigger() const noexcept { return trigger_; }
    std::size_t HeldCount() const noexcept { return heldCount_; }

private:
    enum class Where { Undecided, Menu, Front };
    enum State : std::uint32_t { kNone = 0, kWaiting = 1, kClaimed = 2, kOpen = 3, kGone = 4 };
    static constexpr std::uint32_t Pack(unsigned serial, State state) noexcept { return serial << 3 | state; }

    struct HeldKey {
        KeyEvent event;
        unsigned sides = 0;      // the watched key's sides, as modifier bits, when it was typed
        bool keepSides = false;  // goes with the sides as they are (a release owed after a summons)
    };
    struct PartEvent {
        KeyEvent event;
        std::size_t heldTaken = 0;  // held keys gone once this event is
        unsigned sidesAfter = 0;    // the watched key's sides in the system after it
    };

    void SetAction(unsigned action) override { action_ = action; }
    unsigned Begin(std::uint32_t tick, bool holding) noexcept;
    // The keys go: to the menu, or where they were going. True when they may go now.
    bool Decide(Where where) noexcept;
    // The outcome is known, nothing is on its way or waits for a retry, and
    // something is left to go (keys, or the watched key to put back).
    bool ReadyToGo() const noexcept {
        return where_ != Where::Undecided && partCount_ == 0 && !retrying_ && (heldCount_ > 0 || sidesKnown_);
    }
    bool Holds(const KeyEvent& event, const WatchedKeyState& keys, KeyDownQuery isKeyDown, bool& goNow) noexcept;
    void GiveUp(std::uint32_t now) noexcept;
    void TypedByTheUser(unsigned virtualKey, bool keyUp) noexcept;
    void EndIfDone() noexcept;

    unsigned action_ = 0;
    taps::KeyPressTrigger trigger_{*this};
    bool menuOpen_ = false;

    // The summons in flight: its state, shared with the launcher's claim.
    std::atomic<std::uint32_t> record_{kNone};
    unsigned serial_ = 0;  // 0: none
    unsigned lastSerial_ = 0;
    std::uint32_t since_ = 0;  // when its limit began
    bool holding_ = false;     // its keys are held (not for taps replayed after the hook came back)
    Where where_ = Where::Undecided;

    std::array<HeldKey, kCapacity> held_{};
    std::size_t heldHead_ = 0;
    std::size_t heldCount_ = 0;
    std::bitset<256> heldDown_;  // keys whose press is held: their release is held too
    // Keys this hook has put down with no release of theirs gone to the system
    // since: a release the watchdog finds missed is owed for them, summons or not.
    std::bitset<256> injectedDown_;
    std::array<std::uint32_t, 256> injectedAt_{};  // when each key was last put down or up
    std::array<std::uint32_t, 256> typedAt_{};     // the time of each key's last event the hook saw typed

    std::array<PartEvent, kCapacity> part_{};  // the part on its way
    std::size_t partCount_ = 0;
    std::size_t partSeen_ = 0;
    bool partSending_ = false;
    std::uint32_t partSentAt_ = 0;
    unsigned systemSides_ = 0;  // the watched key's sides as the system has them after what went
    bool sidesKnown_ = false;
    bool retrying_ = false;  // SendInput refused: the rest goes at retryAt_
    std::uint32_t retryAt_ = 0;
    bool refusing_ = false;           // SendInput has refused every part since refusedSince_
    bool gaveUp_ = false;             // ... so long that only releases are left to go, nothing new held
    std::uint32_t refusedSince_ = 0;
    bool releasing_ = false;
};

}  // namespace vantoke
