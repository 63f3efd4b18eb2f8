// A representative part of the chord corpus (tests/launcher/chord_corpus.inc)
// replayed with SendInput, at its recorded times, through the real Vantoke.dll
// and Tobi.exe: shortcuts never open the letter menu, bare taps within the
// limit open it every time. The keys go to a window of empty_app.exe in front,
// as they would go to the user's editor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

const char* const kCorpusText =
#include "tests/launcher/chord_corpus.inc"
    ;

// The launcher's defaults (a fresh opt.x): Ctrl, three presses, 520 ms.
constexpr int kLongestGapMs = 520;
constexpr DWORD kMenuWaitMs = 2000;     // a summons shows its menu well within this
constexpr DWORD kQuietTailMs = 400;     // watched after a chord for a late menu
constexpr DWORD kBetweenMs = 600;       // past the limit: the next sequence starts fresh

struct TimedKey {
    int timeMs;
    WORD key;
    bool up;
};

struct Sequence {
    bool isChord = true;
    std::string watched;  // taps only
    int presses = 0;
    int speed = 0;
    int summons = 0;
    bool replayable = true;  // false when a key cannot be sent as the corpus means it
    std::vector<TimedKey> keys;
};

// Keys that SendInput makes exactly as the corpus records them. AltGr's fake
// Ctrl (scan code 0x21D) cannot be sent, and the Windows key would open
// the shell's menu.
bool KeyNamed(const std::string& name, WORD& key) {
    static const std::map<std::string, WORD> keys = {
        {"LCtrl", VK_LCONTROL}, {"RCtrl", VK_RCONTROL}, {"LShift", VK_LSHIFT}, {"RShift", VK_RSHIFT},
        {"LAlt", VK_LMENU},     {"RAlt", VK_RMENU},     {"Tab", VK_TAB},       {"Enter", VK_RETURN},
        {"Esc", VK_ESCAPE},     {"Backspace", VK_BACK}, {"Space", VK_SPACE},   {"Home", VK_HOME},
        {"End", VK_END},        {"Left", VK_LEFT},      {"Up", VK_UP},         {"Right", VK_RIGHT},
        {"Down", VK_DOWN},
    };
    if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9'))) {
        key = static_cast<WORD>(name[0]);
        return true;
    }
    const auto found = keys.find(name);
    if (found == keys.end()) return false;
    key = found->second;
    return true;
}

// "+KEY@MS", "-KEY@MS", "~KEY@FROM-TO/EVERY" (auto-repeat; keys joined by '+').
void AddKeys(const std::string& token, Sequence& sequence) {
    const auto at = token.find('@');
    ASSERT_NE(at, std::string::npos) << token;
    const std::string names = token.substr(1, at - 1);
    const std::string time = token.substr(at + 1);
    std::vector<WORD> keys;
    std::istringstream split(names);
    for (std::string name; std::getline(split, name, '+');) {
        WORD key = 0;
        if (!KeyNamed(name, key)) sequence.replayable = false;
        keys.push_back(key);
    }
    if (token[0] == '~') {
        int from = 0, to = 0, every = 0;
        ASSERT_EQ(std::sscanf(time.c_str(), "%d-%d/%d", &from, &to, &every), 3) << token;
        ASSERT_GT(every, 0) << token;
        for (int t = from; t <= to; t += every) {
            for (WORD key : keys) sequence.keys.push_back({t, key, false});
        }
        return;
    }
    ASSERT_TRUE(token[0] == '+' || token[0] == '-') << token;
    sequence.keys.push_back({std::stoi(time), keys.front(), token[0] == '-'});
}

std::map<std::string, Sequence> ParseCorpus() {
    std::map<std::string, Sequence> corpus;
    std::istringstream lines(kCorpusText);
    Sequence* current = nullptr;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word[0] == '#') continue;
        if (word == "burst") {  // bursts are replayed natively
            current = nullptr;
            continue;
        }
        if (word == "chord" || word == "taps") {
            std::string name;
            words >> name;
            current = &corpus[name];
            current->isChord = word == "chord";
            if (!current->isChord) words >> current->watched >> current->presses >> current->speed >> current->summons;
            continue;
        }
        if (current == nullptr) continue;
        do {
            AddKeys(word, *current);
        } while (words >> word);
    }
    return corpus;
}

class ChordCorpusEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.CopyFromBuild({L"Tobi.exe", L"Vantoke.dll", L"empty_app.exe"}));
        ASSERT_EQ(e2e::FindTopWindow({L"Tobi", L"", 0, false}), nullptr)
            << "a launcher from elsewhere is running:\n" << e2e::DescribeTopWindows();
        tobi = e2e::StartProgram(folder.File(L"Tobi.exe"), L"", folder.Path());
        ASSERT_TRUE(tobi.IsValid());
        HWND menu = e2e::WaitForWindow({L"", e2e::kPopupMenuClass, tobi.Id()});
        ASSERT_NE(menu, nullptr) << "no letter menu at start\n" << e2e::DescribeTopWindows();
        ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));

        editor = e2e::StartProgram(folder.File(L"empty_app.exe"), L"", folder.Path());
        editorWindow = e2e::WaitForWindow({L"empty_app", L"", editor.Id()});
        ASSERT_NE(editorWindow, nullptr) << e2e::DescribeTopWindows();
        ASSERT_NO_FATAL_FAILURE(FocusEditor());
    }

    HWND Menu() const { return e2e::FindTopWindow({L"", e2e::kPopupMenuClass, tobi.Id()}); }

    // Esc closes one level of the menu; keys sent after a wrong summons may
    // have opened all three.
    void CloseMenu(HWND menu) const {
        for (int level = 0; level < 4 && menu != nullptr; ++level) {
            e2e::PressKey(VK_ESCAPE);
            e2e::WaitForWindowGone(menu, 1000);
            menu = Menu();
        }
        ASSERT_EQ(menu, nullptr) << "the letter menu does not close\n" << e2e::DescribeTopWindows();
    }

    // The keys go to the editor again, and the launcher has handled all it was sent.
    void FocusEditor() const {
        ASSERT_TRUE(e2e::BringToForeground(editorWindow)) << e2e::DescribeTopWindows();
        WaitUntilIdle();
    }

    void WaitUntilIdle() const {
        HWND window = e2e::FindTopWindow({L"Tobi", e2e::kDialogClass, tobi.Id(), false});
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, e2e::kDefaultTimeoutMs, &ignored);
    }

    // Sends the keys at their times and watches for the letter menu all along
    // and for `tailMs` after; the menu, or nullptr. A menu ends the replay
    // early (the keys would go into it), with every key still down released.
    HWND Replay(const std::vector<TimedKey>& keys, DWORD tailMs) const {
        const ULONGLONG start = GetTickCount64();
        HWND menu = nullptr;
        std::vector<WORD> down;
        for (const TimedKey& timed : keys) {
            const ULONGLONG due = start + static_cast<ULONGLONG>(timed.timeMs);
            while (!menu && GetTickCount64() < due) {
                menu = Menu();
                const ULONGLONG now = GetTickCount64();
                if (!menu && now < due) ::Sleep(due - now < 5 ? static_cast<DWORD>(due - now) : 5);
            }
            if (menu) break;
            if (timed.up) {
                e2e::KeyUp(timed.key);
                down.erase(std::remove(down.begin(), down.end(), timed.key), down.end());
            } else {
                e2e::KeyDown(timed.key);
                if (std::find(down.begin(), down.end(), timed.key) == down.end()) down.push_back(timed.key);
            }
        }
        for (WORD key : down) e2e::KeyUp(key);
        const ULONGLONG end = GetTickCount64() + tailMs;
        while (!menu && GetTickCount64() < end) {
            menu = Menu();
            if (!menu) ::Sleep(5);
        }
        return menu;
    }

    e2e::TestFolder folder{L"tobi-chord-e2e"};
    e2e::Process tobi;    // after `folder`: ends before the folder is removed
    e2e::Process editor;  // the program in front that the keys are meant for
    HWND editorWindow = nullptr;
};

// Bare taps of left Ctrl, held 40 ms, `gapMs` apart.
std::vector<TimedKey> BareTaps(int count, int gapMs) {
    std::vector<TimedKey> keys;
    for (int i = 0; i < count; ++i) {
        keys.push_back({i * gapMs, VK_LCONTROL, false});
        keys.push_back({i * gapMs + 40, VK_LCONTROL, true});
    }
    return keys;
}

TEST_F(ChordCorpusEndToEnd, ShortcutsNeverOpenTheMenuAndBareTapsAlwaysDo) {
    const std::map<std::string, Sequence> corpus = ParseCorpus();
    const std::vector<std::string> chords = {
        "ctrl_a_c_v_released_between", "ctrl_a_c_v_held", "ctrl_c_three_times_quickly", "ctrl_s_while_typing",
        "ctrl_z_undo_burst", "ctrl_z_auto_repeat", "ctrl_shift_t_three_tabs", "shift_selected_words",
        "alt_tab", "alt_tab_quick_switches", "ctrl_held_with_auto_repeat_then_c", "right_ctrl_copy_paste",
    };
    const std::vector<std::string> taps = {
        "ctrl_three_taps_default", "typing_then_three_ctrl_taps", "copy_then_three_ctrl_taps",
        "left_right_ctrl_alternating", "ctrl_held_long_then_taps",
    };

    // Beside the corpus: the watched key tapped while another modifier is held.
    const std::vector<std::pair<std::string, std::vector<TimedKey>>> heldModifiers = {
        {"shift_held_ctrl_tapped_three_times",
         {{0, VK_LSHIFT, false}, {100, VK_LCONTROL, false}, {140, VK_LCONTROL, true}, {300, VK_LCONTROL, false},
          {340, VK_LCONTROL, true}, {500, VK_LCONTROL, false}, {540, VK_LCONTROL, true}, {700, VK_LSHIFT, true}}},
        {"alt_held_ctrl_tapped_three_times",
         {{0, VK_LMENU, false}, {100, VK_LCONTROL, false}, {140, VK_LCONTROL, true}, {300, VK_LCONTROL, false},
          {340, VK_LCONTROL, true}, {500, VK_LCONTROL, false}, {540, VK_LCONTROL, true}, {700, VK_LMENU, true}}},
    };
    std::vector<std::pair<std::string, std::vector<TimedKey>>> chordRuns;
    for (const std::string& name : chords) {
        const auto found = corpus.find(name);
        ASSERT_NE(found, corpus.end()) << name << " is no longer in the corpus";
        ASSERT_TRUE(found->second.isChord && found->second.replayable) << name;
        chordRuns.emplace_back(name, found->second.keys);
    }
    chordRuns.insert(chordRuns.end(), heldModifiers.begin(), heldModifiers.end());

    int falseSummons = 0;
    for (const auto& [name, keys] : chordRuns) {
        if (HWND menu = Replay(keys, kQuietTailMs)) {
            ++falseSummons;
            ADD_FAILURE() << name << " opened the letter menu";
            ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
            ASSERT_NO_FATAL_FAILURE(FocusEditor());
        }
        e2e::Sleep(kBetweenMs);
    }

    // Recorded taps, then generated ones at gaps across the limit.
    std::vector<std::pair<std::string, std::vector<TimedKey>>> tapRuns;
    for (const std::string& name : taps) {
        const auto found = corpus.find(name);
        ASSERT_NE(found, corpus.end()) << name << " is no longer in the corpus";
        const Sequence& sequence = found->second;
        ASSERT_TRUE(!sequence.isChord && sequence.replayable) << name;
        ASSERT_TRUE(sequence.watched == "Ctrl" && sequence.presses == 3 && sequence.speed == 50 &&
                    sequence.summons == 1)
            << name << " is not for the launcher's default settings";
        tapRuns.emplace_back(name, sequence.keys);
    }
    for (int gapMs : {100, 300, kLongestGapMs - 70}) {
        tapRuns.emplace_back("three taps " + std::to_string(gapMs) + " ms apart", BareTaps(3, gapMs));
    }
    int trueSummons = 0;
    for (const auto& [name, keys] : tapRuns) {
        HWND menu = Replay(keys, kMenuWaitMs);
        if (menu == nullptr) {
            ADD_FAILURE() << name << " did not open the letter menu\n" << e2e::DescribeTopWindows();
        } else {
            ++trueSummons;
            ASSERT_NO_FATAL_FAILURE(CloseMenu(menu));
            ASSERT_NO_FATAL_FAILURE(FocusEditor());
        }
        e2e::Sleep(kBetweenMs);
    }
    std::printf("[ e2e      ] %zu chord sequences: %d false summons; %zu bare-tap runs: %d summons\n",
                chordRuns.size(), falseSummons, tapRuns.size(), trueSummons);
    EXPECT_FALSE(tobi.WaitForExit(0));
}

}  // namespace
