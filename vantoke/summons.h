// The launcher's tap rule run by the hook itself, where the keys are seen:
// one decision of each summons, taken at the key event, and the keys held for
// the letter menu it brings. From the key event that summons, the keys that
// act in the menu are held back from the program in front and handed to the
// menu, in order, once it is open; if no menu comes for them (refused, or not
// there within the limit), they go where they would have gone. Keys outside a
// summons pass untouched. Plain values and no allocation, so that the hook
// procedure runs it at once; everything runs on the hook thread.
#pragma once

#include <array>
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

// Letters, digits (the keypad's too), and the keys that act in the letter
// menu: Esc, Enter, the arrows and Backspace.
bool ActsInTheMenu(unsigned virtualKey) noexcept;

class Summons : private taps::HookControl {
public:
    static constexpr std::size_t kCapacity = 256;  // held key events, all summonses together
    static constexpr std::size_t kMaxWaiting = 8;  // summonses whose menus are still to come
    // How long a menu may take to come before its keys go where they were
    // going. A menu is late when the launcher's thread is busy: a hide on a
    // slow X server or a program start takes about 2 s, a launcher paged out
    // after hours idle 1-2 s. Counted from the summons, or from the moment
    // the menu before it has closed, whichever is later.
    static constexpr std::uint32_t kLimitMs = 3000;
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

    Summons() = default;
    Summons(const Summons&) = delete;
    Summons& operator=(const Summons&) = delete;

    // Takes every notice waiting, in order, each handled at once by the
    // launcher's trigger under `rule`; the trigger's action selects the next.
    // True when a summons started holding keys (the limit is to be armed).
    bool Drain(NoticeQueue& queue, const TapRule& rule, Outlet& outlet) noexcept;

    // Whether a live key event is held back for the menu. `keys` is the
    // hook's view of the keys after the event (the modifiers it was typed
    // with); `isKeyDown` asks the system whether a key was already down.
    bool Hold(const KeyEvent& event, const WatchedKeyState& keys, KeyDownQuery isKeyDown) noexcept;

    // The letter menu opened for the summons `serial` (0: one nobody's taps
    // asked for). True when held keys are to be handed over now.
    bool MenuOpened(unsigned serial) noexcept;
    // The letter menu has closed: the next summons's limit counts from `now`.
    void MenuClosed(std::uint32_t now) noexcept;
    // No menu opens for the summons `serial`: its keys go where they were
    // going. True when they are to be handed over now.
    bool MenuRefused(unsigned serial) noexcept;
    // Called when UntilLimit's time has passed: true when keys are to be
    // handed over now (a menu that did not come: to the program in front).
    bool LimitReached(std::uint32_t now) noexcept;
    // Milliseconds until the limit of the summons first in line; none when
    // nothing is held.
    std::optional<std::uint32_t> UntilLimit(std::uint32_t now) const noexcept;

    // The next part of the hand-over under way, as key events to inject as
    // own input: the held keys in order, each with Shift and Ctrl as it was
    // typed with them pressed or released around it, then as they are now
    // (`modifiersNow`, the hook's view). 0 when nothing is to go now. Keys
    // typed while a part is on its way are held and follow in the next part.
    // `capacity` is at least kMinBatch.
    std::size_t NextBatch(unsigned modifiersNow, std::uint32_t now, KeyEvent* out, std::size_t capacity) noexcept;
    // Own input reached the hook: true when the part on its way has all
    // passed, and the next may go.
    bool OwnInputSeen() noexcept;
    // `missing` events of the part could not be sent: true when the next may go.
    bool NotSent(std::size_t missing) noexcept;
    // Everything held goes now, in order, whatever it waits for (the hook stops).
    void ReleaseAll() noexcept;

    // Back to the start: nothing held, no sequence under way, no menu open.
    void Reset() noexcept;

    bool MenuOpen() const noexcept { return menuOpen_; }
    bool Holding() const noexcept { return waitingCount_ > 0; }
    unsigned Action() const noexcept { return action_; }
    const taps::KeyPressTrigger& Trigger() const noexcept { return trigger_; }

private:
    struct HeldKey {
        KeyEvent event;
        unsigned modifiers = 0;  // Shift and Ctrl, as HeldModifierBits, when it was typed
    };
    // A summons whose keys are held: the next `keys` of the ring, after those
    // of the summonses before it.
    struct Waiting {
        unsigned serial = 0;
        std::uint32_t since = 0;  // its limit counts from here
        std::size_t keys = 0;
        bool served = false;  // its menu opened, or none comes: its keys go
    };

    void SetAction(unsigned action) override { action_ = action; }
    unsigned Begin(std::uint32_t tick) noexcept;
    bool Serve(unsigned serial) noexcept;
    bool ReadyToGo() const noexcept;

    unsigned action_ = 0;
    taps::KeyPressTrigger trigger_{*this};
    bool menuOpen_ = false;
    std::array<HeldKey, kCapacity> held_{};
    std::size_t heldHead_ = 0;
    std::size_t heldCount_ = 0;
    std::array<Waiting, kMaxWaiting> waiting_{};  // oldest first
    std::size_t waitingCount_ = 0;
    std::bitset<256> heldDown_;  // keys whose press is held: their release is held too
    std::size_t inFlight_ = 0;   // own events of the part on its way that the hook has not seen
    unsigned lastSerial_ = 0;
    bool releasing_ = false;
};

}  // namespace vantoke
