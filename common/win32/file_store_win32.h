// FileStore over the Win32 file API. Paths are cp932 bytes (relative names are
// taken from the current directory); each call converts them explicitly, and
// reads and replacements use the full path in its long form ("\\?\..."), so
// that no temporary fails on MAX_PATH where its target would not.
//
// A replacement writes "<target>.tmp<process id>-<counter>" beside the target
// and moves it into place. A process killed in between leaves that file behind:
// every ReadOrCreate (the programs' reads at start) and every write of the
// target removes such temporaries whose process no longer runs (or is a later
// process with a reused id).
#pragma once

#include "common/file_store.h"

namespace win32 {

// The steps of a replacement, so that tests can make any one of them fail.
enum class WriteStep { CreateTemporary, Write, Flush, Replace };

class FileStoreWin32 : public FileStore {
public:
    ReadResult ReadOrCreate(const std::string& path) override;
    ReadResult Read(const std::string& path) override;
    WriteResult Replace(const std::string& path, const std::string& bytes, bool readOnly) override;
    // The file is confirmed as read once the new bytes are written and
    // flushed, right before the rename: a flush that takes its time on a
    // share leaves no gap for another writer.
    WriteResult ReplaceIfUnchanged(const std::string& path, const std::string& bytes, bool readOnly,
                                   const ReadResult& asRead) override;
    Presence Lookup(const std::string& path) override;

protected:
    WriteResult ReplaceWhole(const std::string& path, const std::string& bytes, bool readOnly,
                             const ReadResult* asRead);

    // Seam for fault injection: returns the error to pretend at this step, or 0.
    // A pretended Write failure writes half of the bytes first (a short write).
    virtual unsigned long InjectedFailure(WriteStep) { return 0; }
};

// Reads a whole file named in wide text, creating it empty when it is
// missing and `create` is set; as FileStoreWin32 reads.
ReadResult ReadWholeFile(const std::wstring& path, bool create);

// The kind of a failure from its system error code.
WriteError ClassifyWriteError(unsigned long systemCode);
ReadError ClassifyReadError(unsigned long systemCode);

}  // namespace win32
