#include "launcher/registration_follower.h"

namespace launcher {
namespace {

// Tells one file's bytes from another's without keeping them (FNV-1a).
std::uint64_t Fingerprint(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ull;
    for (const char byte : bytes) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ull;
    }
    return hash;
}

// Every file a writer finishes ends with CR LF and holds no NUL; other bytes
// are most likely a write caught half-way.
bool LooksUnfinished(const std::string& bytes) {
    if (bytes.empty()) return false;
    return bytes.find('\0') != std::string::npos || bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0;
}

std::string WithCode(const std::string& text, unsigned long systemCode) {
    return systemCode == 0 ? text : text + "(エラーコード " + std::to_string(systemCode) + ")";
}

std::string Warning(const std::string& why, const std::string& whenTaken) {
    return "cr.x が変更されましたが、" + why + "\n\nこれまでの登録をそのまま使います。" + whenTaken;
}

std::uint64_t UnreadableDetail(const ReadResult& read) {
    return static_cast<std::uint64_t>(read.error) << 32 | read.systemCode;
}

}  // namespace

// A file that start-up could not read gave an empty list without a word; the
// same state met again is no news.
RegistrationFollower::RegistrationFollower(const ReadResult& startUp) {
    if (startUp.ok()) {
        inUse_ = Fingerprint(startUp.bytes);
    } else {
        told_ = startUp.error == ReadError::InUse ? Trouble::Busy : Trouble::Unreadable;
        toldDetail_ = told_ == Trouble::Busy ? 0 : UnreadableDetail(startUp);
    }
}

FollowStep RegistrationFollower::Look(const ReadResult& read, bool changedMeanwhile) {
    // A writer holds the file, it is between a delete and a rename, it changed
    // while it was read, or it stops mid-line: look again a little later.
    const bool unfinished = read.error == ReadError::InUse || read.missing || changedMeanwhile ||
                            (read.ok() && LooksUnfinished(read.bytes));
    if (unfinished && retries_ < kUnfinishedLookRetries) {
        return FollowStep{std::nullopt, std::string(), kFirstRetryMs << retries_++};
    }
    retries_ = 0;
    const std::string retell = "cr.x が読めるようになると、新しい登録を使います。";
    if (!read.ok()) {
        FollowStep step;
        if (read.error == ReadError::InUse) {
            step = Tell(Trouble::Busy, 0,
                        Warning(WithCode("ほかのプログラムが書き込み中のため読み込めませんでした。", read.systemCode),
                                "書き込みが終わると、新しい登録を使います。"));
        } else {
            const std::string why = read.error == ReadError::AccessDenied
                                        ? "読み取る権限がないため読み込めませんでした。"
                                        : "予期しないエラーのため読み込めませんでした。";
            step = Tell(Trouble::Unreadable, UnreadableDetail(read), Warning(WithCode(why, read.systemCode), retell));
        }
        step.lookAtNextInput = true;
        return step;
    }
    // Only a file that says so empties the list: a vanished one was most
    // likely deleted by mistake or moved away.
    if (read.missing) {
        return Tell(Trouble::Missing, 0,
                    Warning("見つからないため読み込めませんでした。", "cr.x が作られると、新しい登録を使います。"));
    }
    const std::uint64_t fingerprint = Fingerprint(read.bytes);
    if (inUse_ == fingerprint) {
        told_ = Trouble::None;  // back to the list in use: a later bad file is a new state
        return FollowStep{};
    }
    RegistrationListLoad load = LoadRegistrationList(read.bytes);
    if (load.outcome == LoadOutcome::Fatal) {
        return Tell(Trouble::FatalLine, fingerprint,
                    Warning(std::to_string(load.fatalLine) +
                                " 行目が正しくないため読み込めませんでした。\n"
                                "(パスに \\ がない行、空の行、タブが 3 つ以上ある行は使えません。)",
                            "cr.x を直して保存すると、新しい登録を使います。"));
    }
    inUse_ = fingerprint;
    told_ = Trouble::None;
    return FollowStep{std::move(load.list), std::string(), 0};
}

FollowStep RegistrationFollower::Tell(Trouble trouble, std::uint64_t detail, std::string warning) {
    if (told_ == trouble && toldDetail_ == detail) return FollowStep{};
    told_ = trouble;
    toldDetail_ = detail;
    return FollowStep{std::nullopt, std::move(warning), 0};
}

}  // namespace launcher
