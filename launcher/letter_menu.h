// The letter menu as a tree in memory: built from the fixed template, filled
// with one item per entry and pruned, then turned into a real menu by a plain
// walk (a popup per node with children, an item per leaf).
#pragma once

#include <string>
#include <vector>

#include "launcher/registration_list.h"

namespace launcher {

namespace commands {
constexpr int kPlaceholder = 32811;
constexpr int kRegister = 32812;
constexpr int kExit = 32813;
constexpr int kOptions = 32814;
constexpr int kVersion = 32815;
constexpr int kHelpPage = 32816;
constexpr int kRunFile = 32817;
constexpr int kHelpContents = 57667;
constexpr int kFirstEntry = kSlotCommandBase + kFirstEntrySlot;      // 32833
constexpr int kLastEntry = kSlotCommandBase + kSlotTableSize - 1;    // 33832
}  // namespace commands

struct MenuNode {
    std::string text;  // code page 932
    int command = 0;   // items only
    bool isPopup = false;
    std::vector<MenuNode> children;

    static MenuNode Item(std::string text, int command) { return {std::move(text), command, false, {}}; }
    static MenuNode Popup(std::string text) { return {std::move(text), 0, true, {}}; }
};

// The working root of the template: 36 letter popups of 36 popups each, every
// third-level popup with its placeholder and, on five paths, the built-in items.
MenuNode MakeLetterMenuTemplate();

// The template with every entry of the list appended by its key and the empty
// branches pruned; the branches pruning would remove are never made.
MenuNode BuildLetterMenu(const RegistrationList& list);

// One line per node, indented two spaces a level; items show their command.
std::string DumpMenu(const MenuNode& root);

// "(&A)" ... "(&Z)", "(&0)" ... "(&9)" by letter index.
std::string LetterCaption(int letterIndex);

}  // namespace launcher
