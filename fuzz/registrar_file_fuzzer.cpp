// The registrar's reading of cr.x for any bytes, and its writing of what it read.
//
// Invariants: no crash; one entry per non-empty CR LF line (at most 1000), each
// entry's folder text and name field giving the line back, split at the head's
// last real backslash; the text written from the entries reads back as the
// same entries; a file made only of well-formed lines comes back byte for byte;
// entries the registrar makes itself (a dropped path and the settings dialog's
// name field) survive a write and a read unchanged. The reading for a merge
// puts every byte but CR, LF and NUL in one of its entries (the plain
// reading's, less some) or its unreadable pieces; a list is its entries' text.
#include "fuzz_support.h"
#include "registrar/entry_settings.h"
#include "registrar/registration_file.h"
#include "registrar/registration_names.h"

namespace {

using registrar::Entry;

bool IsWellFormed(const std::string& bytes, const std::vector<std::string>& lines) {
    if (fuzz::TextBeforeNul(bytes) != bytes) return false;
    if (lines.size() > static_cast<std::size_t>(registrar::kMaxEntries)) return false;
    std::string rebuilt;
    for (const std::string& line : lines) {
        if (line.empty()) return false;
        rebuilt += line + "\r\n";
    }
    return rebuilt == bytes;
}

void CheckEntry(const Entry& entry, const std::string& line) {
    FUZZ_CHECK(entry.folderText + entry.nameField == line);
    FUZZ_CHECK(entry.folderText.find('\t') == std::string::npos);
    FUZZ_CHECK(entry.folderText.empty() || entry.folderText.back() == '\\');
    FUZZ_CHECK(entry.folderText.empty() || fuzz::HasRealBackslash(entry.folderText));
    FUZZ_CHECK(!fuzz::HasRealBackslash(registrar::FileNameOf(entry.nameField)));
    // No folder means no backslash anywhere in the head.
    if (entry.folderText.empty()) FUZZ_CHECK(!fuzz::HasRealBackslash(line.substr(0, line.find('\t'))));
}

std::string WithoutBytes(const std::string& text, const std::string& unwanted) {
    std::string kept;
    for (char c : text) {
        if (unwanted.find(c) == std::string::npos) kept += c;
    }
    return kept;
}

// The entry the registrar would make from a dropped file at the entry's path,
// after the settings dialog confirmed the entry's option and name.
bool MakeRegistrarEntry(const Entry& read, Entry& made) {
    // A dropped path never holds TAB, CR, LF or NUL.
    const std::string path = WithoutBytes(read.folderText + registrar::FileNameOf(read.nameField),
                                          std::string("\t\r\n\0", 4));
    if (path.empty()) return false;
    made = registrar::EntryFromPath(path);
    registrar::EntrySettings settings = registrar::SettingsFromNameField(read.nameField);
    registrar::ConfirmSettings(settings);
    settings.fileName = made.nameField;
    made.nameField = registrar::NameFieldFromSettings(settings);
    return true;
}

void CheckListReading(const std::string& bytes, const std::vector<std::string>& allLines,
                      const std::vector<Entry>& parsed) {
    const std::string breaks("\r\n\0", 3);
    const registrar::RegistrationList list = registrar::ReadRegistrationList(bytes);
    std::size_t matched = 0;
    for (const Entry& entry : parsed) {
        if (matched < list.entries.size() && entry == list.entries[matched]) ++matched;
    }
    FUZZ_CHECK(matched == list.entries.size());
    std::string entryText;  // what the entries hold, in file order
    for (const Entry& entry : list.entries) entryText += entry.folderText + entry.nameField;
    std::size_t pieceBytes = 0;
    for (const std::string& piece : list.unreadable) {
        FUZZ_CHECK(!piece.empty() && piece.find_first_of(breaks) == std::string::npos);
        FUZZ_CHECK(bytes.find(piece) != std::string::npos);
        pieceBytes += piece.size();
    }
    const std::string text = WithoutBytes(bytes, breaks);
    FUZZ_CHECK(entryText.find_first_of(breaks) == std::string::npos);
    FUZZ_CHECK(entryText.size() + pieceBytes == text.size());
    if (list.IsList()) FUZZ_CHECK(entryText == text);
    const bool onlyCrLf =
        fuzz::CountOf(bytes, '\r') == allLines.size() && fuzz::CountOf(bytes, '\n') == allLines.size();
    if (IsWellFormed(bytes, allLines) && onlyCrLf) FUZZ_CHECK(list.IsList());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::BytesOf(data, size);
    const std::vector<Entry> entries = registrar::ParseRegistrationFile(bytes);

    const std::vector<std::string> allLines = fuzz::CrLfLines(fuzz::TextBeforeNul(bytes), bytes.size());
    std::vector<std::string> lines;
    for (const std::string& line : allLines) {
        if (!line.empty() && lines.size() < static_cast<std::size_t>(registrar::kMaxEntries)) lines.push_back(line);
    }
    FUZZ_CHECK(entries.size() == lines.size());
    for (std::size_t i = 0; i < entries.size(); ++i) CheckEntry(entries[i], lines[i]);

    const std::string written = registrar::BuildRegistrationText(entries);
    FUZZ_CHECK(registrar::ParseRegistrationFile(written) == entries);
    if (IsWellFormed(bytes, allLines)) FUZZ_CHECK(written == bytes);
    CheckListReading(bytes, allLines, entries);

    std::vector<Entry> made;
    for (const Entry& entry : entries) {
        Entry registrarEntry;
        if (MakeRegistrarEntry(entry, registrarEntry)) made.push_back(registrarEntry);
    }
    const std::string madeText = registrar::BuildRegistrationText(made);
    FUZZ_CHECK(registrar::ParseRegistrationFile(madeText) == made);
    return 0;
}
