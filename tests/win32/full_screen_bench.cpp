// Prints what the full-screen check costs at the tap that would summon, with a
// full-screen and with an ordinary window in front, and the shell's report
// alone. Not a test: scripts/wine-run build/<folder>/bin/full_screen_bench.exe
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/win32/full_screen_win32.h"

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

int main() {
    std::printf("full-screen check at a summoning tap (median of 101 batches of 200 calls)\n");
    for (const bool whole : {true, false}) {
        HWND window = CreateWindowExW(0, L"STATIC", L"bench", (whole ? WS_POPUP : WS_OVERLAPPEDWINDOW) | WS_VISIBLE, 0,
                                      0, whole ? GetSystemMetrics(SM_CXSCREEN) : 400,
                                      whole ? GetSystemMetrics(SM_CYSCREEN) : 300, nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(window);
        bool fullScreen = false;
        const double cost = MedianMicroseconds([&] { fullScreen = win32::ForegroundIsFullScreen(); });
        std::printf("  %-32s %8.2f us  (full-screen: %s)\n", whole ? "borderless whole-screen window" : "ordinary window",
                    cost, fullScreen ? "yes" : "no");
        DestroyWindow(window);
    }
    QUERY_USER_NOTIFICATION_STATE state{};
    const double shell = MedianMicroseconds([&] { SHQueryUserNotificationState(&state); });
    std::printf("  %-32s %8.2f us  (state %d)\n", "of it, the shell's report alone", shell, static_cast<int>(state));
    return 0;
}
