#include "launcher/letter_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

#include "launcher/launch.h"

namespace {

using launcher::BuildLetterMenu;
using launcher::DumpMenu;
using launcher::LoadRegistrationList;
using launcher::MenuNode;

MenuNode MenuOf(const std::string& file) {
    const auto load = LoadRegistrationList(file);
    EXPECT_EQ(load.outcome, launcher::LoadOutcome::Loaded);
    return BuildLetterMenu(load.list);
}

std::size_t CountItems(const MenuNode& node) {
    if (!node.isPopup) return 1;
    std::size_t count = 0;
    for (const MenuNode& child : node.children) count += CountItems(child);
    return count;
}

const std::string kBuiltIns =
    "  (&E)\n"
    "    (&X)\n"
    "      ファイル名を指定して実行(&E) [32817]\n"
    "      終了(&I) [32813]\n"
    "  (&H)\n"
    "    (&E)\n"
    "      ヘルプ(&L) [57667]\n";

// The whole template with the entries appended, pruned by position step by
// step as the menu resource is.
MenuNode PrunedTemplate(const launcher::RegistrationList& list) {
    MenuNode root = launcher::MakeLetterMenuTemplate();
    for (int slot = launcher::kFirstEntrySlot; slot < list.slotEnd; ++slot) {
        const launcher::MenuPlace place = launcher::PlaceOf(list.slots[slot]);
        const MenuNode item = MenuNode::Item(list.slots[slot].caption, launcher::SlotCommandId(slot));
        if (place.depth == 1) root.children.push_back(item);
        if (place.depth == 2) root.children[place.first].children.push_back(item);
        if (place.depth == 3) root.children[place.first].children[place.second].children.push_back(item);
    }
    std::vector<bool> removed(36, false);
    for (int i = 0; i < 36; ++i) {
        std::vector<MenuNode>& sub = root.children[i].children;
        int count = 0;
        for (int used : list.pairUsed[i]) count += used;
        if (count == 0) {
            if (list.twoLetterUsed[i]) sub.erase(sub.begin(), sub.begin() + 36);
            removed[i] = !list.twoLetterUsed[i];
            continue;
        }
        for (int j = 35; j >= 0; --j) {
            if (list.pairUsed[i][j] == 0) {
                sub.erase(sub.begin() + j);
            } else {
                sub[j].children.erase(sub[j].children.begin());
            }
        }
    }
    for (int i = 35; i >= 0; --i) {
        if (removed[i]) root.children.erase(root.children.begin() + i);
    }
    return root;
}

TEST(LetterMenuTemplate, HasTheFixedShape) {
    const MenuNode root = launcher::MakeLetterMenuTemplate();
    ASSERT_EQ(root.children.size(), 36u);
    EXPECT_EQ(root.children[0].text, "(&A)");
    EXPECT_EQ(root.children[25].text, "(&Z)");
    EXPECT_EQ(root.children[26].text, "(&0)");
    EXPECT_EQ(root.children[35].text, "(&9)");
    for (const MenuNode& first : root.children) {
        ASSERT_EQ(first.children.size(), 36u);
        for (int j = 0; j < 36; ++j) {
            const MenuNode& third = first.children[j];
            EXPECT_TRUE(third.isPopup);
            EXPECT_EQ(third.text, launcher::LetterCaption(j));
            ASSERT_GE(third.children.size(), 1u);
            EXPECT_EQ(third.children[0].text, "ID_DUMMY");
            EXPECT_EQ(third.children[0].command, 32811);
        }
    }
    EXPECT_EQ(root.children[4].children[23].children.size(), 3u);   // E X: run, exit
    EXPECT_EQ(root.children[21].children[4].children[1].command, 32815);  // V E
    EXPECT_EQ(root.children[0].children[0].children.size(), 1u);
}

TEST(LetterMenu, EmptyFileLeavesOnlyTheBuiltInPaths) {
    EXPECT_EQ(DumpMenu(MenuOf("")),
              "POPUP\n" + kBuiltIns +
                  "  (&O)\n"
                  "    (&P)\n"
                  "      オプション(&T) [32814]\n"
                  "  (&R)\n"
                  "    (&E)\n"
                  "      登録及び削除(&G) [32812]\n"
                  "  (&V)\n"
                  "    (&E)\n"
                  "      バージョン情報(&R) [32815]\n");
}

TEST(LetterMenu, WorkedExampleIsPrunedExactly) {
    const MenuNode menu = MenuOf(
        "C:\\Windows\\calc.exe\r\n"
        "C:\\Windows\\notepad.exe\r\n"
        "C:\\Docs\\notes.txt\t\tnt\r\n"
        "C:\\Tools\\x.exe\r\n");
    EXPECT_EQ(DumpMenu(menu),
              "POPUP\n"
              "  (&C)\n"
              "    (&A)\n"
              "      calc.exe(&L) [32833]\n" +
                  kBuiltIns +
                  "  (&N)\n"
                  "    (&O)\n"
                  "      notepad.exe(&T) [32834]\n"
                  "    notes.txt(&T) [32835]\n"
                  "  (&O)\n"
                  "    (&P)\n"
                  "      オプション(&T) [32814]\n"
                  "  (&R)\n"
                  "    (&E)\n"
                  "      登録及び削除(&G) [32812]\n"
                  "  (&V)\n"
                  "    (&E)\n"
                  "      バージョン情報(&R) [32815]\n"
                  "  x.exe(&X) [32836]\n");
}

TEST(LetterMenu, TwoCharacterKeysAloneLeaveNoSecondLevelPopups) {
    const MenuNode menu = MenuOf("C:\\w\\q.exe\t\tab\r\nC:\\w\\k.exe\r\n");
    const MenuNode& a = menu.children[0];
    ASSERT_EQ(a.text, "(&A)");
    ASSERT_EQ(a.children.size(), 1u);
    EXPECT_EQ(a.children[0].text, "q.exe(&B)");
    EXPECT_EQ(menu.children.back().text, "k.exe(&K)");
}

TEST(LetterMenu, TwoCharacterEntriesFollowTheRemainingPopups) {
    const MenuNode menu = MenuOf("C:\\w\\q.exe\t\tab\r\nC:\\w\\abc.exe\r\nC:\\w\\a.exe\t\tA1\r\n");
    EXPECT_EQ(DumpMenu(menu.children[0]),
              "(&A)\n"
              "  (&B)\n"
              "    abc.exe(&C) [32834]\n"
              "  q.exe(&B) [32833]\n"
              "  a.exe(&1) [32835]\n");
}

TEST(LetterMenu, DigitsComeAfterLettersAtEveryLevel) {
    const MenuNode menu = MenuOf(
        "C:\\w\\z.exe\t\t9x1\r\n"
        "C:\\w\\y.exe\t\t99a\r\n"
        "C:\\w\\b.exe\t\tA9b\r\n"
        "C:\\w\\c.exe\t\tAzb\r\n"
        "C:\\w\\d.exe\t\t1\r\n"
        "C:\\w\\e.exe\t\tQ\r\n");
    const std::string dump = DumpMenu(menu);
    EXPECT_LT(dump.find("\n  (&V)\n"), dump.find("\n  (&9)\n"));
    const MenuNode& nine = menu.children[menu.children.size() - 3];
    ASSERT_EQ(nine.text, "(&9)");
    ASSERT_EQ(nine.children.size(), 2u);
    EXPECT_EQ(nine.children[0].text, "(&X)");
    EXPECT_EQ(nine.children[1].text, "(&9)");
    const MenuNode& a = menu.children[0];
    ASSERT_EQ(a.children.size(), 2u);
    EXPECT_EQ(a.children[0].text, "(&Z)");
    EXPECT_EQ(a.children[1].text, "(&9)");
    // One-character entries at the root keep file order after the popups.
    EXPECT_EQ(menu.children[menu.children.size() - 2].text, "d.exe(&1)");
    EXPECT_EQ(menu.children.back().text, "e.exe(&Q)");
}

TEST(LetterMenu, EntriesUnderBuiltInPathsFollowTheBuiltInItems) {
    const MenuNode menu = MenuOf("C:\\w\\excel.exe\r\nC:\\w\\Excel.exe\t/r\r\n");
    const MenuNode& ex = menu.children[0].children[0];
    ASSERT_EQ(menu.children[0].text, "(&E)");
    ASSERT_EQ(ex.text, "(&X)");
    ASSERT_EQ(ex.children.size(), 4u);
    EXPECT_EQ(ex.children[2].text, "excel.exe(&C)");
    EXPECT_EQ(ex.children[3].text, "Excel.exe(&C) - /r");
    EXPECT_EQ(ex.children[3].command, 32834);
}

TEST(LetterMenu, UnfileableEntriesKeepTheirSlotButGetNoItem) {
    const MenuNode menu = MenuOf(
        "C:\\w\\.profile\r\nC:\\w\\メモ帳.exe\r\nC:\\w\\a_b.exe\r\nC:\\w\\[x].exe\r\nC:\\w\\ok.exe\r\n"
        "C:\\w\\q-.exe\r\nC:\\w\\qr-.exe\r\nC:\\w\\z.exe\t\tZY表\r\n");
    const std::string dump = DumpMenu(menu);
    // Nothing under Q or Z: a key with any other character opens no popup.
    EXPECT_EQ(dump.find("(&Q)"), std::string::npos);
    EXPECT_EQ(dump.find("(&Z)"), std::string::npos);
    EXPECT_EQ(dump.find("profile"), std::string::npos);
    EXPECT_EQ(dump.find("メモ帳"), std::string::npos);
    EXPECT_EQ(dump.find("a_b"), std::string::npos);
    EXPECT_EQ(dump.find("[x]"), std::string::npos);
    EXPECT_NE(dump.find("ok.exe(&K) [32837]"), std::string::npos);
}

TEST(LetterMenu, ThousandEntriesAllGetItems) {
    std::string file;
    for (int i = 0; i < 1001; ++i) file += "C:\\d\\f" + std::to_string(i) + ".exe\r\n";
    const MenuNode menu = MenuOf(file);
    const MenuNode& f = menu.children[1];
    ASSERT_EQ(f.text, "(&F)");
    EXPECT_EQ(CountItems(f), 1000u);  // F0-F9 sit in F itself, the rest one level down
    EXPECT_NE(DumpMenu(menu).find("f999.exe(&9) [33832]"), std::string::npos);
    EXPECT_EQ(DumpMenu(menu).find("f1000.exe"), std::string::npos);
}

// ---- Choosing an entry with Shift or Ctrl held ---------------------------------

TEST(LaunchRequest, ShiftRunsAsAdministratorCtrlShowsTheFolderWhatIsGoneIsNotShown) {
    using launcher::LaunchMode;
    EXPECT_EQ(launcher::LaunchModeFor(false, false), LaunchMode::Open);
    EXPECT_EQ(launcher::LaunchModeFor(true, false), LaunchMode::RunAsAdministrator);
    EXPECT_EQ(launcher::LaunchModeFor(true, true), LaunchMode::ShowInFolder);
    struct Case {
        const char* path;
        LaunchMode mode;
        std::vector<std::string> existing;
        std::optional<launcher::ShellRequest> request;
    };
    const Case cases[] = {
        {"C:\\ソ\\a.exe", LaunchMode::Open, {}, launcher::ShellRequest{"", "C:\\ソ\\a.exe", "-x", "C:\\ソ"}},
        {"C:\\a.exe", LaunchMode::Open, {}, launcher::ShellRequest{"", "C:\\a.exe", "-x", "C:"}},
        {"C:\\ソ\\a.exe", LaunchMode::RunAsAdministrator, {}, launcher::ShellRequest{"runas", "C:\\ソ\\a.exe", "-x", "C:\\ソ"}},
        {"C:\\a.exe", LaunchMode::RunAsAdministrator, {}, launcher::ShellRequest{"runas", "C:\\a.exe", "-x", "C:\\"}},
        {"C:\\ソ\\a.exe", LaunchMode::ShowInFolder, {"C:\\ソ\\a.exe", "C:\\ソ"},
         launcher::ShellRequest{"", "explorer.exe", "/select,\"C:\\ソ\\a.exe\"", ""}},
        {"C:\\ソ\\a.exe", LaunchMode::ShowInFolder, {"C:\\ソ"}, launcher::ShellRequest{"", "C:\\ソ", "", ""}},
        {"C:\\ソ\\a.exe", LaunchMode::ShowInFolder, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto exists = [&c](const std::string& path) {
            return std::find(c.existing.begin(), c.existing.end(), path) != c.existing.end();
        };
        EXPECT_EQ(launcher::LaunchRequest(c.path, "-x", c.mode, exists), c.request) << c.path;
    }
}

TEST(MnemonicPositions, FindsTheItemsATypedLetterChooses) {
    const MenuNode menu = BuildLetterMenu(
        LoadRegistrationList("C:\\a\\note.exe\r\nC:\\a\\Tom&Jerry.exe\t\tnot\r\nC:\\a\\表.exe\t\tnob\r\n").list);
    const MenuNode& no = menu.children[2].children[0];  // N (after E and H), then O
    ASSERT_EQ(no.children.size(), 3u);
    EXPECT_EQ(launcher::MnemonicPositions(no, 't'), (std::vector<int>{0, 1}));  // '&&' is no mnemonic
    EXPECT_EQ(launcher::MnemonicPositions(no, 'B'), (std::vector<int>{2}));
    EXPECT_TRUE(launcher::MnemonicPositions(no, 'J').empty());
    EXPECT_EQ(launcher::MnemonicPositions(menu, 'n'), (std::vector<int>{2}));
}

// Keys typed in the open menu: a control character is a letter only when
// typed with Ctrl; Enter, Tab and Backspace keep their meaning.
TEST(MenuKeys, ControlCharactersAreLettersOnlyWithCtrlAndCtrlDigitsAreDigits) {
    static bool ctrl, enter;
    const auto isDown = [](unsigned key) {
        return (key == launcher::vkey::kControl && ctrl) || (key == launcher::vkey::kReturn && enter);
    };
    // Typed, Ctrl and Enter down, what it means.
    for (const auto& [typed, withCtrl, withEnter, meant] :
         {std::tuple{unsigned{'\r'}, false, true, unsigned{'\r'}}, {8, false, false, 8}, {9, false, false, 9},
          {'\r', true, false, 'M'}, {20, true, false, 'T'}, {'\n', true, false, 'J'}, {'\n', true, true, '\r'}, {27, true, false, 27}}) {
        ctrl = withCtrl;
        enter = withEnter;
        EXPECT_EQ(launcher::MenuCharacter(typed, isDown), meant) << typed << " ctrl " << ctrl;
        EXPECT_EQ(launcher::ControlLetter(typed, isDown), meant >= 'A' ? static_cast<char>(meant) : 0);
    }
    EXPECT_EQ(launcher::DigitOfKey('7'), '7');
    EXPECT_EQ(launcher::DigitOfKey(launcher::vkey::kNumpad0 + 9), '9');
    EXPECT_EQ(launcher::DigitOfKey('A'), 0);
}

// Letters and Backspaces typed into the open menu, walked as the menu walks
// them ('<' is Backspace): where each sequence ends, the item chosen or the
// levels still open.
TEST(MenuKeys, BackspaceTakesBackTheLastLetterAsInATextField) {
    const MenuNode menu = BuildLetterMenu(
        LoadRegistrationList("C:\\a\\not.exe\r\nC:\\a\\nob.exe\r\nC:\\a\\pad.exe\t\tp\r\n").list);
    const auto walk = [&menu](const std::string& keys) {
        std::vector<const MenuNode*> open = {&menu};
        launcher::TypedLetters typed;
        for (const char key : keys) {
            if (key == '<') {
                if (typed.TakeBack(static_cast<int>(open.size()))) open.pop_back();
                continue;
            }
            typed.Typed(static_cast<int>(open.size()));
            const std::vector<int> found = launcher::MnemonicPositions(*open.back(), key);
            if (found.empty()) continue;
            const MenuNode& next = open.back()->children[static_cast<std::size_t>(found[0])];
            if (!next.isPopup) return "chose " + next.text;
            open.push_back(&next);
        }
        std::string levels = "open:";
        for (std::size_t level = 1; level < open.size(); ++level) levels += " " + open[level]->text;
        return levels;
    };
    const std::pair<const char*, std::string> rows[] = {
        {"NOT", "chose not.exe(&T)"},     {"NOX<T", "chose not.exe(&T)"}, {"NP<OT", "chose not.exe(&T)"},
        {"NOQ<<OB", "chose nob.exe(&B)"},  {"NO<<", "open:"},           {"<<N", "open: (&N)"},
        {"N<<<P", "chose pad.exe(&P)"},   {"NOX<", "open: (&N) (&O)"}, {"N<O", "open: (&O)"},
    };
    for (const auto& [keys, end] : rows) EXPECT_EQ(walk(keys), end) << keys;
}

TEST(LetterMenu, GivesWhatPruningTheWholeTemplateGives) {
    std::string many;
    for (int i = 0; i < 300; ++i) {
        const std::string key = std::string(1, "AEX9Q"[i % 5]) + "XE0"[i % 3] + std::string(i % 4, 'R');
        many += "C:\\d\\f" + std::to_string(i) + ".exe\t\t" + key + "\r\n";
    }
    const std::string few = "C:\\w\\q.exe\t\tab\r\nC:\\w\\k.exe\r\nC:\\w\\exit.exe\r\n";
    for (const std::string& file : {std::string(), few, many}) {
        const launcher::RegistrationList list = LoadRegistrationList(file).list;
        EXPECT_EQ(DumpMenu(BuildLetterMenu(list)), DumpMenu(PrunedTemplate(list)));
    }
    // Flags that disagree with the entries: nothing appears that pruning removes.
    launcher::RegistrationList odd = LoadRegistrationList(many).list;
    odd.pairUsed[0][23] = 0;
    odd.pairUsed[4] = {};
    odd.pairUsed[16] = {};
    odd.twoLetterUsed[16] = 0;
    odd.twoLetterUsed[1] = 1;
    EXPECT_EQ(DumpMenu(BuildLetterMenu(odd)), DumpMenu(PrunedTemplate(odd)));
}

}  // namespace
