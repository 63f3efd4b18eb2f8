// The running launcher follows cr.x: after each change it looks at the file
// again and decides whether the new list replaces the one in use. A file it
// cannot use (a fatal line, an unreadable, vanished or still written file)
// never takes the list away: the list in use stays, the user is told once per
// such state, and the next good file is taken.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/file_store.h"
#include "launcher/registration_list.h"

namespace launcher {

// A look that may have caught cr.x in the middle of a write is made again
// after 100, 200, ... 3200 ms; after that what it finds is taken as final.
constexpr int kUnfinishedLookRetries = 6;
constexpr unsigned kFirstRetryMs = 100;

struct FollowStep {
    std::optional<RegistrationList> list;  // the list to use from now on
    std::string warning;                   // the text of one 警告 box (cp932); empty: nothing to tell
    unsigned retryAfterMs = 0;             // look again after this long even without a change; 0: wait for one
    // The file could not be read: it may become readable without a change to
    // tell (a writer closes it), so look again before the user's next input.
    bool lookAtNextInput = false;
};

class RegistrationFollower {
public:
    // `startUp`: the read of cr.x that the list in use came from at start-up.
    explicit RegistrationFollower(const ReadResult& startUp = ReadResult());

    // One look at cr.x, after a change or a retry. `changedMeanwhile`: cr.x
    // changed again while it was being read.
    FollowStep Look(const ReadResult& read, bool changedMeanwhile);

private:
    enum class Trouble { None, FatalLine, Unreadable, Busy, Missing };
    FollowStep Tell(Trouble trouble, std::uint64_t detail, std::string warning);

    std::optional<std::uint64_t> inUse_;  // fingerprint of the bytes the list in use came from
    Trouble told_ = Trouble::None;        // the bad state last told, and what tells it apart
    std::uint64_t toldDetail_ = 0;
    int retries_ = 0;  // looks in a row that were not final
};

}  // namespace launcher
