#include "vantoke/summons.h"

#include "vantoke/notices.h"

#include <algorithm>

namespace vantoke {
namespace {

// The modifier bits of the keys that `pick` names.
template <typename Pick>
unsigned ModifierBits(unsigned bits, Pick pick) noexcept {
    unsigned picked = 0;
    for (unsigned bit = 0; bit < kModifierKeyCount; ++bit) {
        if (pick(ModifierKeyAt(bit))) picked |= bits & (1u << bit);
    }
    return picked;
}

// Shift and Ctrl: what the menu's choice reads. Alt is never pressed or
// released into the menu (it would close it; a letter with Alt held chooses as
// the letter does).
unsigned MenuModifiers(unsigned bits) noexcept {
    return ModifierBits(bits, [](unsigned key) {
        return key == vk::kLeftShift || key == vk::kRightShift || key == vk::kLeftControl ||
               key == vk::kRightControl;
    });
}

bool IsExtendedModifier(unsigned key) noexcept {
    return key == vk::kRightControl || key == vk::kRightMenu || key == vk::kLeftWindows ||
           key == vk::kRightWindows;
}

// The event as injected: the hook's own mark, unless another program had
// marked it (a remapper, a text expander), which keeps its own so that it
// knows its output again.
KeyEvent Injected(KeyEvent event) noexcept {
    if (event.extraInfo == 0) event.extraInfo = kOwnInputMarker;
    event.time = 0;  // the system stamps it
    return event;
}

std::size_t ChangeCount(unsigned from, unsigned to, unsigned mask) noexcept {
    std::size_t count = 0;
    for (unsigned changed = (from ^ to) & mask; changed != 0; changed &= changed - 1) ++count;
    return count;
}

bool SameEvent(const KeyEvent& a, const KeyEvent& b) noexcept {
    return a.virtualKey == b.virtualKey && a.keyUp == b.keyUp && a.extraInfo == b.extraInfo;
}

}  // namespace

bool Summons::Drain(NoticeQueue& queue, const TapRule& rule, Outlet& outlet, std::uint32_t now) noexcept {
    if (queue.InFlight()) queue.Handled();  // left from an action set from outside
    bool began = false;
    while (const std::optional<Notice> notice = queue.TakeNext(action_)) {
        queue.Handled();
        unsigned summons = 0;
        switch (notice->kind) {
            case KeyNotice::WatchedKey:
                if (trigger_.OnKeyNotification(outlet.StampOf(notice->time), rule.countIndex, rule.speed) &&
                    !outlet.Vetoed()) {
                    // Taps replayed after the hook came back were made while
                    // the keys after them went on: nothing is held for them.
                    summons = Begin(notice->replayed ? now : notice->time, !notice->replayed);
                    began = began || summons != 0;
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

unsigned Summons::Begin(std::uint32_t tick, bool holding) noexcept {
    // One summons at a time: taps while a menu is open or another summons is
    // still on its way start nothing; the keys after them go where that one's go.
    if (menuOpen_ || InFlight()) return 0;
    lastSerial_ = lastSerial_ % kMaxSummonsSerial + 1;
    serial_ = lastSerial_;
    since_ = tick;
    holding_ = holding;
    where_ = Where::Undecided;
    record_.store(Pack(serial_, kWaiting), std::memory_order_release);
    return SummonsNotice(serial_);
}

bool Summons::Hold(const KeyEvent& event, const WatchedKeyState& keys, KeyDownQuery isKeyDown, bool& goNow) noexcept {
    goNow = false;
    if (Holds(event, keys, isKeyDown, goNow)) {
        // A held release stands too; a held press (an auto-repeat) leaves a
        // missed release and press before it to be told.
        if (event.keyUp) typedAt_[event.virtualKey & 0xFF] = event.time;
        return true;
    }
    typedAt_[event.virtualKey & 0xFF] = event.time;
    // The system has the key as typed from now on: a release of it still
    // waiting would come too late, and lift the key if pressed again.
    TypedByTheUser(event.virtualKey, event.keyUp);
    // Given up, keys typed again mean input is taken again: the releases go now.
    if (gaveUp_ && retrying_) {
        retrying_ = false;
        goNow = ReadyToGo();
    }
    return false;
}

void Summons::TypedByTheUser(unsigned virtualKey, bool keyUp) noexcept {
    const std::size_t code = virtualKey & 0xFF;
    injectedDown_.reset(code);
    if (heldCount_ == 0) return;
    // The system has the key as the user typed it. After a press every
    // release of it waiting is stale (it would lift the key), and the press's
    // own release is to follow a press of it still held. After a release,
    // one waiting without its press before it (owed, or kept after giving up)
    // is stale; one that follows a held press still goes.
    // Held keys of a part stay in the ring only while SendInput takes it.
    std::size_t kept = partSending_ && partCount_ > 0 ? part_[partCount_ - 1].heldTaken : 0;
    const std::size_t count = heldCount_;
    bool pressHeld = false;
    for (std::size_t i = kept; i < count; ++i) {
        const HeldKey& key = held_[(heldHead_ + i) % kCapacity];
        const bool ofThisKey = (key.event.virtualKey & 0xFF) == code;
        if (ofThisKey && key.event.keyUp && (!keyUp || !pressHeld)) continue;
        if (ofThisKey) pressHeld = !key.event.keyUp;
        held_[(heldHead_ + kept++) % kCapacity] = key;
    }
    heldCount_ = kept;
    if (!keyUp && pressHeld) heldDown_.set(code);
    if (heldCount_ < count) EndIfDone();
}

bool Summons::Holds(const KeyEvent& event, const WatchedKeyState& keys, KeyDownQuery isKeyDown, bool& goNow) noexcept {
    const bool undecided = serial_ != 0 && where_ == Where::Undecided && holding_;
    // Once the outcome is decided, keys typed while the held ones go follow them.
    // Given up, nothing more is held: keys go to the system as typed.
    const bool following = where_ != Where::Undecided && (heldCount_ > 0 || partCount_ > 0) && !gaveUp_;
    if (!undecided && !following) return false;
    if (IsWatchedKeyEvent(event, keys.key)) return false;  // the taps pass, as taps always do
    const std::size_t key = event.virtualKey & 0xFF;
    if (!heldDown_.test(key)) {
        // A release whose press went ahead goes the same way; so do the
        // repeats of a key pressed before the summons.
        if (event.keyUp) return false;
        if (isKeyDown != nullptr && isKeyDown(event.virtualKey)) return false;
        // No room left but for the releases of held presses: this press goes
        // on, and so will its release.
        if (heldCount_ >= kCapacity - kReleaseReserve) return false;
    } else if (!event.keyUp && heldCount_ >= kCapacity - kReleaseReserve) {
        return true;  // a held key's auto-repeat, beyond any use: dropped
    }
    // The watched key as it was typed with: a side whose release went by
    // unseen (a secure desktop, another hook) is up for the system.
    unsigned sides = WatchedModifierBits(keys);
    for (unsigned bit = 0; sides != 0 && bit < kModifierKeyCount; ++bit) {
        if ((sides & (1u << bit)) != 0 && isKeyDown != nullptr && !isKeyDown(ModifierKeyAt(bit))) sides &= ~(1u << bit);
    }
    if (heldCount_ >= kCapacity) return false;  // only ever by injected input beyond any keyboard
    held_[(heldHead_ + heldCount_++) % kCapacity] = HeldKey{event, sides};
    heldDown_.set(key, !event.keyUp);
    if (undecided && heldCount_ >= kHoldLimit) goNow = Decide(Where::Front);
    return true;
}

void Summons::PressedUnseen(const KeyEvent& press) noexcept {
    // Told late: a live event of the key since has set things right already.
    for (const unsigned named : {press.virtualKey, SpecificKey(press)}) {
        if (static_cast<std::int32_t>(typedAt_[named & 0xFF] - press.time) <= 0) TypedByTheUser(named, false);
    }
}

bool Summons::ReleasedUnseen(const KeyEvent& release) noexcept {
    // Raw input names Shift, Ctrl and Alt generically; the hook may have seen either name.
    for (const unsigned named : {release.virtualKey, SpecificKey(release)}) {
        const std::size_t key = named & 0xFF;
        if ((!heldDown_.test(key) && !injectedDown_.test(key)) || heldCount_ >= kCapacity) continue;
        // A press that went in after the system had its release (a summons
        // refused at once): the release is owed on its own, the sides as they are.
        const bool alone = !InFlight();
        KeyEvent event = release;
        event.virtualKey = named;
        event.keyUp = true;
        // The watchdog tells of it late: it goes after its press and the
        // keys typed before it, ahead of those typed after it.
        std::size_t at = partSending_ && partCount_ > 0 ? part_[partCount_ - 1].heldTaken : 0;
        bool pressHeld = false;
        for (std::size_t i = at; i < heldCount_; ++i) {
            const KeyEvent& held = held_[(heldHead_ + i) % kCapacity].event;
            if ((held.virtualKey & 0xFF) == key && !held.keyUp) {
                at = i + 1;
                pressHeld = true;
            }
        }
        // Its press went in before the release: the system has the key up already.
        if (!pressHeld && partCount_ == 0 && injectedDown_.test(key) &&
            static_cast<std::int32_t>(release.time - injectedAt_[key]) > 0) {
            heldDown_.reset(key);
            injectedDown_.reset(key);
            continue;
        }
        while (at < heldCount_ &&
               static_cast<std::int32_t>(held_[(heldHead_ + at) % kCapacity].event.time - release.time) <= 0) {
            ++at;
        }
        // With the sides of a neighbour, so that the watched key does not move for it.
        const std::size_t neighbour = at > 0 ? at - 1 : at;
        HeldKey owed{event, 0, true};
        if (neighbour < heldCount_) {
            owed.sides = held_[(heldHead_ + neighbour) % kCapacity].sides;
            owed.keepSides = held_[(heldHead_ + neighbour) % kCapacity].keepSides;
        }
        for (std::size_t i = heldCount_; i > at; --i) {
            held_[(heldHead_ + i) % kCapacity] = held_[(heldHead_ + i - 1) % kCapacity];
        }
        held_[(heldHead_ + at) % kCapacity] = owed;
        ++heldCount_;
        heldDown_.reset(key);
        injectedDown_.reset(key);
        if (alone) where_ = Where::Front;
        return ReadyToGo();
    }
    return false;
}

// SendInput has refused too long: the presses still held are given up (into
// whatever is in front by the time input is taken again they would be
// typed blind), but the releases of keys already put down, and the watched
// key's sides, still go, so that nothing stays down. Keys typed from now on
// are not held.
void Summons::GiveUp(std::uint32_t now) noexcept {
    std::bitset<256> pressDropped;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < heldCount_; ++i) {
        const HeldKey key = held_[(heldHead_ + i) % kCapacity];
        const std::size_t code = key.event.virtualKey & 0xFF;
        if (!key.event.keyUp) {
            pressDropped.set(code);
        } else if (pressDropped.test(code)) {
            pressDropped.reset(code);
        } else {
            held_[(heldHead_ + kept++) % kCapacity] = key;
        }
    }
    heldCount_ = kept;
    heldDown_.reset();
    gaveUp_ = true;
    refusedSince_ = now;
}

bool Summons::Claim(unsigned serial) noexcept {
    std::uint32_t waiting = Pack(serial, kWaiting);
    return serial != 0 &&
           record_.compare_exchange_strong(waiting, Pack(serial, kClaimed), std::memory_order_acq_rel);
}

bool Summons::Showing(unsigned serial) noexcept {
    if (serial == 0) return true;
    std::uint32_t claimed = Pack(serial, kClaimed);
    return record_.compare_exchange_strong(claimed, Pack(serial, kOpen), std::memory_order_acq_rel);
}

bool Summons::MenuOpened(unsigned serial) noexcept {
    menuOpen_ = true;
    if (serial == 0 || serial != serial_ || record_.load(std::memory_order_acquire) != Pack(serial, kOpen)) {
        return false;
    }
    return Decide(Where::Menu);
}

void Summons::MenuClosed() noexcept {
    menuOpen_ = false;
    EndIfDone();
}

bool Summons::MenuRefused(unsigned serial) noexcept {
    if (serial == 0 || serial != serial_ || where_ != Where::Undecided) return false;
    return Decide(Where::Front);
}

// The outcome of the summons in flight: its keys go to the menu, or where
// they were going. A summons gone to the front can no longer be claimed.
bool Summons::Decide(Where where) noexcept {
    if (where == Where::Front) {
        std::uint32_t state = record_.load(std::memory_order_acquire);
        while ((state == Pack(serial_, kWaiting) || state == Pack(serial_, kClaimed)) &&
               !record_.compare_exchange_weak(state, Pack(serial_, kGone), std::memory_order_acq_rel)) {
        }
        if (state == Pack(serial_, kOpen)) where = Where::Menu;  // the menu won the race: it is on its way
    }
    where_ = where;
    EndIfDone();
    return ReadyToGo();
}

// The summons is over once its outcome is known, its keys have all gone and
// no menu of its own is open.
void Summons::EndIfDone() noexcept {
    if (where_ == Where::Undecided || heldCount_ > 0 || partCount_ > 0 || sidesKnown_) return;
    if (where_ == Where::Menu && menuOpen_) return;
    serial_ = 0;
    where_ = Where::Undecided;
    heldDown_.reset();
    refusing_ = gaveUp_ = retrying_ = false;
    record_.store(kNone, std::memory_order_release);
}

std::optional<std::uint32_t> Summons::UntilDue(std::uint32_t now) const noexcept {
    std::optional<std::uint32_t> until;
    const auto sooner = [&until, now](std::uint32_t at) {
        const std::uint32_t left = static_cast<std::int32_t>(at - now) > 0 ? at - now : 0;
        if (!until || left < *until) until = left;
    };
    if (serial_ != 0 && where_ == Where::Undecided) {
        const bool claimed = record_.load(std::memory_order_acquire) == Pack(serial_, kClaimed);
        sooner(since_ + (claimed ? kClaimedLimitMs : kLimitMs));
    }
    if (retrying_) sooner(retryAt_);
    if (partCount_ > 0 && !partSending_) sooner(partSentAt_ + kPartTimeoutMs);
    return until;
}

bool Summons::Due(std::uint32_t now) noexcept {
    const auto passed = [now](std::uint32_t at) { return static_cast<std::int32_t>(now - at) >= 0; };
    if (retrying_ && passed(retryAt_)) retrying_ = false;
    if (partCount_ > 0 && !partSending_ && passed(partSentAt_ + kPartTimeoutMs)) partCount_ = 0;
    if (serial_ != 0 && where_ == Where::Undecided) {
        const bool claimed = record_.load(std::memory_order_acquire) == Pack(serial_, kClaimed);
        if (passed(since_ + (claimed ? kClaimedLimitMs : kLimitMs))) Decide(Where::Front);
    }
    EndIfDone();
    return ReadyToGo();
}

std::size_t Summons::NextPart(unsigned sidesNow, KeyEvent* out, std::size_t capacity) noexcept {
    if (releasing_) partCount_ = 0;  // nothing is waited for any more
    // With nothing held a part may still put the watched key back.
    if (!(ReadyToGo() || releasing_) || partCount_ > 0 || (heldCount_ == 0 && !sidesKnown_)) return 0;
    if (capacity > part_.size()) capacity = part_.size();
    // Only the watched key's sides are put around the keys; into the menu
    // only its Shift and Ctrl.
    const unsigned mask = where_ == Where::Menu ? MenuModifiers(~0u) : ~0u;
    unsigned sides = sidesKnown_ ? systemSides_ : sidesNow;
    std::size_t written = 0;
    std::size_t taken = 0;
    // Each event of the part with what is gone, and where the sides stand, once it is.
    const auto change = [&](unsigned to) {
        for (unsigned bit = 0; bit < kModifierKeyCount; ++bit) {
            if ((((sides ^ to) & mask) & (1u << bit)) == 0) continue;
            sides ^= 1u << bit;
            const unsigned key = ModifierKeyAt(bit);
            out[written] = Injected(KeyEvent{key, 0, IsExtendedModifier(key), (sides & (1u << bit)) == 0, 0, 0});
            part_[written] = PartEvent{out[written], taken, sides};
            ++written;
        }
    };
    while (taken < heldCount_) {
        const HeldKey& key = held_[(heldHead_ + taken) % kCapacity];
        const unsigned keySides = key.keepSides ? sides : key.sides;
        if (written + ChangeCount(sides, keySides, mask) + 1 + kModifierKeyCount > capacity) break;
        change(keySides);
        out[written] = Injected(key.event);
        part_[written] = PartEvent{out[written], ++taken, sides};
        ++written;
    }
    change(sidesNow);
    if (written == 0) {  // the watched key was back as it is already
        sidesKnown_ = false;
        EndIfDone();
        return 0;
    }
    partCount_ = written;
    partSeen_ = 0;
    partSending_ = true;
    return written;
}

bool Summons::PartSent(std::size_t sent, std::uint32_t now) noexcept {
    partSending_ = false;
    partSentAt_ = now;
    if (sent > partCount_) sent = partCount_;
    if (sent > 0) refusing_ = false;
    // Given up, the releases are offered until they go or the user's own
    // keys put them right: dropped, a key would stay down.
    if (sent == 0 && refusing_ && !gaveUp_ && now - refusedSince_ >= kRetryForMs) GiveUp(now);
    for (std::size_t i = 0; i < sent; ++i) {
        const std::size_t code = part_[i].event.virtualKey & 0xFF;
        injectedDown_.set(code, !part_[i].event.keyUp);
        injectedAt_[code] = now;
    }
    if (sent < partCount_) {
        // What went is gone; the rest stays held, to be offered again.
        if (sent == 0 && !refusing_) {
            refusing_ = true;
            refusedSince_ = now;
        }
        retrying_ = true;
        // Given up, input may stay away for hours (a locked session): the
        // releases are offered less often, and at once when keys come again.
        const std::uint32_t refusedFor = now - refusedSince_;
        retryAt_ = now + (gaveUp_ ? std::clamp(refusedFor / 4, kRetryMs, kRetryAfterGivingUpMs) : kRetryMs);
        if (sent > 0) {
            sidesKnown_ = true;
            systemSides_ = part_[sent - 1].sidesAfter;
        }
    } else {
        sidesKnown_ = false;  // the part put the sides back as they are
    }
    const std::size_t taken = sent > 0 ? part_[sent - 1].heldTaken : 0;
    heldHead_ = (heldHead_ + taken) % kCapacity;
    heldCount_ -= taken;
    partCount_ = sent;
    if (partSeen_ >= partCount_) partCount_ = 0;  // under Wine all of it came by within SendInput
    EndIfDone();
    return ReadyToGo();
}

Summons::Own Summons::OwnEvent(const KeyEvent& event) noexcept {
    if (partCount_ > 0 && partSeen_ < partCount_ && SameEvent(part_[partSeen_].event, event)) {
        if (++partSeen_ < partCount_ || partSending_) return Own::Yes;
        partCount_ = 0;
        EndIfDone();
        return Own::PartDone;
    }
    return event.extraInfo == kOwnInputMarker ? Own::Yes : Own::No;
}

void Summons::ReleaseAll() noexcept {
    releasing_ = true;
    partCount_ = 0;
    retrying_ = false;
    if (serial_ != 0 && where_ == Where::Undecided) Decide(Where::Front);
}

void Summons::Reset() noexcept {
    trigger_.Reset();
    menuOpen_ = false;
    serial_ = 0;
    where_ = Where::Undecided;
    record_.store(kNone, std::memory_order_release);
    heldHead_ = heldCount_ = partCount_ = partSeen_ = 0;
    heldDown_.reset();
    injectedDown_.reset();
    partSending_ = sidesKnown_ = retrying_ = refusing_ = gaveUp_ = releasing_ = false;
}

}  // namespace vantoke
