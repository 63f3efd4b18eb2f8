#include "vantoke/summons.h"

#include "vantoke/notices.h"

namespace vantoke {
namespace {

// Virtual-key codes of the keys that act in a menu (the values of the Windows headers).
constexpr unsigned kBackspace = 0x08;
constexpr unsigned kEnter = 0x0D;
constexpr unsigned kEscape = 0x1B;
constexpr unsigned kLeftArrow = 0x25;
constexpr unsigned kDownArrow = 0x28;
constexpr unsigned kKeypad0 = 0x60;
constexpr unsigned kKeypad9 = 0x69;

// The modifier bits of the keys that `pick` names.
template <typename Pick>
unsigned ModifierBits(unsigned bits, Pick pick) noexcept {
    unsigned picked = 0;
    for (unsigned bit = 0; bit < kModifierKeyCount; ++bit) {
        if (pick(ModifierKeyAt(bit))) picked |= bits & (1u << bit);
    }
    return picked;
}

// Shift and Ctrl: what the menu's choice reads. Alt is never pressed into the
// menu (it would close it; a letter with Alt held chooses as the letter does).
unsigned ChoiceModifiers(unsigned bits) noexcept {
    return ModifierBits(bits, [](unsigned key) {
        return key == vk::kLeftShift || key == vk::kRightShift || key == vk::kLeftControl ||
               key == vk::kRightControl;
    });
}

bool WindowsKeyHeld(unsigned bits) noexcept {
    return ModifierBits(bits, [](unsigned key) { return key == vk::kLeftWindows || key == vk::kRightWindows; }) != 0;
}

bool IsExtendedModifier(unsigned key) noexcept {
    return key == vk::kRightControl || key == vk::kRightMenu || key == vk::kLeftWindows ||
           key == vk::kRightWindows;
}

KeyEvent OwnInput(KeyEvent event) noexcept {
    event.extraInfo = kOwnInputMarker;
    event.time = 0;  // the system stamps it
    return event;
}

// Appends the presses and releases that take the modifiers from `from` to `to`.
std::size_t ChangeModifiers(unsigned from, unsigned to, KeyEvent* out, std::size_t written) noexcept {
    for (unsigned bit = 0; bit < kModifierKeyCount; ++bit) {
        if (((from ^ to) & (1u << bit)) == 0) continue;
        const unsigned key = ModifierKeyAt(bit);
        out[written++] = OwnInput(KeyEvent{key, 0, IsExtendedModifier(key), (to & (1u << bit)) == 0, 0, 0});
    }
    return written;
}

std::size_t ChangeCount(unsigned from, unsigned to) noexcept {
    std::size_t count = 0;
    for (unsigned changed = from ^ to; changed != 0; changed &= changed - 1) ++count;
    return count;
}

}  // namespace

bool ActsInTheMenu(unsigned key) noexcept {
    return (key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z') || (key >= kKeypad0 && key <= kKeypad9) ||
           (key >= kLeftArrow && key <= kDownArrow) || key == kBackspace || key == kEnter || key == kEscape;
}

bool Summons::Drain(NoticeQueue& queue, const TapRule& rule, Outlet& outlet) noexcept {
    if (queue.InFlight()) queue.Handled();  // left from an action set from outside
    bool began = false;
    while (const std::optional<Notice> notice = queue.TakeNext(action_)) {
        queue.Handled();
        unsigned summons = 0;
        switch (notice->kind) {
            case KeyNotice::WatchedKey:
                if (trigger_.OnKeyNotification(outlet.StampOf(notice->time), rule.countIndex, rule.speed) &&
                    !outlet.Vetoed()) {
                    summons = Begin(notice->time);
                    began = began || SummonsSerial(summons) != 0;
                }
                break;
            case KeyNotice::OtherKey: trigger_.OnOtherKey(); break;
            case KeyNotice::Forget: trigger_.Reset(); break;
            case KeyNotice::None: break;
        }
        outlet.Notify(*notice, summons);
    }
    return began;
}

unsigned Summons::Begin(std::uint32_t tick) noexcept {
    // Taps made while the menu is open: the keys after them go to it anyway.
    if (menuOpen_ || waitingCount_ == kMaxWaiting) return SummonsNotice(0);
    lastSerial_ = lastSerial_ % kMaxSummonsSerial + 1;
    waiting_[waitingCount_++] = Waiting{lastSerial_, tick, 0, false};
    return SummonsNotice(lastSerial_);
}

bool Summons::Hold(const KeyEvent& event, const WatchedKeyState& keys, KeyDownQuery isKeyDown) noexcept {
    if (waitingCount_ == 0 || event.extraInfo == kOwnInputMarker) return false;
    const std::size_t key = event.virtualKey & 0xFF;
    const unsigned modifiers = HeldModifierBits(keys);
    if (!heldDown_.test(key)) {
        // A release whose press went ahead goes the same way; so do the
        // repeats of a key pressed before the summons, and the system's own
        // shortcuts with a Windows key.
        if (event.keyUp || !ActsInTheMenu(event.virtualKey) || WindowsKeyHeld(modifiers)) return false;
        if (isKeyDown != nullptr && isKeyDown(event.virtualKey)) return false;
    }
    if (heldCount_ == kCapacity) {  // never at typing speed: the key goes on unheld
        if (event.keyUp) heldDown_.reset(key);
        return false;
    }
    held_[(heldHead_ + heldCount_++) % kCapacity] = HeldKey{event, ChoiceModifiers(modifiers)};
    ++waiting_[waitingCount_ - 1].keys;
    heldDown_.set(key, !event.keyUp);
    return true;
}

bool Summons::MenuOpened(unsigned serial) noexcept {
    menuOpen_ = true;
    return Serve(serial);
}

void Summons::MenuClosed(std::uint32_t now) noexcept {
    menuOpen_ = false;
    // The launcher serves one menu at a time: the next waits from now.
    for (std::size_t i = 0; i < waitingCount_; ++i) {
        if (waiting_[i].served) continue;
        waiting_[i].since = now;
        break;
    }
}

bool Summons::MenuRefused(unsigned serial) noexcept { return Serve(serial); }

// The summons `serial` is served. The launcher serves its summonses in order,
// so any before it whose menu never came are served with it, first.
bool Summons::Serve(unsigned serial) noexcept {
    if (serial == 0) return false;
    for (std::size_t i = 0; i < waitingCount_; ++i) {
        if (waiting_[i].serial != serial) continue;
        for (std::size_t j = 0; j <= i; ++j) waiting_[j].served = true;
        return ReadyToGo();
    }
    return false;  // gone already: it reached its limit
}

bool Summons::ReadyToGo() const noexcept {
    return inFlight_ == 0 && waitingCount_ > 0 && (waiting_[0].served || releasing_);
}

bool Summons::LimitReached(std::uint32_t now) noexcept {
    if (waitingCount_ == 0 || now - waiting_[0].since < kLimitMs) return false;
    waiting_[0].served = true;
    inFlight_ = 0;  // a part that never came by is not waited for again
    return true;
}

std::optional<std::uint32_t> Summons::UntilLimit(std::uint32_t now) const noexcept {
    if (waitingCount_ == 0) return std::nullopt;
    const std::uint32_t waited = now - waiting_[0].since;
    return waited >= kLimitMs ? 0 : kLimitMs - waited;
}

std::size_t Summons::NextBatch(unsigned modifiersNow, std::uint32_t now, KeyEvent* out,
                               std::size_t capacity) noexcept {
    if (inFlight_ > 0 && !releasing_) return 0;
    // The summonses served whose keys have all gone are done.
    while (waitingCount_ > 0 && (waiting_[0].served || releasing_) && waiting_[0].keys == 0) {
        for (std::size_t i = 1; i < waitingCount_; ++i) waiting_[i - 1] = waiting_[i];
        --waitingCount_;
    }
    if (waitingCount_ == 0) {
        heldDown_.reset();
        return 0;
    }
    if (!waiting_[0].served && !releasing_) return 0;

    Waiting& first = waiting_[0];
    first.since = now;
    std::size_t written = 0;
    modifiersNow = ChoiceModifiers(modifiersNow);
    unsigned modifiers = modifiersNow;
    while (first.keys > 0) {
        const HeldKey& key = held_[heldHead_];
        if (written + ChangeCount(modifiers, key.modifiers) + 1 + kModifierKeyCount > capacity) break;
        written = ChangeModifiers(modifiers, key.modifiers, out, written);
        out[written++] = OwnInput(key.event);
        modifiers = key.modifiers;
        heldHead_ = (heldHead_ + 1) % kCapacity;
        --heldCount_;
        --first.keys;
    }
    written = ChangeModifiers(modifiers, modifiersNow, out, written);
    inFlight_ = written;
    return written;
}

bool Summons::OwnInputSeen() noexcept {
    if (inFlight_ == 0) return false;
    return --inFlight_ == 0;
}

bool Summons::NotSent(std::size_t missing) noexcept {
    if (missing == 0 || inFlight_ == 0) return false;
    inFlight_ -= missing < inFlight_ ? missing : inFlight_;
    return inFlight_ == 0;
}

void Summons::ReleaseAll() noexcept { releasing_ = true; }

void Summons::Reset() noexcept {
    trigger_.Reset();
    menuOpen_ = false;
    heldHead_ = heldCount_ = waitingCount_ = inFlight_ = 0;
    heldDown_.reset();
    releasing_ = false;
}

}  // namespace vantoke
