// The narrow door through which the cores reach files. The Win32 layer
// implements it for real; tests use an in-memory store that can fail on demand.
#pragma once

#include <string>

enum class WriteError {
    None,
    AccessDenied,  // read-only folder or file, no permission
    InUse,         // held open by another program
    DiskFull,
    Other,
    Changed,  // the file is no longer as the caller read it (ReplaceIfUnchanged)
};

struct WriteResult {
    WriteError error = WriteError::None;
    unsigned long systemCode = 0;  // the platform's own error number, 0 when none
    bool ok() const { return error == WriteError::None; }
};

// Why a file that exists could not be read. A missing file is no failure: it
// reads as empty.
enum class ReadError {
    None,
    AccessDenied,  // no permission, or not a file
    InUse,         // held open by another program
    Other,
};

struct ReadResult {
    ReadError error = ReadError::None;
    unsigned long systemCode = 0;  // the platform's own error number, 0 when none
    bool missing = false;          // there was no file: empty bytes (and now an empty file, where allowed)
    std::string bytes;             // the whole file, as read
    bool ok() const { return error == ReadError::None; }
};

// What a look for a file or folder found. Only "no such file" and "no such
// folder" mean Missing; a drive without its medium or a share that cannot be
// reached now is Unknown: nobody can say the file is gone.
enum class Presence { Present, Missing, Unknown };

class FileStore {
public:
    virtual ~FileStore() = default;

    // Reads the whole file; a missing file is created empty and never truncated.
    // A file that exists but cannot be read is a failure, never empty bytes.
    virtual ReadResult ReadOrCreate(const std::string& path) = 0;

    // Reads the whole file as it stands and creates nothing: a missing file
    // reads as `missing`, with no bytes.
    virtual ReadResult Read(const std::string& path) = 0;

    // Replaces the whole file in one step: new bytes go to a temporary file beside
    // it, which then takes the target's place. When `readOnly` is set the target's
    // read-only attribute is cleared before and set after. A failure leaves the old
    // file whole.
    virtual WriteResult Replace(const std::string& path, const std::string& bytes, bool readOnly) = 0;

    // Whether something (file or folder) is at the path.
    virtual Presence Lookup(const std::string& path) = 0;

    bool Exists(const std::string& path) { return Lookup(path) == Presence::Present; }

    // Replace, only while the file is as `asRead` found it (missing, or the
    // same bytes): a writer that came between the caller's read and now would
    // otherwise be undone. The file is read again right before the
    // replacement; one that cannot be read is never replaced.
    virtual WriteResult ReplaceIfUnchanged(const std::string& path, const std::string& bytes, bool readOnly,
                                           const ReadResult& asRead) {
        const WriteResult unchanged = ConfirmUnchanged(Read(path), asRead);
        return unchanged.ok() ? Replace(path, bytes, readOnly) : unchanged;
    }

protected:
    // Whether `now` finds the file as `asRead` did; why not, as a write's failure.
    static WriteResult ConfirmUnchanged(const ReadResult& now, const ReadResult& asRead) {
        switch (now.error) {
            case ReadError::None: break;
            case ReadError::AccessDenied: return {WriteError::AccessDenied, now.systemCode};
            case ReadError::InUse: return {WriteError::InUse, now.systemCode};
            case ReadError::Other: return {WriteError::Other, now.systemCode};
        }
        if (now.missing != asRead.missing || now.bytes != asRead.bytes) return {WriteError::Changed, 0};
        return {};
    }
};

// Text ends at the first NUL byte, as every reader of the programs' files sees it.
inline std::string UpToFirstNul(const std::string& bytes) {
    const auto nul = bytes.find('\0');
    return nul == std::string::npos ? bytes : bytes.substr(0, nul);
}
