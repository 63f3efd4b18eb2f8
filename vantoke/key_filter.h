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
};

enum class KeyNotice {
    None,
    WatchedKey,  // the watched key made the transition the action selects
    OtherKey,    // another key went down
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

// One key event. `action` 0 notifies when the watched key goes down, any
// other value when it goes up; the left and right keys count as one key, and
// key-downs while it is already down (auto-repeat) are not transitions.
// A press of the watched key while another modifier is held (Alt+Shift,
// Ctrl+Shift to switch layouts) is a chord, reported as another key. A
// modifier whose key-up never came by (it went to a locked desktop) would
// make every press look like a chord: `isKeyDown`, when given, is asked about
// the modifiers believed held before a press is taken for a chord.
KeyNotice FilterKeyEvent(const KeyEvent& event, unsigned watchedKey, unsigned action, WatchedKeyState& state,
                         KeyDownQuery isKeyDown = nullptr) noexcept;

}  // namespace vantoke
