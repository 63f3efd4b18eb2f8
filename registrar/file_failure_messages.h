// What the registrar's 警告 boxes say when cr.x cannot be read or written: the
// cause in plain words, the system's error code, and what became of the list
// and of the file.
#pragma once

#include <string>
#include <vector>

#include "common/file_store.h"
#include "registrar/commit.h"

namespace registrar {

// At start-up: cr.x is there but could not be read, so the list starts empty
// and OK reads it again before anything is written.
std::string ReadFailureMessage(const ReadResult& result);

// At OK: cr.x could not be read, so nothing is written.
std::string CommitRefusedMessage(const ReadResult& result);

// At OK: the new cr.x could not be written; the old one is whole.
std::string WriteFailureMessage(const WriteResult& result);

// Why a commit wrote nothing: one of the above, more than 1000 entries, or
// cr.x changing under every attempt.
std::string CommitFailureMessage(const CommitResult& result);

// After a commit that found cr.x missing or no list: the window's list went
// out as it was, without what may have changed elsewhere.
std::string UnmergedCommitMessage(const CommitResult& result);

// At start-up: cr.x holds text that is no entry (ReadRegistrationList); the
// first lines of it, shortened, so that the box fits on the screen.
std::string UnreadableLinesMessage(const std::vector<std::string>& unreadable);

}  // namespace registrar
