// Work for the shell that may wait on the outside world: starting a program
// or a document (a server that does not answer, a shortcut whose target
// moved, a slow handler), showing a folder, looking a file up, reading or
// writing the sign-in shortcut. Each job runs on a thread of its own, so the
// launcher's thread never waits for one and one job never waits for another;
// a job tells its outcome by posting to a window.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "launcher/launch.h"

namespace tobi {

// What the launcher asks of the shell, on a job's thread (tests record it).
class Shell {
public:
    virtual ~Shell() = default;
    // ShellExecuteExW with the request's verb, file, parameters and folder,
    // shown normally; the answer is not examined.
    virtual void Open(const launcher::ShellRequest& request, HWND owner);
    // The same with wide texts, for what the user typed in the run-file dialog.
    virtual void OpenTyped(const std::wstring& file, const std::wstring& parameters, HWND owner);
    // Whether a file or folder is at the path (cp932).
    virtual bool Exists(const std::string& path);
};

class ShellWorker {
public:
    using Job = std::function<void()>;

    ShellWorker();
    // Waits for the jobs still running (a start asked for just before the
    // launcher ends), at most `kDrainMs`; a job that hangs longer is left.
    ~ShellWorker();
    ShellWorker(const ShellWorker&) = delete;
    ShellWorker& operator=(const ShellWorker&) = delete;

    static constexpr DWORD kDrainMs = 30000;

    // Starts `job` on a thread of its own, with COM for the shell unless
    // `withCom` is false; false when no thread could be had (the job then
    // has not run).
    bool Run(Job job, bool withCom = true);

    // Jobs started and not yet finished.
    int Running() const;

    struct Shared;  // what the job threads share with this object

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace tobi
