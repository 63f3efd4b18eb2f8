#include "registrar/commit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

// A second window commits while this one's lookups run (on a share they take
// seconds): at the first lookup after each read of cr.x, `commits` times, it
// deletes c and adds a file of its own.
class SecondWindowStore : public MemoryFileStore {
public:
    int commits = 0;
    int lookups = 0;  // this commit's
    std::set<std::string> looked;

    ReadResult Read(const std::string& path) override {
        armed_ = armed_ || !inside_;
        return MemoryFileStore::Read(path);
    }

    Presence Lookup(const std::string& path) override {
        if (inside_) return MemoryFileStore::Lookup(path);
        ++lookups;
        looked.insert(path);
        if (std::exchange(armed_, false) && commits > 0) {
            --commits;
            inside_ = true;
            const std::vector<Entry> file = registrar::ParseRegistrationFile(files["cr.x"]);
            std::vector<Entry> listed;
            for (const Entry& entry : file) {
                if (entry.nameField != "c.exe") listed.push_back(entry);
            }
            const std::string added = "C:\\t\\e" + std::to_string(++added_) + ".exe";
            files[added];
            listed.push_back(registrar::EntryFromPath(added));
            EXPECT_TRUE(registrar::CommitEntries(*this, "cr.x", file, listed, nullptr).written());
            inside_ = false;
        }
        return MemoryFileStore::Lookup(path);
    }

private:
    bool inside_ = false;
    bool armed_ = false;
    int added_ = 0;
};

// This window read a, b and c and deleted a; meanwhile cr.x went, was saved by
// an editor, or was committed to by a second window. No entry the window shows
// is lost unless deleted here or by another window's commit, and what cannot
// be merged is told.
TEST(CommitEntries, WhatBecameOfCrXWhileTheWindowWasOpen) {
    using namespace std::string_literals;
    struct Row {
        const char* what;
        std::optional<std::string> there;  // cr.x at the commit; nothing: gone
        int secondWindowCommits;
        WriteError failWrite;
        CommitStatus status;
        std::optional<std::vector<std::string>> after;  // cr.x's lines afterwards; nothing: no cr.x
        std::vector<std::string> unreadable;
        bool unmerged;
        int attempts;
    };
    const std::string a = "C:\\t\\a.exe", b = "C:\\t\\b.exe", c = "C:\\t\\c.exe", d = "C:\\t\\d.exe";
    const auto e = [](int k) { return "C:\\t\\e" + std::to_string(k) + ".exe"; };
    const WriteError none = WriteError::None;
    const Row rows[] = {
        {"unchanged", a + "\r\n" + b + "\r\n" + c + "\r\n", 0, none, CommitStatus::Written, {{b, c}}, {}, false, 1},
        {"removed", std::nullopt, 0, none, CommitStatus::Written, {{b, c}}, {}, true, 1},
        {"removed, and the write fails: no empty cr.x is left", std::nullopt, 0, WriteError::DiskFull,
         CommitStatus::WriteFailed, std::nullopt, {}, true, 1},
        {"saved with LF ends, d added", a + "\n" + b + "\n" + c + "\n" + d + "\n", 0, none, CommitStatus::Written,
         {{b, c}}, {a, b, c, d}, true, 1},
        {"d added as a last line without CR LF", a + "\r\n" + b + "\r\n" + c + "\r\n" + d, 0, none,
         CommitStatus::Written, {{b, c}}, {d}, true, 1},
        {"text after a NUL", a + "\r\n" + b + "\r\n" + c + "\r\n\0"s + d + "\r\n", 0, none, CommitStatus::Written,
         {{b, c}}, {d}, true, 1},
        {"a second window commits between the read and the rename", a + "\r\n" + b + "\r\n" + c + "\r\n", 1, none,
         CommitStatus::Written, {{b, e(1)}}, {}, false, 2},
        {"it commits again before every rename", a + "\r\n" + b + "\r\n" + c + "\r\n", registrar::kCommitAttempts,
         none, CommitStatus::KeptChanging, {{a, b, e(1), e(2), e(3), e(4), e(5)}}, {}, false, 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SecondWindowStore store;
        for (const std::string& file : {a, b, c, d}) store.files[file];
        if (row.there) store.files["cr.x"] = *row.there;
        store.commits = row.secondWindowCommits;
        store.failNextWrites = row.failWrite;

        const auto result = registrar::CommitEntries(store, "cr.x", Lines({a, b, c}), Lines({b, c}), nullptr);
        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(result.attempts, row.attempts);
        ASSERT_EQ(store.files.count("cr.x") > 0, row.after.has_value());
        if (row.after) {
            EXPECT_EQ(store.files["cr.x"], registrar::BuildRegistrationText(Lines(*row.after)));
        }
        EXPECT_EQ(result.unreadable, row.unreadable);
        EXPECT_EQ(result.unmerged, row.unmerged);
        EXPECT_EQ(store.lookups, static_cast<int>(store.looked.size())) << "no file is looked up twice";
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
