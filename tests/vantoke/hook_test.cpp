// Vantoke.dll in-process under a real low-level keyboard hook: keys are sent
// with SendInput and the notifications counted at a message-only window.
#include "vantoke/mouse_hook.h"

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/message_window.h"

#include "vantoke/key_filter.h"

namespace {

constexpr UINT kSentinelKey = VK_F24;  // nobody's shortcut; marks the end of a burst
constexpr DWORD kWaitMs = 5000;

// A message-only window that counts what the hook posts to it.
class NoticeSink {
public:
    NoticeSink() {
        window_ = CreateMessageOnlyWindow(L"VantokeTestSink");
    }
    ~NoticeSink() { DestroyWindow(window_); }
    NoticeSink(const NoticeSink&) = delete;
    NoticeSink& operator=(const NoticeSink&) = delete;

    HWND Window() const { return window_; }

    // Takes this window's messages until the sentinel key's notice arrives;
    // false when it does not come. Counts are of this burst only.
    bool Collect() {
        scrolls = 0;
        otherKeys.clear();
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < kWaitMs) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                if (message.hwnd != window_) {  // the hook's relay, among others
                    DispatchMessageW(&message);
                    continue;
                }
                if (message.message == WM_HSCROLL) ++scrolls;
                if (message.message == kOtherKeyMessage) {
                    if (message.wParam == kSentinelKey) return true;
                    otherKeys.push_back(static_cast<UINT>(message.wParam));
                }
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
        return false;
    }

    // Everything already posted, without waiting for a sentinel.
    int DrainScrolls() {
        int count = 0;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.hwnd == window_) {
                count += message.message == WM_HSCROLL;
            } else {
                DispatchMessageW(&message);
            }
        }
        return count;
    }

    int scrolls = 0;
    std::vector<UINT> otherKeys;

private:
    HWND window_ = nullptr;
};

INPUT Key(UINT virtualKey, bool up, ULONG_PTR extraInfo = 0) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(virtualKey);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    if (virtualKey == VK_RCONTROL || virtualKey == VK_RMENU) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    input.ki.dwExtraInfo = extraInfo;
    return input;
}

void Send(std::vector<INPUT> inputs) {
    inputs.push_back(Key(kSentinelKey, false));
    inputs.push_back(Key(kSentinelKey, true));
    ASSERT_EQ(SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)), inputs.size());
}

std::vector<INPUT> Taps(UINT virtualKey, int count) {
    std::vector<INPUT> inputs;
    for (int i = 0; i < count; ++i) {
        inputs.push_back(Key(virtualKey, false));
        inputs.push_back(Key(virtualKey, true));
    }
    return inputs;
}

class VantokeHook : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(sink.Window(), nullptr);
        hook = std::make_unique<CMouseHook>();
        hook->SetTarget(sink.Window());
        hook->SetAction(0);
        ASSERT_NE(hook->Start(), nullptr);
    }

    NoticeSink sink;
    std::unique_ptr<CMouseHook> hook;
};

TEST_F(VantokeHook, CtrlTapsGiveOneNotificationEachBeforeAnySetKey) {
    Send(Taps(VK_LCONTROL, 3));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 3);
    EXPECT_TRUE(sink.otherKeys.empty());

    Send(Taps(VK_CONTROL, 2));  // the generic key, as many programs send it
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 2);
}

TEST_F(VantokeHook, AutoRepeatWhileHeldIsOneNotification) {
    std::vector<INPUT> inputs(6, Key(VK_LCONTROL, false));
    inputs.push_back(Key(VK_LCONTROL, true));
    Send(inputs);
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
}

TEST_F(VantokeHook, RightCtrlCountsAndBothSidesHeldAreOnePress) {
    Send(Taps(VK_RCONTROL, 2));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 2);

    Send({Key(VK_LCONTROL, false), Key(VK_RCONTROL, false), Key(VK_LCONTROL, true), Key(VK_RCONTROL, true)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
}

TEST_F(VantokeHook, OtherKeysAreReportedOnKeyDown) {
    Send({Key(VK_LCONTROL, false), Key('C', false), Key('C', true), Key(VK_LCONTROL, true), Key(VK_LSHIFT, false),
          Key(VK_LSHIFT, true)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
    EXPECT_EQ(sink.otherKeys, (std::vector<UINT>{'C', VK_LSHIFT}));
}

TEST_F(VantokeHook, ActionOneNotifiesOnKeyUpOnly) {
    hook->SetAction(1);
    Send({Key(VK_LCONTROL, false), Key(VK_LCONTROL, false)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 0);
    Send({Key(VK_LCONTROL, true)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
    hook->SetAction(0);
    Send(Taps(VK_LCONTROL, 1));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
}

TEST_F(VantokeHook, SetKeyChangesTheWatchedKey) {
    hook->SetKey(VK_SHIFT);
    Send(Taps(VK_LSHIFT, 1));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
    Send(Taps(VK_RSHIFT, 1));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
    Send(Taps(VK_LCONTROL, 1));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 0);
    EXPECT_EQ(sink.otherKeys, (std::vector<UINT>{VK_LCONTROL}));
}

TEST_F(VantokeHook, OwnTaggedInputIsIgnored) {
    Send({Key(VK_LCONTROL, false, vantoke::kOwnInputMarker), Key('A', false, vantoke::kOwnInputMarker),
          Key('A', true, vantoke::kOwnInputMarker), Key(VK_LCONTROL, true, vantoke::kOwnInputMarker)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 0);
    EXPECT_TRUE(sink.otherKeys.empty());
}

TEST_F(VantokeHook, APressWithAnotherModifierHeldIsReportedAsAnotherKey) {
    Send({Key(VK_LSHIFT, false), Key(VK_LCONTROL, false), Key(VK_LCONTROL, true), Key(VK_LSHIFT, true)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 0);
    EXPECT_EQ(sink.otherKeys, (std::vector<UINT>{VK_LSHIFT, VK_LCONTROL}));
    Send(Taps(VK_LCONTROL, 1));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
}

TEST_F(VantokeHook, AKeyReleasedUnseenIsForgottenAtTheNextPress) {
    // The hook sees Shift, then Ctrl go down but not up (as when the release
    // goes to a locked desktop); the system knows they are up.
    Send({Key(VK_LSHIFT, false), Key(VK_LSHIFT, true, vantoke::kOwnInputMarker)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.otherKeys, (std::vector<UINT>{VK_LSHIFT}));
    Send(Taps(VK_LCONTROL, 2));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 2);
    EXPECT_TRUE(sink.otherKeys.empty());
    Send({Key(VK_LCONTROL, false), Key(VK_LCONTROL, true, vantoke::kOwnInputMarker), Key(VK_LCONTROL, false),
          Key(VK_LCONTROL, true)});
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 2);
}

TEST_F(VantokeHook, SecondStartInstallsNoSecondHook) {
    const HHOOK first = hook->Start();
    EXPECT_EQ(hook->Start(), first);
    Send(Taps(VK_LCONTROL, 1));
    ASSERT_TRUE(sink.Collect());
    EXPECT_EQ(sink.scrolls, 1);
}

TEST_F(VantokeHook, NothingArrivesAfterTheDestructor) {
    Send(Taps(VK_LCONTROL, 1));
    ASSERT_TRUE(sink.Collect());
    ASSERT_EQ(sink.scrolls, 1);
    hook.reset();

    // A second hook, on its own window, shows when the taps have gone through.
    NoticeSink witnessSink;
    CMouseHook witness;
    witness.SetTarget(witnessSink.Window());
    ASSERT_NE(witness.Start(), nullptr);
    Send(Taps(VK_LCONTROL, 3));
    ASSERT_TRUE(witnessSink.Collect());
    EXPECT_EQ(witnessSink.scrolls, 3);
    EXPECT_EQ(sink.DrainScrolls(), 0);
}

}  // namespace
