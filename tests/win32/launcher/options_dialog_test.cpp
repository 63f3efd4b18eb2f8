#include "launcher/win32/options_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/win32/resource_ids.h"
#include "tests/support/memory_file_store.h"

namespace {

using tobi::OptionsDialog;

class RecordingHook : public tobi::KeyHook {
public:
    std::vector<unsigned> keys;
    void SetKey(unsigned virtualKey) override { keys.push_back(virtualKey); }
};

class OptionsDialogTest : public ::testing::Test {
protected:
    void Open(int keyIndex, int countIndex, int speed) {
        dialog.keyIndex = keyIndex;
        dialog.countIndex = countIndex;
        dialog.speed = speed;
        ASSERT_NE(dialog.CreateModeless(nullptr), nullptr);
    }
    std::wstring Text(int id) const { return dialog.ItemText(id); }
    int Selection(int id) const { return static_cast<int>(SendMessageW(dialog.Item(id), CB_GETCURSEL, 0, 0)); }
    void Select(int id, int index) const { SendMessageW(dialog.Item(id), CB_SETCURSEL, index, 0); }
    int SliderPosition() const { return static_cast<int>(SendMessageW(dialog.Item(IDC_SPEED_SLIDER), TBM_GETPOS, 0, 0)); }
    void MoveSlider(int position) const { SendMessageW(dialog.Item(IDC_SPEED_SLIDER), TBM_SETPOS, TRUE, position); }
    void Tick() const { SendMessageW(dialog.hwnd(), WM_TIMER, OptionsDialog::kPollTimer, 0); }
    void PressOK() const { SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

    OptionsDialog dialog;
};

TEST_F(OptionsDialogTest, OpensWithTheValuesShown) {
    Open(1, 1, 50);
    EXPECT_EQ(Text(IDC_KEY_LIST), L"Ctrl");
    EXPECT_EQ(Text(IDC_COUNT_LIST), L"3");
    EXPECT_EQ(SliderPosition(), 50);
    EXPECT_EQ(SendMessageW(dialog.Item(IDC_SPEED_SLIDER), TBM_GETRANGEMIN, 0, 0), 0);
    EXPECT_EQ(SendMessageW(dialog.Item(IDC_SPEED_SLIDER), TBM_GETRANGEMAX, 0, 0), 100);
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"50");

    // The lists hold exactly the three values each, in index order.
    HWND keys = dialog.Item(IDC_KEY_LIST);
    ASSERT_EQ(SendMessageW(keys, CB_GETCOUNT, 0, 0), 3);
    Select(IDC_KEY_LIST, 0);
    EXPECT_EQ(Text(IDC_KEY_LIST), L"Alt");
    Select(IDC_KEY_LIST, 2);
    EXPECT_EQ(Text(IDC_KEY_LIST), L"Shift");
    ASSERT_EQ(SendMessageW(dialog.Item(IDC_COUNT_LIST), CB_GETCOUNT, 0, 0), 3);
    Select(IDC_COUNT_LIST, 2);
    EXPECT_EQ(Text(IDC_COUNT_LIST), L"4");
    EXPECT_EQ(win32::WindowText(dialog.hwnd()), L"設定");
}

TEST_F(OptionsDialogTest, NumberFollowsTheSliderOnlyAtATick) {
    Open(1, 1, 50);
    MoveSlider(80);
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"50");
    EXPECT_EQ(dialog.speed, 50);
    Tick();
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"80");
    EXPECT_EQ(dialog.speed, 80);
    MoveSlider(0);
    Tick();
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"0");
    PressOK();
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(dialog.speed, 0);
}

TEST_F(OptionsDialogTest, TheDialogsOwnTimerPollsTheSlider) {
    Open(1, 1, 50);
    MoveSlider(30);
    // Pump this thread's messages until the 100 ms poll has run (bounded).
    const DWORD start = GetTickCount();
    while (Text(IDC_SPEED_NUMBER) != L"30" && GetTickCount() - start < 3000) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(10);
    }
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"30");
    EXPECT_EQ(dialog.speed, 30);
}

TEST_F(OptionsDialogTest, TypedNumberIsNeverReadBack) {
    Open(1, 1, 50);
    dialog.SetItemText(IDC_SPEED_NUMBER, L"77");
    Tick();  // the slider did not move: the typed text stays, unread
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"77");
    EXPECT_EQ(dialog.speed, 50);
    MoveSlider(51);
    Tick();
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"51");
    dialog.SetItemText(IDC_SPEED_NUMBER, L"9");
    PressOK();
    EXPECT_EQ(dialog.speed, 51);
}

TEST_F(OptionsDialogTest, SpeedAboveTheRangeIsKeptUntilTheFirstTick) {
    Open(1, 1, 150);
    EXPECT_EQ(SliderPosition(), 100);
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"150");
    PressOK();  // before the first tick
    EXPECT_EQ(dialog.speed, 150);
}

TEST_F(OptionsDialogTest, SpeedOutsideTheRangeTakesTheSliderEndAtTheFirstTick) {
    Open(1, 1, 150);
    Tick();
    EXPECT_EQ(dialog.speed, 100);
    EXPECT_EQ(Text(IDC_SPEED_NUMBER), L"100");
    PressOK();
    EXPECT_EQ(dialog.speed, 100);

    OptionsDialog slow;
    slow.keyIndex = 1;
    slow.countIndex = 1;
    slow.speed = -20;
    ASSERT_NE(slow.CreateModeless(nullptr), nullptr);
    EXPECT_EQ(SendMessageW(slow.Item(IDC_SPEED_SLIDER), TBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(slow.ItemText(IDC_SPEED_NUMBER), L"-20");
    SendMessageW(slow.hwnd(), WM_TIMER, OptionsDialog::kPollTimer, 0);
    EXPECT_EQ(slow.speed, 0);
    EXPECT_EQ(slow.ItemText(IDC_SPEED_NUMBER), L"0");
}

TEST_F(OptionsDialogTest, ChosenKeyAndCountAreReadOnOK) {
    Open(1, 1, 50);
    Select(IDC_KEY_LIST, 2);
    Select(IDC_COUNT_LIST, 2);
    PressOK();
    EXPECT_EQ(dialog.Result(), IDOK);
    EXPECT_EQ(dialog.keyIndex, 2);
    EXPECT_EQ(dialog.countIndex, 2);
}

TEST_F(OptionsDialogTest, IndexOutsideTheListsShowsNoSelectionAndReadsMinusOne) {
    Open(3, -1, 50);
    EXPECT_EQ(Selection(IDC_KEY_LIST), CB_ERR);
    EXPECT_EQ(Selection(IDC_COUNT_LIST), CB_ERR);
    EXPECT_EQ(Text(IDC_KEY_LIST), L"");
    PressOK();
    EXPECT_EQ(dialog.keyIndex, -1);
    EXPECT_EQ(dialog.countIndex, -1);
}

TEST_F(OptionsDialogTest, EscapeCancels) {
    Open(0, 0, 10);
    Select(IDC_KEY_LIST, 2);
    SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    EXPECT_EQ(dialog.Result(), IDCANCEL);
    EXPECT_EQ(dialog.hwnd(), nullptr);
}

// ---- The options command ------------------------------------------------------

// Drives the dialog like a user: `act` works on the open dialog, then OK.
tobi::OptionsDialogRunner PressOKAfter(std::function<void(OptionsDialog&)> act) {
    return [act](OptionsDialog& dialog) {
        if (dialog.CreateModeless(nullptr) == nullptr) return INT_PTR{-1};
        act(dialog);
        SendMessageW(dialog.hwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return dialog.Result();
    };
}

class OptionsCommandTest : public ::testing::Test {
protected:
    launcher::Options options;
    RecordingHook hook;
    MemoryFileStore store;
    const std::string path = "C:\\folder\\opt.x";
};

TEST_F(OptionsCommandTest, ShiftAndFourPressesReachMemoryDiskAndHook) {
    EXPECT_TRUE(tobi::RunOptionsCommand(options, hook, store, path, PressOKAfter([](OptionsDialog& dialog) {
        SendMessageW(dialog.Item(IDC_KEY_LIST), CB_SETCURSEL, 2, 0);
        SendMessageW(dialog.Item(IDC_COUNT_LIST), CB_SETCURSEL, 2, 0);
        SendMessageW(dialog.Item(IDC_SPEED_SLIDER), TBM_SETPOS, TRUE, 75);
        SendMessageW(dialog.hwnd(), WM_TIMER, OptionsDialog::kPollTimer, 0);
    })));
    EXPECT_EQ(options.keyIndex, 2);
    EXPECT_EQ(options.countIndex, 2);
    EXPECT_EQ(options.speed, 75);
    EXPECT_EQ(hook.keys, std::vector<unsigned>{16});
    EXPECT_EQ(store.files[path], "[ K_Index ] =\r\n2\r\n\r\n[ T_Index ] =\r\n2\r\n\r\n[ S_Index ] =\r\n75\r\n");
}

TEST_F(OptionsCommandTest, CancelChangesNothing) {
    store.files[path] = "odd";
    options.speed = 33;
    const bool confirmed =
        tobi::RunOptionsCommand(options, hook, store, path, [](OptionsDialog& dialog) {
            dialog.CreateModeless(nullptr);
            SendMessageW(dialog.Item(IDC_KEY_LIST), CB_SETCURSEL, 2, 0);
            SendMessageW(dialog.hwnd(), WM_CLOSE, 0, 0);  // the close box
            MSG message;  // the system may post the resulting IDCANCEL
            while (dialog.hwnd() != nullptr && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            return dialog.Result();
        });
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(options.keyIndex, 1);
    EXPECT_EQ(options.speed, 33);
    EXPECT_TRUE(hook.keys.empty());
    EXPECT_EQ(store.writeCount, 0);
    EXPECT_EQ(store.files[path], "odd");
}

}  // namespace
