#include "launcher/registration_follower.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using launcher::RegistrationFollower;

ReadResult Read(const std::string& bytes) { return ReadResult{ReadError::None, 0, false, bytes}; }
ReadResult Failed(ReadError error, unsigned long code) { return ReadResult{error, code, false, ""}; }
ReadResult Missing() { return ReadResult{ReadError::None, 0, true, ""}; }

struct Look {
    const char* what;
    ReadResult read;
    bool changedMeanwhile;
    int takenSlotEnd;   // 0: the list in use stays
    const char* tells;  // part of the 警告 text; "" for no box
    unsigned againMs;   // when the follower wants to look again; 0: at the next change
};

// Looks made when the follower asks for them while the file stays
// half-written: none told, each sooner than the settling time runs out;
// then `last` is the look once it has run out.
void AddSettling(std::vector<Look>& looks, const char* what, const ReadResult& read, const Look& last) {
    for (unsigned again : {100u, 100u, 200u, 400u, 800u, 1600u, 2800u}) looks.push_back({what, read, false, 0, "", again});
    looks.push_back(last);
}

// Each look comes when the step before asked for it, or 10 ms later.
void Walk(RegistrationFollower& follower, const std::vector<Look>& looks) {
    std::uint64_t now = 1000;
    for (const Look& look : looks) {
        const launcher::FollowStep step = follower.Look(look.read, look.changedMeanwhile, now);
        EXPECT_EQ(step.list ? step.list->slotEnd : 0, look.takenSlotEnd) << look.what;
        if (*look.tells == '\0') {
            EXPECT_EQ(step.warning, "") << look.what;
        } else {
            EXPECT_NE(step.warning.find(look.tells), std::string::npos) << look.what << ": " << step.warning;
            EXPECT_NE(step.warning.find("これまでの登録をそのまま使います。"), std::string::npos) << look.what;
        }
        EXPECT_EQ(step.lookAgainAfterMs, look.againMs) << look.what;
        now += step.lookAgainAfterMs != 0 ? step.lookAgainAfterMs : 10;
    }
}

TEST(RegistrationFollower, KeepsItsListThroughBadFilesTellsOncePerStateAndTakesTheNextGoodOne) {
    const std::string old = "C:\\a\\old.exe\r\n";
    const std::string grown = old + "C:\\a\\new.exe\r\n";
    const std::string fatal = old + "no-backslash\r\n";
    RegistrationFollower follower(Read(old));
    std::vector<Look> looks = {
        {"the same file (another file of the folder changed)", Read(old), false, 0, "", 0},
        {"a fatal line", Read(fatal), false, 0, "2 行目が正しくない", 0},
        {"the same bad file at the next notification", Read(fatal), false, 0, "", 0},
        {"no right to read it (a folder named cr.x too)", Failed(ReadError::AccessDenied, 5), false, 0, "権限がない", 2000},
        {"the same failure again: looked at later and later", Failed(ReadError::AccessDenied, 5), false, 0, "", 4000},
        {"another failure", Failed(ReadError::Other, 1117), false, 0, "(エラーコード 1117)", 8000},
        {"caught mid-line", Read(old + "C:\\a\\ne"), false, 0, "", 100},
        {"changed again while it was read", Read(grown), true, 0, "", 100},
        {"finished", Read(grown), false, 22, "", 0},
        {"the old bad file: a new state after a good one", Read(fatal), false, 0, "2 行目", 0},
        {"0 bytes: a valid empty list", Read(""), false, 20, "", 0},
    };
    AddSettling(looks, "held open by a writer", Failed(ReadError::InUse, 32),
                {"held open past the settling time", Failed(ReadError::InUse, 32), false, 0, "書き込み中", 2000});
    looks.push_back({"held for minutes: looked at, not told again", Failed(ReadError::InUse, 32), false, 0, "", 4000});
    looks.push_back({"written at last", Read(old), false, 21, "", 0});
    AddSettling(looks, "between a delete and a rename", Missing(),
                {"gone for good: the list stays", Missing(), false, 0, "見つからない", 0});
    AddSettling(looks, "stopping mid-line", Read(grown + "C:\\a\\x"),
                {"still stopping mid-line", Read(grown + "C:\\a\\x"), false, 0, "最後の行が改行", 0});
    AddSettling(looks, "LF line ends, an editor's save", Read("C:\\a\\b.exe\nC:\\a\\c.exe\n"),
                {"LF line ends for good", Read("C:\\a\\b.exe\nC:\\a\\c.exe\n"), false, 0, "LF だけの行", 0});
    AddSettling(looks, "NUL bytes of a file still being filled", Read(old + std::string(4, '\0')),
                {"NUL bytes for good", Read(old + std::string(4, '\0')), false, 0, "NUL 文字", 0});
    looks.push_back({"a good file after all that", Read(grown), false, 22, "", 0});
    Walk(follower, looks);
}

TEST(RegistrationFollower, AStateThatStartUpMetSilentlyIsNotToldButAnyGoodFileIsTaken) {
    RegistrationFollower busyAtStart(Failed(ReadError::InUse, 32));
    Walk(busyAtStart, {
                          {"held: told at start already", Failed(ReadError::InUse, 32), false, 0, "", 2000},
                          {"written", Read("C:\\a\\b.exe\r\n"), false, 21, "", 0},
                      });

    RegistrationFollower unreadableAtStart(Failed(ReadError::AccessDenied, 5));
    Walk(unreadableAtStart, {
                                {"the same failure", Failed(ReadError::AccessDenied, 5), false, 0, "", 2000},
                                {"readable now, and empty", Read(""), false, 20, "", 0},
                            });

    // A folder without write access and without cr.x: nothing to tell, ever.
    RegistrationFollower noFileAtStart(Missing());
    Walk(noFileAtStart, {
                            {"still no file", Missing(), false, 0, "", 0},
                            {"made at last", Read("C:\\a\\b.exe\r\n"), false, 21, "", 0},
                        });
}

}  // namespace
