// An icon fetch held until the test lets it go, as one waiting on a server
// that cannot be reached is; it records the paths asked for, and whether the
// test's own thread asked. A path with "gone" in it has no icon.
#pragma once

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "launcher/win32/menu_icons.h"

namespace testing_win32 {

class HeldFetch {
public:
    // Shares the state, so that a worker still held outlives the test's objects.
    tobi::MenuIcons::Fetch Fetch() const {
        return [state = state_](const std::wstring& path) -> HICON {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->asked.push_back(path);
            state->onTestThread = state->onTestThread || GetCurrentThreadId() == state->testThread;
            state->changed.notify_all();
            state->changed.wait_for(lock, std::chrono::seconds(10), [&state] { return state->released; });
            return path.find(L"gone") != std::wstring::npos ? nullptr : CopyIcon(LoadIconW(nullptr, IDI_APPLICATION));
        };
    }
    void Hold(bool held) {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->released = !held;
        state_->changed.notify_all();
    }
    // The paths asked for, once there are `count` (or after a long wait).
    std::vector<std::wstring> Asked(std::size_t count) const {
        std::unique_lock<std::mutex> lock(state_->mutex);
        state_->changed.wait_for(lock, std::chrono::seconds(10), [&] { return state_->asked.size() >= count; });
        return state_->asked;
    }
    bool AskedOnTestThread() const {
        std::lock_guard<std::mutex> lock(state_->mutex);
        return state_->onTestThread;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::wstring> asked;
        const DWORD testThread = GetCurrentThreadId();
        bool onTestThread = false;
        bool released = false;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace testing_win32
