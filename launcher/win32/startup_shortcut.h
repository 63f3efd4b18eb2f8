// The shortcut in the user's Startup folder that starts the launcher when the
// user signs in. Its working folder is the launcher's start-up folder, where
// cr.x and opt.x live, so that a launcher started from there finds its files.
#pragma once

#include <optional>
#include <string>

namespace tobi {

struct ShortcutTarget {
    std::wstring program;        // full path of Tobi.exe
    std::wstring workingFolder;  // the start-up folder
};

class StartupShortcut {
public:
    // The user's Startup folder, or `folder` when one is given.
    explicit StartupShortcut(std::wstring folder = std::wstring());

    // The shortcut's full path, empty when the Startup folder is unknown.
    const std::wstring& Path() const { return path_; }
    bool Exists() const;
    // Writes the shortcut, replacing one that is there; needs COM on this thread.
    bool Create(const ShortcutTarget& target) const;
    bool Remove() const;
    // What the shortcut starts, from where; none when it cannot be read.
    std::optional<ShortcutTarget> Read() const;
    // Whether the shortcut starts `target`'s program in its working folder,
    // the paths compared as the file system does, without case.
    bool Starts(const ShortcutTarget& target) const;

private:
    std::wstring path_;
};

}  // namespace tobi
