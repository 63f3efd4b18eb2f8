// Prints what the keyboard hook procedure costs per key event: the decision
// alone, and the decision with the post it leads to; without a tap rule, and
// with the launcher's (the hook then runs the trigger itself, asks whether to
// hold each key, and posts a summons alone). Not a test; run it under Wine:
// scripts/wine-run build/<folder>/bin/hook_callback_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "vantoke/keyboard_hook.h"

namespace {

constexpr int kBatch = 2000;  // stays far below the 10,000 messages a queue holds
constexpr int kBatches = 200;

KBDLLHOOKSTRUCT Event(DWORD virtualKey, bool up) {
    KBDLLHOOKSTRUCT event{};
    event.vkCode = virtualKey;
    event.scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    event.flags = up ? LLKHF_UP : 0;
    return event;
}

void Drain(HWND window) {
    MSG message;
    while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
    }
}

// Nanoseconds per event, the median batch of kBatches.
double TimeEvents(vantoke::HookState& state, HWND window, const std::vector<KBDLLHOOKSTRUCT>& stream) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> perEvent;
    for (int batch = 0; batch < kBatches; ++batch) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < kBatch; ++i) vantoke::HandleKeyEvent(state, stream[i % stream.size()]);
        QueryPerformanceCounter(&end);
        Drain(window);
        perEvent.push_back(1e9 * static_cast<double>(end.QuadPart - start.QuadPart) /
                           static_cast<double>(frequency.QuadPart) / kBatch);
    }
    std::sort(perEvent.begin(), perEvent.end());
    return perEvent[perEvent.size() / 2];
}

}  // namespace

int main() {
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    struct Scenario {
        const char* name;
        std::vector<KBDLLHOOKSTRUCT> stream;
    };
    const Scenario scenarios[] = {
        {"Ctrl held (auto-repeat), no post", {Event(VK_LCONTROL, false)}},
        {"other key released, no post", {Event('A', true)}},
        {"Ctrl taps, posted without a rule", {Event(VK_LCONTROL, false), Event(VK_LCONTROL, true)}},
        {"typing letters, posted without a rule", {Event('A', false), Event('A', true)}},
    };
    std::printf("hook procedure work per key event (median of %d batches of %d)\n", kBatches, kBatch);
    std::printf("  %-40s %12s %12s\n", "", "no tap rule", "tap rule");
    for (const Scenario& scenario : scenarios) {
        double figures[2];
        for (bool ruled : {false, true}) {
            auto state = std::make_unique<vantoke::HookState>();  // fresh: no summons left from before
            state->target.store(window);
            if (ruled) vantoke::SetTapRule(*state, {1, 50});
            figures[ruled] = TimeEvents(*state, window, scenario.stream);
        }
        std::printf("  %-40s %9.1f ns %9.1f ns\n", scenario.name, figures[0], figures[1]);
    }
    DestroyWindow(window);
    return 0;
}
