// An icon fetch held until the test lets it go, as one waiting on a server
// that cannot be reached is; it counts the paths asked for and fails the test
// when asked on the test's own thread. A path with "gone" in it has no icon.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "launcher/win32/menu_icons.h"

namespace testing_win32 {

class HeldFetch {
public:
    ~HeldFetch() { Hold(false); }
    // Shares the state, so that a worker still held outlives the test's objects.
    tobi::MenuIcons::Fetch Fetch() const {
        return [state = state_](const std::wstring& path) -> HICON {
            EXPECT_NE(GetCurrentThreadId(), state->testThread) << "an icon fetched on the user-interface thread";
            std::unique_lock<std::mutex> lock(state->mutex);
            ++state->asked;
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
    // How many paths were asked for, once there are `count` (or after a long wait).
    std::size_t Asked(std::size_t count) const {
        std::unique_lock<std::mutex> lock(state_->mutex);
        state_->changed.wait_for(lock, std::chrono::seconds(10), [&] { return state_->asked >= count; });
        return state_->asked;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::size_t asked = 0;
        const DWORD testThread = GetCurrentThreadId();
        bool released = false;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace testing_win32
