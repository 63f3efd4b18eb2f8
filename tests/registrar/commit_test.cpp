#include "registrar/commit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include "registrar/registration_names.h"
#include "tests/support/memory_file_store.h"

namespace {

using registrar::CommitStatus;
using registrar::Entry;
using registrar::MergeChanges;
using testing::ElementsAre;

// Entries from cr.x lines (without CR LF).
std::vector<Entry> Lines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    return registrar::ParseRegistrationFile(bytes);
}

// The lines read at start: a, b, c.
const std::vector<std::string> kRead = {"C:\\t\\a.exe", "C:\\t\\b.exe", "C:\\t\\c.exe"};

struct MergeRow {
    const char* what;
    std::optional<std::vector<std::string>> read;  // nothing: cr.x was unreadable at start
    std::vector<std::string> here;                 // the window's list at OK
    std::vector<std::string> there;                // cr.x at OK
    std::vector<std::string> merged;
};

TEST(MergeChanges, ThisWindowsChangesGoOntoTheFileAsItStands) {
    const std::string a = "C:\\t\\a.exe", b = "C:\\t\\b.exe", c = "C:\\t\\c.exe", d = "D:\\d.exe", e = "E:\\e.exe";
    const std::string bHere = b + "\t-here", bThere = b + "\t\tThere";
    const MergeRow rows[] = {
        {"nothing changed", kRead, kRead, kRead, kRead},
        {"added here", kRead, {a, b, c, d}, kRead, {a, b, c, d}},
        {"deleted here", kRead, {a, c}, kRead, {a, c}},
        {"edited here, in place", kRead, {a, bHere, c}, kRead, {a, bHere, c}},
        {"reordered there only", kRead, kRead, {c, b, a}, kRead},
        {"changed there", kRead, kRead, {a, c, e}, {a, c, e}},
        {"deleted on both sides", kRead, {a, c}, {b, c}, {c}},
        {"added here, deleted there", kRead, {a, b, c, d}, {a, c}, {a, c, d}},
        {"deleted here, added there", kRead, {a, c}, {a, b, c, e}, {a, c, e}},
        {"deleted here, edited there", kRead, {a, c}, {a, bThere, c}, {a, c, bThere}},
        {"edited here, deleted there", kRead, {a, bHere, c}, {a, c}, {a, bHere, c}},
        {"edited on both sides: both kept, this window's first", kRead, {a, bHere, c}, {a, bThere, c},
         {a, bHere, c, bThere}},
        {"added on both sides (the ordering keeps one)", kRead, {a, b, c, d}, {a, b, c, d}, {a, b, c, d, d}},
        {"one of two copies deleted here", std::vector<std::string>{a, a}, {a}, {a, a}, {a}},
        {"unreadable at start: the file's entries first", std::nullopt, {d, e}, {a, b}, {a, b, d, e}},
        {"unreadable at start, empty file", std::nullopt, {d}, {}, {d}},
    };
    for (const MergeRow& row : rows) {
        SCOPED_TRACE(row.what);
        std::optional<std::vector<Entry>> read;
        if (row.read) read = Lines(*row.read);
        EXPECT_EQ(MergeChanges(read, Lines(row.here), Lines(row.there)), Lines(row.merged));
    }
}

// cr.x holding `lines`, and every file they name there too.
void PutFiles(MemoryFileStore& store, const std::vector<std::string>& lines) {
    for (const Entry& entry : Lines(lines)) store.files[entry.folderText + registrar::FileNameOf(entry.nameField)];
    store.files["cr.x"] = registrar::BuildRegistrationText(Lines(lines));
}

// Another window committed while this one's name check was open (b out, e
// in): its work stays, and the file's odd lines get the usual treatment.
TEST(CommitEntries, ReadsCrXAgainAndWritesTheMergedCheckedAndOrderedList) {
    MemoryFileStore store;
    PutFiles(store, {"C:\\t\\a.exe", "C:\\t\\e.exe", "notepad.exe\t/x", "C:\\t\\my e.exe", "\\\\off\\s\\z.exe",
                     "C:\\t\\gone.exe"});
    store.files.erase("C:\\t\\gone.exe");
    store.unreachable.insert("\\\\off\\s\\z.exe");
    store.files["C:\\t\\d.exe"];

    const auto result = registrar::CommitEntries(store, "cr.x", Lines({"C:\\t\\a.exe", "C:\\t\\b.exe"}),
                                                 Lines({"C:\\t\\a.exe", "C:\\t\\b.exe", "C:\\t\\d.exe"}), nullptr);
    ASSERT_EQ(result.status, CommitStatus::Written);
    EXPECT_EQ(store.files["cr.x"], "C:\\t\\a.exe\r\nC:\\t\\d.exe\r\nC:\\t\\e.exe\r\n\\\\off\\s\\z.exe\r\n");
    EXPECT_THAT(result.withoutFolder, ElementsAre("notepad.exe\t/x"));
    EXPECT_THAT(result.refused, ElementsAre("C:\\t\\my e.exe"));
    EXPECT_THAT(result.ordered.missing, ElementsAre("C:\\t\\gone.exe"));
    EXPECT_THAT(result.ordered.unchecked, ElementsAre("\\\\off\\s\\z.exe"));
}

// At the first lookup after each read of cr.x (on a share a lookup takes
// seconds), `commits` times, a second window commits: c out, a file of its own in.
class SecondWindowStore : public MemoryFileStore {
public:
    int commits = 0;
    std::multiset<std::string> looked;  // by this commit

    ReadResult Read(const std::string& path) override {
        armed_ = armed_ || !inside_;
        return MemoryFileStore::Read(path);
    }
    Presence Lookup(const std::string& path) override {
        if (!inside_) looked.insert(path);
        if (!inside_ && std::exchange(armed_, false) && commits-- > 0) {
            inside_ = true;
            const std::vector<Entry> file = registrar::ParseRegistrationFile(files["cr.x"]);
            std::vector<Entry> listed = Lines({"C:\\t\\e" + std::to_string(++added_) + ".exe"});
            files[listed[0].folderText + listed[0].nameField];
            for (const Entry& entry : file) {
                if (entry.nameField != "c.exe") listed.push_back(entry);
            }
            EXPECT_TRUE(registrar::CommitEntries(*this, "cr.x", file, listed, nullptr).written());
            inside_ = false;
        }
        return MemoryFileStore::Lookup(path);
    }

private:
    bool inside_ = false, armed_ = false;
    int added_ = 0;
};

// This window read a, b and c and deleted a; meanwhile cr.x went, was saved by
// an editor, or a second window committed. No entry the window shows is lost
// unless deleted here or by that commit, and what cannot be merged is told.
TEST(CommitEntries, WhatBecameOfCrXWhileTheWindowWasOpen) {
    struct Row {
        const char* what;
        std::optional<std::string> there;  // cr.x at the commit; nothing: gone
        int secondWindowCommits;
        CommitStatus status;
        std::vector<std::string> after;  // cr.x's lines afterwards
        std::vector<std::string> unreadable;
        bool unmerged;
    };
    const std::string a = "C:\\t\\a.exe", b = "C:\\t\\b.exe", c = "C:\\t\\c.exe", d = "C:\\t\\d.exe",
                      x = "C:\\t\\x.exe";
    const std::string read = a + "\r\n" + b + "\r\n" + c + "\r\n";
    const auto e = [](int k) { return "C:\\t\\e" + std::to_string(k) + ".exe"; };
    const CommitStatus kWritten = CommitStatus::Written;
    const Row rows[] = {
        {"removed", std::nullopt, 0, kWritten, {b, c}, {}, true},
        {"saved with LF ends, d added", a + "\n" + b + "\n" + c + "\n" + d + "\n", 0, kWritten, {b, c}, {a, d},
         true},
        {"d added as a last line without CR LF", read + d, 0, kWritten, {b, c}, {d}, true},
        {"x committed elsewhere, then d without CR LF", read + x + "\r\n" + d, 0, kWritten, {b, c, x}, {d}, true},
        {"a second window commits between the read and the rename", read, 1, kWritten, {b, e(1)}, {}, false},
        {"and again before every rename", read, registrar::kCommitAttempts, CommitStatus::KeptChanging,
         {a, b, e(1), e(2), e(3), e(4), e(5)}, {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SecondWindowStore store;
        for (const std::string& file : {a, b, c, d, x}) store.files[file];
        if (row.there) store.files["cr.x"] = *row.there;
        store.commits = row.secondWindowCommits;

        const auto result = registrar::CommitEntries(store, "cr.x", Lines({a, b, c}), Lines({b, c}), nullptr);
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.attempts, std::min(row.secondWindowCommits + 1, registrar::kCommitAttempts));
        EXPECT_EQ(store.files["cr.x"], registrar::BuildRegistrationText(Lines(row.after)));
        EXPECT_EQ(result.unreadable, row.unreadable);
        EXPECT_EQ(result.unmerged, row.unmerged);
        for (const std::string& path : store.looked) EXPECT_EQ(store.looked.count(path), 1u) << "looked up again";
    }
}

// 999 entries in cr.x and two dropped while it was unreadable: one too many,
// unless one of them is a duplicate, which the ordering drops.
TEST(CommitEntries, WritesNothingWhenCrXCannotBeReadOrMoreThanAThousandWouldRemain) {
    MemoryFileStore store;
    std::vector<std::string> file;
    for (int k = 0; k < 999; ++k) file.push_back("C:\\t\\f" + std::to_string(k) + ".exe");
    PutFiles(store, file);
    for (const char* dropped : {"C:\\t\\x.exe", "C:\\t\\y.exe", "C:\\T\\F7.EXE"}) store.files[dropped];
    const std::string before = store.files["cr.x"];
    const char* const kSecondDrops[] = {"C:\\t\\y.exe", "C:\\T\\F7.EXE", nullptr};  // none: cr.x unreadable
    for (const char* second : kSecondDrops) {
        SCOPED_TRACE(second ? second : "unreadable");
        const std::vector<Entry> merged =
            MergeChanges(std::nullopt, Lines({"C:\\t\\x.exe", second ? second : "C:\\t\\y.exe"}), Lines(file));
        store.files["cr.x"] = before;
        store.failNextReads = second ? ReadError::None : ReadError::InUse;
        const auto result = registrar::CommitEntries(store, "cr.x", Lines(file), merged, nullptr);
        EXPECT_EQ(result.status, !second          ? CommitStatus::Unreadable
                                 : second[3] == 't' ? CommitStatus::OverLimit
                                                    : CommitStatus::Written);
        EXPECT_EQ(result.listed, merged) << "the window keeps every entry, to choose which go";
        EXPECT_EQ(registrar::ParseRegistrationFile(store.files["cr.x"]).size(), 999u + (result.written() ? 1 : 0));
    }
}

}  // namespace
