// fullscreen.x: whether taps summon the letter menu while the program in front
// is full-screen. A file of its own beside opt.x, so that opt.x keeps its
// eight lines: a header line and a value line, 1 (the default: no summons
// over a full-screen program) or 0 (summons as anywhere else).
#pragma once

#include <string>

#include "common/file_store.h"

namespace launcher {

// The value line reads 0 (blanks around it allowed): false; anything else, a
// missing line included, gives the default, true.
bool ParseFullScreenSetting(const std::string& fileBytes);

std::string BuildFullScreenSettingText(bool quietOverFullScreen);

struct FullScreenSettingRead {
    bool quietOverFullScreen = true;
    std::string warning;  // the text of a 警告 box (cp932); empty: nothing to tell
};

// A missing file gives the default without a word; one that is there but
// cannot be read gives the default and a warning. Nothing is ever written or
// created by reading.
FullScreenSettingRead ReadFullScreenSetting(FileStore& store, const std::string& path);

// The tray item chosen: the setting flips and the file is replaced whole,
// read-only after it. The flipped setting holds for this run even when the
// file cannot be written; then the text of the 警告 box that says so is
// returned, otherwise an empty text.
std::string ToggleFullScreenSetting(bool& quietOverFullScreen, FileStore& store, const std::string& path);

}  // namespace launcher
