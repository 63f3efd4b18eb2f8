// The unpacked package used as a user would: Tobi.exe started from the folder
// the zip was unpacked into, summoned with three Ctrl taps, a registered
// program started by its three letters. scripts/test runs it in a fresh Wine
// prefix: package_check.exe FOLDER (the Windows path of Tobi-VERSION\).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

std::wstring g_packageFolder;

TEST(Package, ThreeCtrlTapsThenPROStartsTheRegisteredProgram) {
    for (const wchar_t* name : {L"Tobi.exe", L"Vantoke.dll", L"Parvane.exe", L"help.html", L"readme.txt"}) {
        ASSERT_TRUE(e2e::FileExists(g_packageFolder + L"\\" + name)) << "the package lacks " << name;
    }
    e2e::TestFolder tools(L"tobi-package-probe");
    const std::wstring probe = tools.File(L"probe.exe");
    ASSERT_TRUE(CopyFileW((e2e::BuildFolder() + L"\\probe.exe").c_str(), probe.c_str(), FALSE));
    ASSERT_TRUE(e2e::WriteRegistrationFile(g_packageFolder, {e2e::Cp932(probe) + "\t-from-package"}));

    e2e::Process tobi = e2e::StartProgram(g_packageFolder + L"\\Tobi.exe", L"", g_packageFolder);
    ASSERT_TRUE(tobi.IsValid());
    // Every start opens the letter menu once; close it, then summon it.
    HWND menu = e2e::WaitForWindow({L"", e2e::kPopupMenuClass, tobi.Id()});
    ASSERT_NE(menu, nullptr) << "no letter menu at start\n" << e2e::DescribeTopWindows();
    e2e::PressKey(VK_ESCAPE);
    ASSERT_TRUE(e2e::WaitForWindowGone(menu));

    e2e::TapKey(VK_CONTROL, 3, 100);
    menu = e2e::WaitForWindow({L"", e2e::kPopupMenuClass, tobi.Id()});
    ASSERT_NE(menu, nullptr) << "three Ctrl taps brought no menu\n" << e2e::DescribeTopWindows();
    e2e::TypeLetters("PRO", 80);

    std::vector<e2e::ProbeRecord> records;
    for (DWORD waited = 0; records.empty() && waited <= e2e::kDefaultTimeoutMs; waited += 50) {
        e2e::Sleep(50);
        records = e2e::ReadProbeLog(tools.Path());
    }
    ASSERT_EQ(records.size(), 1u) << e2e::DescribeTopWindows();
    EXPECT_EQ(records[0].workingDirectory, tools.Path());
    EXPECT_NE(records[0].commandLine.find(L"-from-package"), std::wstring::npos) << records[0].commandLine;
    // The launcher wrote its options beside itself, where the read-me says.
    EXPECT_TRUE(e2e::FileExists(g_packageFolder + L"\\opt.x"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        fwprintf(stderr, L"usage: package_check.exe FOLDER\n");
        return 2;
    }
    g_packageFolder = argv[1];
    while (!g_packageFolder.empty() && g_packageFolder.back() == L'\\') g_packageFolder.pop_back();
    return RUN_ALL_TESTS();
}
