// The running launcher follows cr.x: after each change it looks at the file
// again and decides whether the new list replaces the one in use. A file it
// cannot use (a fatal line, LF line ends, a last line cut short, an
// unreadable, vanished or still written file) never takes the list away: the
// list in use stays, the user is told once per such state, and the next good
// file is taken.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/file_store.h"
#include "launcher/registration_list.h"

namespace launcher {

// A look that may have caught cr.x in the middle of a write (held by a
// writer, between a delete and a rename, changed while it was read, stopping
// mid-line) is made again after 100, 200, 400 ... ms, until kSettleMs have
// passed since that state was first seen; what it finds then is final. Time,
// not the number of looks, so that a writer in several steps is waited for.
constexpr unsigned kFirstRetryMs = 100;
constexpr unsigned kSettleMs = 6000;
// A file that cannot be read may become readable with no change to tell (a
// writer closes it, a right is granted): it is looked at again after
// kRecheckFirstMs, then twice as long each time up to kRecheckMaxMs.
constexpr unsigned kRecheckFirstMs = 2000;
constexpr unsigned kRecheckMaxMs = 60000;

struct FollowStep {
    std::optional<RegistrationList> list;  // the list to use from now on
    std::string warning;                   // the text of one 警告 box (cp932); empty: nothing to tell
    unsigned lookAgainAfterMs = 0;         // look again after this long even without a change; 0: wait for one
};

class RegistrationFollower {
public:
    // `startUp`: the read of cr.x that the list in use came from at start-up.
    explicit RegistrationFollower(const ReadResult& startUp = ReadResult());

    // One look at cr.x at `nowMs` (any millisecond clock), after a change or
    // when a step asked for it. `changedMeanwhile`: cr.x changed again while
    // it was being read.
    FollowStep Look(const ReadResult& read, bool changedMeanwhile, std::uint64_t nowMs);

private:
    enum class Trouble { None, FatalLine, BadShape, Unreadable, Busy, Missing };
    FollowStep Tell(Trouble trouble, std::uint64_t detail, std::string warning);
    FollowStep Settled(const ReadResult& read);
    unsigned NextRecheck();

    std::optional<std::uint64_t> inUse_;  // fingerprint of the bytes the list in use came from
    bool inUseMissing_ = false;           // ... or there was no file at all
    Trouble told_ = Trouble::None;        // the bad state last told, and what tells it apart
    std::uint64_t toldDetail_ = 0;
    std::optional<std::uint64_t> settlingSince_;  // when the file was first seen half-written
    unsigned recheckMs_ = 0;                      // the last wait before an unreadable file was read again
};

}  // namespace launcher
