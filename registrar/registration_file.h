// cr.x as the registrar holds it: per line a folder text (path up to and
// including its last backslash) and a name field (file name, then the TAB-joined
// option and registration name exactly as stored), so that a file read and
// written again comes out byte for byte the same.
#pragma once

#include <string>
#include <vector>

#include "common/file_store.h"

namespace registrar {

constexpr int kMaxEntries = 1000;
constexpr const char* kRegistrationFileName = "cr.x";

struct Entry {
    std::string nameField;
    std::string folderText;

    bool operator==(const Entry& other) const {
        return nameField == other.nameField && folderText == other.folderText;
    }
};

// Splits the bytes of cr.x into entries (at most 1000; text after the last
// CR LF and after a NUL is ignored; empty lines are skipped; a line without
// backslash in its head is kept whole as the name field with an empty folder).
std::vector<Entry> ParseRegistrationFile(const std::string& fileBytes);

// cr.x read for a merge. People edit it by hand, so the text that the readers
// above pass over is kept, to be told about: what follows the last CR LF (an
// LF-only file, a cut or unterminated last line), a line holding a lone CR or
// LF, lines past the thousandth entry, and everything after a NUL. Such text
// is split at CR, LF and NUL into its non-empty pieces.
struct RegistrationList {
    std::vector<Entry> entries;           // the CR LF lines that are entries
    std::vector<std::string> unreadable;  // the pieces of text that are no entry, in file order
    bool IsList() const { return unreadable.empty(); }
};

RegistrationList ReadRegistrationList(const std::string& fileBytes);

// Folder text, name field, CR LF per entry, in table order.
std::string BuildRegistrationText(const std::vector<Entry>& entries);

// Replaces cr.x (at `path`) in one step and leaves it read-only.
WriteResult WriteRegistrationFile(FileStore& store, const std::string& path, const std::vector<Entry>& entries);

// Splits a dropped or stored path at its last backslash.
Entry EntryFromPath(const std::string& path);

// Adds the paths as a drop adds them, from the shell, the command line or
// the file dialog alike: in their order, each split at its last backslash,
// nothing checked, as many as fit under 1000 entries. The number added.
std::size_t AddDroppedPaths(std::vector<Entry>& entries, const std::vector<std::string>& paths);

}  // namespace registrar
