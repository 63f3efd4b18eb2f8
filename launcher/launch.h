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
// A normal start names the entry's folder as it stands (a drive alone, "C:",
// meaning that drive's current folder), so that the started program works in
// it; the launcher's own working folder never changes.
std::optional<ShellRequest> LaunchRequest(const std::string& path, const std::string& option, LaunchMode mode,
                                          const std::function<bool(const std::string&)>& exists);

// Keys the open letter menu asks about (the values of the Windows headers).
namespace vkey {
constexpr unsigned kReturn = 0x0D;
constexpr unsigned kControl = 0x11;
constexpr unsigned kNumpad0 = 0x60;
}  // namespace vkey

// Whether a key (its virtual-key code) is down as the typed character came.
using KeyIsDown = bool (*)(unsigned virtualKey);

// The letter a control character typed in the letter menu stands for: with
// Ctrl held a letter arrives as one (Ctrl+M is 13). Enter (13), Tab (9) and
// Backspace (8) come as the same codes without Ctrl and keep their meaning;
// Ctrl+Enter (10, as Ctrl+J) is Enter. 0 when the character is no letter.
char ControlLetter(unsigned typed, KeyIsDown isDown);

// The character the letter menu is to take for a typed one: the letter of
// ControlLetter, Enter for Ctrl+Enter, otherwise the character as typed.
unsigned MenuCharacter(unsigned typed, KeyIsDown isDown);

// The digit a key gives the letter menu while Ctrl is held, where the system
// makes no character of it: '0'-'9' for the digit keys and the keypad's, 0
// for every other key.
char DigitOfKey(unsigned virtualKey);

// The positions of a menu node's children whose mnemonic (the character after
// a single '&') is `letter`, compared without case.
std::vector<int> MnemonicPositions(const MenuNode& node, char letter);

// The letters and digits typed into the open letter menu, so that Backspace
// takes back the last one as in a text field: each remembers how many levels
// were open before it, so that the level it opened closes again and one that
// matched nothing changes nothing.
class TypedLetters {
public:
    void Clear() { levelsBefore_.clear(); }
    void Typed(int levelsOpen) { levelsBefore_.push_back(levelsOpen); }
    // Backspace with `levelsOpen` levels open: true when the level that the
    // letter taken back opened is to close. Nothing typed: nothing happens,
    // and the menu never closes.
    bool TakeBack(int levelsOpen);

private:
    std::vector<int> levelsBefore_;
};

}  // namespace launcher
