// The key transitions the hook has seen but not yet handed over. The hook
// records every transition in the order it happens, with its own time; the
// launcher's action decides which of them it is told about, and that action
// is only known once the launcher has handled the notice before. So one
// notice is in flight at a time, and the next is chosen when it has been
// handled: taps made while the launcher is busy count as they were made.
// Plain values, no allocation, so that the hook procedure can push at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "vantoke/key_filter.h"

namespace vantoke {

struct TimedTransition {
    Transition kind = Transition::None;
    unsigned virtualKey = 0;  // the key of another key's press or a chord
    std::uint32_t time = 0;   // the event's own millisecond tick
    bool replayed = false;    // missed by a hook the system had removed, replayed after
};

struct Notice {
    KeyNotice kind = KeyNotice::None;
    unsigned virtualKey = 0;
    std::uint32_t time = 0;
    bool replayed = false;
};

class NoticeQueue {
public:
    // Transitions waiting, at most; a launcher that stays away longer loses
    // the oldest and is told to forget its sequence.
    static constexpr std::size_t kCapacity = 256;

    // Records a transition.
    void Push(const TimedTransition& transition) noexcept;

    // The next notice to hand over under `action`, dropping the transitions
    // that the action does not select; none while a notice is in flight or
    // when nothing is left. A notice returned is in flight until Handled.
    std::optional<Notice> TakeNext(unsigned action) noexcept;

    // The notice in flight has been handled: the next one may be chosen.
    void Handled() noexcept { inFlight_ = false; }

    bool InFlight() const noexcept { return inFlight_; }
    std::size_t Waiting() const noexcept { return count_; }

private:
    TimedTransition& At(std::size_t index) noexcept { return ring_[(head_ + index) % kCapacity]; }

    std::array<TimedTransition, kCapacity> ring_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool inFlight_ = false;
};

}  // namespace vantoke
