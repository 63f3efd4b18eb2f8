#include "launcher/registration_follower.h"

#include <algorithm>

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

// What keeps bytes from being a list the registrar would write: every line
// ends with CR LF, and no NUL, CR or LF stands anywhere else.
enum class Shape { Whole, Nul, LastLineOpen, LoneLineBreak };

Shape ShapeOf(const std::string& bytes) {
    if (bytes.find('\0') != std::string::npos) return Shape::Nul;
    for (std::size_t pos = bytes.find_first_of("\r\n"); pos != std::string::npos;
         pos = bytes.find_first_of("\r\n", pos + 1)) {
        if (bytes[pos] == '\n') return Shape::LoneLineBreak;
        if (pos + 1 < bytes.size() && bytes[pos + 1] != '\n') return Shape::LoneLineBreak;
        ++pos;  // past the LF of this CR LF
    }
    if (!bytes.empty() && (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "\r\n") != 0)) {
        return Shape::LastLineOpen;
    }
    return Shape::Whole;
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

const char* const kWhenSaved = "cr.x を直して保存すると、新しい登録を使います。";

}  // namespace

// A file that start-up could not read gave an empty list without a word; the
// same state met again is no news.
RegistrationFollower::RegistrationFollower(const ReadResult& startUp) {
    if (startUp.ok()) {
        inUse_ = Fingerprint(startUp.bytes);
        inUseMissing_ = startUp.missing;
    } else {
        told_ = startUp.error == ReadError::InUse ? Trouble::Busy : Trouble::Unreadable;
        toldDetail_ = told_ == Trouble::Busy ? 0 : UnreadableDetail(startUp);
    }
}

FollowStep RegistrationFollower::Look(const ReadResult& read, bool changedMeanwhile, std::uint64_t nowMs) {
    // No file, as at start-up (a folder without write access): nothing changed.
    const bool stillMissing = read.ok() && read.missing && inUseMissing_;
    if (stillMissing && !changedMeanwhile) {
        settlingSince_.reset();
        told_ = Trouble::None;
        return FollowStep{};
    }
    // A writer holds the file, it is between a delete and a rename, it changed
    // while it was read, or it is not whole yet: look again a little later.
    // A state told already is not waited for again.
    const Shape shape = read.ok() ? ShapeOf(read.bytes) : Shape::Whole;
    const bool unfinished = (read.error == ReadError::InUse && told_ != Trouble::Busy) ||
                            (read.missing && told_ != Trouble::Missing) || changedMeanwhile || shape != Shape::Whole;
    if (unfinished) {
        if (!settlingSince_) settlingSince_ = nowMs;
        const std::uint64_t waited = nowMs - *settlingSince_;
        if (waited < kSettleMs) {
            const std::uint64_t next = std::max<std::uint64_t>(kFirstRetryMs, waited);
            return FollowStep{std::nullopt, std::string(), static_cast<unsigned>(std::min(next, kSettleMs - waited))};
        }
    }
    settlingSince_.reset();
    return Settled(read);
}

// What a look finds once the file has had its time to settle.
FollowStep RegistrationFollower::Settled(const ReadResult& read) {
    if (!read.ok()) {
        FollowStep step;
        if (read.error == ReadError::InUse) {
            step = Tell(Trouble::Busy, 0,
                        Warning(WithCode("ほかのプログラムが書き込み中のため読み込めませんでした。", read.systemCode),
                                "書き込みが終わると、新しい登録を使います。"));
        } else {
            const std::string why = read.error == ReadError::AccessDenied
                                        ? "読み取る権限がない (またはファイルではない) ため読み込めませんでした。"
                                        : "予期しないエラーのため読み込めませんでした。";
            step = Tell(Trouble::Unreadable, UnreadableDetail(read),
                        Warning(WithCode(why, read.systemCode), "cr.x が読めるようになると、新しい登録を使います。"));
        }
        step.lookAgainAfterMs = NextRecheck();
        return step;
    }
    recheckMs_ = 0;
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
    switch (ShapeOf(read.bytes)) {
        case Shape::Whole: break;
        case Shape::Nul:
            return Tell(Trouble::BadShape, fingerprint,
                        Warning("NUL 文字 (0x00) が含まれているため読み込めませんでした。", kWhenSaved));
        case Shape::LastLineOpen:
            return Tell(Trouble::BadShape, fingerprint,
                        Warning("最後の行が改行 (CR LF) で終わっていないため、書きかけと見て読み込みませんでした。",
                                "最後の行のあとで改行して保存すると、新しい登録を使います。"));
        case Shape::LoneLineBreak:
            return Tell(Trouble::BadShape, fingerprint,
                        Warning("行の区切りが CR LF でない行 (LF だけの行など) があるため読み込めませんでした。",
                                "行の区切りを CR LF にして保存すると、新しい登録を使います。"));
    }
    RegistrationListLoad load = LoadRegistrationList(read.bytes);
    if (load.outcome == LoadOutcome::Fatal) {
        return Tell(Trouble::FatalLine, fingerprint,
                    Warning(std::to_string(load.fatalLine) +
                                " 行目が正しくないため読み込めませんでした。\n"
                                "(パスに \\ がない行、空の行、タブが 3 つ以上ある行は使えません。)",
                            kWhenSaved));
    }
    inUse_ = fingerprint;
    inUseMissing_ = false;
    told_ = Trouble::None;
    return FollowStep{std::move(load.list), std::string(), 0};
}

unsigned RegistrationFollower::NextRecheck() {
    recheckMs_ = recheckMs_ == 0 ? kRecheckFirstMs : std::min(recheckMs_ * 2, kRecheckMaxMs);
    return recheckMs_;
}

FollowStep RegistrationFollower::Tell(Trouble trouble, std::uint64_t detail, std::string warning) {
    if (told_ == trouble && toldDetail_ == detail) return FollowStep{};
    told_ = trouble;
    toldDetail_ = detail;
    return FollowStep{std::nullopt, std::move(warning), 0};
}

}  // namespace launcher
