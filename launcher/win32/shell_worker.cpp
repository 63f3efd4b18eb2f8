#include "launcher/win32/shell_worker.h"

#include <objbase.h>
#include <shellapi.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

#include "common/win32/text.h"

namespace tobi {

struct ShellWorker::Shared {
    std::mutex lock;
    std::condition_variable finished;
    int running = 0;
};

namespace {

struct Start {
    std::shared_ptr<ShellWorker::Shared> shared;
    ShellWorker::Job job;
    bool withCom;
};

DWORD WINAPI RunJob(void* parameter) noexcept {
    std::unique_ptr<Start> start(static_cast<Start*>(parameter));
    // The shell's handlers, and shortcuts, are COM objects.
    const HRESULT com =
        start->withCom ? CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) : E_FAIL;
    try {
        start->job();
    } catch (...) {
        // Nothing leaves a thread; a job that failed has told what it could.
    }
    if (SUCCEEDED(com)) CoUninitialize();
    try {
        std::lock_guard<std::mutex> guard(start->shared->lock);
        --start->shared->running;
    } catch (...) {
    }
    start->shared->finished.notify_all();
    return 0;
}

}  // namespace

namespace {

// The thread ends right after: the shell is asked to finish its work first.
void Execute(HWND owner, const std::wstring& verb, const std::wstring& file, const std::wstring& parameters,
             const std::wstring& directory) {
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;  // no error box, as the start always was
    execute.hwnd = owner;
    execute.lpVerb = verb.empty() ? nullptr : verb.c_str();
    execute.lpFile = file.c_str();
    execute.lpParameters = parameters.c_str();
    execute.lpDirectory = directory.empty() ? nullptr : directory.c_str();
    execute.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&execute);
}

}  // namespace

void Shell::Open(const launcher::ShellRequest& request, HWND owner) {
    const auto wide = [](const std::string& text) { return win32::WideFromCp932(text); };
    Execute(owner, wide(request.verb), wide(request.file), wide(request.parameters), wide(request.directory));
}

void Shell::OpenTyped(const std::wstring& file, const std::wstring& parameters, HWND owner) {
    Execute(owner, std::wstring(), file, parameters, std::wstring());
}

bool Shell::Exists(const std::string& path) {
    return GetFileAttributesW(win32::WideFromCp932(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

ShellWorker::ShellWorker() : shared_(std::make_shared<Shared>()) {}

ShellWorker::~ShellWorker() {
    try {
        std::unique_lock<std::mutex> guard(shared_->lock);
        shared_->finished.wait_for(guard, std::chrono::milliseconds(kDrainMs), [this] { return shared_->running == 0; });
    } catch (...) {
    }
}

bool ShellWorker::Run(Job job, bool withCom) {
    auto* start = new (std::nothrow) Start{shared_, std::move(job), withCom};
    if (start == nullptr) return false;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        ++shared_->running;
    }
    const HANDLE thread = CreateThread(nullptr, 0, &RunJob, start, 0, nullptr);
    if (thread == nullptr) {
        delete start;
        std::lock_guard<std::mutex> guard(shared_->lock);
        --shared_->running;
        return false;
    }
    CloseHandle(thread);
    return true;
}

int ShellWorker::Running() const {
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->running;
}

}  // namespace tobi
