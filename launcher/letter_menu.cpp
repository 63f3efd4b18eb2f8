#include "launcher/letter_menu.h"

#include <algorithm>
#include <numeric>

namespace launcher {
namespace {

struct BuiltInItem {
    char first;
    char second;
    const char* text;
    int command;
};

constexpr BuiltInItem kBuiltInItems[] = {
    {'E', 'X', "ファイル名を指定して実行(&E)", commands::kRunFile},
    {'E', 'X', "終了(&I)", commands::kExit},
    {'H', 'E', "ヘルプ(&L)", commands::kHelpContents},
    {'O', 'P', "オプション(&T)", commands::kOptions},
    {'R', 'E', "登録及び削除(&G)", commands::kRegister},
    {'V', 'E', "バージョン情報(&R)", commands::kVersion},
};

void DumpNode(const MenuNode& node, int depth, std::string& out) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += node.text;
    if (!node.isPopup) out += " [" + std::to_string(node.command) + "]";
    out += '\n';
    for (const MenuNode& child : node.children) DumpNode(child, depth + 1, out);
}

}  // namespace

std::string LetterCaption(int letterIndex) {
    const char letter = letterIndex < 26 ? static_cast<char>('A' + letterIndex)
                                         : static_cast<char>('0' + letterIndex - 26);
    return std::string("(&") + letter + ")";
}

MenuNode MakeLetterMenuTemplate() {
    MenuNode root = MenuNode::Popup("POPUP");
    root.children.reserve(keys::kLetterCount);
    for (int i = 0; i < keys::kLetterCount; ++i) {
        MenuNode first = MenuNode::Popup(LetterCaption(i));
        first.children.reserve(keys::kLetterCount);
        for (int j = 0; j < keys::kLetterCount; ++j) {
            MenuNode second = MenuNode::Popup(LetterCaption(j));
            second.children.push_back(MenuNode::Item("ID_DUMMY", commands::kPlaceholder));
            first.children.push_back(std::move(second));
        }
        root.children.push_back(std::move(first));
    }
    for (const BuiltInItem& item : kBuiltInItems) {
        root.children[keys::LetterIndex(item.first)]
            .children[keys::LetterIndex(item.second)]
            .children.push_back(MenuNode::Item(item.text, item.command));
    }
    return root;
}

// Pruning the template keeps a letter popup when a pair under it is used or a
// two-character key starts with it, and under it the popups of the used pairs
// without their placeholders. Only those branches are made here, in the
// template's order, rather than some 1300 popups that would be removed again.
MenuNode BuildLetterMenu(const RegistrationList& list) {
    constexpr int kLetters = keys::kLetterCount;
    MenuNode root = MenuNode::Popup("POPUP");
    root.children.reserve(kLetters);
    // 1 + the position of each kept popup, 0 for the pruned ones; items are
    // only ever appended after the popups, so positions stay valid.
    std::array<std::size_t, kLetters> letterAt{};
    std::array<std::array<std::size_t, kLetters>, kLetters> pairAt{};
    for (int i = 0; i < kLetters; ++i) {
        const auto& row = list.pairUsed[i];
        const bool pairsUsed = std::accumulate(row.begin(), row.end(), 0) != 0;
        if (!pairsUsed && list.twoLetterUsed[i] == 0) continue;
        MenuNode first = MenuNode::Popup(LetterCaption(i));
        for (int j = 0; pairsUsed && j < kLetters; ++j) {
            if (row[j] == 0) continue;
            first.children.push_back(MenuNode::Popup(LetterCaption(j)));
            pairAt[i][j] = first.children.size();
        }
        root.children.push_back(std::move(first));
        letterAt[i] = root.children.size();
    }
    const auto third = [&](int first, int second) -> MenuNode* {
        const std::size_t at = pairAt[first][second];
        return at == 0 ? nullptr : &root.children[letterAt[first] - 1].children[at - 1];
    };
    for (const BuiltInItem& item : kBuiltInItems) {
        if (MenuNode* popup = third(keys::LetterIndex(item.first), keys::LetterIndex(item.second))) {
            popup->children.push_back(MenuNode::Item(item.text, item.command));
        }
    }
    for (int slot = kFirstEntrySlot; slot < list.slotEnd; ++slot) {
        const Slot& entry = list.slots[slot];
        const MenuPlace place = PlaceOf(entry);
        MenuNode item = MenuNode::Item(entry.caption, SlotCommandId(slot));
        switch (place.depth) {
            case 1: root.children.push_back(std::move(item)); break;
            case 2:
                if (letterAt[place.first] != 0) {
                    root.children[letterAt[place.first] - 1].children.push_back(std::move(item));
                }
                break;
            case 3:
                if (MenuNode* popup = third(place.first, place.second)) popup->children.push_back(std::move(item));
                break;
            default: break;  // no place in the menu; the slot keeps its number
        }
    }
    return root;
}

std::string DumpMenu(const MenuNode& root) {
    std::string out;
    DumpNode(root, 0, out);
    return out;
}

}  // namespace launcher
