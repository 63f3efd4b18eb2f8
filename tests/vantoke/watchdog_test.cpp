// The hook's watchdog in-process under Wine: the hook is removed behind its
// back the way Windows removes a hook that timed out, and key taps sent with
// SendInput must still summon under the launcher's tap rule, which the hook
// runs itself.
#include "vantoke/keyboard_hook.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/message_window.h"

namespace {

constexpr UINT kSentinelKey = VK_F24;  // nobody's shortcut; marks the end of a burst
constexpr DWORD kWaitMs = 5000;
constexpr int kCountIndex = 1;  // three presses
constexpr int kSpeed = 50;      // 520 ms

// A message-only window on the test thread that takes the hook's notices as
// LauncherWindow does: the hook decides the summons by the launcher's rule.
class LauncherStandIn {
public:
    explicit LauncherStandIn(vantoke::HookState& hookState) {
        window_ = CreateMessageOnlyWindow(L"VantokeWatchdogTestSink");
        vantoke::SetTapRule(hookState, {kCountIndex, kSpeed});
    }
    ~LauncherStandIn() { DestroyWindow(window_); }
    LauncherStandIn(const LauncherStandIn&) = delete;
    LauncherStandIn& operator=(const LauncherStandIn&) = delete;

    HWND Window() const { return window_; }

    // Handles notices for `ms` milliseconds.
    void HandleFor(DWORD ms) {
        const ULONGLONG end = GetTickCount64() + ms;
        for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
            HandleWaiting();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        }
        HandleWaiting();
    }

    // Handles notices until the sentinel key's notice; false when it does not come.
    bool HandleUntilSentinel() {
        sentinelSeen_ = false;
        const ULONGLONG end = GetTickCount64() + kWaitMs;
        while (!sentinelSeen_ && GetTickCount64() < end) {
            HandleWaiting();
            if (!sentinelSeen_) MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        return sentinelSeen_;
    }

    int notifications = 0;
    int summons = 0;
    int reinstalls = 0;
    // Every notice in order: "R" reinstalled, "W" watched key, the key's code for another key.
    std::vector<std::string> log;

private:
    void HandleWaiting() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd != window_) {  // the hook's relay, among others
                DispatchMessageW(&message);
                continue;
            }
            switch (message.message) {
                case WM_HSCROLL:
                    ++notifications;
                    log.push_back("W");
                    summons += vantoke::IsSummons(static_cast<unsigned>(message.wParam));
                    break;
                case vantoke::kOtherKeyNotice:
                    log.push_back(std::to_string(message.wParam));
                    if (message.wParam == kSentinelKey) sentinelSeen_ = true;
                    break;
                case vantoke::kHookReinstalledNotice:
                    ++reinstalls;
                    log.push_back("R");
                    break;
                default:
                    break;
            }
        }
    }

    HWND window_ = nullptr;
    bool sentinelSeen_ = false;
};

INPUT Key(UINT virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(virtualKey);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

bool Send(std::vector<INPUT> inputs) {
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool SendSentinel() { return Send({Key(kSentinelKey, false), Key(kSentinelKey, true)}); }

// The window that receives the process's raw keyboard input, if any.
HWND RawKeyboardTarget() {
    UINT count = 0;
    if (GetRegisteredRawInputDevices(nullptr, &count, sizeof(RAWINPUTDEVICE)) != 0 || count == 0) return nullptr;
    std::vector<RAWINPUTDEVICE> devices(count);
    const UINT written = GetRegisteredRawInputDevices(devices.data(), &count, sizeof(RAWINPUTDEVICE));
    if (written == static_cast<UINT>(-1)) return nullptr;
    for (UINT i = 0; i < written; ++i) {
        if (devices[i].usUsagePage == 1 && devices[i].usUsage == 6) return devices[i].hwndTarget;
    }
    return nullptr;
}

std::wstring ClassOf(HWND window) {
    std::wstring name(256, L'\0');
    name.resize(static_cast<std::size_t>(GetClassNameW(window, name.data(), static_cast<int>(name.size()))));
    return name;
}

// Removes the hook the way Windows does when the hook procedure has timed
// out: silently, leaving the library's handle and everything else as it was.
void RemoveHookSilently(vantoke::KeyboardHook& hook) {
    ASSERT_TRUE(UnhookWindowsHookEx(hook.State().hook.load()));
}

class VantokeWatchdog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(launcherWindow.Window(), nullptr);
        hook->SetTarget(launcherWindow.Window());
        ASSERT_NE(hook->Start(), nullptr);
    }

    // Taps Ctrl `count` times as a finger does (held 30 ms, one every 100 ms),
    // handling the notices in between as the launcher's thread does.
    void PacedTaps(int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_TRUE(Send({Key(VK_LCONTROL, false)}));
            launcherWindow.HandleFor(30);
            ASSERT_TRUE(Send({Key(VK_LCONTROL, true)}));
            launcherWindow.HandleFor(70);
        }
    }

    std::unique_ptr<vantoke::KeyboardHook> hook = std::make_unique<vantoke::KeyboardHook>();
    LauncherStandIn launcherWindow{hook->State()};
};

TEST_F(VantokeWatchdog, WatchesRawKeyboardInputWhileTheHookRuns) {
    const HWND target = RawKeyboardTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(ClassOf(target), L"VantokeHookWatchdog");
    EXPECT_EQ(GetWindowThreadProcessId(target, nullptr), hook->ThreadId());
    hook->Stop();
    EXPECT_EQ(RawKeyboardTarget(), nullptr);
    EXPECT_EQ(hook->ThreadId(), 0u);
}

TEST_F(VantokeWatchdog, AWorkingHookIsNeverReinstalled) {
    std::vector<INPUT> typing;
    for (int i = 0; i < 100; ++i) {
        typing.push_back(Key('A' + i % 26, false));
        typing.push_back(Key('A' + i % 26, true));
    }
    ASSERT_TRUE(Send(typing));
    PacedTaps(3);
    ASSERT_TRUE(SendSentinel());
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    launcherWindow.HandleFor(100);  // a check would have fired by now
    EXPECT_EQ(launcherWindow.reinstalls, 0);
    EXPECT_EQ(launcherWindow.summons, 1);
}

TEST_F(VantokeWatchdog, AfterASilentRemovalTheNextThreeTapsStillSummon) {
    for (int round = 0; round < 3; ++round) {
        RemoveHookSilently(*hook);
        PacedTaps(3);
        ASSERT_TRUE(SendSentinel());
        ASSERT_TRUE(launcherWindow.HandleUntilSentinel()) << "round " << round;
        EXPECT_EQ(launcherWindow.reinstalls, round + 1);
        EXPECT_EQ(launcherWindow.summons, round + 1) << "round " << round;
        launcherWindow.HandleFor(600);  // the next round is a new sequence
    }
}

// Keys that all went by before the watchdog's check: the reinstall notice
// first, then each missed key as the hook would have reported it to a launcher
// answering at once.
TEST_F(VantokeWatchdog, KeysMissedAllAtOnceAreReplayedInOrderAfterTheReinstallNotice) {
    RemoveHookSilently(*hook);
    ASSERT_TRUE(Send({Key(VK_LCONTROL, false), Key('C', false), Key('C', true), Key(VK_LCONTROL, true),
                      Key(VK_LCONTROL, false), Key(VK_LCONTROL, true)}));
    ASSERT_TRUE(SendSentinel());
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    const std::string c = std::to_string('C');
    const std::string sentinel = std::to_string(kSentinelKey);
    EXPECT_EQ(launcherWindow.log, (std::vector<std::string>{"R", "W", c, "W", "W", "W", sentinel}));
    PacedTaps(3);  // the hook is back in step
    launcherWindow.HandleFor(100);
    EXPECT_EQ(launcherWindow.summons, 1);
}

TEST_F(VantokeWatchdog, ChordsMissedWhileTheHookIsGoneDoNotSummon) {
    RemoveHookSilently(*hook);
    std::vector<INPUT> copies;  // Ctrl+C three times
    for (int i = 0; i < 3; ++i) {
        copies.insert(copies.end(), {Key(VK_LCONTROL, false), Key('C', false), Key('C', true), Key(VK_LCONTROL, true)});
    }
    ASSERT_TRUE(Send(copies));
    ASSERT_TRUE(SendSentinel());
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    EXPECT_EQ(launcherWindow.reinstalls, 1);
    EXPECT_EQ(launcherWindow.summons, 0);
    PacedTaps(3);  // and the hook is back in step
    launcherWindow.HandleFor(100);
    EXPECT_EQ(launcherWindow.summons, 1);
}

TEST_F(VantokeWatchdog, TheReinstalledHookGoesWithStop) {
    RemoveHookSilently(*hook);
    PacedTaps(1);
    ASSERT_TRUE(SendSentinel());
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    ASSERT_EQ(launcherWindow.reinstalls, 1);
    hook.reset();

    // A second hook, with its own stand-in, shows when the taps have gone through.
    vantoke::KeyboardHook witnessHook;
    LauncherStandIn witness(witnessHook.State());
    witnessHook.SetTarget(witness.Window());
    ASSERT_NE(witnessHook.Start(), nullptr);
    const int before = launcherWindow.notifications;
    ASSERT_TRUE(Send({Key(VK_LCONTROL, false), Key(VK_LCONTROL, true)}));
    ASSERT_TRUE(SendSentinel());
    ASSERT_TRUE(witness.HandleUntilSentinel());
    EXPECT_EQ(witness.notifications, 2);  // the press, and the release the trigger then asks for
    launcherWindow.HandleFor(50);
    EXPECT_EQ(launcherWindow.notifications, before);
}

// A program that reads raw keyboard input itself keeps it; the hook then runs
// without a watchdog.
TEST(VantokeWatchdogBeside, TheProgramsOwnRawKeyboardInputIsLeftAlone) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VantokeWatchdogTestOwnRawInput";
    RegisterClassW(&windowClass);
    const HWND own = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(own, nullptr);
    RAWINPUTDEVICE keyboard{1, 6, RIDEV_INPUTSINK, own};
    ASSERT_TRUE(RegisterRawInputDevices(&keyboard, 1, sizeof(keyboard)));
    {
        vantoke::KeyboardHook hook;
        LauncherStandIn launcherWindow(hook.State());
        hook.SetTarget(launcherWindow.Window());
        ASSERT_NE(hook.Start(), nullptr);
        EXPECT_EQ(RawKeyboardTarget(), own);
        ASSERT_TRUE(Send({Key(VK_LCONTROL, false), Key(VK_LCONTROL, true)}));
        ASSERT_TRUE(SendSentinel());
        ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
        EXPECT_EQ(launcherWindow.notifications, 2);  // the press, and the release the trigger then asks for
    }
    EXPECT_EQ(RawKeyboardTarget(), own);
    RAWINPUTDEVICE removal{1, 6, RIDEV_REMOVE, nullptr};
    RegisterRawInputDevices(&removal, 1, sizeof(removal));
    DestroyWindow(own);
}

}  // namespace
