// The launcher's side of the hook's notices, answered as LauncherWindow
// answers them: the trigger decides, its action goes back to the hook, and
// each press is stamped from the key event's own time.
#pragma once

#include <optional>
#include <vector>

#include "common/tap_rule.h"
#include "vantoke/notice_queue.h"

class LauncherModel : public taps::HookControl {
public:
    // Event times count milliseconds from `firstStamp` on the stamp clock.
    LauncherModel(int countIndex, int speed, int firstStamp = 100000)
        : countIndex_(countIndex), speed_(speed), firstStamp_(firstStamp) {}

    void SetAction(unsigned value) override { action = value; }

    // Handles one notice; true when it summons the letter menu.
    bool Handle(const vantoke::Notice& notice) {
        handled.push_back(notice.kind);
        switch (notice.kind) {
            case vantoke::KeyNotice::WatchedKey: {
                const int stamp = static_cast<int>((firstStamp_ + static_cast<long long>(notice.time)) %
                                                   taps::kStampModulus);
                const bool summons = trigger.OnKeyNotification(stamp, countIndex_, speed_);
                summonCount += summons;
                return summons;
            }
            case vantoke::KeyNotice::OtherKey: trigger.OnOtherKey(); return false;
            case vantoke::KeyNotice::Forget: trigger.Reset(); return false;
            case vantoke::KeyNotice::None: return false;
        }
        return false;
    }

    // Takes and handles every notice waiting, one after the other.
    void Drain(vantoke::NoticeQueue& queue) {
        while (const std::optional<vantoke::Notice> notice = queue.TakeNext(action)) {
            Handle(*notice);
            queue.Handled();
        }
    }

    unsigned action = 0;
    taps::KeyPressTrigger trigger{*this};
    std::vector<vantoke::KeyNotice> handled;
    int summonCount = 0;

private:
    int countIndex_;
    int speed_;
    int firstStamp_;
};
