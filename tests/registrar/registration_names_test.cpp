#include "registrar/registration_names.h"

#include <gtest/gtest.h>

namespace {

using registrar::Entry;
using registrar::HasValidRegistrationKey;
using registrar::IsValidRegistrationKey;
using registrar::MakeRegistrationKey;

struct KeyCase {
    std::string nameField;
    std::string key;
    bool valid;
};

TEST(RegistrationNames, KeysAndValidity) {
    const KeyCase cases[] = {
        {"notepad.exe", "NOTEPAD", true},
        {"NOTEPAD.EXE", "NOTEPAD", true},
        {"my file.exe", "MY FILE", false},
        {"メモ帳.exe", "メモ帳", false},
        {"メモ帳.exe\t\tMemo2", "MEMO2", true},
        {"a.b.exe", "A.B", false},
        {"abc.", "ABC", true},
        {".profile", ".PROFILE", false},
        {".exe", ".EXE", false},
        {"Makefile", "MAKEFILE", true},
        {"x.exe\t\ta.c", "A.C", false},          // an explicit name is never cut at a '.'
        {"x.exe\t\t１２", "１２", false},          // full-width digits
        {"ｱｲ.exe", "ｱｲ", false},                   // half-width katakana
        {"tool.exe\t-x /y", "TOOL", true},         // the option is never tested
        {"tool.exe\t-x /y\tRun2", "RUN2", true},
        {"tool.exe\t\t", "", false},               // empty explicit name: nothing to file under
        {"tool.exe\t1\t2\t3", "", false},          // more than two TABs
        {"a_b.exe\t\tok", "OK", true},
        {"9lives.txt", "9LIVES", true},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.nameField);
        EXPECT_EQ(MakeRegistrationKey(c.nameField), c.key);
        EXPECT_EQ(IsValidRegistrationKey(c.key), c.valid);
        EXPECT_EQ(HasValidRegistrationKey(c.nameField), c.valid);
    }
}

TEST(RegistrationNames, UpperCasingLeavesDoubleByteCharactersAlone) {
    // The trail byte of "ツ" is 0x63, a lower-case 'c' when taken alone.
    EXPECT_EQ(MakeRegistrationKey("ツa.txt"), "\x83\x63" "A");
    EXPECT_EQ(MakeRegistrationKey("x\t\tツz"), "\x83\x63" "Z");
    EXPECT_FALSE(IsValidRegistrationKey(""));
    EXPECT_FALSE(IsValidRegistrationKey("A-B"));
    EXPECT_FALSE(IsValidRegistrationKey("AB "));
    EXPECT_FALSE(IsValidRegistrationKey("ab"));  // keys are tested after upper-casing
    EXPECT_TRUE(IsValidRegistrationKey("AZ09"));
}

TEST(RegistrationNames, SplitsNameFieldsAndFileNames) {
    auto parts = registrar::SplitNameField("calc.exe");
    EXPECT_EQ(parts.fileName, "calc.exe");
    EXPECT_EQ(parts.option, "");
    EXPECT_EQ(parts.tabCount, 0u);

    parts = registrar::SplitNameField("calc.exe\t/s\t");
    EXPECT_EQ(parts.option, "/s");
    EXPECT_EQ(parts.registrationName, "");
    EXPECT_EQ(parts.tabCount, 2u);

    parts = registrar::SplitNameField("表.txt\t\tdiary");
    EXPECT_EQ(parts.fileName, "表.txt");
    EXPECT_EQ(parts.option, "");
    EXPECT_EQ(parts.registrationName, "diary");

    parts = registrar::SplitNameField("a\tb\tc\td");
    EXPECT_EQ(parts.option, "b");
    EXPECT_EQ(parts.registrationName, "c\td");
    EXPECT_EQ(parts.tabCount, 3u);

    EXPECT_EQ(registrar::FileNameOf("x.exe\t-a\tN"), "x.exe");
    EXPECT_EQ(registrar::FileNameOf("x.exe"), "x.exe");

    const std::pair<std::string, std::pair<std::string, std::string>> files[] = {
        {"Readme.txt", {"Readme", ".txt"}}, {"a.b.exe", {"a.b", ".exe"}}, {"abc.", {"abc", "."}},
        {".profile", {"", ".profile"}},     {"Makefile", {"Makefile", ""}}, {"メモ帳.exe", {"メモ帳", ".exe"}},
    };
    for (const auto& [fileName, expected] : files) {
        const auto split = registrar::SplitFileName(fileName);
        EXPECT_EQ(split.baseName, expected.first) << fileName;
        EXPECT_EQ(split.extension, expected.second) << fileName;
    }
}

// Three invalid entries at positions 1, 4 and 7; the name check fixes the one at 4.
TEST(RegistrationNames, CheckThenRefuseKeepsListOrderAndReportsBackwards) {
    std::vector<Entry> entries = {
        {"a.exe", "C:\\0\\"},      {"bad one.exe", "C:\\1\\"}, {"b.exe", "C:\\2\\"},
        {"c.exe\t-x y", "C:\\3\\"}, {"メモ帳.exe", "C:\\4\\"},  {"d.exe", "C:\\5\\"},
        {"e.exe", "C:\\6\\"},      {"f-g.exe\t/q", "C:\\7\\"}, {"h.exe", "C:\\8\\"},
        {"no folder.exe", ""},  // left out by the commit anyway: no row in the name check
    };
    const auto positions = registrar::CheckRegistrationNames(entries);
    EXPECT_EQ(positions, (std::vector<std::size_t>{1, 4, 7}));
    entries.pop_back();

    entries[4].nameField = "メモ帳.exe\t\tMemo";
    const auto refused = registrar::RefuseInvalidNames(entries);
    EXPECT_EQ(refused, (std::vector<std::string>{"C:\\7\\f-g.exe\t/q", "C:\\1\\bad one.exe"}));
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries[3], (Entry{"メモ帳.exe\t\tMemo", "C:\\4\\"}));
    EXPECT_TRUE(registrar::CheckRegistrationNames(entries).empty());
    EXPECT_TRUE(registrar::RefuseInvalidNames(entries).empty());
    EXPECT_EQ(entries.size(), 7u);
}

}  // namespace
