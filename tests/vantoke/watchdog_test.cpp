// The hook's watchdog in-process under Wine: the hook is removed behind its
// back the way Windows removes a hook that timed out, and key taps sent with
// SendInput must still summon under the launcher's tap rule, which the hook
// runs itself, posting the summons alone.
#include "vantoke/keyboard_hook.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/message_window.h"

namespace {

// Nobody's shortcut: its key-up alone, which changes nothing the hook decides,
// marks the end of a burst.
constexpr UINT kSentinelKey = VK_F24;
constexpr DWORD kWaitMs = 5000;
constexpr int kCountIndex = 1;  // three presses
constexpr int kSpeed = 50;      // 520 ms

INPUT Key(UINT virtualKey, bool up);
bool Send(std::vector<INPUT> inputs);

// A message-only window on the test thread that takes the hook's notices as
// LauncherWindow does: the hook decides the summons by the launcher's rule;
// it has no menu and answers each summons so, that the next may begin.
class LauncherStandIn {
public:
    explicit LauncherStandIn(vantoke::KeyboardHook& hook) : hook_(hook), hookState_(hook.State()) {
        window_ = CreateMessageOnlyWindow(L"VantokeWatchdogTestSink");
        vantoke::SetTapRule(hookState_, {kCountIndex, kSpeed});
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

    // Sends the sentinel and handles notices until the hook has handled it,
    // and with it every key event before; false when it does not. SendInput
    // returns once the hook has seen its events (under Wine), so the count
    // read before is final.
    bool HandleUntilSentinel() {
        const std::uint32_t before = hookState_.hookEvents.load(std::memory_order_acquire);
        if (!Send({Key(kSentinelKey, true)})) return false;
        return HandleUntil([&] { return hookState_.hookEvents.load(std::memory_order_acquire) != before; });
    }

    // Handles notices until the hook is installed again after `removed`.
    bool HandleUntilReinstalled(HHOOK removed) {
        return HandleUntil([&] {
            const HHOOK now = hookState_.hook.load();
            return now != nullptr && now != removed;
        });
    }

    int posted = 0;  // every message the hook posted to the window
    int summons = 0;

private:
    template <typename Done>
    bool HandleUntil(Done done) {
        const ULONGLONG end = GetTickCount64() + kWaitMs;
        while (!done() && GetTickCount64() < end) {
            HandleWaiting();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        HandleWaiting();
        return done();
    }

    void HandleWaiting() {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd != window_) {  // the hook's relay, among others
                DispatchMessageW(&message);
                continue;
            }
            ++posted;
            if (message.message != WM_HSCROLL || !vantoke::IsSummons(static_cast<unsigned>(message.wParam))) continue;
            ++summons;
            hook_.PostMenuState(vantoke::MenuState::Refused, vantoke::SummonsSerial(static_cast<unsigned>(message.wParam)));
        }
    }

    vantoke::KeyboardHook& hook_;
    vantoke::HookState& hookState_;
    HWND window_ = nullptr;
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
HHOOK RemoveHookSilently(vantoke::KeyboardHook& hook) {
    const HHOOK removed = hook.State().hook.load();
    EXPECT_TRUE(UnhookWindowsHookEx(removed));
    return removed;
}

// Taps Ctrl `count` times as a finger does (held 30 ms, one every 100 ms),
// handling the notices in between as the launcher's thread does.
void PacedTaps(LauncherStandIn& launcherWindow, int count) {
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(Send({Key(VK_LCONTROL, false)}));
        launcherWindow.HandleFor(30);
        ASSERT_TRUE(Send({Key(VK_LCONTROL, true)}));
        launcherWindow.HandleFor(70);
    }
}

class VantokeWatchdog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(launcherWindow.Window(), nullptr);
        hook->SetTarget(launcherWindow.Window());
        ASSERT_NE(hook->Start(), nullptr);
    }

    std::unique_ptr<vantoke::KeyboardHook> hook = std::make_unique<vantoke::KeyboardHook>();
    LauncherStandIn launcherWindow{*hook};
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
    const HHOOK installed = hook->State().hook.load();
    std::vector<INPUT> typing;
    for (int i = 0; i < 100; ++i) {
        typing.push_back(Key('A' + i % 26, false));
        typing.push_back(Key('A' + i % 26, true));
    }
    ASSERT_TRUE(Send(typing));
    PacedTaps(launcherWindow, 3);
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    launcherWindow.HandleFor(2 * vantoke::HookWatchdog::kGraceMs);  // a check would have fired by now
    EXPECT_EQ(hook->State().hook.load(), installed);
    EXPECT_EQ(launcherWindow.summons, 1);
    EXPECT_EQ(launcherWindow.posted, 1);  // the summons alone: the typing and taps woke nobody
}

TEST_F(VantokeWatchdog, AfterASilentRemovalTheNextThreeTapsStillSummon) {
    for (int round = 0; round < 3; ++round) {
        const HHOOK removed = RemoveHookSilently(*hook);
        PacedTaps(launcherWindow, 3);
        ASSERT_TRUE(launcherWindow.HandleUntilReinstalled(removed)) << "round " << round;
        ASSERT_TRUE(launcherWindow.HandleUntilSentinel()) << "round " << round;
        EXPECT_EQ(launcherWindow.summons, round + 1) << "round " << round;
        const HHOOK reinstalled = hook->State().hook.load();
        launcherWindow.HandleFor(600);  // the next round is a new sequence
        EXPECT_EQ(hook->State().hook.load(), reinstalled) << "reinstalled once, round " << round;
    }
}

// Keys that all went by before the watchdog's check: the sequence under way
// is forgotten first, then each missed key counts as the hook would have
// counted it.
TEST_F(VantokeWatchdog, KeysMissedAllAtOnceAreReplayedInOrderAfterTheSequenceIsForgotten) {
    PacedTaps(launcherWindow, 2);  // a sequence under way, which a third press would complete
    const HHOOK removed = RemoveHookSilently(*hook);
    ASSERT_TRUE(Send({Key(VK_LCONTROL, false), Key('C', false), Key('C', true), Key(VK_LCONTROL, true),
                      Key(VK_LCONTROL, false), Key(VK_LCONTROL, true)}));
    ASSERT_TRUE(launcherWindow.HandleUntilReinstalled(removed));
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    EXPECT_EQ(launcherWindow.posted, 0);
    // The chord ended the press before it: only the last tap counts.
    const taps::KeyPressTrigger& trigger = hook->State().summons.Trigger();
    EXPECT_EQ(trigger.pressCount(), 1);
    EXPECT_EQ(trigger.triggerState(), 0);
    PacedTaps(launcherWindow, 3);  // the hook is back in step
    launcherWindow.HandleFor(100);
    EXPECT_EQ(launcherWindow.summons, 1);
}

TEST_F(VantokeWatchdog, ChordsMissedWhileTheHookIsGoneDoNotSummon) {
    const HHOOK removed = RemoveHookSilently(*hook);
    std::vector<INPUT> copies;  // Ctrl+C three times
    for (int i = 0; i < 3; ++i) {
        copies.insert(copies.end(), {Key(VK_LCONTROL, false), Key('C', false), Key('C', true), Key(VK_LCONTROL, true)});
    }
    ASSERT_TRUE(Send(copies));
    ASSERT_TRUE(launcherWindow.HandleUntilReinstalled(removed));
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    EXPECT_EQ(launcherWindow.summons, 0);
    PacedTaps(launcherWindow, 3);  // and the hook is back in step
    launcherWindow.HandleFor(100);
    EXPECT_EQ(launcherWindow.summons, 1);
}

TEST_F(VantokeWatchdog, TheReinstalledHookGoesWithStop) {
    const HHOOK removed = RemoveHookSilently(*hook);
    PacedTaps(launcherWindow, 1);
    ASSERT_TRUE(launcherWindow.HandleUntilReinstalled(removed));
    ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
    hook.reset();

    // A second hook, with its own stand-in, shows when the taps have gone through.
    vantoke::KeyboardHook witnessHook;
    LauncherStandIn witness(witnessHook);
    witnessHook.SetTarget(witness.Window());
    ASSERT_NE(witnessHook.Start(), nullptr);
    const int before = launcherWindow.posted;
    PacedTaps(witness, 3);
    ASSERT_TRUE(witness.HandleUntilSentinel());
    EXPECT_EQ(witness.summons, 1);
    launcherWindow.HandleFor(50);
    EXPECT_EQ(launcherWindow.posted, before);
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
        LauncherStandIn launcherWindow(hook);
        hook.SetTarget(launcherWindow.Window());
        ASSERT_NE(hook.Start(), nullptr);
        EXPECT_EQ(RawKeyboardTarget(), own);
        PacedTaps(launcherWindow, 3);
        ASSERT_TRUE(launcherWindow.HandleUntilSentinel());
        EXPECT_EQ(launcherWindow.summons, 1);
    }
    EXPECT_EQ(RawKeyboardTarget(), own);
    RAWINPUTDEVICE removal{1, 6, RIDEV_REMOVE, nullptr};
    RegisterRawInputDevices(&removal, 1, sizeof(removal));
    DestroyWindow(own);
}

}  // namespace
