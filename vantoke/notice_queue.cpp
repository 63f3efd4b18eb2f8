#include "vantoke/notice_queue.h"

namespace vantoke {

void NoticeQueue::Push(const TimedTransition& transition) noexcept {
    if (transition.kind == Transition::None) return;
    if (count_ + 1 >= kCapacity) {  // keeps room for the forget notice
        head_ = (head_ + count_) % kCapacity;
        count_ = 0;
        At(count_++) = TimedTransition{Transition::Forget, 0, transition.time};
    }
    At(count_++) = transition;
}

std::optional<Notice> NoticeQueue::TakeNext(unsigned action) noexcept {
    if (inFlight_) return std::nullopt;
    while (count_ > 0) {
        const TimedTransition transition = At(0);
        head_ = (head_ + 1) % kCapacity;
        --count_;
        const KeyNotice kind = SelectNotice(transition.kind, action);
        if (kind == KeyNotice::None) continue;
        inFlight_ = true;
        return Notice{kind, transition.virtualKey, transition.time, transition.replayed};
    }
    return std::nullopt;
}

}  // namespace vantoke
