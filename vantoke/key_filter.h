// What the keyboard hook makes of one key event: a notification of the
// watched key, a notice that another key went down, or nothing. Plain values
// in and out, so that it runs and is tested anywhere.
#pragma once

#include <cstdint>

namespace vantoke {

// Virtual-key codes the filter needs (the values of the Windows headers).
namespace vk {
constexpr unsigned kShift = 0x10;
constexpr unsigned kControl = 0x11;
constexpr unsigned kMenu = 0x12;  // Alt
constexpr unsigned kLeftShift = 0xA0;
constexpr unsigned kRightShift = 0xA1;
constexpr unsigned kLeftControl = 0xA2;
constexpr unsigned kRightControl = 0xA3;
constexpr unsigned kLeftMenu = 0xA4;
constexpr unsigned kRightMenu = 0xA5;
constexpr unsigned kLeftWindows = 0x5B;
constexpr unsigned kRightWindows = 0x5C;
}  // namespace vk

constexpr unsigned kDefaultWatchedKey = vk::kControl;

// On layouts with AltGr the system sends a left Ctrl of its own before the
// right Alt; the low-level hook sees it with this scan code (the real left Ctrl
// has 0x1D). It is not a press of Ctrl.
constexpr unsigned kAltGrControlScanCode = 0x21D;
constexpr unsigned kRightShiftScanCode = 0x36;

// dwExtraInfo of input that the product injects itself; the hook ignores it.
constexpr std::uintptr_t kOwnInputMarker = 0x566E746B;  // "Vntk"

struct KeyEvent {
    unsigned virtualKey = 0;
    unsigned scanCode = 0;
    bool extended = false;  // LLKHF_EXTENDED
    bool keyUp = false;     // LLKHF_UP
    std::uintptr_t extraInfo = 0;
    std::uint32_t time = 0;  // the event's own millisecond tick
};

// What one key event was, whatever the action: the hook records these in the
// order they happen and decides only when handing them over.
enum class Transition {
    None,          // nothing to report: auto-repeat, the other side, a key-up of another key, own input
    WatchedDown,   // the watched key went down
    WatchedUp,     // the watched key went up
    ChordDown,     // the watched key went down while another modifier was held
    OtherKeyDown,  // another key went down
    Forget,        // key events went by unseen: a sequence under way is to be forgotten
};

enum class KeyNotice {
    None,
    WatchedKey,  // the watched key made the transition the action selects
    OtherKey,    // another key went down
    Forget,      // the sequence under way is to be forgotten
};

// Which sides of the watched key are down, and which other modifier keys.
// Belongs to the hook thread.
struct WatchedKeyState {
    unsigned key = 0;          // the watched key this state was kept for
    unsigned sidesDown = 0;    // bit 0 left (or the only key), bit 1 right
    unsigned modifiersDown = 0;  // other modifiers held, one bit per key (Shift, Ctrl, Alt, Windows; each side)
};

// Asks the system whether a key is down now (GetAsyncKeyState on Windows).
using KeyDownQuery = bool (*)(unsigned virtualKey) noexcept;

// The modifier keys as the hook has seen them, the watched key's sides
// included: bit i is the key ModifierKeyAt(i) (left and right Shift, Ctrl,
// Alt, then the two Windows keys).
constexpr unsigned kModifierKeyCount = 8;
unsigned HeldModifierBits(const WatchedKeyState& state) noexcept;
unsigned ModifierKeyAt(unsigned bit) noexcept;
// The sides of the watched key that are down, as the same bits.
unsigned WatchedModifierBits(const WatchedKeyState& state) noexcept;

// Whether the event is a press or release of the watched key, either side
// (the left Ctrl that AltGr sends is none).
bool IsWatchedKeyEvent(const KeyEvent& event, unsigned watchedKey) noexcept;

// Sides of the watched key recorded down that the system says are up went
// up where the hook was not called (a secure desktop, another hook): they
// are taken for up, so that nothing put back from this view holds them down.
void ForgetWatchedSidesTheSystemHasUp(WatchedKeyState& state, KeyDownQuery isKeyDown) noexcept;

// The specific left or right key of a generic Shift, Ctrl or Alt event
// (taken from its scan code or extended flag); any other key as it is.
unsigned SpecificKey(const KeyEvent& event) noexcept;

// One key event as a transition. The left and right keys count as one key,
// and key-downs while it is already down (auto-repeat) are not transitions.
// A press of the watched key while another modifier is held (Alt+Shift,
// Ctrl+Shift to switch layouts) is a chord. A modifier whose key-up never
// came by (it went to a locked desktop) would make every press look like a
// chord: `isKeyDown`, when given, is asked about the modifiers believed held
// before a press is taken for a chord.
Transition ClassifyKeyEvent(const KeyEvent& event, unsigned watchedKey, WatchedKeyState& state,
                            KeyDownQuery isKeyDown = nullptr) noexcept;

// A side of the watched key recorded down that the system says is up went up
// where the hook is not called (after Ctrl+Alt+Del or Windows+L the key-up
// goes to the secure desktop): forgotten at the next press of the key, so
// that the press counts instead of passing for auto-repeat. Only for a key
// event as it happens: `isKeyDown` tells the keys as they were just before it.
void ForgetSidesReleasedUnseen(const KeyEvent& event, unsigned watchedKey, WatchedKeyState& state,
                               KeyDownQuery isKeyDown) noexcept;

// The notice a transition gives under `action`: 0 selects the watched key's
// presses, any other value its releases; a chord is reported as another key
// when a press is selected. A release the launcher waits for always comes,
// chord or not, so that it stays in step.
KeyNotice SelectNotice(Transition transition, unsigned action) noexcept;

// Both at once, for a transition handed over as soon as it happens.
inline KeyNotice FilterKeyEvent(const KeyEvent& event, unsigned watchedKey, unsigned action, WatchedKeyState& state,
                                KeyDownQuery isKeyDown = nullptr) noexcept {
    return SelectNotice(ClassifyKeyEvent(event, watchedKey, state, isKeyDown), action);
}

}  // namespace vantoke
