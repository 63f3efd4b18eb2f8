// The commit of one registrar window onto cr.x as it stands. Other windows
// (there is no single-instance guard) and other programs may have written
// cr.x since this window read it: the window's own changes go onto the file,
// never its whole list over the file.
//
// An entry is its whole line (folder text + name field); a new option or name
// is the old line taken out and a new one put in. So per line: what the file
// holds now, plus what the window added, minus what it took out. Where both
// sides changed the same entry, both results stay: an entry deleted on one
// side and edited on the other keeps the edit, two edits of one entry are
// both kept, and where the ordering then finds them to be the same
// registration (same key, same file) this window's comes first and stays.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/file_store.h"
#include "registrar/ordering.h"
#include "registrar/registration_file.h"

namespace registrar {

// `listed` (the window's list) with its changes since `baseline` (the entries
// as the window read them) applied onto `current` (the entries of cr.x now):
// the window's entries in list order, then those that only the file holds.
// Without a baseline (cr.x could not be read when the window opened) every
// listed entry was added here, and the file's entries go in front.
std::vector<Entry> MergeChanges(const std::optional<std::vector<Entry>>& baseline, const std::vector<Entry>& listed,
                                const std::vector<Entry>& current);

// cr.x as read at OK or in the commit, as a merge takes it. A file that is
// missing, or cannot be read as a list (an editor's LF ends, a cut last line),
// says nothing about what changed elsewhere: the window's baseline stands in
// for it, so that no entry the window shows is taken for deleted elsewhere.
// Without a baseline the file's readable entries are all there is.
struct FileForMerge {
    std::vector<Entry> entries;
    std::vector<std::string> unreadable;  // text of the file that is no entry (ReadRegistrationList)
    // The file was missing or no list, and the baseline it stood in for held
    // something: the window's list goes out unmerged, and the user is told.
    bool unmerged = false;
};

FileForMerge TakeForMerge(const ReadResult& read, const std::optional<std::vector<Entry>>& baseline);

enum class CommitStatus {
    Written,
    Unreadable,    // cr.x could not be read: nothing written
    OverLimit,     // more than 1000 entries would be written: nothing written
    KeptChanging,  // cr.x changed between every read and its replacement: nothing written
    WriteFailed,
};

// How often a commit reads and merges again when cr.x changed under it.
constexpr int kCommitAttempts = 5;

struct CommitResult {
    CommitStatus status = CommitStatus::WriteFailed;
    ReadResult read;                          // why cr.x could not be read
    WriteResult write{WriteError::Other, 0};  // why it could not be written
    // What the window shows and compares with when nothing was written: its
    // list merged with cr.x as read here, and that file's entries.
    std::vector<Entry> listed;
    std::vector<Entry> baseline;
    OrderResult ordered;                     // what was written, missing and unchecked entries
    std::vector<std::string> refused;        // merged-in entries with invalid names, last first
    std::vector<std::string> withoutFolder;  // lines whose path holds no backslash
    std::vector<std::string> unreadable;     // text of cr.x that is no entry, left out
    bool unmerged = false;                   // cr.x was missing or no list: the list went out unmerged
    int attempts = 0;                        // reads and merges it took
    bool written() const { return status == CommitStatus::Written; }
};

// The commit's job after the name check: reads cr.x again and merges the
// window's changes onto it (another window may have committed while the name
// check was open), leaves out lines without a folder (the launcher refuses to
// start on them) and entries with invalid names, checks, orders, and writes
// cr.x read-only unless more than 1000 entries remain. The checks can take
// seconds on a share, so cr.x is replaced only while it is as read; when
// another commit or an editor came between, the work starts again on the file
// as it now stands (lookups already made are not made again), at most
// kCommitAttempts times.
CommitResult CommitEntries(FileStore& store, const std::string& path, const std::vector<Entry>& baseline,
                           const std::vector<Entry>& listed, const std::function<void(int percent)>& progress);

}  // namespace registrar
