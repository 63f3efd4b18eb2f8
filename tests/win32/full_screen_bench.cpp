// Prints what the full-screen check costs at the tap that would summon: the
// whole query with a full-screen and with an ordinary window in front, and the
// shell's report alone. Not a test; run it under Wine:
// scripts/wine-run build/<folder>/bin/full_screen_bench.exe
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/win32/full_screen_win32.h"

namespace {

// Microseconds per call, the median of 101 batches of 200 calls.
template <typename Call>
double MedianMicroseconds(Call call) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> perCall;
    for (int batch = 0; batch < 101; ++batch) {
        QueryPerformanceCounter(&start);
        for (int i = 0; i < 200; ++i) call();
        QueryPerformanceCounter(&end);
        perCall.push_back(1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart / 200);
    }
    std::nth_element(perCall.begin(), perCall.begin() + 50, perCall.end());
    return perCall[50];
}

}  // namespace

int main() {
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    std::printf("full-screen check at a summoning tap (median of 101 batches of 200 calls)\n");
    for (const DWORD style : {DWORD{WS_POPUP}, DWORD{WS_OVERLAPPEDWINDOW}}) {
        HWND window = CreateWindowExW(0, L"STATIC", L"bench", style | WS_VISIBLE, screen.left, screen.top,
                                      style == WS_POPUP ? screen.right : 400, style == WS_POPUP ? screen.bottom : 300,
                                      nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        bool fullScreen = false;
        const double cost = MedianMicroseconds([&] { fullScreen = win32::ForegroundIsFullScreen(); });
        std::printf("  %-36s %8.2f us  (full-screen: %s)\n",
                    style == WS_POPUP ? "borderless whole-screen window" : "ordinary window", cost,
                    fullScreen ? "yes" : "no");
        DestroyWindow(window);
    }
    QUERY_USER_NOTIFICATION_STATE state{};
    const double shell = MedianMicroseconds([&] { SHQueryUserNotificationState(&state); });
    std::printf("  %-36s %8.2f us  (state %d)\n", "of it, the shell's report alone", shell, static_cast<int>(state));
    return 0;
}
