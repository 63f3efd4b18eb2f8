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

void Prune(MenuNode& root, const RegistrationList& list) {
    std::array<int, keys::kLetterCount> counts{};
    for (int i = 0; i < keys::kLetterCount; ++i) {
        MenuNode& sub = root.children[i];
        const auto& row = list.pairUsed[i];
        counts[i] = std::accumulate(row.begin(), row.end(), 0);
        if (counts[i] == 0) {
            // Only two-character entries (if any) remain under this letter.
            if (list.twoLetterUsed[i]) sub.children.erase(sub.children.begin(), sub.children.begin() + keys::kLetterCount);
            continue;
        }
        for (int j = keys::kLetterCount - 1; j >= 0; --j) {
            if (row[j] == 0) {
                sub.children.erase(sub.children.begin() + j);
            } else {
                auto& third = sub.children[j].children;
                third.erase(third.begin());  // the placeholder
            }
        }
    }
    for (int i = keys::kLetterCount - 1; i >= 0; --i) {
        if (counts[i] == 0 && list.twoLetterUsed[i] == 0) root.children.erase(root.children.begin() + i);
    }
}

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

MenuNode BuildLetterMenu(const RegistrationList& list) {
    MenuNode root = MakeLetterMenuTemplate();
    for (int slot = kFirstEntrySlot; slot < list.slotEnd; ++slot) {
        const Slot& entry = list.slots[slot];
        const MenuPlace place = PlaceOf(entry);
        MenuNode item = MenuNode::Item(entry.caption, SlotCommandId(slot));
        switch (place.depth) {
            case 1: root.children.push_back(std::move(item)); break;
            case 2: root.children[place.first].children.push_back(std::move(item)); break;
            case 3: root.children[place.first].children[place.second].children.push_back(std::move(item)); break;
            default: break;  // no place in the menu; the slot keeps its number
        }
    }
    Prune(root, list);
    return root;
}

std::string DumpMenu(const MenuNode& root) {
    std::string out;
    DumpNode(root, 0, out);
    return out;
}

}  // namespace launcher
