#include "vantoke/key_filter.h"

namespace vantoke {
namespace {

constexpr unsigned kLeftSide = 1;
constexpr unsigned kRightSide = 2;

struct KeyPair {
    unsigned generic, left, right;
};
constexpr KeyPair kSidedKeys[] = {{vk::kShift, vk::kLeftShift, vk::kRightShift},
                                  {vk::kControl, vk::kLeftControl, vk::kRightControl},
                                  {vk::kMenu, vk::kLeftMenu, vk::kRightMenu}};

// The side of the watched key that the event's key is, 0 when it is another key.
unsigned SideOf(const KeyEvent& event, unsigned watchedKey) noexcept {
    const unsigned key = SpecificKey(event);
    for (const KeyPair& pair : kSidedKeys) {
        if (pair.generic != watchedKey) continue;
        if (key == pair.left) return kLeftSide;
        if (key == pair.right) return kRightSide;
        return 0;
    }
    return key == watchedKey ? kLeftSide : 0;
}

// The modifiers other than the watched key, one bit each: left and right
// Shift, Ctrl, Alt, then the two Windows keys.
constexpr unsigned kModifierKeys[] = {vk::kLeftShift, vk::kRightShift, vk::kLeftControl, vk::kRightControl,
                                      vk::kLeftMenu,  vk::kRightMenu,  vk::kLeftWindows, vk::kRightWindows};

// The bit of a specific modifier key in WatchedKeyState::modifiersDown, 0 for other keys.
unsigned ModifierBit(unsigned specificKey) noexcept {
    for (unsigned i = 0; i < sizeof(kModifierKeys) / sizeof(kModifierKeys[0]); ++i) {
        if (kModifierKeys[i] == specificKey) return 1u << i;
    }
    return 0;
}

// The modifier bits of the sides of a watched key that are down.
unsigned SidesAsModifiers(unsigned watchedKey, unsigned sidesDown) noexcept {
    for (const KeyPair& pair : kSidedKeys) {
        if (pair.generic != watchedKey) continue;
        return ((sidesDown & kLeftSide) != 0 ? ModifierBit(pair.left) : 0) |
               ((sidesDown & kRightSide) != 0 ? ModifierBit(pair.right) : 0);
    }
    return sidesDown != 0 ? ModifierBit(watchedKey) : 0;
}

// The other modifiers held now; those the system says are up are forgotten.
unsigned HeldModifiers(WatchedKeyState& state, KeyDownQuery isKeyDown) noexcept {
    if (state.modifiersDown == 0 || isKeyDown == nullptr) return state.modifiersDown;
    for (unsigned i = 0; i < sizeof(kModifierKeys) / sizeof(kModifierKeys[0]); ++i) {
        if ((state.modifiersDown & (1u << i)) != 0 && !isKeyDown(kModifierKeys[i])) state.modifiersDown &= ~(1u << i);
    }
    return state.modifiersDown;
}

bool IsAltGrControl(const KeyEvent& event) noexcept {
    return (event.virtualKey == vk::kLeftControl || event.virtualKey == vk::kControl) &&
           event.scanCode == kAltGrControlScanCode;
}

}  // namespace

static_assert(sizeof(kModifierKeys) / sizeof(kModifierKeys[0]) == kModifierKeyCount);

unsigned HeldModifierBits(const WatchedKeyState& state) noexcept {
    return state.modifiersDown | SidesAsModifiers(state.key, state.sidesDown);
}

unsigned WatchedModifierBits(const WatchedKeyState& state) noexcept {
    return SidesAsModifiers(state.key, state.sidesDown);
}

bool IsWatchedKeyEvent(const KeyEvent& event, unsigned watchedKey) noexcept {
    return !IsAltGrControl(event) && SideOf(event, watchedKey) != 0;
}

void ForgetWatchedSidesTheSystemHasUp(WatchedKeyState& state, KeyDownQuery isKeyDown) noexcept {
    if (state.sidesDown == 0 || isKeyDown == nullptr) return;
    for (const KeyPair& pair : kSidedKeys) {
        if (pair.generic != state.key) continue;
        if ((state.sidesDown & kLeftSide) != 0 && !isKeyDown(pair.left)) state.sidesDown &= ~kLeftSide;
        if ((state.sidesDown & kRightSide) != 0 && !isKeyDown(pair.right)) state.sidesDown &= ~kRightSide;
        return;
    }
    if (!isKeyDown(state.key)) state.sidesDown = 0;
}

unsigned ModifierKeyAt(unsigned bit) noexcept {
    return bit < kModifierKeyCount ? kModifierKeys[bit] : 0;
}

unsigned SpecificKey(const KeyEvent& event) noexcept {
    switch (event.virtualKey) {
        case vk::kShift: return event.scanCode == kRightShiftScanCode ? vk::kRightShift : vk::kLeftShift;
        case vk::kControl: return event.extended ? vk::kRightControl : vk::kLeftControl;
        case vk::kMenu: return event.extended ? vk::kRightMenu : vk::kLeftMenu;
        default: return event.virtualKey;
    }
}

Transition ClassifyKeyEvent(const KeyEvent& event, unsigned watchedKey, WatchedKeyState& state,
                            KeyDownQuery isKeyDown) noexcept {
    if (event.extraInfo == kOwnInputMarker || IsAltGrControl(event)) return Transition::None;
    if (state.key != watchedKey) {  // a new key starts up; the one watched before may be held on
        state.modifiersDown |= SidesAsModifiers(state.key, state.sidesDown);
        state.key = watchedKey;
        state.sidesDown = 0;
    }

    const unsigned side = SideOf(event, watchedKey);
    const unsigned modifier = ModifierBit(SpecificKey(event));
    if (side == 0) {
        if (event.keyUp) {
            state.modifiersDown &= ~modifier;
            return Transition::None;
        }
        state.modifiersDown |= modifier;
        return Transition::OtherKeyDown;
    }
    state.modifiersDown &= ~modifier;  // now the watched key: no longer another modifier

    const bool wasDown = state.sidesDown != 0;
    if (event.keyUp) {
        state.sidesDown &= ~side;
    } else {
        state.sidesDown |= side;
    }
    const bool isDown = state.sidesDown != 0;
    if (wasDown == isDown) return Transition::None;  // auto-repeat, or the other side
    if (!isDown) return Transition::WatchedUp;
    return HeldModifiers(state, isKeyDown) != 0 ? Transition::ChordDown : Transition::WatchedDown;
}

void ForgetSidesReleasedUnseen(const KeyEvent& event, unsigned watchedKey, WatchedKeyState& state,
                               KeyDownQuery isKeyDown) noexcept {
    if (event.keyUp || state.key != watchedKey || SideOf(event, watchedKey) == 0) return;
    ForgetWatchedSidesTheSystemHasUp(state, isKeyDown);
}

KeyNotice SelectNotice(Transition transition, unsigned action) noexcept {
    switch (transition) {
        case Transition::WatchedDown: return action == 0 ? KeyNotice::WatchedKey : KeyNotice::None;
        case Transition::WatchedUp: return action != 0 ? KeyNotice::WatchedKey : KeyNotice::None;
        case Transition::ChordDown: return action == 0 ? KeyNotice::OtherKey : KeyNotice::None;
        case Transition::OtherKeyDown: return KeyNotice::OtherKey;
        case Transition::Forget: return KeyNotice::Forget;
        case Transition::None: break;
    }
    return KeyNotice::None;
}

}  // namespace vantoke
