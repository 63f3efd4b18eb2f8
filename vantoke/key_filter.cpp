#include "vantoke/key_filter.h"

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

bool IsAltGrControl(const KeyEvent& event) noexcept {
    return (event.virtualKey == vk::kLeftControl || event.virtualKey == vk::kControl) &&
           event.scanCode == kAltGrControlScanCode;
}

}  // namespace

KeyNotice FilterKeyEvent(const KeyEvent& event, unsigned watchedKey, unsigned action,
                         WatchedKeyState& state) noexcept {
    if (event.extraInfo == kOwnInputMarker || IsAltGrControl(event)) return KeyNotice::None;
    if (state.key != watchedKey) state = WatchedKeyState{watchedKey, 0};  // a new key starts up

    const unsigned side = SideOf(event, watchedKey);
    if (side == 0) return event.keyUp ? KeyNotice::None : KeyNotice::OtherKey;

    const bool wasDown = state.sidesDown != 0;
    if (event.keyUp) {
        state.sidesDown &= ~side;
    } else {
        state.sidesDown |= side;
    }
    const bool isDown = state.sidesDown != 0;
    if (wasDown == isDown) return KeyNotice::None;  // auto-repeat, or the other side
    const bool notifyOnDown = action == 0;
    return isDown == notifyOnDown ? KeyNotice::WatchedKey : KeyNotice::None;
}

}  // namespace vantoke
