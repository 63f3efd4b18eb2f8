// The launcher's reading of opt.x and of fullscreen.x for any bytes, and its
// writing of opt.x.
//
// Invariants: no crash; a written opt.x is exactly eight CR LF lines and reads
// back as the same three values, for the values read from any file and for any
// three ints (taken from the input's first twelve bytes); reading through the
// file store gives what the plain reading gives and writes only a missing or
// empty file (the 59-byte default file); fullscreen.x reads through the store
// as the plain reading does and is never written by reading.
#include <cstring>

#include "fuzz_support.h"
#include "launcher/full_screen_setting.h"
#include "launcher/options_file.h"
#include "tests/support/memory_file_store.h"

namespace {

bool SameValues(const launcher::Options& a, const launcher::Options& b) {
    return a.keyIndex == b.keyIndex && a.countIndex == b.countIndex && a.speed == b.speed;
}

void CheckWrittenFile(const launcher::Options& options) {
    const std::string text = launcher::BuildOptionsText(options);
    const std::vector<std::string> lines = fuzz::CrLfLines(text, 100);
    FUZZ_CHECK(lines.size() == 8);
    std::string rebuilt;
    for (const std::string& line : lines) rebuilt += line + "\r\n";
    FUZZ_CHECK(rebuilt == text);
    FUZZ_CHECK(lines[0] == "[ K_Index ] =" && lines[3] == "[ T_Index ] =" && lines[6] == "[ S_Index ] =");
    FUZZ_CHECK(lines[2].empty() && lines[5].empty());
    FUZZ_CHECK(lines[1] == std::to_string(options.keyIndex));
    FUZZ_CHECK(lines[4] == std::to_string(options.countIndex));
    FUZZ_CHECK(lines[7] == std::to_string(options.speed));
    FUZZ_CHECK(SameValues(launcher::ParseOptions(text), options));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = fuzz::BytesOf(data, size);

    const launcher::Options read = launcher::ParseOptions(bytes);
    CheckWrittenFile(read);

    if (size >= 3 * sizeof(int)) {
        launcher::Options chosen;
        std::memcpy(&chosen.keyIndex, data, sizeof(int));
        std::memcpy(&chosen.countIndex, data + sizeof(int), sizeof(int));
        std::memcpy(&chosen.speed, data + 2 * sizeof(int), sizeof(int));
        CheckWrittenFile(chosen);
    }

    MemoryFileStore store;
    store.files["opt.x"] = bytes;
    const launcher::Options stored = launcher::ReadOptions(store, "opt.x");
    if (bytes.empty()) {
        FUZZ_CHECK(SameValues(stored, launcher::Options{}));
        FUZZ_CHECK(store.files["opt.x"].size() == 59);
        FUZZ_CHECK(store.readOnly.count("opt.x") == 1);
    } else {
        FUZZ_CHECK(SameValues(stored, read));
        FUZZ_CHECK(store.writeCount == 0 && store.files["opt.x"] == bytes);
    }

    MemoryFileStore settingStore;
    settingStore.files["fullscreen.x"] = bytes;
    const bool quiet = launcher::ReadFullScreenSetting(settingStore, "fullscreen.x").quietOverFullScreen;
    FUZZ_CHECK(quiet == launcher::ParseFullScreenSetting(bytes));
    FUZZ_CHECK(settingStore.writeCount == 0 && settingStore.files["fullscreen.x"] == bytes);
    return 0;
}
