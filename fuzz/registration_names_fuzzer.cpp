// Name fields taken apart, registration keys derived and judged, and the
// settings dialog's round trip, for the whole input as one name field and for
// every entry the registrar reads from the input as cr.x.
//
// Invariants: the parts give the field back; the key is the registration name
// or the file name cut at its last '.', upper-cased and idempotent under
// upper-casing; a key is valid exactly when it is non-empty A-Z/0-9, and only
// then has a letter bucket; the settings round trip reaches a fixed point after
// one pass, gives a well-formed field back unchanged and never leaves more than
// two TABs; and the key the launcher derives from an accepted entry's cr.x line
// equals the registrar's key.
#include "common/cp932.h"
#include "common/key_order.h"
#include "fuzz_support.h"
#include "launcher/registration_list.h"
#include "registrar/entry_settings.h"
#include "registrar/ordering.h"
#include "registrar/registration_file.h"
#include "registrar/registration_names.h"

namespace {

bool IsPlainKey(const std::string& key) {
    if (key.empty()) return false;
    for (char c : key) {
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    return true;
}

bool HasLineBreak(const std::string& text) {
    return text.find('\r') != std::string::npos || text.find('\n') != std::string::npos;
}

void CheckParts(const std::string& nameField, const registrar::NameFieldParts& parts) {
    FUZZ_CHECK(parts.tabCount == fuzz::CountOf(nameField, '\t'));
    FUZZ_CHECK(parts.fileName.find('\t') == std::string::npos);
    FUZZ_CHECK(registrar::FileNameOf(nameField) == parts.fileName);
    if (parts.tabCount == 0) {
        FUZZ_CHECK(parts.fileName == nameField && parts.option.empty() && parts.registrationName.empty());
    } else if (parts.tabCount == 1) {
        FUZZ_CHECK(parts.fileName + "\t" + parts.option == nameField && parts.registrationName.empty());
    } else {
        FUZZ_CHECK(parts.option.find('\t') == std::string::npos);
        FUZZ_CHECK(parts.fileName + "\t" + parts.option + "\t" + parts.registrationName == nameField);
    }

    const registrar::FileNameParts file = registrar::SplitFileName(parts.fileName);
    FUZZ_CHECK(file.baseName + file.extension == parts.fileName);
    FUZZ_CHECK(file.extension.empty() || (file.extension[0] == '.' && fuzz::CountOf(file.extension, '.') == 1));
    if (file.extension.empty()) FUZZ_CHECK(parts.fileName.find('.') == std::string::npos);
}

std::string CheckKey(const std::string& nameField, const registrar::NameFieldParts& parts) {
    const std::string key = registrar::MakeRegistrationKey(nameField);
    FUZZ_CHECK(cp932::ToUpperSingleByte(key) == key);
    if (parts.tabCount > 2) {
        FUZZ_CHECK(key.empty());
    } else if (parts.tabCount == 2) {
        FUZZ_CHECK(key == cp932::ToUpperSingleByte(parts.registrationName));
    } else {
        const auto dot = parts.fileName.rfind('.');
        const std::string base = dot != std::string::npos && dot > 0 ? parts.fileName.substr(0, dot) : parts.fileName;
        FUZZ_CHECK(key == cp932::ToUpperSingleByte(base));
    }

    const bool valid = registrar::IsValidRegistrationKey(key);
    FUZZ_CHECK(valid == IsPlainKey(key));
    FUZZ_CHECK(registrar::HasValidRegistrationKey(nameField) == valid);
    FUZZ_CHECK(registrar::MakeSortKey(nameField) == keys::ShiftDigits(key));
    const int bucket = registrar::BucketOfKey(key);
    FUZZ_CHECK(valid ? bucket == keys::LetterIndex(key[0]) : bucket == registrar::kUnfiledBucket);
    return key;
}

void CheckSettingsRoundTrip(const std::string& nameField, const registrar::NameFieldParts& parts) {
    registrar::EntrySettings settings = registrar::SettingsFromNameField(nameField);
    FUZZ_CHECK(settings.fileName == parts.fileName);
    registrar::ConfirmSettings(settings);
    FUZZ_CHECK(!HasLineBreak(settings.optionText) && settings.optionText.find('\t') == std::string::npos);
    FUZZ_CHECK(!HasLineBreak(settings.nameText) && settings.nameText.find('\t') == std::string::npos);
    const std::string rebuilt = registrar::NameFieldFromSettings(settings);
    FUZZ_CHECK(fuzz::CountOf(rebuilt, '\t') <= 2);

    registrar::EntrySettings again = registrar::SettingsFromNameField(rebuilt);
    registrar::ConfirmSettings(again);
    FUZZ_CHECK(registrar::NameFieldFromSettings(again) == rebuilt);

    // A field as the dialog writes it: no stray TAB or line break, an option
    // after one TAB, a name after two.
    const bool wellFormed = parts.tabCount <= 2 && !HasLineBreak(parts.option) &&
                            !HasLineBreak(parts.registrationName) && (parts.tabCount != 1 || !parts.option.empty()) &&
                            (parts.tabCount != 2 || !parts.registrationName.empty());
    if (wellFormed) FUZZ_CHECK(rebuilt == nameField);
}

// The launcher reads the entry's line and files it under the same key.
void CheckLauncherAgrees(const std::string& folderText, const std::string& nameField, const std::string& key,
                         const registrar::NameFieldParts& parts) {
    if (!registrar::IsValidRegistrationKey(key)) return;
    if (parts.tabCount > 2 || HasLineBreak(nameField) || nameField.find('\0') != std::string::npos) return;
    // The registrar's file names never hold a backslash: it splits paths at the last one.
    if (fuzz::HasRealBackslash(parts.fileName)) return;
    const launcher::RegistrationListLoad load = launcher::LoadRegistrationList(folderText + nameField + "\r\n");
    FUZZ_CHECK(load.outcome == launcher::LoadOutcome::Loaded);
    FUZZ_CHECK(load.list.slotEnd == launcher::kFirstEntrySlot + 1);
    const launcher::Slot& slot = load.list.slots[launcher::kFirstEntrySlot];
    FUZZ_CHECK(slot.displayKey == key);
    FUZZ_CHECK(slot.fileName == parts.fileName);
    FUZZ_CHECK(launcher::PlaceOf(slot).first == registrar::BucketOfKey(key));
}

void CheckNameField(const std::string& folderText, const std::string& nameField) {
    const registrar::NameFieldParts parts = registrar::SplitNameField(nameField);
    CheckParts(nameField, parts);
    const std::string key = CheckKey(nameField, parts);
    CheckSettingsRoundTrip(nameField, parts);
    CheckLauncherAgrees(folderText, nameField, key, parts);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::BytesOf(data, size);
    CheckNameField("C:\\Tools\\", bytes);
    for (const registrar::Entry& entry : registrar::ParseRegistrationFile(bytes)) {
        // A line read without a backslash has no folder; the launcher would refuse it.
        const std::string folder = entry.folderText.empty() ? std::string("C:\\") : entry.folderText;
        CheckNameField(folder, entry.nameField);
    }
    return 0;
}
