// The launcher takes the foreground also from a program that hangs, and never
// waits on it.
#include "launcher/win32/foreground.h"

#include <gtest/gtest.h>

#include <thread>

#include "common/win32/handles.h"

namespace {

HWND CreateShownWindow(const wchar_t* title) {
    return CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

TEST(TakeForeground, AHungProgramInFrontIsNeitherWaitedOnNorKeepsTheForeground) {
    win32::UniqueKernelHandle ready(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win32::UniqueKernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HWND launcher = CreateShownWindow(L"launcher");
    HWND front = nullptr;
    // The program in front: answers until WM_APP, then takes no message until released.
    std::thread program([&] {
        front = CreateShownWindow(L"front");
        SetForegroundWindow(front);
        SetEvent(ready.get());
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.message == WM_APP) WaitForSingleObject(release.get(), INFINITE);
            DispatchMessageW(&message);
        }
        DestroyWindow(front);
    });
    ASSERT_EQ(WaitForSingleObject(ready.get(), 10000), WAIT_OBJECT_0);

    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_TRUE(tobi::AnswersPromptly(front));
    PostMessageW(front, WM_APP, 0, 0);
    EXPECT_FALSE(tobi::AnswersPromptly(front));
    EXPECT_TRUE(tobi::TakeForeground(launcher));
    EXPECT_EQ(GetForegroundWindow(), launcher);

    SetEvent(release.get());
    EXPECT_TRUE(tobi::AnswersPromptly(front));
    PostMessageW(front, WM_QUIT, 0, 0);
    program.join();
    DestroyWindow(launcher);
}

}  // namespace
