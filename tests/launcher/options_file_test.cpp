#include "launcher/options_file.h"

#include <climits>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/full_screen_setting.h"
#include "tests/support/memory_file_store.h"

namespace {

using launcher::BuildOptionsText;
using launcher::Options;
using launcher::ParseOptions;

const std::string kDefaultFile =
    "\x5B\x20\x4B\x5F\x49\x6E\x64\x65\x78\x20\x5D\x20\x3D\x0D\x0A\x31"
    "\x0D\x0A\x0D\x0A\x5B\x20\x54\x5F\x49\x6E\x64\x65\x78\x20\x5D\x20"
    "\x3D\x0D\x0A\x31\x0D\x0A\x0D\x0A\x5B\x20\x53\x5F\x49\x6E\x64\x65"
    "\x78\x20\x5D\x20\x3D\x0D\x0A\x35\x30\x0D\x0A";

// A file in the written layout with the value lines as given.
std::string FileWithValueLines(const std::string& key, const std::string& count, const std::string& speed) {
    return "[ K_Index ] =\r\n" + key + "\r\n\r\n[ T_Index ] =\r\n" + count + "\r\n\r\n[ S_Index ] =\r\n" + speed +
           "\r\n";
}

void ExpectValues(const Options& options, int keyIndex, int countIndex, int speed) {
    EXPECT_EQ(options.keyIndex, keyIndex);
    EXPECT_EQ(options.countIndex, countIndex);
    EXPECT_EQ(options.speed, speed);
}

TEST(OptionsText, DefaultsAreThe59ByteFile) {
    ASSERT_EQ(kDefaultFile.size(), 59u);
    EXPECT_EQ(BuildOptionsText(Options{}), kDefaultFile);
    ExpectValues(ParseOptions(kDefaultFile), 1, 1, 50);
}

TEST(OptionsText, WritesAnyValueInPlainDecimal) {
    EXPECT_EQ(BuildOptionsText({0, 2, 100}), FileWithValueLines("0", "2", "100"));
    EXPECT_EQ(BuildOptionsText({-3, 7, -15}), FileWithValueLines("-3", "7", "-15"));
    EXPECT_EQ(BuildOptionsText({INT_MIN, INT_MAX, 0}), FileWithValueLines("-2147483648", "2147483647", "0"));
}

TEST(OptionsText, WrittenValuesReadBack) {
    for (const Options& options : {Options{}, Options{0, 0, 0}, Options{2, 2, 100}, Options{-7, 12345, -15},
                                   Options{INT_MIN, INT_MAX, INT_MIN}}) {
        const Options read = ParseOptions(BuildOptionsText(options));
        ExpectValues(read, options.keyIndex, options.countIndex, options.speed);
    }
}

TEST(ParseOptions, HeadersAreNotChecked) {
    ExpectValues(ParseOptions("x\r\n2\r\n\r\n\r\n0\r\n\r\nhello world\r\n77\r\n"), 2, 0, 77);
    ExpectValues(ParseOptions("[ S_Index ] =\r\n0\r\n\r\n[ K_Index ] =\r\n2\r\n\r\n[ T_Index ] =\r\n9\r\n"), 0, 2, 9);
}

TEST(ParseOptions, ValueLinesReadAsAtoiReadsThem) {
    ExpectValues(ParseOptions(FileWithValueLines("  2", "\t 0abc", "   75 ms")), 2, 0, 75);
    ExpectValues(ParseOptions(FileWithValueLines("-1", "-0", "-40")), -1, 0, -40);
    ExpectValues(ParseOptions(FileWithValueLines("+2", "007", "1 2")), 2, 7, 1);
    // No digits after white space and sign: 0 (for the key that selects Alt).
    ExpectValues(ParseOptions(FileWithValueLines("Ctrl", "", "- 5")), 0, 0, 0);
    ExpectValues(ParseOptions(FileWithValueLines("+", "--1", "x50")), 0, 0, 0);
}

TEST(ParseOptions, AValueNeverReachesIntoTheNextLine) {
    // An empty value line is 0, though white-space skipping could run on to "7".
    ExpectValues(ParseOptions("h\r\n\r\n\r\nh\r\n7\r\n\r\nh\r\n8\r\n"), 0, 7, 8);
    ExpectValues(ParseOptions("h\r\n \r\n7\r\n"), 0, 0, 0);
}

TEST(ParseOptions, PositionsComeFromTheLineEndsOnly) {
    // No empty line after the key: the four skipped bytes eat "\r\n[ " and the
    // header still ends at its own CR LF.
    ExpectValues(ParseOptions("[ K_Index ] =\r\n2\r\n[ T_Index ] =\r\n0\r\n[ S_Index ] =\r\n30\r\n"), 2, 0, 30);
    // Longer blank runs shift the reading: the empty line becomes the header.
    ExpectValues(ParseOptions("h\r\n1\r\n\r\n\r\n\r\nh\r\n2\r\n\r\nh\r\n3\r\n"), 1, 0, 0);
    // Whatever follows the speed is ignored.
    ExpectValues(ParseOptions(kDefaultFile + "[ X ] =\r\n9\r\n"), 1, 1, 50);
}

TEST(ParseOptions, NumbersBeyondIntAreClamped) {
    ExpectValues(ParseOptions(FileWithValueLines("2147483647", "2147483648", "99999999999999999999999")), INT_MAX,
                 INT_MAX, INT_MAX);
    ExpectValues(ParseOptions(FileWithValueLines("-2147483648", "-2147483649", "-99999999999999999999999")), INT_MIN,
                 INT_MIN, INT_MIN);
}

TEST(ParseOptions, TruncatedFilesReadMissingValuesAsZero) {
    ExpectValues(ParseOptions(""), 0, 0, 0);
    ExpectValues(ParseOptions("[ K_Index ] ="), 0, 0, 0);
    ExpectValues(ParseOptions("[ K_Index ] =\r\n2"), 2, 0, 0);
    ExpectValues(ParseOptions("[ K_Index ] =\r\n2\r\n\r\n[ T_Index ] =\r\n5\r"), 2, 5, 0);
    // The last value without its line end (an edited file) still reads.
    ExpectValues(ParseOptions(kDefaultFile.substr(0, 57)), 1, 1, 50);
    ExpectValues(ParseOptions(kDefaultFile.substr(0, 56)), 1, 1, 5);
    ExpectValues(ParseOptions(kDefaultFile.substr(0, 55)), 1, 1, 0);
    // Every prefix of the file reads without failing.
    for (std::size_t length = 0; length <= kDefaultFile.size(); ++length) ParseOptions(kDefaultFile.substr(0, length));
}

TEST(ParseOptions, LfOnlyLineEndsReadAsZero) {
    ExpectValues(ParseOptions("[ K_Index ] =\n2\n\n[ T_Index ] =\n0\n\n[ S_Index ] =\n90\n"), 0, 0, 0);
    // Mixed: the key's header ends in CR LF, the rest in LF alone.
    ExpectValues(ParseOptions("[ K_Index ] =\r\n2\n\n[ T_Index ] =\n0\n\n[ S_Index ] =\n90\n"), 2, 0, 0);
}

TEST(ParseOptions, TextEndsAtTheFirstNul) {
    std::string withNul = kDefaultFile;
    withNul[56] = '\0';  // "50" becomes "5" and the end
    ExpectValues(ParseOptions(withNul), 1, 1, 5);
    ExpectValues(ParseOptions(std::string("\0[ K_Index ] =\r\n1\r\n", 20)), 0, 0, 0);
    ExpectValues(ParseOptions(std::string(59, '\0')), 0, 0, 0);
}

TEST(HookKeyCode, OnlyTheThreeListedKeys) {
    EXPECT_EQ(launcher::HookKeyCode(0), 18u);
    EXPECT_EQ(launcher::HookKeyCode(1), 17u);
    EXPECT_EQ(launcher::HookKeyCode(2), 16u);
    for (int other : {-1, 3, 18, INT_MIN, INT_MAX}) EXPECT_FALSE(launcher::HookKeyCode(other).has_value()) << other;
}

TEST(ApplyOptionsChoice, OKReplacesTheValuesRewritesOptXAndNamesTheKey) {
    struct Row {
        const char* what;
        std::optional<Options> chosen;  // none: the dialog was not confirmed
        WriteError writeFails;
        Options kept;
        std::optional<unsigned> key;
        std::string file;  // opt.x afterwards; it held "odd" before
    };
    const Options before{1, 1, 33};
    for (const Row& row : std::vector<Row>{
             {"OK without change", before, WriteError::None, before, 17u, FileWithValueLines("1", "1", "33")},
             {"Shift, 4, 75", Options{2, 2, 75}, WriteError::None, {2, 2, 75}, 16u, FileWithValueLines("2", "2", "75")},
             {"Alt", Options{0, 1, 33}, WriteError::None, {0, 1, 33}, 18u, FileWithValueLines("0", "1", "33")},
             {"no key selected", Options{-1, 1, 33}, WriteError::None, {-1, 1, 33}, std::nullopt,
              FileWithValueLines("-1", "1", "33")},
             {"failed write", Options{1, 0, 33}, WriteError::AccessDenied, {1, 0, 33}, 17u, "odd"},
             {"cancel", std::nullopt, WriteError::None, before, std::nullopt, "odd"},
         }) {
        SCOPED_TRACE(row.what);
        MemoryFileStore store;
        store.files["opt.x"] = "odd";
        store.failNextWrites = row.writeFails;
        Options options = before;
        EXPECT_EQ(launcher::ApplyOptionsChoice(options, row.chosen, store, "opt.x"), row.key);
        ExpectValues(options, row.kept.keyIndex, row.kept.countIndex, row.kept.speed);
        EXPECT_EQ(store.files["opt.x"], row.file);
        EXPECT_EQ(store.writeCount, row.chosen ? 1 : 0);
        EXPECT_EQ(store.readOnly.count("opt.x"), row.file != "odd" ? 1u : 0u);
    }
}

TEST(ReadOptions, MissingFileGetsTheDefaultsWrittenReadOnly) {
    MemoryFileStore store;
    ExpectValues(launcher::ReadOptions(store, "C:\\t\\opt.x"), 1, 1, 50);
    EXPECT_EQ(store.files["C:\\t\\opt.x"], kDefaultFile);
    EXPECT_EQ(store.readOnly.count("C:\\t\\opt.x"), 1u);
    EXPECT_EQ(store.writeCount, 1);
}

TEST(ReadOptions, EmptyFileGetsTheDefaultsWritten) {
    MemoryFileStore store;
    store.files["opt.x"] = "";
    ExpectValues(launcher::ReadOptions(store, "opt.x"), 1, 1, 50);
    EXPECT_EQ(store.files["opt.x"], kDefaultFile);
    EXPECT_EQ(store.readOnly.count("opt.x"), 1u);
}

TEST(ReadOptions, FileWithContentIsReadAndNeverRewritten) {
    MemoryFileStore store;
    const std::string odd = FileWithValueLines("3", "-2", "abc");
    store.files["opt.x"] = odd;
    ExpectValues(launcher::ReadOptions(store, "opt.x"), 3, -2, 0);
    EXPECT_EQ(store.files["opt.x"], odd);
    EXPECT_EQ(store.writeCount, 0);

    // A file of NULs is not empty: it reads by position, as zeros, and stays.
    store.files["opt.x"] = std::string(4, '\0');
    ExpectValues(launcher::ReadOptions(store, "opt.x"), 0, 0, 0);
    EXPECT_EQ(store.writeCount, 0);
}

TEST(ReadOptions, WriteFailureLeavesTheDefaultsInMemory) {
    MemoryFileStore store;
    store.failNextWrites = WriteError::AccessDenied;
    ExpectValues(launcher::ReadOptions(store, "opt.x"), 1, 1, 50);
    EXPECT_EQ(store.writeCount, 1);
    EXPECT_EQ(store.files["opt.x"], "");
}

// A store whose file cannot be read (held by another program).
struct UnreadableStore : MemoryFileStore {
    ReadResult ReadOrCreate(const std::string&) override { return {ReadError::InUse, 32, false, {}}; }
    ReadResult Read(const std::string&) override { return {ReadError::InUse, 32, false, {}}; }
};

TEST(ReadOptions, UnreadableFileGivesDefaultsAndIsNotOverwritten) {
    UnreadableStore store;
    store.files["opt.x"] = FileWithValueLines("0", "2", "90");
    ExpectValues(launcher::ReadOptions(store, "opt.x"), 1, 1, 50);
    EXPECT_EQ(store.writeCount, 0);
    EXPECT_EQ(store.files["opt.x"], FileWithValueLines("0", "2", "90"));
}

TEST(WriteOptions, ReplacesReadOnlyAndReportsFailures) {
    MemoryFileStore store;
    store.files["opt.x"] = kDefaultFile;
    store.readOnly.insert("opt.x");
    EXPECT_TRUE(launcher::WriteOptions(store, "opt.x", {2, 0, 100}).ok());
    EXPECT_EQ(store.files["opt.x"], FileWithValueLines("2", "0", "100"));
    EXPECT_EQ(store.readOnly.count("opt.x"), 1u);

    store.failNextWrites = WriteError::InUse;
    const WriteResult failed = launcher::WriteOptions(store, "opt.x", {0, 0, 0});
    EXPECT_EQ(failed.error, WriteError::InUse);
    EXPECT_EQ(store.files["opt.x"], FileWithValueLines("2", "0", "100"));  // the old file stays whole
}

// fullscreen.x, beside opt.x: only a value line of 0 turns the quiet off; any
// other bytes, an unreadable or a missing file (never created by reading) give
// the default, and only the unreadable one a warning.
TEST(FullScreenSetting, OnlyAZeroValueLineTurnsItOff) {
    using launcher::BuildFullScreenSettingText;
    EXPECT_EQ(BuildFullScreenSettingText(true), "[ FullScreen_NoSummon ] =\r\n1\r\n");
    const std::pair<std::string, bool> files[] = {
        {BuildFullScreenSettingText(false), false}, {BuildFullScreenSettingText(true), true}, {"h\n0\n", false},
        {"h\r\n 0 \r\nrest", false}, {"h\r\n0", false}, {"", true}, {"0", true}, {"h\r\n00\r\n", true},
        {"h\r\n0 1\r\n", true}, {"h\r\n-0\r\n", true}, {std::string("h\r\n\0" "0\r\n", 7), true},
        {"\x82\xa0\r\n\xff\r\n", true}};
    for (const auto& [bytes, quiet] : files) {
        MemoryFileStore store;
        store.files["fullscreen.x"] = bytes;
        const auto read = launcher::ReadFullScreenSetting(store, "fullscreen.x");
        EXPECT_EQ(read.quietOverFullScreen, quiet) << bytes;
        EXPECT_EQ(read.warning, "") << bytes;
    }
    UnreadableStore unreadable;
    unreadable.files["fullscreen.x"] = BuildFullScreenSettingText(false);
    const auto refused = launcher::ReadFullScreenSetting(unreadable, "fullscreen.x");
    EXPECT_TRUE(refused.quietOverFullScreen);
    EXPECT_NE(refused.warning.find("fullscreen.x を"), std::string::npos) << refused.warning;
    EXPECT_NE(refused.warning.find("既定のとおりオン"), std::string::npos) << refused.warning;
    MemoryFileStore fresh;
    EXPECT_TRUE(launcher::ReadFullScreenSetting(fresh, "fullscreen.x").quietOverFullScreen);
    EXPECT_EQ(fresh.files.count("fullscreen.x"), 0u);
    EXPECT_EQ(fresh.writeCount, 0);
}

TEST(FullScreenSetting, ToggleReplacesTheReadOnlyFileOrWarnsAndKeepsTheChoiceForThisRun) {
    MemoryFileStore store;
    store.files["opt.x"] = kDefaultFile;
    bool quiet = launcher::ReadFullScreenSetting(store, "fullscreen.x").quietOverFullScreen;
    EXPECT_EQ(launcher::ToggleFullScreenSetting(quiet, store, "fullscreen.x"), "");
    EXPECT_FALSE(quiet);
    EXPECT_FALSE(launcher::ReadFullScreenSetting(store, "fullscreen.x").quietOverFullScreen);
    EXPECT_EQ(store.readOnly.count("fullscreen.x"), 1u);
    EXPECT_EQ(store.files["opt.x"], kDefaultFile);

    store.failNextWrites = WriteError::InUse;
    const std::string warning = launcher::ToggleFullScreenSetting(quiet, store, "fullscreen.x");
    EXPECT_TRUE(quiet);
    EXPECT_NE(warning.find("fullscreen.x を使用中"), std::string::npos) << warning;
    EXPECT_NE(warning.find("(エラーコード 5)"), std::string::npos) << warning;
    EXPECT_EQ(store.files["fullscreen.x"], launcher::BuildFullScreenSettingText(false));  // the old file, whole
}

}  // namespace
