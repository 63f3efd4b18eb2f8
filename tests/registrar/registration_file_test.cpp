#include "registrar/registration_file.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/memory_file_store.h"

namespace {

using registrar::BuildRegistrationText;
using registrar::Entry;
using registrar::ParseRegistrationFile;

const std::string kWorkedExample =
    "\x43\x3A\x5C\x54\x6F\x6F\x6C\x73\x5C\x63\x61\x6C\x63\x2E\x65\x78\x65\x09\x2F\x73\x0D\x0A"
    "\x44\x3A\x5C\x44\x6F\x63\x73\x5C\x93\xFA\x8B\x4C\x2E\x74\x78\x74\x09\x09\x64\x69\x61\x72\x79\x0D\x0A";

TEST(RegistrationFile, WorkedExampleReadsAndWritesByteForByte) {
    const auto entries = ParseRegistrationFile(kWorkedExample);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], (Entry{"calc.exe\t/s", "C:\\Tools\\"}));
    EXPECT_EQ(entries[1], (Entry{"日記.txt\t\tdiary", "D:\\Docs\\"}));
    EXPECT_EQ(BuildRegistrationText(entries), kWorkedExample);
    EXPECT_EQ(BuildRegistrationText(entries).size(), 47u);
}

// Paths added as a drop adds them (the shell's drop, the command line, the
// file dialog): in order, split at the last backslash, unchecked, up to 1000.
TEST(RegistrationFile, AddedPathsFillTheListUpToItsLimit) {
    std::vector<Entry> entries(995, Entry{"x.exe", "C:\\"});
    const std::vector<std::string> paths = {"C:\\ソ\\表.exe", "", "C:\\a\\folder", "C:\\a\\x.exe",
                                            "C:\\a\\x.exe", "C:\\b.exe", "C:\\c.exe"};
    EXPECT_EQ(registrar::AddDroppedPaths(entries, paths), 5u);
    ASSERT_EQ(entries.size(), 1000u);
    EXPECT_EQ(entries[995], (Entry{"表.exe", "C:\\ソ\\"}));
    EXPECT_EQ(entries[996], (Entry{"folder", "C:\\a\\"}));
    EXPECT_EQ(entries[998], entries[997]);  // twice is twice, as two drops
    EXPECT_EQ(entries[999], (Entry{"b.exe", "C:\\"}));
    EXPECT_EQ(registrar::AddDroppedPaths(entries, {"C:\\d.exe"}), 0u);
}

TEST(RegistrationFile, FourLineFormsRoundTrip) {
    const std::string file =
        "C:\\a\\plain.exe\r\n"
        "C:\\a\\opt.exe\t/s x\r\n"
        "C:\\a\\named.exe\t\tNm\r\n"
        "C:\\a\\both.exe\t-x\tBo1\r\n"
        "C:\\ソ\\表.exe\t\\a\\b\r\n";  // backslashes in the option stay in the tail
    const auto entries = ParseRegistrationFile(file);
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[1], (Entry{"opt.exe\t/s x", "C:\\a\\"}));
    EXPECT_EQ(entries[3], (Entry{"both.exe\t-x\tBo1", "C:\\a\\"}));
    EXPECT_EQ(entries[4], (Entry{"表.exe\t\\a\\b", "C:\\ソ\\"}));
    EXPECT_EQ(BuildRegistrationText(entries), file);
}

TEST(RegistrationFile, IgnoresTrailingTextNulAndLinesPastTheThousandth) {
    EXPECT_EQ(ParseRegistrationFile("C:\\a\\one.exe\r\nC:\\a\\two.exe").size(), 1u);
    EXPECT_EQ(ParseRegistrationFile(std::string("C:\\a\\one.exe\r\nC:\\\0a\\two.exe\r\n", 28)).size(), 1u);
    EXPECT_TRUE(ParseRegistrationFile("").empty());
    std::string file;
    for (int i = 0; i < 1001; ++i) file += "C:\\d\\f" + std::to_string(i) + ".exe\r\n";
    const auto entries = ParseRegistrationFile(file);
    ASSERT_EQ(entries.size(), 1000u);
    EXPECT_EQ(entries.back().nameField, "f999.exe");
}

TEST(RegistrationFile, MalformedLinesAreKeptVisible) {
    const auto entries = ParseRegistrationFile(
        "\r\n"                          // empty: skipped
        "notepad.exe\t/x\r\n"           // no backslash: whole line as the name field
        "C:\\a\\b.exe\t1\t2\t3\r\n"     // three TABs: kept as it stands
        "表\r\n");                      // the 0x5C is a trail byte, no folder
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0], (Entry{"notepad.exe\t/x", ""}));
    EXPECT_EQ(entries[1], (Entry{"b.exe\t1\t2\t3", "C:\\a\\"}));
    EXPECT_EQ(entries[2], (Entry{"表", ""}));
}

// Hand edits: every byte of text is in an entry or in a reported piece.
TEST(RegistrationFile, ReadingForAMergeKeepsTheTextThatIsNoEntry) {
    using namespace std::string_literals;
    const Entry a{"a.exe", "C:\\t\\"}, c{"c.exe\t-o", "C:\\t\\"};
    std::string thousandAndOne;
    for (int i = 0; i < 1001; ++i) thousandAndOne += "C:\\d\\f" + std::to_string(i) + ".exe\r\n";
    const std::tuple<std::string, std::vector<Entry>, std::vector<std::string>> rows[] = {
        {"C:\\t\\a.exe\nC:\\t\\b.exe\n", {}, {"C:\\t\\a.exe", "C:\\t\\b.exe"}},  // LF ends
        {"C:\\t\\a.exe\r\nx\ny\r\nz\r\r\n\r\r\nC:\\t\\c.exe\t-o\r\nw", {a, c}, {"x", "y", "z", "w"}},
        {"C:\\t\\a.exe\r\nC:\\t\\b\0.exe\r\nC:\\t\\c.exe\t-o\r\n\0\0"s, {a}, {"C:\\t\\b", ".exe", "C:\\t\\c.exe\t-o"}},
        {thousandAndOne, ParseRegistrationFile(thousandAndOne), {"C:\\d\\f1000.exe"}},
    };
    for (const auto& [bytes, entries, unreadable] : rows) {
        const registrar::RegistrationList list = registrar::ReadRegistrationList(bytes);
        EXPECT_EQ(list.entries, entries) << bytes.substr(0, 40);
        EXPECT_EQ(list.unreadable, unreadable) << bytes.substr(0, 40);
        EXPECT_EQ(list.IsList(), unreadable.empty());
    }
}

TEST(RegistrationFile, WriterReplacesTheFileReadOnly) {
    MemoryFileStore store;
    store.files["cr.x"] = "old\r\n";
    auto result = registrar::WriteRegistrationFile(store, "cr.x", {});
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(store.files["cr.x"], "");
    EXPECT_EQ(store.readOnly.count("cr.x"), 1u);

    result = registrar::WriteRegistrationFile(store, "cr.x", ParseRegistrationFile(kWorkedExample));
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(store.files["cr.x"], kWorkedExample);
}

TEST(RegistrationFile, FailedWriteIsReportedAndLeavesTheOldFile) {
    MemoryFileStore store;
    store.files["cr.x"] = kWorkedExample;
    store.failNextWrites = WriteError::InUse;
    const auto result = registrar::WriteRegistrationFile(store, "cr.x", {Entry{"x.exe", "C:\\"}});
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, WriteError::InUse);
    EXPECT_EQ(store.files["cr.x"], kWorkedExample);
}

TEST(RegistrationFile, EntryFromPathSplitsAtTheRealLastBackslash) {
    EXPECT_EQ(registrar::EntryFromPath("C:\\Tools\\表.exe"), (Entry{"表.exe", "C:\\Tools\\"}));
    EXPECT_EQ(registrar::EntryFromPath("C:\\"), (Entry{"", "C:\\"}));
    EXPECT_EQ(registrar::EntryFromPath("x"), (Entry{"x", ""}));
}

}  // namespace
