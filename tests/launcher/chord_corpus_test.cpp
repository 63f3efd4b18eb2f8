// The chord corpus (chord_corpus.inc) replayed through the hook's key filter,
// its queue of transitions and the key-press trigger, the way the running
// launcher joins them: the hook thread records each key event's transition
// with its time and hands over one notice at a time, chosen under the action
// the launcher has set by then; the user-interface thread handles each notice
// some time after it was handed over (0 ms, 5 ms, or 2 s for a thread kept
// busy) and may set a new action for the transitions after it.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/trigger.h"
#include "tests/support/launcher_model.h"
#include "vantoke/key_filter.h"

namespace {

namespace vk = vantoke::vk;

const char* const kCorpusText =
#include "tests/launcher/chord_corpus.inc"
    ;

struct KeyCode {
    unsigned virtualKey;
    unsigned scanCode;
    bool extended;
};

const std::map<std::string, KeyCode>& KeyCodes() {
    static const std::map<std::string, KeyCode> codes = [] {
        std::map<std::string, KeyCode> table = {
            {"LCtrl", {vk::kLeftControl, 0x1D, false}},   {"RCtrl", {vk::kRightControl, 0x1D, true}},
            {"LShift", {vk::kLeftShift, 0x2A, false}},    {"RShift", {vk::kRightShift, 0x36, false}},
            {"LAlt", {vk::kLeftMenu, 0x38, false}},       {"RAlt", {vk::kRightMenu, 0x38, true}},
            {"AltGrCtrl", {vk::kLeftControl, vantoke::kAltGrControlScanCode, false}},
            {"LWin", {0x5B, 0x5B, true}},                 {"Tab", {0x09, 0x0F, false}},
            {"Enter", {0x0D, 0x1C, false}},               {"Esc", {0x1B, 0x01, false}},
            {"Backspace", {0x08, 0x0E, false}},           {"Space", {0x20, 0x39, false}},
            {"Home", {0x24, 0x47, true}},                 {"End", {0x23, 0x4F, true}},
            {"Left", {0x25, 0x4B, true}},                 {"Up", {0x26, 0x48, true}},
            {"Right", {0x27, 0x4D, true}},                {"Down", {0x28, 0x50, true}},
        };
        const unsigned letterScanCodes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                              0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                              0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
        for (unsigned i = 0; i < 26; ++i) {
            table[std::string(1, static_cast<char>('A' + i))] = {0x41 + i, letterScanCodes[i], false};
        }
        for (unsigned i = 0; i < 10; ++i) {
            // '1'..'9' have scan codes 0x02..0x0A, '0' has 0x0B.
            table[std::string(1, static_cast<char>('0' + i))] = {0x30 + i, i == 0 ? 0x0Bu : 0x01 + i, false};
        }
        return table;
    }();
    return codes;
}

struct TimedEvent {
    int time;
    vantoke::KeyEvent event;
};

struct Sequence {
    std::string name;
    bool isChord = true;
    unsigned watchedKey = vk::kControl;  // taps only
    int countIndex = 1;
    int speed = 50;
    int expectedSummons = 0;
    std::vector<TimedEvent> events;
};

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

unsigned WatchedKeyNamed(const std::string& name) {
    if (name == "Ctrl") return vk::kControl;
    if (name == "Shift") return vk::kShift;
    if (name == "Alt") return vk::kMenu;
    Fail("unknown watched key " + name);
}

vantoke::KeyEvent EventOf(const std::string& key, bool keyUp) {
    const auto found = KeyCodes().find(key);
    if (found == KeyCodes().end()) Fail("unknown key " + key);
    return {found->second.virtualKey, found->second.scanCode, found->second.extended, keyUp, 0};
}

// "+KEY@MS", "-KEY@MS" or "~KEY@FROM-TO/EVERY" (auto-repeat key-downs of one
// key, or of several joined by '+').
void AddEvents(const std::string& token, Sequence& sequence) {
    const auto at = token.find('@');
    if (token.size() < 4 || at == std::string::npos) Fail("bad event " + token);
    const std::string key = token.substr(1, at - 1);
    const std::string time = token.substr(at + 1);
    switch (token[0]) {
        case '+':
        case '-':
            sequence.events.push_back({std::stoi(time), EventOf(key, token[0] == '-')});
            return;
        case '~': {
            int from = 0, to = 0, every = 0;
            if (std::sscanf(time.c_str(), "%d-%d/%d", &from, &to, &every) != 3 || every <= 0 || to < from) {
                Fail("bad auto-repeat " + token);
            }
            // Keys that repeat together ("AltGrCtrl+RAlt") repeat in the order given.
            std::vector<std::string> keys;
            std::istringstream names(key);
            for (std::string name; std::getline(names, name, '+');) keys.push_back(name);
            for (int t = from; t <= to; t += every) {
                for (const std::string& name : keys) sequence.events.push_back({t, EventOf(name, false)});
            }
            return;
        }
        default:
            Fail("bad event " + token);
    }
}

std::vector<Sequence> ParseCorpus(const std::string& text) {
    std::vector<Sequence> corpus;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word[0] == '#') continue;
        if (word == "chord" || word == "taps") {
            Sequence sequence;
            sequence.isChord = word == "chord";
            words >> sequence.name;
            if (!sequence.isChord) {
                std::string watched;
                if (!(words >> watched >> sequence.countIndex >> sequence.speed >> sequence.expectedSummons)) {
                    Fail("taps line needs WATCH COUNT SPEED SUMMONS: " + line);
                }
                sequence.watchedKey = WatchedKeyNamed(watched);
                sequence.countIndex -= 2;  // presses needed = countIndex + 2
            }
            if (sequence.name.empty()) Fail("sequence without a name");
            corpus.push_back(sequence);
            continue;
        }
        if (corpus.empty()) Fail("event before the first sequence: " + line);
        do {
            AddEvents(word, corpus.back());
        } while (words >> word);
    }
    for (const Sequence& sequence : corpus) {
        if (sequence.events.empty()) Fail(sequence.name + " has no events");
        for (std::size_t i = 1; i < sequence.events.size(); ++i) {
            if (sequence.events[i].time < sequence.events[i - 1].time) Fail(sequence.name + " goes back in time");
        }
    }
    return corpus;
}

struct Settings {
    unsigned watchedKey;
    int countIndex;
    int speed;
    int uiLatency;   // ms between the hook's post and the handling of the notice
    int firstStamp;  // the stamp clock at the start of the replay
};

// One launcher: the hook's filter state and queue, the notice in flight, and
// the launcher's side.
class Launcher {
public:
    explicit Launcher(const Settings& settings)
        : settings_(settings), model_(settings.countIndex, settings.speed, settings.firstStamp) {}

    // Replays events whose times count from `offset`; returns the summons.
    int Replay(const std::vector<TimedEvent>& events, int offset) {
        const int before = model_.summonCount;
        for (const TimedEvent& timed : events) {
            const int now = offset + timed.time;
            HandleNoticesUntil(now);
            vantoke::KeyEvent event = timed.event;
            event.time = static_cast<std::uint32_t>(now);
            queue_.Push({vantoke::ClassifyKeyEvent(event, settings_.watchedKey, keyState_), event.virtualKey,
                         event.time});
            HandOver(now);
        }
        HandleNoticesUntil(INT_MAX);
        return model_.summonCount - before;
    }

    // Ready for the next key-down, as after every complete press.
    bool InStep() const { return model_.action == 0 && model_.trigger.triggerState() != 1; }

private:
    // The hook thread hands over the next notice when none is in flight.
    void HandOver(int now) {
        if (inFlight_) return;
        inFlight_ = queue_.TakeNext(model_.action);
        handleAt_ = std::max(now, freeAt_) + settings_.uiLatency;
    }

    void HandleNoticesUntil(int now) {
        while (inFlight_ && handleAt_ <= now) {
            model_.Handle(*inFlight_);
            inFlight_.reset();
            queue_.Handled();
            freeAt_ = handleAt_;
            HandOver(freeAt_);
        }
    }

    Settings settings_;
    LauncherModel model_;
    vantoke::WatchedKeyState keyState_;
    vantoke::NoticeQueue queue_;
    std::optional<vantoke::Notice> inFlight_;
    int handleAt_ = 0;
    int freeAt_ = 0;
};

// Bare taps of the watched key's left side: `count` presses, each
// `interval` ms after the one before, held 40 ms.
std::vector<TimedEvent> BareTaps(unsigned watchedKey, int count, int interval) {
    const std::string key = watchedKey == vk::kControl ? "LCtrl" : watchedKey == vk::kShift ? "LShift" : "LAlt";
    std::vector<TimedEvent> taps;
    for (int i = 0; i < count; ++i) {
        taps.push_back({i * interval, EventOf(key, false)});
        taps.push_back({i * interval + 40, EventOf(key, true)});
    }
    return taps;
}

std::vector<Settings> AllSettings() {
    std::vector<Settings> all;
    for (unsigned watchedKey : {vk::kControl, vk::kShift, vk::kMenu}) {
        for (int countIndex : {0, 1, 2}) {
            for (int speed : {0, 50, 100}) {
                for (int uiLatency : {0, 5, 2000}) {
                    for (int firstStamp : {100000, 999000}) {  // the second replay crosses the stamp's wrap
                        all.push_back({watchedKey, countIndex, speed, uiLatency, firstStamp});
                    }
                }
            }
        }
    }
    return all;
}

std::string Describe(const Settings& settings) {
    return "watched " + std::to_string(settings.watchedKey) + ", presses " +
           std::to_string(settings.countIndex + 2) + ", speed " + std::to_string(settings.speed) + ", latency " +
           std::to_string(settings.uiLatency) + ", stamp " + std::to_string(settings.firstStamp);
}

const std::vector<Sequence>& Corpus() {
    static const std::vector<Sequence> corpus = ParseCorpus(kCorpusText);
    return corpus;
}

int LongestGap(const Settings& settings) { return static_cast<int>(launcher::LongestGap(settings.speed)); }

TEST(ChordCorpus, ParsesIntoChordsAndTaps) {
    const auto& corpus = Corpus();
    std::size_t chords = 0, events = 0;
    for (const Sequence& sequence : corpus) {
        chords += sequence.isChord;
        events += sequence.events.size();
    }
    EXPECT_GE(chords, 20u);
    EXPECT_GE(corpus.size() - chords, 10u);
    std::printf("[ corpus   ] %zu sequences (%zu chord, %zu taps), %zu key events\n", corpus.size(), chords,
                corpus.size() - chords, events);
    EXPECT_THROW(ParseCorpus("chord x\n  +Nokey@0\n"), std::runtime_error);
    EXPECT_THROW(ParseCorpus("chord x\n  +A@50 -A@10\n"), std::runtime_error);
}

// Every chord under every setting: no summons, the hook left in step, and the
// next quick taps summon at once.
TEST(ChordCorpus, ChordsNeverSummonAndNeverHoldBackTheNextTaps) {
    int falseSummons = 0, replays = 0, followingSummons = 0;
    for (const Settings& settings : AllSettings()) {
        for (const Sequence& sequence : Corpus()) {
            if (!sequence.isChord) continue;
            Launcher launcher(settings);
            const int summons = launcher.Replay(sequence.events, 0);
            ++replays;
            falseSummons += summons;
            EXPECT_EQ(summons, 0) << sequence.name << " (" << Describe(settings) << ")";
            EXPECT_TRUE(launcher.InStep()) << sequence.name << " (" << Describe(settings) << ")";

            const int pause = sequence.events.back().time + LongestGap(settings) + 1000;
            const int taps = launcher.Replay(BareTaps(settings.watchedKey, settings.countIndex + 2,
                                                      LongestGap(settings)),
                                             pause);
            followingSummons += taps;
            EXPECT_EQ(taps, 1) << "taps after " << sequence.name << " (" << Describe(settings) << ")";
        }
    }
    std::printf("[ chords   ] %d replays: %d false summons; %d of %d following tap groups summoned\n", replays,
                falseSummons, followingSummons, replays);
}

// The whole chord corpus as one long session: nothing carries over into a summons.
TEST(ChordCorpus, OneLongSessionOfChordsNeverSummons) {
    for (const Settings& settings : AllSettings()) {
        Launcher launcher(settings);
        int offset = 0, summons = 0;
        for (const Sequence& sequence : Corpus()) {
            if (!sequence.isChord) continue;
            summons += launcher.Replay(sequence.events, offset);
            offset += sequence.events.back().time + 250;  // the next shortcut follows at typing speed
        }
        EXPECT_EQ(summons, 0) << Describe(settings);
    }
}

TEST(ChordCorpus, RecordedTapsSummonAsOftenAsExpected) {
    int trueSummons = 0, expected = 0;
    for (const Sequence& sequence : Corpus()) {
        if (sequence.isChord) continue;
        for (int uiLatency : {0, 5, 2000}) {
            for (int firstStamp : {100000, 999000}) {
                Launcher launcher({sequence.watchedKey, sequence.countIndex, sequence.speed, uiLatency, firstStamp});
                const int summons = launcher.Replay(sequence.events, 0);
                trueSummons += summons;
                expected += sequence.expectedSummons;
                EXPECT_EQ(summons, sequence.expectedSummons)
                    << sequence.name << " (latency " << uiLatency << ", stamp " << firstStamp << ")";
            }
        }
    }
    std::printf("[ taps     ] recorded taps: %d summons of %d expected\n", trueSummons, expected);
}

// Bare taps of either side, at every gap within the limit, for every setting:
// a summons every time, and nothing for taps one millisecond too slow.
TEST(ChordCorpus, BareTapsWithinTheLimitSummonEveryTime) {
    int trueSummons = 0, groups = 0;
    for (const Settings& settings : AllSettings()) {
        const int limit = LongestGap(settings);
        for (int interval : {limit, limit - 1, (limit + 60) / 2, 60}) {
            Launcher launcher(settings);
            int offset = 0;
            for (int group = 0; group < 3; ++group) {
                const auto taps = BareTaps(settings.watchedKey, settings.countIndex + 2, interval);
                trueSummons += launcher.Replay(taps, offset);
                ++groups;
                offset += taps.back().time + limit + 500;
            }
        }
        Launcher slow(settings);
        EXPECT_EQ(slow.Replay(BareTaps(settings.watchedKey, 4 * (settings.countIndex + 2), limit + 1), 0), 0)
            << Describe(settings);
    }
    EXPECT_EQ(trueSummons, groups);
    std::printf("[ taps     ] generated tap groups: %d summons of %d\n", trueSummons, groups);
}

}  // namespace
