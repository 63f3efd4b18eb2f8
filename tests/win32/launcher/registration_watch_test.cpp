// The launcher's window loop with its watch of cr.x: whatever cr.x becomes,
// the loop takes every message it is given and the news of the watch at rest.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "common/win32/file_store_win32.h"
#include "common/win32/text.h"
#include "launcher/win32/registration_watch.h"
#include "tests/win32/registrar/scratch.h"

namespace {

struct LoopRun {
    std::wstring file;
    std::vector<std::string> warnings;  // read once the loop has ended
    std::atomic<std::size_t> told{0};
    HWND window = nullptr;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Hands the watch's messages to it, as the launcher's window does.
LRESULT CALLBACK WatchWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* watch = reinterpret_cast<tobi::RegistrationWatch*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (watch != nullptr && message == tobi::kRegistrationReadMessage) {
        watch->TakeRead(std::unique_ptr<ReadResult>(reinterpret_cast<ReadResult*>(lParam)));
        return 0;
    }
    if (watch != nullptr && message == tobi::kRegistrationFolderMessage) {
        watch->TakeFolder(reinterpret_cast<HANDLE>(lParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The loop on a thread of its own, so that a loop kept from its messages
// fails the test instead of hanging it.
DWORD WINAPI RunLoop(void* parameter) {
    auto* run = static_cast<LoopRun*>(parameter);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WatchWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TobiWatchTest";
    RegisterClassW(&windowClass);
    run->window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    tobi::RegistrationWatch watch(run->window, run->file, std::make_shared<tobi::ShellWorker>());
    watch.Follow(launcher::RegistrationFollower(win32::ReadWholeFile(run->file, false)));
    SetWindowLongPtrW(run->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&watch));
    SetEvent(run->ready);
    tobi::RunWindowLoop(run->window, &watch, [&] {
        for (std::string& warning : watch.TakeNews().warnings) run->warnings.push_back(std::move(warning));
        run->told = run->warnings.size();
    });
    return 0;
}

// cr.x turned into a folder and a broken file under the running loop: each
// state is told once, and a message posted meanwhile is taken at once.
TEST(RegistrationWatch, BadFilesAreToldOnceAndNeverKeepTheLoopFromItsMessages) {
    testing_win32::ScratchFolder folder;
    ASSERT_TRUE(folder.WriteFile(L"cr.x", "C:\\a\\b.exe\r\n"));
    LoopRun run;
    run.file = folder.File(L"cr.x");
    HANDLE thread = CreateThread(nullptr, 0, &RunLoop, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(run.ready, 10000), WAIT_OBJECT_0);

    ASSERT_TRUE(DeleteFileW(folder.File(L"cr.x").c_str()));
    ASSERT_TRUE(folder.MakeFolder(L"cr.x"));
    PostMessageW(run.window, WM_NULL, 0, 0);  // the menu's close leaves one like it
    PostMessageW(run.window, WM_NULL, 0, 0);
    // The watch waits out a half-made state for a few seconds before it tells.
    for (int waited = 0; run.told < 1 && waited < 15000; waited += 50) Sleep(50);
    ASSERT_TRUE(RemoveDirectoryW(folder.File(L"cr.x").c_str()));
    ASSERT_TRUE(folder.WriteFile(L"cr.x", "C:\\a\\b.exe\r\nno-backslash\r\n"));
    for (int waited = 0; run.told < 2 && waited < 15000; waited += 50) Sleep(50);

    PostMessageW(run.window, WM_CLOSE, 0, 0);  // the loop ends when the window is gone
    const DWORD ended = WaitForSingleObject(thread, 10000);
    if (ended != WAIT_OBJECT_0) TerminateThread(thread, 1);
    CloseHandle(thread);
    ASSERT_EQ(ended, WAIT_OBJECT_0) << "the loop kept from its messages";
    ASSERT_EQ(run.warnings.size(), 2u);
    EXPECT_NE(win32::WideFromCp932(run.warnings[0]).find(L"権限"), std::wstring::npos) << "a folder cannot be read";
    EXPECT_NE(win32::WideFromCp932(run.warnings[1]).find(L"2 行目"), std::wstring::npos);
    CloseHandle(run.ready);
}

}  // namespace
