#include "launcher/launch.h"

#include "common/cp932.h"
#include "launcher/registration_list.h"

namespace launcher {
namespace {

constexpr unsigned kLineFeed = 10;  // Ctrl+Enter, and Ctrl+J

// A folder as a directory to start in: a drive alone ("C:") means that
// drive's current folder to the system, so its root is named instead.
std::string AsDirectory(const std::string& folder) {
    if (folder.size() == 2 && folder[1] == ':') return folder + "\\";
    return folder;
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The byte after the caption's first single '&', 0 when there is none.
char MnemonicOf(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (cp932::IsLeadByte(static_cast<unsigned char>(caption[i]))) {
            ++i;  // a double-byte character is never a mnemonic mark
            continue;
        }
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return caption[i + 1];
        ++i;  // "&&" is a literal '&'
    }
    return 0;
}

}  // namespace

LaunchMode LaunchModeFor(bool shiftHeld, bool controlHeld) {
    if (controlHeld) return LaunchMode::ShowInFolder;
    return shiftHeld ? LaunchMode::RunAsAdministrator : LaunchMode::Open;
}

std::optional<ShellRequest> LaunchRequest(const std::string& path, const std::string& option, LaunchMode mode,
                                          const std::function<bool(const std::string&)>& exists) {
    const std::string folder = LaunchFolder(path);
    switch (mode) {
        case LaunchMode::Open: return ShellRequest{"", path, option, folder};
        case LaunchMode::RunAsAdministrator: return ShellRequest{"runas", path, option, AsDirectory(folder)};
        case LaunchMode::ShowInFolder:
            if (exists(path)) return ShellRequest{"", "explorer.exe", "/select,\"" + path + "\"", ""};
            if (!folder.empty() && exists(AsDirectory(folder))) return ShellRequest{"", AsDirectory(folder), "", ""};
            return std::nullopt;
    }
    return std::nullopt;
}

char ControlLetter(unsigned typed, KeyIsDown isDown) {
    if (typed < 1 || typed > 26 || !isDown(vkey::kControl)) return 0;
    if (typed == kLineFeed && isDown(vkey::kReturn)) return 0;
    return static_cast<char>('A' + typed - 1);
}

unsigned MenuCharacter(unsigned typed, KeyIsDown isDown) {
    if (const char letter = ControlLetter(typed, isDown)) return static_cast<unsigned char>(letter);
    return typed == kLineFeed && isDown(vkey::kReturn) ? '\r' : typed;
}

char DigitOfKey(unsigned virtualKey) {
    if (virtualKey >= '0' && virtualKey <= '9') return static_cast<char>(virtualKey);
    if (virtualKey >= vkey::kNumpad0 && virtualKey < vkey::kNumpad0 + 10) {
        return static_cast<char>('0' + virtualKey - vkey::kNumpad0);
    }
    return 0;
}

std::vector<int> MnemonicPositions(const MenuNode& node, char letter) {
    std::vector<int> positions;
    for (std::size_t i = 0; i < node.children.size(); ++i) {
        const char mnemonic = MnemonicOf(node.children[i].text);
        if (mnemonic != 0 && UpperAscii(mnemonic) == UpperAscii(letter)) positions.push_back(static_cast<int>(i));
    }
    return positions;
}

bool TypedLetters::TakeBack(int levelsOpen) {
    if (levelsBefore_.empty()) return false;
    const int before = levelsBefore_.back();
    levelsBefore_.pop_back();
    return levelsOpen > before && levelsOpen > 1;
}

}  // namespace launcher
