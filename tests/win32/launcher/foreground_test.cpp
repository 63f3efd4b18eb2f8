// The launcher takes the foreground also from a program that hangs, and never
// waits on it.
#include "launcher/win32/foreground.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

HWND CreateShownWindow() {
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

TEST(TakeForeground, AHungProgramInFrontIsNotWaitedOn) {
    HWND launcher = CreateShownWindow();
    HANDLE hanging = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HWND front = nullptr;
    std::thread program([&] {  // in front, then takes no message until released
        front = CreateShownWindow();
        SetForegroundWindow(front);
        SetEvent(hanging);
        WaitForSingleObject(release, INFINITE);
        DestroyWindow(front);
    });
    WaitForSingleObject(hanging, INFINITE);
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_FALSE(tobi::AnswersPromptly(front));
    EXPECT_TRUE(tobi::TakeForeground(launcher));
    EXPECT_EQ(GetForegroundWindow(), launcher);
    EXPECT_TRUE(tobi::AnswersPromptly(launcher));
    SetEvent(release);
    program.join();
    CloseHandle(hanging);
    CloseHandle(release);
    DestroyWindow(launcher);
}

}  // namespace
