// Whether the program in front is full-screen, kept beside the hook: asking
// the system can take its time (the shell's notification state, the monitor
// of a window on a busy machine), and nothing that can wait may run inside
// the hook procedure or stall the hook's thread. Each press of the watched key
// asks for a fresh look, so that the verdict is made by the tap that would
// summon; the looks run on a thread that lives only while they are asked for.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>

namespace vantoke {

class ForegroundWatch {
public:
    ForegroundWatch();
    // Waits a little for a look under way; one that hangs goes on alone.
    ~ForegroundWatch();
    ForegroundWatch(const ForegroundWatch&) = delete;
    ForegroundWatch& operator=(const ForegroundWatch&) = delete;

    // A fresh look is wanted; returns at once (not for the hook procedure:
    // it may start a thread).
    void Refresh() noexcept;
    // The verdict of the latest look, if it began less than kFreshMs before
    // `now` (GetTickCount): an older one may speak of another program in
    // front. Not full-screen without a fresh one.
    bool FullScreen(std::uint32_t now) const noexcept;
    static constexpr std::uint32_t kFreshMs = 3000;  // longer than any tap sequence

    struct Shared;  // what the looking thread shares with this object

private:
    std::shared_ptr<Shared> shared_;
};

}  // namespace vantoke
