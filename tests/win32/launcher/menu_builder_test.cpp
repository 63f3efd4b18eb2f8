#include "launcher/win32/menu_builder.h"

#include <gtest/gtest.h>

#include <string>

#include "common/win32/text.h"
#include "launcher/letter_menu.h"
#include "launcher/win32/menu_icons.h"
#include "tests/support/message_window.h"
#include "tests/win32/launcher/held_fetch.h"

namespace {

using launcher::MenuNode;

MenuNode TreeOf(const std::string& crx) {
    const auto load = launcher::LoadRegistrationList(crx);
    EXPECT_EQ(load.outcome, launcher::LoadOutcome::Loaded);
    return launcher::BuildLetterMenu(load.list);
}

std::wstring ItemText(HMENU menu, int position) {
    const int length = GetMenuStringW(menu, static_cast<UINT>(position), nullptr, 0, MF_BYPOSITION);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetMenuStringW(menu, static_cast<UINT>(position), text.data(), length + 1, MF_BYPOSITION);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// A submenu as the user sees it: filled as WM_INITMENUPOPUP fills it.
HMENU Open(HMENU menu, int position) {
    HMENU submenu = GetSubMenu(menu, position);
    tobi::FillPopupMenuFromTree(submenu);
    return submenu;
}

// The real menu written out like launcher::DumpMenu writes the tree, with the
// texts read back from the system and converted to cp932, every submenu
// opened on the way.
void DumpRealMenu(HMENU menu, int depth, std::string& out) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
        const auto text = win32::Cp932FromWide(ItemText(menu, i));
        EXPECT_TRUE(text.lossless);
        out += text.bytes;
        HMENU submenu = Open(menu, i);
        if (submenu == nullptr) out += " [" + std::to_string(GetMenuItemID(menu, i)) + "]";
        out += '\n';
        if (submenu != nullptr) DumpRealMenu(submenu, depth + 1, out);
    }
}

std::string Dump(HMENU root) {
    std::string out = "POPUP\n";
    DumpRealMenu(root, 1, out);
    return out;
}

const std::string kWorkedExample =
    "C:\\Windows\\calc.exe\r\n"
    "C:\\Windows\\notepad.exe\r\n"
    "C:\\Docs\\notes.txt\t\tnt\r\n"
    "C:\\Tools\\x.exe\r\n";

TEST(LetterMenuWalk, WorkedExampleGivesTheDescribedMenu) {
    const MenuNode tree = TreeOf(kWorkedExample);
    const win32::UniqueMenu menu = tobi::CreatePopupMenuFromTree(tree);
    ASSERT_TRUE(menu);
    HMENU root = menu.get();
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(root, 0)), 0);  // filled only when it opens

    ASSERT_EQ(GetMenuItemCount(root), 8);
    const wchar_t* const popups[] = {L"(&C)", L"(&E)", L"(&H)", L"(&N)", L"(&O)", L"(&R)", L"(&V)"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ItemText(root, i), popups[i]);
        EXPECT_NE(Open(root, i), nullptr) << i;
    }
    EXPECT_EQ(ItemText(root, 7), L"x.exe(&X)");
    EXPECT_EQ(Open(root, 7), nullptr);
    EXPECT_EQ(GetMenuItemID(root, 7), 32836u);

    HMENU c = Open(root, 0);
    ASSERT_EQ(GetMenuItemCount(c), 1);
    EXPECT_EQ(ItemText(c, 0), L"(&A)");
    HMENU ca = Open(c, 0);
    ASSERT_EQ(GetMenuItemCount(ca), 1);
    EXPECT_EQ(ItemText(ca, 0), L"calc.exe(&L)");
    EXPECT_EQ(GetMenuItemID(ca, 0), 32833u);

    HMENU n = Open(root, 3);
    ASSERT_EQ(GetMenuItemCount(n), 2);
    EXPECT_EQ(ItemText(n, 0), L"(&O)");
    EXPECT_EQ(ItemText(Open(n, 0), 0), L"notepad.exe(&T)");
    EXPECT_EQ(GetMenuItemID(Open(n, 0), 0), 32834u);
    EXPECT_EQ(ItemText(n, 1), L"notes.txt(&T)");
    EXPECT_EQ(GetMenuItemID(n, 1), 32835u);

    HMENU ex = Open(Open(root, 1), 0);
    ASSERT_EQ(GetMenuItemCount(ex), 2);
    EXPECT_EQ(ItemText(ex, 0), L"ファイル名を指定して実行(&E)");
    EXPECT_EQ(GetMenuItemID(ex, 0), 32817u);
    EXPECT_EQ(ItemText(ex, 1), L"終了(&I)");
    EXPECT_EQ(GetMenuItemID(ex, 1), 32813u);
    EXPECT_EQ(GetMenuItemID(Open(Open(root, 2), 0), 0), 57667u);  // H E: help
    EXPECT_EQ(ItemText(Open(Open(root, 4), 0), 0), L"オプション(&T)");
    EXPECT_EQ(ItemText(Open(Open(root, 5), 0), 0), L"登録及び削除(&G)");
    EXPECT_EQ(ItemText(Open(Open(root, 6), 0), 0), L"バージョン情報(&R)");
}

TEST(LetterMenuWalk, RealMenuMirrorsTheTreeForAFullList) {
    // 1000 entries spread over many letter pairs, with options, double-byte
    // file names (表 has the trail byte 0x5C) and one- and two-character keys.
    std::string crx;
    for (int i = 0; i < 1000; ++i) {
        const char first = static_cast<char>('A' + i % 26);
        const char second = static_cast<char>(i % 3 == 0 ? '0' + i % 10 : 'A' + (i / 26) % 26);
        std::string name = std::string(1, first) + second + "X" + std::to_string(i);
        if (i % 97 == 0) name = std::string(1, first);
        if (i % 89 == 0) name = std::string(1, first) + second;
        crx += "C:\\表\\" + std::string(i % 5 == 0 ? "表" : "") + "f" + std::to_string(i) + ".exe";
        crx += i % 2 ? "\t-o " + std::to_string(i) + "\t" + name : "\t\t" + name;
        crx += "\r\n";
    }
    const MenuNode tree = TreeOf(crx);
    const win32::UniqueMenu menu = tobi::CreatePopupMenuFromTree(tree);
    ASSERT_TRUE(menu);
    EXPECT_EQ(Dump(menu.get()), launcher::DumpMenu(tree));
    EXPECT_EQ(Dump(menu.get()), launcher::DumpMenu(tree));  // a second opening adds nothing
}

TEST(LetterMenuWalk, EmptyListGivesTheFiveBuiltInLetters) {
    const MenuNode tree = TreeOf("");
    const win32::UniqueMenu menu = tobi::CreatePopupMenuFromTree(tree);
    ASSERT_TRUE(menu);
    ASSERT_EQ(GetMenuItemCount(menu.get()), 5);
    std::wstring letters;
    for (int i = 0; i < 5; ++i) letters += ItemText(menu.get(), i).substr(2, 1);
    EXPECT_EQ(letters, L"EHORV");
}

// Ctrl+letter reaches the menu as a control character; the owner maps it
// back. Entries get their file's icon; a file that is gone shows none. Icons
// come from a worker while the menu goes on, room kept for them; an icon of a
// list that has been forgotten is dropped when it comes late.
TEST(LetterMenuWalk, CtrlLettersChooseByMnemonicAndEntriesShowTheirFilesIcons) {
    const MenuNode tree = TreeOf(kWorkedExample);
    const win32::UniqueMenu menu = tobi::CreatePopupMenuFromTree(tree);
    ASSERT_TRUE(menu);
    EXPECT_EQ(tobi::MenuCharAnswer(menu.get(), 'n'), MAKELRESULT(3, MNC_EXECUTE));
    EXPECT_EQ(tobi::MenuCharAnswer(menu.get(), 'Q'), 0);

    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    win32::UniqueMenu items(CreatePopupMenu());
    AppendMenuW(items.get(), MF_STRING, 32833, L"here(&H)");
    AppendMenuW(items.get(), MF_STRING, 32834, L"gone(&G)");
    AppendMenuW(items.get(), MF_STRING, 32813, L"built-in(&I)");
    bool newList = false;  // where 32833 names a file that is gone
    const auto pathOf = [&program, &newList](UINT command) {
        if (newList && command == 32833) return std::wstring(L"C:\\gone2.exe");
        return command == 32833 ? program : command == 32834 ? std::wstring(L"C:\\gone\\gone.exe") : std::wstring();
    };
    const HWND owner = CreateMessageOnlyWindow(L"MenuIconsOwner");
    const auto bitmaps = [&items] {  // 'i' for an item with room for its icon
        std::string shown;
        for (UINT position = 0; position < 3; ++position) {
            MENUITEMINFOW item{};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_BITMAP;
            GetMenuItemInfoW(items.get(), position, TRUE, &item);
            shown += item.hbmpItem == HBMMENU_CALLBACK ? 'i' : '-';
        }
        return shown;
    };
    // Takes `count` arrival notices, one per icon fetched, as the launcher does.
    const auto takeArrivals = [owner](tobi::MenuIcons& icons, int count) {
        for (MSG message; count > 0 && MsgWaitForMultipleObjects(0, nullptr, FALSE, 10000, QS_POSTMESSAGE) == 0;) {
            for (; count > 0 && PeekMessageW(&message, owner, tobi::kMenuIconsArrivedMessage,
                                             tobi::kMenuIconsArrivedMessage, PM_REMOVE); --count) {
                icons.TakeArrivedIcons();
            }
        }
        EXPECT_EQ(count, 0) << "icons did not arrive";
    };
    tobi::MenuIcons icons(pathOf);  // the shell's own icons
    icons.Decorate(items.get(), owner);
    takeArrivals(icons, 2);
    icons.Decorate(items.get(), owner);  // the next opening
    EXPECT_EQ(bitmaps(), "i--");
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, 32833, 0, 0, 0};
    EXPECT_TRUE(icons.Measure(measure, 96));
    EXPECT_EQ(measure.itemWidth, static_cast<UINT>(GetSystemMetrics(SM_CXSMICON)));
    measure.itemID = 32834;
    EXPECT_FALSE(icons.Measure(measure, 96));

    testing_win32::HeldFetch fetch;
    tobi::MenuIcons held(pathOf, fetch.Fetch());
    held.Decorate(items.get(), owner);  // held: the menu goes on without them
    EXPECT_EQ(bitmaps(), "ii-");
    EXPECT_EQ(held.IconOf(32833), nullptr);
    EXPECT_EQ(fetch.Asked(1), 1u);
    fetch.Hold(false);
    takeArrivals(held, 2);
    EXPECT_NE(held.IconOf(32833), nullptr);
    held.Decorate(items.get(), owner);  // the next opening: nothing is asked again
    EXPECT_EQ(bitmaps(), "i--");

    // A new list while an icon of the old one is held.
    fetch.Hold(true);
    held.Forget();
    held.Decorate(items.get(), owner);
    EXPECT_EQ(fetch.Asked(3), 3u);
    newList = true;
    held.Forget();
    held.Decorate(items.get(), owner);
    fetch.Hold(false);
    takeArrivals(held, 3);  // the held one, then the new list's two
    EXPECT_EQ(held.IconOf(32833), nullptr) << "an icon of the forgotten list was shown";
    EXPECT_EQ(fetch.Asked(5), 5u) << "a question of the forgotten list was asked";
    DestroyWindow(owner);
}

}  // namespace
