#include "launcher/registration_list.h"

#include "common/cp932.h"
#include "common/file_store.h"

namespace launcher {
namespace {

constexpr const char* kLineEnd = "\r\n";

// Built-in pairs whose third-level popups hold the six built-in commands.
constexpr std::array<std::array<char, 2>, 5> kBuiltInPairs = {{
    {'H', 'E'}, {'R', 'E'}, {'V', 'E'}, {'O', 'P'}, {'E', 'X'},
}};

void SplitLine(const std::string& line, Slot& slot) {
    const auto firstTab = line.find('\t');
    if (firstTab == std::string::npos) {
        slot.path = line;
        return;
    }
    const auto secondTab = line.find('\t', firstTab + 1);
    if (secondTab == std::string::npos) {
        slot.path = line.substr(0, firstTab);
        slot.option = line.substr(firstTab + 1);
        return;
    }
    if (line.find('\t', secondTab + 1) != std::string::npos) {
        slot.path = line;  // not split; the derivation refuses it
        return;
    }
    slot.path = line.substr(0, firstTab);
    slot.option = line.substr(firstTab + 1, secondTab - firstTab - 1);
    slot.registrationName = line.substr(secondTab + 1);
}

// A menu caption shows '&' literally only when it is doubled.
std::string EscapeAmpersands(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        escaped += c;
        if (c == '&') escaped += '&';
    }
    return escaped;
}

// The key's third character, or its last when it is shorter: the character
// typed at the item's own level. Whole characters, never a lone byte.
std::string MnemonicOf(const std::string& displayKey) {
    const std::size_t count = cp932::CharCount(displayKey);
    if (count == 0) return std::string();
    return cp932::NthCharacter(displayKey, count > 2 ? 2 : count - 1);
}

// False when the slot's path cannot be an entry.
bool DeriveFields(Slot& slot) {
    if (slot.path.find('\t') != std::string::npos) return false;
    const auto backslash = cp932::FindLastBackslash(slot.path);
    if (backslash == std::string::npos) return false;
    slot.fileName = slot.path.substr(backslash + 1);
    const std::string base = slot.registrationName.empty()
                                 ? slot.fileName.substr(0, slot.fileName.find('.'))
                                 : slot.registrationName;
    slot.displayKey = cp932::ToUpperSingleByte(base);
    slot.menuKey = keys::ShiftDigits(slot.displayKey);
    return true;
}

std::string CaptionOf(const Slot& slot) {
    std::string caption = EscapeAmpersands(slot.fileName) + "(&" + MnemonicOf(slot.displayKey) + ")";
    if (!slot.option.empty()) caption += " - " + EscapeAmpersands(slot.option);
    return caption;
}

}  // namespace

MenuPlace PlaceOf(const Slot& slot) {
    // Judged on the unshifted key: '[' or '_' in a name must not pass for a
    // digit. Any other character anywhere in the key leaves it out of the
    // menu, as the registrar refuses such names.
    const std::string& key = slot.displayKey;
    if (!keys::IsFileableKey(key)) return {};
    const int first = keys::LetterIndex(key[0]);
    if (key.size() == 1) return {1, first, -1};
    if (key.size() == 2) return {2, first, -1};
    return {3, first, keys::LetterIndex(key[1])};
}

std::string LaunchFolder(const std::string& path) {
    const auto backslash = cp932::FindLastBackslash(path);
    return backslash == std::string::npos ? std::string() : path.substr(0, backslash);
}

int SlotCommandId(int slot) {
    if (slot < 10) return 32812 + slot;
    if (slot < kFirstEntrySlot) return 32823 + (slot - 10);
    return kSlotCommandBase + slot;
}

RegistrationListLoad LoadRegistrationList(const std::string& fileBytes) {
    RegistrationListLoad load;
    RegistrationList& list = load.list;
    const std::string text = UpToFirstNul(fileBytes);

    std::size_t start = 0;
    while (start < text.size() && static_cast<int>(list.slots.size()) < kSlotTableSize) {
        const auto end = text.find(kLineEnd, start);
        if (end == std::string::npos) break;
        Slot slot;
        SplitLine(text.substr(start, end - start), slot);
        if (!DeriveFields(slot)) {
            load.outcome = LoadOutcome::Fatal;
            load.fatalLine = static_cast<int>(list.slots.size()) - kFirstEntrySlot + 1;
            load.list = RegistrationList();
            return load;
        }
        slot.caption = CaptionOf(slot);
        list.slots.push_back(std::move(slot));
        start = end + 2;
    }
    list.slotEnd = static_cast<int>(list.slots.size());

    for (const Slot& slot : list.slots) {
        const MenuPlace place = PlaceOf(slot);
        if (place.depth == 2) list.twoLetterUsed[place.first] = 1;
        if (place.depth == 3) list.pairUsed[place.first][place.second] = 1;
    }
    for (const auto& pair : kBuiltInPairs) {
        list.pairUsed[keys::LetterIndex(pair[0])][keys::LetterIndex(pair[1])] = 1;
    }
    return load;
}

}  // namespace launcher
