// The launcher's start-up road for any bytes in cr.x: the slot table, then the
// letter menu built and pruned from it, then its dump.
//
// Invariants: no crash; the outcome is fatal exactly when one of the first
// 1000 CR LF lines has more than two TABs or a path without a real backslash,
// and then nothing of the file is kept; otherwise one slot per line from slot
// 20 on, and a menu whose items are entries (commands 32833-33832, each once,
// under the popups of its key, in file order) or the six built-ins (under their
// own paths, before any entry), with no placeholder left and no empty popup.
#include <map>
#include <set>

#include "fuzz_support.h"
#include "launcher/letter_menu.h"
#include "launcher/registration_list.h"

namespace {

using launcher::MenuNode;
namespace commands = launcher::commands;

const std::set<int> kBuiltInCommands = {commands::kRunFile, commands::kExit,     commands::kHelpContents,
                                        commands::kOptions, commands::kRegister, commands::kVersion};

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

// The letter index of a popup caption, -1 for any other text.
int LetterOfCaption(const std::string& text) {
    static const std::map<std::string, int> kLetters = [] {
        std::map<std::string, int> letters;
        for (int i = 0; i < keys::kLetterCount; ++i) letters[launcher::LetterCaption(i)] = i;
        return letters;
    }();
    const auto found = kLetters.find(text);
    return found == kLetters.end() ? -1 : found->second;
}

bool LineIsFatal(const std::string& line) {
    if (fuzz::CountOf(line, '\t') > 2) return true;
    return !fuzz::HasRealBackslash(line.substr(0, line.find('\t')));
}

struct MenuWalk {
    const launcher::RegistrationList& list;
    std::map<int, int> entryItems;  // command -> times seen
    std::multiset<int> builtIns;
    std::size_t nodes = 0;

    // `letters` holds the letter indices of the popups above the node.
    void Visit(const MenuNode& node, std::vector<int> letters) {
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
                    std::vector<int> deeper = letters;
                    deeper.push_back(letter);
                    FUZZ_CHECK(deeper.size() <= 2);
                    Visit(child, deeper);
                    continue;
                }
                Visit(child, letters);
            }
            return;
        }
        FUZZ_CHECK(node.text != "ID_DUMMY");
        FUZZ_CHECK(node.children.empty());
        const auto builtIn = kBuiltInPlaces.find(node.command);
        if (builtIn != kBuiltInPlaces.end()) {
            builtIns.insert(node.command);
            FUZZ_CHECK(letters.size() == 2);
            FUZZ_CHECK(letters[0] == keys::LetterIndex(builtIn->second.first));
            FUZZ_CHECK(letters[1] == keys::LetterIndex(builtIn->second.second));
            return;
        }
        FUZZ_CHECK(node.command >= commands::kFirstEntry && node.command <= commands::kLastEntry);
        ++entryItems[node.command];
        const int slot = node.command - launcher::kSlotCommandBase;
        FUZZ_CHECK(slot >= launcher::kFirstEntrySlot && slot < list.slotEnd);
        const launcher::Slot& entry = list.slots[slot];
        FUZZ_CHECK(node.text == entry.caption);
        const launcher::MenuPlace place = launcher::PlaceOf(entry);
        FUZZ_CHECK(place.depth == static_cast<int>(letters.size()) + 1);
        if (place.depth >= 2) FUZZ_CHECK(letters[0] == place.first);
        if (place.depth == 3) FUZZ_CHECK(letters[1] == place.second);
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
    for (const auto& row : list.pairUsed) {
        for (int flag : row) FUZZ_CHECK(flag == 0 || flag == 1);
    }
    for (int flag : list.twoLetterUsed) FUZZ_CHECK(flag == 0 || flag == 1);

    const MenuNode root = launcher::BuildLetterMenu(list);
    MenuWalk walk{list, {}, {}, 0};
    walk.Visit(root, {});
    FUZZ_CHECK(walk.entryItems.size() == placedEntries);
    for (const auto& [command, times] : walk.entryItems) FUZZ_CHECK(times == 1);
    // Each built-in once; the five built-in pairs are never pruned.
    FUZZ_CHECK(walk.builtIns == std::multiset<int>(kBuiltInCommands.begin(), kBuiltInCommands.end()));

    const std::string dump = launcher::DumpMenu(root);
    FUZZ_CHECK(fuzz::CountOf(dump, '\n') >= walk.nodes);
    FUZZ_CHECK(dump.find("ID_DUMMY") == std::string::npos || bytes.find("ID_DUMMY") != std::string::npos);
    return 0;
}
