// Prints what the hook thread, with its watchdog, costs: processor time while
// the desktop is idle (it should be none: the thread waits for messages and
// arms no timer), per key event while typing, and how long after the first key
// that went by unseen the watchdog has the hook back. Not a test; run it under
// Wine: scripts/wine-run build/<folder>/bin/hook_idle_bench.exe [idle seconds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "vantoke/keyboard_hook.h"

namespace {

double NowMs() {
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Kernel plus user time of a thread, in milliseconds.
double ThreadCpuMs(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return -1;
    auto ms = [](const FILETIME& time) {
        return static_cast<double>((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

INPUT Key(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// Takes the window's messages for `ms`; the number of them that were `wanted`.
int Drain(HWND window, DWORD ms, UINT wanted) {
    int count = 0;
    const double end = NowMs() + ms;
    while (NowMs() < end) {
        MSG message;
        while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) count += message.message == wanted;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    vantoke::KeyboardHook hook;
    hook.State().target.store(window);
    if (hook.Start() == nullptr) {
        std::printf("the hook could not be installed\n");
        return 1;
    }
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, hook.ThreadId());
    if (thread == nullptr) {
        std::printf("the hook thread cannot be examined\n");
        return 1;
    }

    // Typing: a burst of key events, then the idle time with nothing at all.
    constexpr int kEvents = 2000;
    std::vector<INPUT> typing;
    for (int i = 0; i < kEvents / 2; ++i) {
        typing.push_back(Key(static_cast<WORD>('A' + i % 26), false));
        typing.push_back(Key(static_cast<WORD>('A' + i % 26), true));
    }
    const double beforeTyping = ThreadCpuMs(thread);
    SendInput(static_cast<UINT>(typing.size()), typing.data(), sizeof(INPUT));
    Drain(window, 300, 0);
    const double afterTyping = ThreadCpuMs(thread);

    Sleep(200);
    const double idleStart = ThreadCpuMs(thread);
    const double idleStartMs = NowMs();
    Sleep(static_cast<DWORD>(idleSeconds) * 1000);
    const double idleMs = NowMs() - idleStartMs;
    const double idleCpu = ThreadCpuMs(thread) - idleStart;

    // The watchdog at work: the hook removed behind its back, one key, and the
    // time until the reinstall notice is posted.
    std::vector<double> reinstallMs;
    for (int trial = 0; trial < 20; ++trial) {
        UnhookWindowsHookEx(hook.State().hook.load());  // as the system does after a time-out
        INPUT tap[2] = {Key(VK_LCONTROL, false), Key(VK_LCONTROL, true)};
        const double sent = NowMs();
        SendInput(2, tap, sizeof(INPUT));
        MSG message;
        bool back = false;
        while (!back && NowMs() - sent < 2000) {
            while (PeekMessageW(&message, window, 0, 0, PM_REMOVE)) back |= message.message == vantoke::kHookReinstalledNotice;
            if (!back) MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        if (back) reinstallMs.push_back(NowMs() - sent);
        Drain(window, 50, 0);
    }
    std::sort(reinstallMs.begin(), reinstallMs.end());

    std::printf("hook thread with its watchdog\n");
    std::printf("  idle, %.1f s with no input:          %.3f ms processor time\n", idleMs / 1000.0, idleCpu);
    std::printf("  typing, %d key events:             %.1f us processor time per event\n", kEvents,
                1000.0 * (afterTyping - beforeTyping) / kEvents);
    if (reinstallMs.empty()) {
        std::printf("  reinstall after a silent removal:     never (watchdog not running)\n");
    } else {
        std::printf("  reinstall after a silent removal:     median %.1f ms, worst %.1f ms after the first unseen key "
                    "(%zu of 20)\n",
                    reinstallMs[reinstallMs.size() / 2], reinstallMs.back(), reinstallMs.size());
    }
    CloseHandle(thread);
    hook.Stop();
    DestroyWindow(window);
    return 0;
}
