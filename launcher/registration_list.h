// The launcher's slot table: cr.x read into slots 20-1019 in file order, with
// each entry's key, menu key, item caption and the per-letter flag tables.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "common/key_order.h"

namespace launcher {

constexpr int kFirstEntrySlot = 20;
constexpr int kSlotTableSize = 1020;
constexpr int kMaxEntries = kSlotTableSize - kFirstEntrySlot;
constexpr int kSlotCommandBase = 32813;  // an entry's command is 32813 + slot

struct Slot {
    std::string path;
    std::string option;
    std::string registrationName;
    std::string fileName;    // after the last backslash, extension kept
    std::string displayKey;  // upper-cased registration name, or file name up to its first '.'
    std::string menuKey;     // displayKey with digits moved past 'Z'
    std::string caption;     // the menu item's text
};

struct RegistrationList {
    std::vector<Slot> slots = std::vector<Slot>(kFirstEntrySlot);  // index is the slot number
    int slotEnd = kFirstEntrySlot;
    std::array<std::array<int, keys::kLetterCount>, keys::kLetterCount> pairUsed{};
    std::array<int, keys::kLetterCount> twoLetterUsed{};
};

enum class LoadOutcome {
    Loaded,
    Fatal,  // a line without backslash (an empty line too) or with more than two TABs
};

struct RegistrationListLoad {
    LoadOutcome outcome = LoadOutcome::Loaded;
    int fatalLine = 0;  // the refused line, counted from 1 (Fatal only)
    RegistrationList list;
};

// Reads the bytes of cr.x. Nothing of a file that gives the fatal outcome is used.
RegistrationListLoad LoadRegistrationList(const std::string& fileBytes);

// The folder an entry starts in: its path up to, not including, the last real
// backslash. For a file in a drive's root that is the drive alone ("C:"),
// which the system takes as that drive's current folder. Empty when the path
// has no backslash.
std::string LaunchFolder(const std::string& path);

// The command identifier of a slot (the constant slotCommandIds table).
int SlotCommandId(int slot);

// Where an entry is filed in the letter menu: by its first (and second) letter
// indices; `depth` is 0 when the entry has no place (an empty key, or one with
// any character outside A-Z and 0-9). Such an entry keeps its slot.
struct MenuPlace {
    int depth = 0;  // 1: root, 2: letter popup, 3: third-level popup
    int first = -1;
    int second = -1;
};
MenuPlace PlaceOf(const Slot& slot);

}  // namespace launcher
