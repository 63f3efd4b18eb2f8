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

win32::UniqueKernelHandle NewEvent() { return win32::UniqueKernelHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr)); }

// A program in front, on a thread of its own: it answers until Hang(), then
// takes no message until released (at the latest when the test ends).
class ProgramInFront {
public:
    ProgramInFront()
        : thread_([this] {
              window_ = CreateShownWindow(L"front");
              SetForegroundWindow(window_);
              SetEvent(ready_.get());
              MSG message;
              while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                  if (message.message == WM_APP) {
                      SetEvent(hanging_.get());  // no message is taken from here on until released
                      WaitForSingleObject(release_.get(), INFINITE);
                  }
                  DispatchMessageW(&message);
              }
              DestroyWindow(window_);
          }) {
        WaitForSingleObject(ready_.get(), INFINITE);
    }
    ~ProgramInFront() {
        Release();
        PostMessageW(window_, WM_QUIT, 0, 0);
        thread_.join();
    }
    HWND Window() const { return window_; }
    bool Hang() {
        PostMessageW(window_, WM_APP, 0, 0);
        return WaitForSingleObject(hanging_.get(), 10000) == WAIT_OBJECT_0;
    }
    void Release() { SetEvent(release_.get()); }

private:
    win32::UniqueKernelHandle ready_ = NewEvent();
    win32::UniqueKernelHandle hanging_ = NewEvent();
    win32::UniqueKernelHandle release_ = NewEvent();
    HWND window_ = nullptr;
    std::thread thread_;
};

TEST(TakeForeground, AHungProgramInFrontIsNeitherWaitedOnNorKeepsTheForeground) {
    HWND launcher = CreateShownWindow(L"launcher");
    {
        ProgramInFront front;
        EXPECT_EQ(GetForegroundWindow(), front.Window());
        EXPECT_TRUE(tobi::AnswersPromptly(front.Window()));
        ASSERT_TRUE(front.Hang());
        EXPECT_FALSE(tobi::AnswersPromptly(front.Window()));
        EXPECT_TRUE(tobi::TakeForeground(launcher));
        EXPECT_EQ(GetForegroundWindow(), launcher);
        front.Release();
        EXPECT_TRUE(tobi::AnswersPromptly(front.Window()));
    }
    DestroyWindow(launcher);
}

}  // namespace
