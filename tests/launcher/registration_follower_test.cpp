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
    int takenSlotEnd;  // 0: the list in use stays
    const char* tells;  // part of the 警告 text; "" for no box
    unsigned retryMs;
};

// `unfinished` looks made again and again: each retried later, none told.
void AddRetries(std::vector<Look>& looks, const char* what, const ReadResult& read) {
    for (int retry = 0; retry < launcher::kUnfinishedLookRetries; ++retry) {
        looks.push_back({what, read, false, 0, "", launcher::kFirstRetryMs << retry});
    }
}

void Walk(RegistrationFollower& follower, const std::vector<Look>& looks) {
    for (const Look& look : looks) {
        const launcher::FollowStep step = follower.Look(look.read, look.changedMeanwhile);
        EXPECT_EQ(step.list ? step.list->slotEnd : 0, look.takenSlotEnd) << look.what;
        if (*look.tells == '\0') {
            EXPECT_EQ(step.warning, "") << look.what;
        } else {
            EXPECT_NE(step.warning.find(look.tells), std::string::npos) << look.what << ": " << step.warning;
            EXPECT_NE(step.warning.find("これまでの登録をそのまま使います。"), std::string::npos) << look.what;
        }
        EXPECT_EQ(step.retryAfterMs, look.retryMs) << look.what;
        // A file that could not be read may become readable without a change.
        EXPECT_EQ(step.lookAtNextInput, !look.read.ok() && look.retryMs == 0) << look.what;
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
        {"no right to read it", Failed(ReadError::AccessDenied, 5), false, 0, "権限がない", 0},
        {"the same failure again", Failed(ReadError::AccessDenied, 5), false, 0, "", 0},
        {"another failure", Failed(ReadError::Other, 1117), false, 0, "(エラーコード 1117)", 0},
        {"caught mid-line", Read(old + "C:\\a\\ne"), false, 0, "", 100},
        {"changed again while it was read", Read(grown), true, 0, "", 200},
        {"finished", Read(grown), false, 22, "", 0},
        {"the old bad file: a new state after a good one", Read(fatal), false, 0, "2 行目", 0},
        {"0 bytes: a valid empty list", Read(""), false, 20, "", 0},
    };
    AddRetries(looks, "held open by a writer", Failed(ReadError::InUse, 32));
    looks.push_back({"held open past the retries", Failed(ReadError::InUse, 32), false, 0, "書き込み中", 0});
    AddRetries(looks, "held open once more", Failed(ReadError::InUse, 32));
    looks.push_back({"the same state: told already", Failed(ReadError::InUse, 32), false, 0, "", 0});
    AddRetries(looks, "between a delete and a rename", Missing());
    looks.push_back({"gone for good: the list stays", Missing(), false, 0, "見つからない", 0});
    AddRetries(looks, "stopping mid-line", Read(grown + "C:\\a\\x"));
    looks.push_back({"still stopping mid-line: read as at start-up", Read(grown + "C:\\a\\x"), false, 22, "", 0});
    AddRetries(looks, "NUL bytes of a file still being filled", Read(old + std::string(4, '\0')));
    looks.push_back({"still there: the text before the NUL", Read(old + std::string(4, '\0')), false, 21, "", 0});
    Walk(follower, looks);
}

TEST(RegistrationFollower, AStateThatStartUpMetSilentlyIsNotToldButAnyGoodFileIsTaken) {
    RegistrationFollower busyAtStart(Failed(ReadError::InUse, 32));
    std::vector<Look> looks;
    AddRetries(looks, "still held", Failed(ReadError::InUse, 32));
    looks.push_back({"held past the retries", Failed(ReadError::InUse, 32), false, 0, "", 0});
    looks.push_back({"written", Read("C:\\a\\b.exe\r\n"), false, 21, "", 0});
    Walk(busyAtStart, looks);

    RegistrationFollower unreadableAtStart(Failed(ReadError::AccessDenied, 5));
    Walk(unreadableAtStart, {
                                {"the same failure", Failed(ReadError::AccessDenied, 5), false, 0, "", 0},
                                {"readable now, and empty", Read(""), false, 20, "", 0},
                            });
}

}  // namespace
