// The end-to-end driver checked against programs whose behaviour is known:
// probe.exe, empty_app.exe, message boxes and a low-level keyboard hook of
// the test's own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "tests/e2e/driver.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

TEST(TestFolderAndFiles, FolderIsFreshAndRemovedWithReadOnlyFilesAndSubfolders) {
    std::wstring path;
    {
        e2e::TestFolder folder;
        path = folder.Path();
        ASSERT_TRUE(e2e::FileExists(path));
        ASSERT_TRUE(CreateDirectoryW(folder.File(L"サブ").c_str(), nullptr));
        ASSERT_TRUE(e2e::WriteFileBytes(folder.File(L"サブ\\inner.txt"), "x"));
        ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {"C:\\a\\表.exe", "C:\\b\\c.exe\t-o\tName"}));
        ASSERT_TRUE(e2e::SetReadOnly(folder.File(L"cr.x"), true));
        EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"cr.x")));
        EXPECT_EQ(e2e::ReadFileBytes(folder.File(L"cr.x")),
                  std::string("C:\\a\\\x95\x5C.exe\r\nC:\\b\\c.exe\t-o\tName\r\n"));

        e2e::TestFolder second;
        EXPECT_NE(second.Path(), folder.Path());
    }
    EXPECT_FALSE(e2e::FileExists(path));
}

TEST(TestFolderAndFiles, Cp932RefusesTextWithoutACp932Form) {
    EXPECT_EQ(e2e::Cp932(L"C:\\表\\"), "C:\\\x95\x5C\\");
    EXPECT_THROW(e2e::Cp932(L"caf\u00e9"), std::invalid_argument);
    EXPECT_FALSE(e2e::ReadFileBytes(L"C:\\no such folder\\no such file").has_value());
}

TEST(Probe, RecordsWorkingDirectoryAndCommandLineOfEachStart) {
    e2e::TestFolder folder;
    ASSERT_TRUE(folder.CopyFromBuild({L"probe.exe"}));
    const std::wstring work = folder.File(L"作業 folder");
    ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
    const std::wstring probe = folder.File(L"probe.exe");

    e2e::Process first = e2e::StartProgram(probe, L"alpha \"b c\" 表", work);
    ASSERT_TRUE(first.IsValid());
    ASSERT_TRUE(first.WaitForExit());
    EXPECT_EQ(first.ExitCode(), 0u);
    e2e::Process second = e2e::StartProgram(probe, L"", folder.Path());
    ASSERT_TRUE(second.WaitForExit());

    const std::vector<e2e::ProbeRecord> records = e2e::ReadProbeLog(folder.Path());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].workingDirectory, work);
    EXPECT_EQ(records[0].commandLine, L"\"" + probe + L"\" alpha \"b c\" 表");
    EXPECT_EQ(records[1].workingDirectory, folder.Path());
    EXPECT_EQ(records[1].commandLine, L"\"" + probe + L"\"");
}

TEST(Processes, WindowOfAStartedProgramIsFoundReadAndClosed) {
    e2e::TestFolder folder;
    ASSERT_TRUE(folder.CopyFromBuild({L"empty_app.exe"}));
    const std::wstring program = folder.File(L"empty_app.exe");
    e2e::Process app = e2e::StartProgram(program, L"", folder.Path());
    ASSERT_TRUE(app.IsValid());

    e2e::Process found = e2e::WaitForProcess(program);
    ASSERT_TRUE(found.IsValid());
    EXPECT_EQ(found.Id(), app.Id());

    HWND window = e2e::WaitForWindow({L"empty_app", L"", app.Id()});
    ASSERT_NE(window, nullptr) << e2e::DescribeTopWindows();
    EXPECT_EQ(e2e::WindowText(window), L"empty_app");
    EXPECT_EQ(e2e::WindowClass(window), L"TobiEmptyApp");
    EXPECT_EQ(e2e::FindTopWindow({L"empty_app", L"", app.Id() + 1}), nullptr);

    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitForExit());
    EXPECT_EQ(app.ExitCode(), 0u);
    EXPECT_TRUE(e2e::WaitForWindowGone(window, 1000));
}

TEST(Processes, ProgramEndsAfterItsLifetimeAndLeftoversAreTerminated) {
    e2e::TestFolder folder;
    ASSERT_TRUE(folder.CopyFromBuild({L"empty_app.exe"}));
    e2e::Process shortLived = e2e::StartProgram(folder.File(L"empty_app.exe"), L"100", folder.Path());
    EXPECT_TRUE(shortLived.WaitForExit());
    EXPECT_EQ(shortLived.ExitCode(), 0u);

    HANDLE watcher = nullptr;
    {
        e2e::Process leftover = e2e::StartProgram(folder.File(L"empty_app.exe"), L"", folder.Path());
        ASSERT_TRUE(leftover.IsValid());
        watcher = OpenProcess(SYNCHRONIZE, FALSE, leftover.Id());
        ASSERT_NE(watcher, nullptr);
        EXPECT_FALSE(leftover.ExitCode().has_value());
    }
    EXPECT_EQ(WaitForSingleObject(watcher, 0), WAIT_OBJECT_0);
    CloseHandle(watcher);
}

// Shows a message box on a thread of its own and always ends it, even when a
// check fails before the box was answered.
class MessageBoxThread {
public:
    MessageBoxThread(std::wstring text, UINT type)
        : thread_([this, text = std::move(text), type] {
              answer_ = MessageBoxW(nullptr, text.c_str(), L"警告", type);
          }) {}
    ~MessageBoxThread() {
        while (answer_ == 0) {
            if (HWND box = e2e::FindTopWindow({L"警告", e2e::kDialogClass, GetCurrentProcessId()})) {
                PostMessageW(box, WM_CLOSE, 0, 0);
            }
            e2e::Sleep(20);
        }
        thread_.join();
    }
    int WaitForAnswer() {
        for (int i = 0; i < 500 && answer_ == 0; ++i) e2e::Sleep(20);
        return answer_;
    }

private:
    std::atomic<int> answer_{0};
    std::thread thread_;
};

TEST(Dialogs, MessageBoxTextIsReadAndTheChosenButtonAnswersIt) {
    MessageBoxThread question(L"Tobi.exeを起動しますか ？", MB_YESNOCANCEL);
    HWND box = e2e::WaitForWindow({L"警告", e2e::kDialogClass, GetCurrentProcessId()});
    ASSERT_NE(box, nullptr) << e2e::DescribeTopWindows();
    EXPECT_EQ(e2e::WindowText(box), L"警告");
    EXPECT_THAT(e2e::StaticTexts(box), Contains(L"Tobi.exeを起動しますか ？"));
    EXPECT_FALSE(e2e::PressButton(box, IDOK)) << "a message box without OK has no such button";
    EXPECT_TRUE(e2e::PressButton(box, IDNO));
    EXPECT_EQ(question.WaitForAnswer(), IDNO);
    EXPECT_TRUE(e2e::WaitForWindowGone(box));
}

TEST(Dialogs, ButtonIsFoundByItsCaption) {
    MessageBoxThread notice(L"一行目\n二行目", MB_OKCANCEL);
    HWND box = e2e::WaitForWindow({L"警告", e2e::kDialogClass, GetCurrentProcessId()});
    ASSERT_NE(box, nullptr) << e2e::DescribeTopWindows();
    EXPECT_FALSE(e2e::PressButtonByCaption(box, L"存在しない"));
    EXPECT_TRUE(e2e::PressButtonByCaption(box, L"OK"));
    EXPECT_EQ(notice.WaitForAnswer(), IDOK);
}

// What a low-level keyboard hook saw, in order.
struct KeyEvent {
    DWORD virtualKey;
    bool up;
    bool injected;
    ULONG_PTR extraInfo;
};
std::mutex keyEventsLock;
std::vector<KeyEvent> keyEvents;

LRESULT CALLBACK RecordKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        std::lock_guard<std::mutex> lock(keyEventsLock);
        keyEvents.push_back({key->vkCode, wParam == WM_KEYUP || wParam == WM_SYSKEYUP,
                             (key->flags & LLKHF_INJECTED) != 0, key->dwExtraInfo});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<KeyEvent> RecordedKeys() {
    std::lock_guard<std::mutex> lock(keyEventsLock);
    return keyEvents;
}

TEST(Keyboard, KeysReachALowLevelHookUntaggedAndInOrder) {
    std::promise<DWORD> hookReady;
    std::thread hookThread([&] {
        HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, RecordKey, GetModuleHandleW(nullptr), 0);
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue, for WM_QUIT
        hookReady.set_value(hook ? GetCurrentThreadId() : 0);
        if (!hook) return;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
        UnhookWindowsHookEx(hook);
    });
    const DWORD hookThreadId = hookReady.get_future().get();
    ASSERT_NE(hookThreadId, 0u) << "SetWindowsHookExW(WH_KEYBOARD_LL) failed";

    e2e::TapKey(VK_CONTROL, 3, 100);
    e2e::TypeLetters("a1");
    for (int i = 0; i < 100 && RecordedKeys().size() < 10; ++i) e2e::Sleep(20);
    PostThreadMessageW(hookThreadId, WM_QUIT, 0, 0);
    hookThread.join();

    std::vector<std::string> seen;
    for (const KeyEvent& event : RecordedKeys()) {
        EXPECT_TRUE(event.injected);
        EXPECT_EQ(event.extraInfo, 0u);
        const bool control = event.virtualKey == VK_CONTROL || event.virtualKey == VK_LCONTROL;
        const std::string name = control ? "Ctrl" : std::string(1, static_cast<char>(event.virtualKey));
        seen.push_back(name + (event.up ? " up" : " down"));
    }
    EXPECT_THAT(seen, ElementsAre("Ctrl down", "Ctrl up", "Ctrl down", "Ctrl up", "Ctrl down", "Ctrl up",
                                  "A down", "A up", "1 down", "1 up"));
}

}  // namespace
