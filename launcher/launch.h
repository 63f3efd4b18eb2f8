// What the shell is asked to do when the user chooses an entry: start it
// (as administrator with Shift held), or show it in its folder (Ctrl held).
// Plain values, so that every choice is tested anywhere.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "launcher/letter_menu.h"

namespace launcher {

enum class LaunchMode {
    Open,                // the file's default action, from its own folder
    RunAsAdministrator,  // the shell's "runas" verb, from its own folder
    ShowInFolder,        // the file manager, on the file's folder with the file selected
};

// The keys held at the moment of the choice: Ctrl shows the folder (also with
// Shift), Shift alone runs as administrator.
LaunchMode LaunchModeFor(bool shiftHeld, bool controlHeld);

// One request to the shell; texts in code page 932, empty ones left out.
struct ShellRequest {
    std::string verb;
    std::string file;
    std::string parameters;
    std::string directory;
    bool operator==(const ShellRequest& other) const {
        return verb == other.verb && file == other.file && parameters == other.parameters &&
               directory == other.directory;
    }
};

// The request for an entry in `mode`; none when there is nothing to show (the
// file and its folder are both gone). `exists` tells whether a path exists.
// A normal start names no directory: the launcher starts it from within the
// entry's folder, which the started program inherits.
std::optional<ShellRequest> LaunchRequest(const std::string& path, const std::string& option, LaunchMode mode,
                                          const std::function<bool(const std::string&)>& exists);

// The positions of a menu node's children whose mnemonic (the character after
// a single '&') is `letter`, compared without case.
std::vector<int> MnemonicPositions(const MenuNode& node, char letter);

}  // namespace launcher
