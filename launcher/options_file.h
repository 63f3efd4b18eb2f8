// opt.x: the launcher's three options (trigger key, number of presses, press
// speed) as eight lines of plain text, read by position.
#pragma once

#include <optional>
#include <string>

#include "common/file_store.h"

namespace launcher {

struct Options {
    int keyIndex = 1;    // 0 Alt, 1 Ctrl, 2 Shift
    int countIndex = 1;  // presses needed = countIndex + 2
    int speed = 50;      // longest gap between presses = 8 * speed + 120 ms
};

// Reads the three values by the positions of the line ends; header texts are
// not checked. A value whose line is missing (a truncated file, LF-only line
// ends) reads as 0; a number beyond the int range is clamped to INT_MIN or
// INT_MAX. The text ends at the first NUL.
Options ParseOptions(const std::string& fileBytes);

// The exact bytes of opt.x (59 bytes for the defaults).
std::string BuildOptionsText(const Options& options);

// A missing or empty file gives the defaults, which are then written. A file
// that cannot be read gives the defaults and is left alone.
Options ReadOptions(FileStore& store, const std::string& path);

// Replaces the file in one step and leaves it read-only. The launcher ignores
// a failure and keeps its values in memory.
WriteResult WriteOptions(FileStore& store, const std::string& path, const Options& options);

// The virtual-key code the hook watches for a key index: 0 -> 18 (Alt),
// 1 -> 17 (Ctrl), 2 -> 16 (Shift); none for any other index.
std::optional<unsigned> HookKeyCode(int keyIndex);

// The options command once its dialog has ended: `chosen` holds the dialog's
// values after OK, nothing after any other end. On OK they replace `options`
// and opt.x is rewritten at `path`; a failed write is ignored, the values stay
// in memory. Returns the virtual-key code the hook is to watch from now on:
// none when the dialog was not confirmed or the key index is outside 0-2.
std::optional<unsigned> ApplyOptionsChoice(Options& options, const std::optional<Options>& chosen, FileStore& store,
                                           const std::string& path);

}  // namespace launcher
