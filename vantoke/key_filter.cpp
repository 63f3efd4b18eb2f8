#include "vantoke/key_filter.h"

#include <initializer_list>

namespace vantoke {
namespace {

constexpr unsigned kLeftSide = 1;
constexpr unsigned kRightSide = 2;

// The side of the watched key that the event's key is, 0 when it is another key.
unsigned SideOf(const KeyEvent& event, unsigned watchedKey) noexcept {
    const unsigned key = event.virtualKey;
    switch (watchedKey) {
        case vk::kShift:
            if (key == vk::kLeftShift) return kLeftSide;
            if (key == vk::kRightShift) return kRightSide;
            if (key == vk::kShift) return event.scanCode == kRightShiftScanCode ? kRightSide : kLeftSide;
            return 0;
        case vk::kControl:
            if (key == vk::kLeftControl) return kLeftSide;
            if (key == vk::kRightControl) return kRightSide;
            if (key == vk::kControl) return event.extended ? kRightSide : kLeftSide;
            return 0;
        case vk::kMenu:
            if (key == vk::kLeftMenu) return kLeftSide;
            if (key == vk::kRightMenu) return kRightSide;
            if (key == vk::kMenu) return event.extended ? kRightSide : kLeftSide;
            return 0;
        default:
            return key == watchedKey ? kLeftSide : 0;
    }
}

// The modifiers other than the watched key, one bit each: left and right
// Shift, Ctrl, Alt, then the two Windows keys.
constexpr unsigned kModifierKeys[] = {vk::kLeftShift, vk::kRightShift, vk::kLeftControl, vk::kRightControl,
                                      vk::kLeftMenu,  vk::kRightMenu,  vk::kLeftWindows, vk::kRightWindows};

// The bit of a modifier key in WatchedKeyState::modifiersDown, 0 for other keys.
unsigned ModifierBit(const KeyEvent& event) noexcept {
    unsigned key = event.virtualKey;
    switch (key) {  // generic keys take their side from the event, as SideOf does
        case vk::kShift: key = event.scanCode == kRightShiftScanCode ? vk::kRightShift : vk::kLeftShift; break;
        case vk::kControl: key = event.extended ? vk::kRightControl : vk::kLeftControl; break;
        case vk::kMenu: key = event.extended ? vk::kRightMenu : vk::kLeftMenu; break;
        default: break;
    }
    for (unsigned i = 0; i < sizeof(kModifierKeys) / sizeof(kModifierKeys[0]); ++i) {
        if (kModifierKeys[i] == key) return 1u << i;
    }
    return 0;
}

// The modifier bits of the sides of a watched key that are down.
unsigned SidesAsModifiers(unsigned watchedKey, unsigned sidesDown) noexcept {
    unsigned bits = 0;
    for (unsigned side : {kLeftSide, kRightSide}) {
        if ((sidesDown & side) == 0) continue;
        KeyEvent event{watchedKey, 0, side == kRightSide, false, 0};
        if (watchedKey == vk::kShift && side == kRightSide) event.scanCode = kRightShiftScanCode;
        bits |= ModifierBit(event);
    }
    return bits;
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

KeyNotice FilterKeyEvent(const KeyEvent& event, unsigned watchedKey, unsigned action, WatchedKeyState& state,
                         KeyDownQuery isKeyDown) noexcept {
    if (event.extraInfo == kOwnInputMarker || IsAltGrControl(event)) return KeyNotice::None;
    if (state.key != watchedKey) {  // a new key starts up; the one watched before may be held on
        state.modifiersDown |= SidesAsModifiers(state.key, state.sidesDown);
        state.key = watchedKey;
        state.sidesDown = 0;
    }

    const unsigned side = SideOf(event, watchedKey);
    if (side == 0) {
        const unsigned modifier = ModifierBit(event);
        if (event.keyUp) {
            state.modifiersDown &= ~modifier;
            return KeyNotice::None;
        }
        state.modifiersDown |= modifier;
        return KeyNotice::OtherKey;
    }
    state.modifiersDown &= ~ModifierBit(event);  // now the watched key: no longer another modifier

    const bool wasDown = state.sidesDown != 0;
    if (event.keyUp) {
        state.sidesDown &= ~side;
    } else {
        state.sidesDown |= side;
    }
    const bool isDown = state.sidesDown != 0;
    if (wasDown == isDown) return KeyNotice::None;  // auto-repeat, or the other side
    const bool notifyOnDown = action == 0;
    if (isDown != notifyOnDown) return KeyNotice::None;
    // Only presses are taken for chords: a release the launcher waits for
    // always comes, so that it stays in step.
    if (isDown && HeldModifiers(state, isKeyDown) != 0) return KeyNotice::OtherKey;
    return KeyNotice::WatchedKey;
}

}  // namespace vantoke
