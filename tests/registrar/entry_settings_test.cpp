#include "registrar/entry_settings.h"

#include <gtest/gtest.h>

namespace {

using registrar::ConfirmSettings;
using registrar::EntrySettings;
using registrar::NameFieldFromSettings;
using registrar::SettingsFromNameField;

void ExpectSettings(const EntrySettings& actual, const EntrySettings& expected) {
    EXPECT_EQ(actual.fileName, expected.fileName);
    EXPECT_EQ(actual.useOption, expected.useOption);
    EXPECT_EQ(actual.optionText, expected.optionText);
    EXPECT_EQ(actual.useName, expected.useName);
    EXPECT_EQ(actual.nameText, expected.nameText);
}

// The main dialog and the name-check dialog open the settings dialog alike.
TEST(EntrySettings, NameFieldToDialogValues) {
    const std::pair<std::string, EntrySettings> table[] = {
        {"calc.exe", {"calc.exe", false, "", false, ""}},
        {"calc.exe\t/s", {"calc.exe", true, "/s", false, ""}},
        {"日記.txt\t\tdiary", {"日記.txt", false, "", true, "diary"}},
        {"calc.exe\t-x /y\tCalc2", {"calc.exe", true, "-x /y", true, "Calc2"}},
        {"calc.exe\t", {"calc.exe", true, "", false, ""}},
        // Stray TABs stay in the name text until the OK rule removes them.
        {"a.exe\to\tn\tm", {"a.exe", true, "o", true, "n\tm"}},
    };
    for (const auto& [nameField, expected] : table) {
        SCOPED_TRACE(nameField);
        ExpectSettings(SettingsFromNameField(nameField), expected);
    }
}

TEST(EntrySettings, DialogValuesToNameField) {
    const std::pair<EntrySettings, std::string> table[] = {
        {{"calc.exe", false, "", false, ""}, "calc.exe"},
        {{"calc.exe", true, "/s", false, ""}, "calc.exe\t/s"},
        {{"calc.exe", false, "", true, "Calc"}, "calc.exe\t\tCalc"},
        {{"calc.exe", true, "/s", true, "Calc"}, "calc.exe\t/s\tCalc"},
        // A text kept in the edit while its box is cleared is not written.
        {{"calc.exe", false, "/s", true, "Calc"}, "calc.exe\t\tCalc"},
        {{"calc.exe", true, "/s", false, "Calc"}, "calc.exe\t/s"},
        {{"calc.exe", false, "/s", false, "Calc"}, "calc.exe"},
    };
    for (const auto& [settings, expected] : table) EXPECT_EQ(NameFieldFromSettings(settings), expected);

    for (const std::string nameField : {"a.exe", "a.exe\t-o", "a.exe\t\tNm", "a.exe\t-o\tNm"}) {
        EntrySettings settings = SettingsFromNameField(nameField);
        ConfirmSettings(settings);
        EXPECT_EQ(NameFieldFromSettings(settings), nameField) << "unchanged after OK";
    }
}

TEST(EntrySettings, OkRuleDropsEmptyPartsAndLineBreakingCharacters) {
    EntrySettings emptyBoth{"a.exe", true, "", true, ""};
    ConfirmSettings(emptyBoth);
    EXPECT_FALSE(emptyBoth.useOption);
    EXPECT_FALSE(emptyBoth.useName);
    EXPECT_EQ(NameFieldFromSettings(emptyBoth), "a.exe");

    EntrySettings pasted{"a.exe", true, "-a\t-b\r\n", true, "\tNa\r\nme"};
    ConfirmSettings(pasted);
    EXPECT_EQ(pasted.optionText, "-a-b");
    EXPECT_EQ(pasted.nameText, "Name");
    EXPECT_EQ(NameFieldFromSettings(pasted), "a.exe\t-a-b\tName");

    EntrySettings onlyBreaks{"a.exe", true, "\r\n", true, "\t"};
    ConfirmSettings(onlyBreaks);
    EXPECT_EQ(NameFieldFromSettings(onlyBreaks), "a.exe");

    // A field with a stray TAB comes back in the two-TAB form after OK.
    EntrySettings stray = SettingsFromNameField("a.exe\to\tn\tm");
    ConfirmSettings(stray);
    EXPECT_EQ(NameFieldFromSettings(stray), "a.exe\to\tnm");

    // Double-byte characters are never split: TAB, CR and LF are not trail bytes.
    EXPECT_EQ(registrar::RemoveTabsAndLineBreaks("表\tソ\n"), "表ソ");
}

TEST(EntrySettings, PathTextPutsTheFullPathOnTheSecondLine) {
    EXPECT_EQ(registrar::SettingsPathText("C:\\Tools\\", "calc.exe"), "\r\n C:\\Tools\\calc.exe");
}

}  // namespace
