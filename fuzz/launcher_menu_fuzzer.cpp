// The launcher's start-up road for any bytes in cr.x: the slot table, then the
// letter menu built and pruned from it, then its dump.
//
// Invariants: no crash; the outcome is fatal exactly when one of the first
// 1000 CR LF lines has more than two TABs or a path without a real backslash,
// and then nothing of the file is kept; otherwise one slot per line from slot
// 20 on, flag tables exactly as the keys and built-ins give them, and a menu
// whose items are entries (commands 32833-33832, each once, under the popups
// of its key, in file order) or the six built-ins (under their own paths,
// before any entry), with no placeholder left and no empty popup. Only keys
// of A-Z and 0-9 are filed.
#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "fuzz_support.h"
#include "launcher/letter_menu.h"
#include "launcher/registration_list.h"

namespace {

using launcher::MenuNode;
namespace commands = launcher::commands;

// Each built-in's popup path and its place among the built-ins there.
struct BuiltInPlace {
    char first;
    char second;
    int order;
};
const std::map<int, BuiltInPlace> kBuiltInPlaces = {
    {commands::kRunFile, {'E', 'X', 0}},      {commands::kExit, {'E', 'X', 1}},
    {commands::kHelpContents, {'H', 'E', 0}}, {commands::kOptions, {'O', 'P', 0}},
    {commands::kRegister, {'R', 'E', 0}},     {commands::kVersion, {'V', 'E', 0}}};

// The letter index of a popup caption "(&A)" ... "(&9)", -1 for any other text.
int LetterOfCaption(const std::string& text) {
    if (text.size() != 4 || text[0] != '(' || text[1] != '&' || text[3] != ')') return -1;
    return keys::LetterIndex(text[2]);
}

// The letter indices of the popups above a node.
struct Path {
    std::size_t size = 0;
    std::array<int, 2> letters{};
};

bool LineIsFatal(const std::string& line) {
    if (fuzz::CountOf(line, '\t') > 2) return true;
    return !fuzz::HasRealBackslash(line.substr(0, line.find('\t')));
}

struct MenuWalk {
    const launcher::RegistrationList& list;
    std::map<int, int> entryItems;  // command -> times seen
    std::multiset<int> builtIns;
    std::size_t nodes = 0;

    void Visit(const MenuNode& node, const Path& path) {
        ++nodes;
        if (node.isPopup) {
            FUZZ_CHECK(!node.children.empty());
            bool itemSeen = false;
            int lastLetter = -1;
            int lastBuiltIn = -1;
            int lastEntry = -1;
            for (const MenuNode& child : node.children) {
                if (!child.isPopup) {
                    itemSeen = true;
                    // Built-ins in their fixed order, then entries in slot order.
                    const auto builtIn = kBuiltInPlaces.find(child.command);
                    if (builtIn != kBuiltInPlaces.end()) {
                        FUZZ_CHECK(lastEntry < 0 && builtIn->second.order > lastBuiltIn);
                        lastBuiltIn = builtIn->second.order;
                    } else {
                        FUZZ_CHECK(child.command > lastEntry);
                        lastEntry = child.command;
                    }
                } else {
                    // Popups keep letter-index order and come before the items.
                    FUZZ_CHECK(!itemSeen);
                    const int letter = LetterOfCaption(child.text);
                    FUZZ_CHECK(letter > lastLetter);
                    lastLetter = letter;
                    FUZZ_CHECK(path.size < 2);
                    Path deeper = path;
                    deeper.letters[deeper.size++] = letter;
                    Visit(child, deeper);
                    continue;
                }
                Visit(child, path);
            }
            return;
        }
        FUZZ_CHECK(node.text != "ID_DUMMY");
        FUZZ_CHECK(node.children.empty());
        const auto builtIn = kBuiltInPlaces.find(node.command);
        if (builtIn != kBuiltInPlaces.end()) {
            builtIns.insert(node.command);
            FUZZ_CHECK(path.size == 2);
            FUZZ_CHECK(path.letters[0] == keys::LetterIndex(builtIn->second.first));
            FUZZ_CHECK(path.letters[1] == keys::LetterIndex(builtIn->second.second));
            return;
        }
        FUZZ_CHECK(node.command >= commands::kFirstEntry && node.command <= commands::kLastEntry);
        ++entryItems[node.command];
        const int slot = node.command - launcher::kSlotCommandBase;
        FUZZ_CHECK(slot >= launcher::kFirstEntrySlot && slot < list.slotEnd);
        const launcher::Slot& entry = list.slots[slot];
        FUZZ_CHECK(node.text == entry.caption);
        const launcher::MenuPlace place = launcher::PlaceOf(entry);
        FUZZ_CHECK(place.depth == static_cast<int>(path.size) + 1);
        if (place.depth >= 2) FUZZ_CHECK(path.letters[0] == place.first);
        if (place.depth == 3) FUZZ_CHECK(path.letters[1] == place.second);
    }
};

void CheckSlot(const launcher::Slot& slot) {
    FUZZ_CHECK(slot.path.find('\t') == std::string::npos);
    // The file name is what follows the path's last real backslash.
    FUZZ_CHECK(slot.path.size() > slot.fileName.size());
    const std::string folder = slot.path.substr(0, slot.path.size() - slot.fileName.size());
    FUZZ_CHECK(slot.path.compare(folder.size(), std::string::npos, slot.fileName) == 0);
    FUZZ_CHECK(folder.back() == '\\' && fuzz::HasRealBackslash(folder));
    FUZZ_CHECK(!fuzz::HasRealBackslash(slot.fileName));
    FUZZ_CHECK(!fuzz::HasLowerCaseSingleByteLetter(slot.displayKey));
    FUZZ_CHECK(slot.menuKey.size() == slot.displayKey.size());
    FUZZ_CHECK(slot.caption.find("(&") != std::string::npos);
    FUZZ_CHECK(slot.option.empty() || slot.caption.find(" - ") != std::string::npos);
    // Filed exactly when the key is all A-Z and 0-9; the mnemonic is then its
    // third character, or its last when it is shorter.
    const std::string& key = slot.displayKey;
    bool fileable = !key.empty();
    for (char c : key) fileable = fileable && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'));
    FUZZ_CHECK((launcher::PlaceOf(slot).depth > 0) == fileable);
    const std::string mnemonic = fileable ? key.substr(std::min<std::size_t>(key.size(), 3) - 1, 1) : "";
    if (fileable) FUZZ_CHECK(slot.caption.find("(&" + mnemonic + ")") != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::BytesOf(data, size);
    const launcher::RegistrationListLoad load = launcher::LoadRegistrationList(bytes);
    const launcher::RegistrationList& list = load.list;

    const std::vector<std::string> lines =
        fuzz::CrLfLines(fuzz::TextBeforeNul(bytes), static_cast<std::size_t>(launcher::kMaxEntries));
    bool fatal = false;
    for (const std::string& line : lines) fatal = fatal || LineIsFatal(line);
    FUZZ_CHECK((load.outcome == launcher::LoadOutcome::Fatal) == fatal);

    FUZZ_CHECK(list.slotEnd >= launcher::kFirstEntrySlot && list.slotEnd <= launcher::kSlotTableSize);
    FUZZ_CHECK(static_cast<int>(list.slots.size()) == list.slotEnd);
    if (fatal) {
        FUZZ_CHECK(list.slotEnd == launcher::kFirstEntrySlot);
        return 0;
    }
    FUZZ_CHECK(list.slotEnd == launcher::kFirstEntrySlot + static_cast<int>(lines.size()));
    for (int slot = 0; slot < launcher::kFirstEntrySlot; ++slot) {
        FUZZ_CHECK(list.slots[slot].path.empty() && list.slots[slot].caption.empty());
    }
    std::size_t placedEntries = 0;
    for (int slot = launcher::kFirstEntrySlot; slot < list.slotEnd; ++slot) {
        CheckSlot(list.slots[slot]);
        FUZZ_CHECK(lines[slot - launcher::kFirstEntrySlot].compare(0, list.slots[slot].path.size(),
                                                                   list.slots[slot].path) == 0);
        placedEntries += launcher::PlaceOf(list.slots[slot]).depth > 0;
    }
    // The flags follow from the filed keys (only A-Z and 0-9): a pair for a
    // key of three or more characters under its first two, a letter for a key
    // of two, and the five built-in pairs.
    std::array<std::array<int, keys::kLetterCount>, keys::kLetterCount> pairs{};
    std::array<int, keys::kLetterCount> twoLetters{};
    for (int slot = launcher::kFirstEntrySlot; slot < list.slotEnd; ++slot) {
        const std::string& key = list.slots[slot].displayKey;
        const bool filed = !key.empty() && std::all_of(key.begin(), key.end(), [](char c) {
            return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        });
        if (!filed) continue;
        const int first = keys::LetterIndex(key[0]);
        if (key.size() == 2) twoLetters[first] = 1;
        if (key.size() > 2 && keys::LetterIndex(key[1]) >= 0) pairs[first][keys::LetterIndex(key[1])] = 1;
    }
    for (const auto& [command, place] : kBuiltInPlaces) {
        pairs[keys::LetterIndex(place.first)][keys::LetterIndex(place.second)] = 1;
    }
    FUZZ_CHECK(list.pairUsed == pairs && list.twoLetterUsed == twoLetters);

    const MenuNode root = launcher::BuildLetterMenu(list);
    MenuWalk walk{list, {}, {}, 0};
    walk.Visit(root, Path{});
    FUZZ_CHECK(walk.entryItems.size() == placedEntries);
    for (const auto& [command, times] : walk.entryItems) FUZZ_CHECK(times == 1);
    // Each built-in once; the five built-in pairs are never pruned.
    FUZZ_CHECK(walk.builtIns.size() == kBuiltInPlaces.size());
    for (const auto& [command, place] : kBuiltInPlaces) FUZZ_CHECK(walk.builtIns.count(command) == 1);

    const std::string dump = launcher::DumpMenu(root);
    FUZZ_CHECK(fuzz::CountOf(dump, '\n') >= walk.nodes);
    FUZZ_CHECK(dump.find("ID_DUMMY") == std::string::npos || bytes.find("ID_DUMMY") != std::string::npos);
    return 0;
}
