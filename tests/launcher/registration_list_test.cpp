#include "launcher/registration_list.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using launcher::LoadOutcome;
using launcher::LoadRegistrationList;

std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "C:\\d\\f" + std::to_string(i) + ".exe\r\n";
    return text;
}

TEST(RegistrationList, FourLineFormsSplitIntoPathOptionAndName) {
    const auto load = LoadRegistrationList(
        "C:\\a\\plain.exe\r\n"
        "C:\\a\\opt.exe\t/s\r\n"
        "C:\\a\\named.exe\t\tNm\r\n"
        "C:\\a\\both.exe\t-x y\tBo1\r\n");
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    const auto& s = load.list.slots;
    ASSERT_EQ(load.list.slotEnd, 24);
    EXPECT_EQ(s[20].path, "C:\\a\\plain.exe");
    EXPECT_EQ(s[20].option, "");
    EXPECT_EQ(s[20].registrationName, "");
    EXPECT_EQ(s[21].option, "/s");
    EXPECT_EQ(s[22].option, "");
    EXPECT_EQ(s[22].registrationName, "Nm");
    EXPECT_EQ(s[23].option, "-x y");
    EXPECT_EQ(s[23].registrationName, "Bo1");
    EXPECT_EQ(s[23].displayKey, "BO1");
    EXPECT_EQ(s[23].menuKey, "BO\\");  // '1' + 43
}

TEST(RegistrationList, WorkedExampleOfTheFileFormat) {
    const std::string file =
        "\x43\x3A\x5C\x54\x6F\x6F\x6C\x73\x5C\x63\x61\x6C\x63\x2E\x65\x78\x65\x09\x2F\x73\x0D\x0A"
        "\x44\x3A\x5C\x44\x6F\x63\x73\x5C\x93\xFA\x8B\x4C\x2E\x74\x78\x74\x09\x09\x64\x69\x61\x72\x79\x0D\x0A";
    ASSERT_EQ(file.size(), 47u);
    const auto load = LoadRegistrationList(file);
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    const auto& s = load.list.slots;
    EXPECT_EQ(s[20].displayKey, "CALC");
    EXPECT_EQ(s[20].option, "/s");
    EXPECT_EQ(s[20].caption, "calc.exe(&L) - /s");
    EXPECT_EQ(s[21].fileName, "日記.txt");
    EXPECT_EQ(s[21].displayKey, "DIARY");
    EXPECT_EQ(s[21].option, "");
    EXPECT_EQ(s[21].caption, "日記.txt(&A)");
}

TEST(RegistrationList, KeysAndCaptions) {
    const auto load = LoadRegistrationList(
        "C:\\w\\note.exe\t/a\r\n"      // 20: NOTE, mnemonic T, option shown
        "C:\\w\\x.exe\r\n"             // 21: one character
        "C:\\w\\q.exe\t\tab\r\n"       // 22: two characters, mnemonic B
        "C:\\w\\Makefile\r\n"          // 23: no '.'
        "C:\\w\\a.b.exe\r\n"           // 24: cut at the first '.'
        "C:\\w\\z.exe\t\t9x1\r\n"      // 25: digits shifted
        "C:\\w\\R&D.exe\r\n"           // 26: '&' doubled in the caption
        "C:\\w\\y.exe\t\tA表\r\n"      // 27: two characters, three bytes: 表 whole
        "C:\\w\\v.exe\t\t表AB\r\n");   // 28: the third character, not the third byte
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    const auto& s = load.list.slots;
    EXPECT_EQ(s[20].caption, "note.exe(&T) - /a");
    EXPECT_EQ(s[21].caption, "x.exe(&X)");
    EXPECT_EQ(s[22].displayKey, "AB");
    EXPECT_EQ(s[22].caption, "q.exe(&B)");
    EXPECT_EQ(s[23].displayKey, "MAKEFILE");
    EXPECT_EQ(s[24].displayKey, "A");
    EXPECT_EQ(s[25].displayKey, "9X1");
    EXPECT_EQ(s[25].menuKey, "dX\\");
    EXPECT_EQ(s[25].caption, "z.exe(&1)");
    EXPECT_EQ(s[26].displayKey, "R&D");
    EXPECT_EQ(s[26].caption, "R&&D.exe(&D)");
    EXPECT_EQ(s[27].caption, "y.exe(&表)");
    EXPECT_EQ(s[28].caption, "v.exe(&B)");
}

TEST(RegistrationList, FlagTablesCountOnlyFileableKeys) {
    const auto load = LoadRegistrationList(
        "C:\\w\\ab.exe\r\n"        // two characters under A
        "C:\\w\\cde.exe\r\n"       // pair C, D
        "C:\\w\\9z1.exe\r\n"       // pair 9, Z
        "C:\\w\\.profile\r\n"      // empty key: keeps its slot, files nowhere
        "C:\\w\\a-b.exe\r\n"       // '-' as filing character: nowhere
        "C:\\w\\メモ.txt\r\n"      // double-byte key: nowhere
        "C:\\w\\q-.exe\r\n"        // '-' after a letter: nowhere, like a-b
        "C:\\w\\qr-.exe\r\n"       // '-' as the mnemonic: nowhere
        "C:\\w\\k.exe\t\tKL表\r\n");  // a double-byte mnemonic: nowhere
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    const auto& list = load.list;
    EXPECT_EQ(list.slotEnd, 29);
    EXPECT_EQ(list.twoLetterUsed[0], 1);
    EXPECT_EQ(list.pairUsed[2][3], 1);
    EXPECT_EQ(list.pairUsed[35][25], 1);
    for (int slot = 23; slot < list.slotEnd; ++slot) EXPECT_EQ(launcher::PlaceOf(list.slots[slot]).depth, 0) << slot;
    EXPECT_EQ(list.twoLetterUsed[16], 0);  // q-
    int setPairs = 0;
    for (const auto& row : list.pairUsed)
        for (int used : row) setPairs += used;
    EXPECT_EQ(setPairs, 2 + 5);  // CD, 9Z and the five built-in pairs
}

TEST(RegistrationList, TrailByte5CIsNotABackslash) {
    const auto load = LoadRegistrationList("C:\\Tools\\表.exe\r\nC:\\ソ\\ソフト.exe\t\tsoft\r\n");
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(load.list.slots[20].fileName, "表.exe");
    EXPECT_EQ(load.list.slots[21].fileName, "ソフト.exe");
    EXPECT_EQ(load.list.slots[21].caption, "ソフト.exe(&F)");
    // The folder an entry starts in; in a drive's root, the drive alone.
    EXPECT_EQ(launcher::LaunchFolder("C:\\ソ\\ソフト.exe"), "C:\\ソ");
    EXPECT_EQ(launcher::LaunchFolder("C:\\a.exe"), "C:");
}

TEST(RegistrationList, IgnoresTextAfterLastLineEndAndAfterNul) {
    auto load = LoadRegistrationList("C:\\a\\one.exe\r\nC:\\a\\two.exe");
    EXPECT_EQ(load.list.slotEnd, 21);
    load = LoadRegistrationList(std::string("C:\\a\\one.exe\r\nC:\\a\\t\0wo.exe\r\n", 29));
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(load.list.slotEnd, 21);
    load = LoadRegistrationList(std::string("\0C:\\a\\one.exe\r\n", 15));
    EXPECT_EQ(load.list.slotEnd, 20);
}

TEST(RegistrationList, EmptyFileHasNoEntriesButTheBuiltInPairs) {
    const auto load = LoadRegistrationList("");
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(load.list.slotEnd, 20);
    EXPECT_EQ(load.list.pairUsed[4][23], 1);  // E X
    EXPECT_EQ(load.list.pairUsed[14][15], 1); // O P
}

TEST(RegistrationList, ThousandLinesFillEverySlotAndTheNextIsIgnored) {
    auto load = LoadRegistrationList(Lines(1000));
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(load.list.slotEnd, 1020);
    EXPECT_EQ(load.list.slots[1019].fileName, "f999.exe");
    EXPECT_EQ(launcher::SlotCommandId(1019), 33832);
    // The 1001st line is never looked at, even when it is malformed.
    load = LoadRegistrationList(Lines(1000) + "no backslash\r\n");
    ASSERT_EQ(load.outcome, LoadOutcome::Loaded);
    EXPECT_EQ(load.list.slotEnd, 1020);
}

TEST(RegistrationList, MalformedLinesAreFatal) {
    for (const auto& [file, line] : std::vector<std::pair<std::string, int>>{
             {"notepad.exe\r\n", 1},
             {"C:\\a\\ok.exe\r\n\r\nC:\\a\\b.exe\r\n", 2},
             {"C:\\a\\b.exe\ta\tb\tc\r\n", 1},
             {"表\r\n", 1},  // the 0x5C is a trail byte
         }) {
        const auto load = LoadRegistrationList(file);
        EXPECT_EQ(load.outcome, LoadOutcome::Fatal) << file;
        EXPECT_EQ(load.fatalLine, line) << file;
        EXPECT_EQ(load.list.slotEnd, 20) << "nothing of a fatal file is used";
    }
}

TEST(RegistrationList, ReservedSlotCommandIds) {
    EXPECT_EQ(launcher::SlotCommandId(0), 32812);
    EXPECT_EQ(launcher::SlotCommandId(9), 32821);
    EXPECT_EQ(launcher::SlotCommandId(10), 32823);
    EXPECT_EQ(launcher::SlotCommandId(19), 32832);
    EXPECT_EQ(launcher::SlotCommandId(20), 32833);
}

}  // namespace
