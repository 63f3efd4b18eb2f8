// Registration names: how a name field splits into its parts, the key under
// which the launcher files an entry, and which keys the registrar accepts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "registrar/registration_file.h"

namespace registrar {

// A name field taken apart at its TABs: file name, then TAB and option, then
// TAB and registration name. With more than two TABs the registration name is
// everything after the second TAB, further TABs included.
struct NameFieldParts {
    std::string fileName;
    std::string option;            // empty when there is none
    std::string registrationName;  // empty unless the field has two TABs or more
    std::size_t tabCount = 0;      // every TAB of the field
};

NameFieldParts SplitNameField(const std::string& nameField);

// The file name split at its last '.'; the extension keeps the '.'. A name whose
// only '.' is its first byte has an empty base name.
struct FileNameParts {
    std::string baseName;
    std::string extension;
};

FileNameParts SplitFileName(const std::string& fileName);

// The text before the first TAB, or the whole field.
std::string FileNameOf(const std::string& nameField);

// The explicit registration name, or the file name cut at its last '.' (when that
// '.' is not the first byte), upper-cased. A field with more than two TABs cannot
// be filed and gets the empty key.
std::string MakeRegistrationKey(const std::string& nameField);

// Only A-Z and 0-9, and at least one of them: an empty key has no first
// character to file the entry under.
bool IsValidRegistrationKey(const std::string& key);

bool HasValidRegistrationKey(const std::string& nameField);

// List positions whose key is not valid, first to last: the rows of the
// name-check dialog. Lines without a folder are not among them.
std::vector<std::size_t> CheckRegistrationNames(const std::vector<Entry>& entries);

// Removes every entry whose key is not valid and returns their texts (folder
// text + name field), the last list position first.
std::vector<std::string> RefuseInvalidNames(std::vector<Entry>& entries);

}  // namespace registrar
