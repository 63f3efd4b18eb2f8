// The chord corpus (chord_corpus.inc) replayed through the hook's key filter,
// its queue of transitions, and the tap rule run by the hook at the key
// event, the way the running hook joins them: every notice is handled at
// once, and the keys typed after a summons are held until the launcher claims
// it and its letter menu opens, 0 ms, 5 ms or 2 s later (a thread kept busy),
// or until no menu comes.
#include <algorithm>
#include <bitset>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <deque>
#include <map>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/tap_rule.h"
#include "vantoke/key_filter.h"
#include "vantoke/notices.h"
#include "vantoke/summons.h"

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
            {"CapsLock", {0x14, 0x3A, false}},
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
    bool held = false;      // expected: held back for the letter menu
    bool unseen = false;    // it reaches the system past the hook (a secure desktop)
};

struct Sequence {
    std::string name;
    bool isChord = true;
    unsigned watchedKey = vk::kControl;  // taps and bursts
    int countIndex = 1;
    int speed = 50;
    int expectedSummons = 0;
    bool isBurst = false;
    std::string menu;        // bursts only: MENU without its MS,
    int uiLatency = 0;       // the MS,
    std::string handedOver;  // the "=>" line
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
// key, or of several joined by '+'); "!" before it: unseen by the hook;
// "#N" after it: another program's input, marked N.
void AddEvents(std::string token, Sequence& sequence, bool held) {
    const bool unseen = token[0] == '!';
    if (unseen) token.erase(0, 1);
    std::uintptr_t mark = 0;
    if (const auto hash = token.find('#'); hash != std::string::npos) {
        mark = std::stoul(token.substr(hash + 1));
        token.erase(hash);
    }
    const auto at = token.find('@');
    if (token.size() < 4 || at == std::string::npos) Fail("bad event " + token);
    const std::string key = token.substr(1, at - 1);
    const std::string time = token.substr(at + 1);
    switch (token[0]) {
        case '+':
        case '-': {
            vantoke::KeyEvent event = EventOf(key, token[0] == '-');
            event.extraInfo = mark;
            sequence.events.push_back({std::stoi(time), event, held, unseen});
            return;
        }
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
                for (const std::string& name : keys) sequence.events.push_back({t, EventOf(name, false), held});
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
        if (word == "chord" || word == "taps" || word == "burst") {
            Sequence sequence;
            sequence.isChord = word == "chord";
            sequence.isBurst = word == "burst";
            words >> sequence.name;
            if (!sequence.isChord) {
                std::string watched;
                if (!(words >> watched >> sequence.countIndex >> sequence.speed >> sequence.expectedSummons) ||
                    (sequence.isBurst && !(words >> sequence.menu)) ||
                    !std::regex_match(sequence.menu, std::regex("|(refused|blocked|jammed)?\\d+|never|stuck|open|vetoed"))) {
                    Fail(word + " line needs WATCH COUNT SPEED SUMMONS, a burst's MENU too: " + line);
                }
                const std::size_t digits = std::min(sequence.menu.find_first_of("0123456789"), sequence.menu.size());
                if (digits < sequence.menu.size()) sequence.uiLatency = std::stoi(sequence.menu.substr(digits));
                sequence.menu.erase(digits);
                sequence.watchedKey = WatchedKeyNamed(watched);
                sequence.countIndex -= 2;  // presses needed = countIndex + 2
            }
            if (sequence.name.empty()) Fail("sequence without a name");
            corpus.push_back(sequence);
            continue;
        }
        if (corpus.empty()) Fail("event before the first sequence: " + line);
        if (word == "=>") {
            std::getline(words >> std::ws, corpus.back().handedOver);
            continue;
        }
        do {
            const bool held = word.back() == '*';  // a key event held back for the letter menu
            AddEvents(held ? word.substr(0, word.size() - 1) : word, corpus.back(), held);
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
    int uiLatency;   // ms between the summons and the launcher's answer
    int firstStamp;  // the stamp clock at the start of the replay
};

std::string NameOfKey(unsigned virtualKey) {
    for (const auto& [name, code] : KeyCodes()) {
        if (code.virtualKey == virtualKey && name != "AltGrCtrl") return name;
    }
    return std::to_string(virtualKey);
}

// The keys the system has down: what passed the hook. One model at a time.
std::bitset<256> systemKeysDown;
bool IsSystemKeyDown(unsigned virtualKey) noexcept { return systemKeysDown.test(virtualKey & 0xFF); }

// One launcher: the hook thread as keyboard_hook.cpp and hand_over.cpp join
// it, and the launcher answering each summons as the settings say: it claims
// the summons that long after it and opens its menu, which then stays open
// until a choice (Enter, or a third letter or digit) or Esc. Injected keys
// reach the hook 1 ms apart, keys typed meanwhile in between.
class Launcher : public vantoke::Summons::Outlet {
public:
    // `menu`: "" (it opens), refused, never, open, vetoed, blocked (it
    // opens; SendInput refuses the first part), jammed (it opens; SendInput
    // refuses the parts after the first for 12 s) or stuck (no menu, and
    // SendInput refuses every part), as a burst's MENU says.
    explicit Launcher(const Settings& settings, const std::string& menu = "") : settings_(settings), menu_(menu) {
        systemKeysDown.reset();
        physicalDown_.reset();
        if (menu == "open") OpenMenu(0);  // opened by nobody's taps
    }

    // Replays events whose times count from `offset`; returns the summonses
    // the tap rule decided (begun or not: one at a time).
    int Replay(const std::vector<TimedEvent>& events, int offset) {
        const int before = decided_;
        for (const TimedEvent& timed : events) {
            RunUntil(offset + timed.time);
            vantoke::KeyEvent event = timed.event;
            event.time = static_cast<std::uint32_t>(now_);
            physicalDown_.set(event.virtualKey & 0xFF, !event.keyUp);
            if (timed.unseen) {
                // The system has it; the watchdog tells the hook of a release it missed, late.
                systemKeysDown.set(event.virtualKey & 0xFF, !event.keyUp);
                held.push_back(false);
                missed_.push_back({now_ + kWatchdogLateMs, event});
                continue;
            }
            held.push_back(Feed(event));
        }
        return decided_ - before;
    }

    // The summonses begun, whose keys were held for a menu.
    int Begun() const { return begun_; }

    // Lets everything the keys set going come to its end.
    void Settle() { RunUntil(INT_MAX, false); }

    // Ready for the next key-down, as after every complete press.
    bool InStep() const { return summons_.Action() == 0 && summons_.Trigger().triggerState() != 1; }

    // Modifiers the system has down although the keyboard has them up: stuck.
    std::string StuckModifiers() const {
        std::string stuck;
        for (unsigned bit = 0; bit < vantoke::kModifierKeyCount; ++bit) {
            const unsigned key = vantoke::ModifierKeyAt(bit);
            if (systemKeysDown.test(key) && !physicalDown_.test(key)) stuck += NameOfKey(key) + " ";
        }
        return stuck;
    }

    std::vector<bool> held;  // per live key event replayed
    // "@MS" when a part goes ("@MS!" when SendInput refused it), then its
    // keys: +N -N, ^+LShift the watched key put as it was, #N another
    // program's mark kept, xN a run of N.
    std::string handedOver;

    int StampOf(std::uint32_t tick) noexcept override {
        return static_cast<int>((settings_.firstStamp + static_cast<long long>(tick)) % taps::kStampModulus);
    }
    bool Vetoed() noexcept override { return menu_ == "vetoed"; }
    void Notify(const vantoke::Notice& notice, unsigned summons) noexcept override {
        decided_ += notice.kind == vantoke::KeyNotice::WatchedKey && summons_.Trigger().triggerState() == 2 && !Vetoed();
        if (!vantoke::IsSummons(summons)) return;
        ++begun_;
        if (menu_ != "never" && menu_ != "stuck") answers_.push_back({vantoke::SummonsSerial(summons), now_ + settings_.uiLatency});
    }

private:
    // The hook procedure's work for one key event; true when it is held.
    bool Feed(const vantoke::KeyEvent& event) {
        const vantoke::Summons::Own own = summons_.OwnEvent(event);
        if (own != vantoke::Summons::Own::No) {
            Pass(event);
            if (own == vantoke::Summons::Own::PartDone) HandOver();
            return false;
        }
        queue_.Push({vantoke::ClassifyKeyEvent(event, settings_.watchedKey, keyState_, IsSystemKeyDown),
                     event.virtualKey, event.time});
        summons_.Drain(queue_, {settings_.countIndex, settings_.speed}, *this, static_cast<std::uint32_t>(now_));
        bool goNow = false;
        const bool hold = summons_.Hold(event, keyState_, IsSystemKeyDown, goNow);
        if (!hold) Pass(event);
        if (goNow) HandOver();
        return hold;
    }

    // An event the system takes: into the menu when one is open.
    void Pass(const vantoke::KeyEvent& event) {
        systemKeysDown.set(event.virtualKey & 0xFF, !event.keyUp);
        if (!menuOpen_ || event.keyUp) return;
        const unsigned key = event.virtualKey;
        const bool letterOrDigit = (key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9');
        const bool choice = key == 0x0D || (letterOrDigit && ++typed_ == 3);
        if (choice || key == 0x1B) CloseMenu();
    }

    // Injected events, the hook's timer and the launcher's answers, in time
    // order, up to `time`, where the clock then stands unless told otherwise.
    void RunUntil(int time, bool advance = true) {
        for (;;) {
            const int injectedAt = injected_.empty() ? INT_MAX : injected_.front().first;
            const auto untilDue = summons_.UntilDue(static_cast<std::uint32_t>(now_));
            const int dueAt = untilDue ? now_ + static_cast<int>(*untilDue) : INT_MAX;
            const int answerAt = answers_.empty() ? INT_MAX : answers_.front().second;
            const int missedAt = missed_.empty() ? INT_MAX : missed_.front().first;
            const int next = std::min({injectedAt, dueAt, answerAt, missedAt});
            if (next == INT_MAX || next > time) break;
            now_ = next;
            if (next == injectedAt) {
                const vantoke::KeyEvent event = injected_.front().second;
                injected_.pop_front();
                Feed(event);
            } else if (next == missedAt) {
                const vantoke::KeyEvent missed = missed_.front().second;
                missed_.pop_front();
                if (!missed.keyUp) {
                    summons_.PressedUnseen(missed);
                } else if (summons_.ReleasedUnseen(missed)) {
                    HandOver();
                }
            } else if (next == dueAt) {
                if (summons_.Due(static_cast<std::uint32_t>(now_))) HandOver();
            } else {
                const unsigned serial = answers_.front().first;
                answers_.pop_front();
                Answer(serial);
            }
        }
        if (advance) now_ = std::max(now_, time);
    }

    // The launcher turns to the summons: refuses it, or claims it and opens its menu.
    void Answer(unsigned serial) {
        if (menu_.rfind("refused", 0) == 0 || menuOpen_) {
            if (summons_.MenuRefused(serial)) HandOver();
        } else if (summons_.Claim(serial) && summons_.Showing(serial)) {
            OpenMenu(serial);
        }
    }

    void OpenMenu(unsigned serial) {
        menuOpen_ = true;
        typed_ = 0;
        if (summons_.MenuOpened(serial)) HandOver();
    }

    void CloseMenu() {
        menuOpen_ = false;
        summons_.MenuClosed();
    }

    void HandOver() {
        std::array<vantoke::KeyEvent, vantoke::Summons::kMinBatch + 4> part;  // small: long hand-overs go in parts
        vantoke::ForgetWatchedSidesTheSystemHasUp(keyState_, IsSystemKeyDown);
        const std::size_t count = summons_.NextPart(vantoke::WatchedModifierBits(keyState_), part.data(), part.size());
        if (count == 0) return;
        // Jammed: every part after the first is refused for 12 s (a secure desktop).
        if (menu_ == "jammed" && partsTaken_ > 0 && jamEnds_ == 0) jamEnds_ = now_ + 12000;
        const bool refused =
            (menu_.rfind("blocked", 0) == 0 && !blockedOnce_) || menu_ == "stuck" || now_ < jamEnds_;
        blockedOnce_ = blockedOnce_ || refused;
        partsTaken_ += refused ? 0 : 1;
        // Refusals in a row after the first show as "!".
        Record(refused && lastToken_.back() == '!' ? "!" : "@" + std::to_string(now_) + (refused ? "!" : ""));
        const std::size_t sent = refused ? 0 : count;
        for (std::size_t i = 0; i < sent; ++i) {
            const vantoke::KeyEvent& event = part[i];
            std::string token = std::string(event.scanCode == 0 ? "^" : "") + (event.keyUp ? "-" : "+") +
                                NameOfKey(event.virtualKey);
            if (event.extraInfo != vantoke::kOwnInputMarker) token += "#" + std::to_string(event.extraInfo);
            Record(token);
            injected_.push_back({now_ + 1 + static_cast<int>(i), event});
        }
        if (summons_.PartSent(sent, static_cast<std::uint32_t>(now_))) HandOver();
    }

    // Appends a token, a run of the same one as "xN".
    void Record(const std::string& token) {
        if (token == lastToken_) {
            handedOver.resize(handedOver.size() - runText_.size());
            runText_ = "x" + std::to_string(++run_);
            handedOver += runText_;
            return;
        }
        lastToken_ = token;
        run_ = 1;
        runText_.clear();
        handedOver += (handedOver.empty() ? "" : " ") + token;
    }

    Settings settings_;
    std::string menu_;
    vantoke::WatchedKeyState keyState_;
    vantoke::NoticeQueue queue_;
    vantoke::Summons summons_;
    std::deque<std::pair<unsigned, int>> answers_;             // serial, when the launcher turns to it
    std::deque<std::pair<int, vantoke::KeyEvent>> injected_;  // when it reaches the hook, the event
    std::deque<std::pair<int, vantoke::KeyEvent>> missed_;    // when the watchdog tells of it, the event
    static constexpr int kWatchdogLateMs = 100;
    std::bitset<256> physicalDown_;
    bool menuOpen_ = false;
    bool blockedOnce_ = false;
    int partsTaken_ = 0;
    int jamEnds_ = 0;
    int typed_ = 0;
    int now_ = 0;
    int decided_ = 0;
    int begun_ = 0;
    std::string lastToken_ = " ", runText_;
    int run_ = 0;
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

int LongestGap(const Settings& settings) { return static_cast<int>(taps::LongestGap(settings.speed)); }

std::size_t HeldCount(const Launcher& launcher) { return std::count(launcher.held.begin(), launcher.held.end(), true); }

TEST(ChordCorpus, ParsesIntoChordsAndTaps) {
    const auto& corpus = Corpus();
    std::size_t chords = 0, bursts = 0, events = 0;
    for (const Sequence& sequence : corpus) {
        chords += sequence.isChord;
        bursts += sequence.isBurst;
        events += sequence.events.size();
    }
    EXPECT_GE(chords, 20u);
    EXPECT_GE(corpus.size() - chords - bursts, 10u);
    EXPECT_GE(bursts, 10u);
    std::printf("[ corpus   ] %zu sequences (%zu chord, %zu taps, %zu bursts), %zu key events\n", corpus.size(),
                chords, corpus.size() - chords - bursts, bursts, events);
    EXPECT_THROW(ParseCorpus("chord x\n  +Nokey@0\n"), std::runtime_error);
    EXPECT_THROW(ParseCorpus("chord x\n  +A@50 -A@10\n"), std::runtime_error);
}

// Every chord under every setting: no summons, no key held, the hook left in
// step, and the next quick taps summon at once.
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
            EXPECT_EQ(HeldCount(launcher), 0u) << sequence.name << " (" << Describe(settings) << ")";
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
        EXPECT_EQ(HeldCount(launcher), 0u) << Describe(settings);
    }
}

TEST(ChordCorpus, RecordedTapsSummonAsOftenAsExpected) {
    int trueSummons = 0, expected = 0;
    for (const Sequence& sequence : Corpus()) {
        if (sequence.isChord || sequence.isBurst) continue;
        for (int uiLatency : {0, 5, 2000}) {
            for (int firstStamp : {100000, 999000}) {
                Launcher launcher({sequence.watchedKey, sequence.countIndex, sequence.speed, uiLatency, firstStamp});
                const int summons = launcher.Replay(sequence.events, 0);
                trueSummons += summons;
                expected += sequence.expectedSummons;
                EXPECT_EQ(summons, sequence.expectedSummons)
                    << sequence.name << " (latency " << uiLatency << ", stamp " << firstStamp << ")";
                EXPECT_EQ(HeldCount(launcher), 0u) << sequence.name;
            }
        }
    }
    std::printf("[ taps     ] recorded taps: %d summons of %d expected\n", trueSummons, expected);
}

// Bare taps of either side, at every gap within the limit, for every setting,
// with two letters and Esc right after: a summons every time, the keys held
// for a menu that is not there yet and handed to it in order, and nothing for
// taps one millisecond too slow.
TEST(ChordCorpus, BareTapsWithinTheLimitSummonEveryTime) {
    int trueSummons = 0, groups = 0;
    for (const Settings& settings : AllSettings()) {
        const int limit = LongestGap(settings);
        const bool menuLate = settings.uiLatency > 45;  // the letters come 45 ms after the last press
        for (int interval : {limit, limit - 1, (limit + 60) / 2, 60}) {
            Launcher launcher(settings);
            int offset = 0;
            std::string expected;
            for (int group = 0; group < 3; ++group) {
                auto taps = BareTaps(settings.watchedKey, settings.countIndex + 2, interval);
                const int last = taps.back().time + 5;
                for (const auto& [after, key] :
                     {std::pair{0, "+A"}, {10, "-A"}, {25, "+B"}, {35, "-B"}, {50, "+Esc"}, {60, "-Esc"}}) {
                    taps.push_back({last + after, EventOf(key + 1, key[0] == '-')});
                    if (menuLate) expected += (expected.empty() ? "" : " ") + std::string(key);
                }
                trueSummons += launcher.Replay(taps, offset);
                ++groups;
                offset += taps.back().time + limit + settings.uiLatency + 500;  // after the menu closed
            }
            launcher.Settle();
            EXPECT_EQ(std::regex_replace(launcher.handedOver, std::regex("[@^]\\S+ ?"), ""), expected)
                << Describe(settings) << ", taps " << interval << " ms apart";
            EXPECT_EQ(HeldCount(launcher), menuLate ? 18u : 0u) << Describe(settings);
            EXPECT_EQ(launcher.Begun(), 3) << Describe(settings);
        }
        Launcher slow(settings);
        EXPECT_EQ(slow.Replay(BareTaps(settings.watchedKey, 4 * (settings.countIndex + 2), limit + 1), 0), 0)
            << Describe(settings);
    }
    EXPECT_EQ(trueSummons, groups);
    std::printf("[ taps     ] generated tap groups: %d summons of %d\n", trueSummons, groups);
}

// Bursts of taps and keys with a program in front: which keys are held for
// the letter menu, which pass, and what reaches the menu or the program in
// front, when and in what order, with no modifier left down.
TEST(ChordCorpus, BurstsHoldTheKeysTypedBeforeTheMenuAndHandThemOverInOrder) {
    for (const Sequence& sequence : Corpus()) {
        if (!sequence.isBurst) continue;
        for (int firstStamp : {100000, 999000}) {
            Launcher launcher({sequence.watchedKey, sequence.countIndex, sequence.speed, sequence.uiLatency, firstStamp},
                              sequence.menu);
            launcher.Replay(sequence.events, 0);
            launcher.Settle();
            EXPECT_EQ(launcher.Begun(), sequence.expectedSummons) << sequence.name;
            EXPECT_EQ(launcher.StuckModifiers(), "") << sequence.name;
            std::string expectedHeld, held;
            for (std::size_t i = 0; i < sequence.events.size(); ++i) {
                expectedHeld += sequence.events[i].held ? '*' : '.';
                held += launcher.held[i] ? '*' : '.';
            }
            EXPECT_EQ(held, expectedHeld) << sequence.name << ", stamp " << firstStamp;
            EXPECT_EQ(launcher.handedOver, sequence.handedOver) << sequence.name << ", stamp " << firstStamp;
        }
    }
}

}  // namespace
