// Parvane.exe when cr.x cannot be written or the program dies in the middle of
// a commit: started in a folder without write access, and killed at exact
// points of its commit (it runs under the debugging API, with a breakpoint on
// the system function where it is to die). Afterwards cr.x is wholly the old
// or wholly the new list, and the next start leaves no temporary file behind.
// A cr.x held open by another program is covered by registrar_e2e_tests.
#include <windows.h>
#include <psapi.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/support/list_box_items.h"
#include "tests/e2e/read_only_folder.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kCountEdit = 1001;
constexpr int kList = 1005;
constexpr int kHelpButton = 1007;
const std::wstring kQuestion = L"Tobi.exeを起動しますか ？";

std::wstring Describe() { return e2e::DescribeTopWindows(); }

std::vector<std::wstring> ListItems(HWND dialog, int id) { return ListBoxItems(GetDlgItem(dialog, id)); }

std::wstring AllText(HWND box) {
    std::wstring text;
    for (const std::wstring& line : e2e::StaticTexts(box)) text += line;
    return text;
}

// Files beside cr.x named like a replacement's temporary ("cr.x.tmp...").
std::vector<std::wstring> Temporaries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\cr.x.tmp*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// ---- A program killed at the entry of a system function -----------------------

// Runs a program under the debugging API. Once armed, a breakpoint at the entry
// of a kernel32 function kills the program the first time it gets there, before
// the function has done anything.
class KillOnCall {
public:
    KillOnCall(const std::wstring& exePath, const std::wstring& folder) {
        debugger_ = std::thread([this, exePath, folder] { Debug(exePath, folder); });
        WaitForSingleObject(started_.get(), 20000);
    }
    ~KillOnCall() {
        if (process_ != nullptr && WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
        stop_ = true;
        debugger_.join();
    }
    KillOnCall(const KillOnCall&) = delete;
    KillOnCall& operator=(const KillOnCall&) = delete;

    DWORD Id() const { return processId_; }

    // Plants the breakpoint; `atKill` runs while the program stands at it.
    bool KillOnEntryTo(const char* function, std::function<void()> atKill) {
        BYTE* const target = RemoteAddressOf(function);
        if (target == nullptr) return false;
        atKill_ = std::move(atKill);
        target_ = target;
        DWORD oldProtection = 0;
        if (!VirtualProtectEx(process_, target, 1, PAGE_EXECUTE_READWRITE, &oldProtection)) return false;
        const BYTE breakpoint = 0xCC;
        SIZE_T written = 0;
        const bool planted = WriteProcessMemory(process_, target, &breakpoint, 1, &written) && written == 1;
        VirtualProtectEx(process_, target, 1, oldProtection, &oldProtection);
        FlushInstructionCache(process_, target, 1);
        return planted;
    }

    // True once the program died at the breakpoint.
    bool WaitForKill(DWORD timeoutMs) const {
        for (DWORD waited = 0; waited < timeoutMs && !killed_; waited += 20) Sleep(20);
        return killed_ && WaitForSingleObject(process_, 10000) == WAIT_OBJECT_0;
    }

private:
    // The function's address in the program: the same offset into the same
    // module as in this process (kernel32's exports may live in kernelbase).
    BYTE* RemoteAddressOf(const char* function) const {
        auto* local = reinterpret_cast<BYTE*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), function));
        HMODULE localModule = nullptr;
        if (local == nullptr ||
            !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                reinterpret_cast<LPCWSTR>(local), &localModule)) {
            return nullptr;
        }
        wchar_t localName[MAX_PATH] = {};
        GetModuleBaseNameW(GetCurrentProcess(), localModule, localName, MAX_PATH);
        HMODULE modules[1024];
        DWORD needed = 0;
        if (!EnumProcessModulesEx(process_, modules, sizeof(modules), &needed, LIST_MODULES_ALL)) return nullptr;
        for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 1024; ++i) {
            wchar_t name[MAX_PATH] = {};
            GetModuleBaseNameW(process_, modules[i], name, MAX_PATH);
            if (lstrcmpiW(name, localName) == 0) {
                return reinterpret_cast<BYTE*>(modules[i]) + (local - reinterpret_cast<BYTE*>(localModule));
            }
        }
        return nullptr;
    }

    // The debugger's thread: the one that started the program receives its events.
    void Debug(const std::wstring& exePath, const std::wstring& folder) {
        std::wstring commandLine = L"\"" + exePath + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        if (CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                           nullptr, folder.c_str(), &startup, &info)) {
            process_ = info.hProcess;
            processId_ = info.dwProcessId;
            CloseHandle(info.hThread);
        }
        SetEvent(started_.get());
        if (process_ == nullptr) return;
        while (!stop_) {
            DEBUG_EVENT event{};
            if (!WaitForDebugEvent(&event, 50)) continue;
            DWORD status = DBG_CONTINUE;
            bool exited = false;
            switch (event.dwDebugEventCode) {
                case CREATE_PROCESS_DEBUG_EVENT:
                    if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
                    break;
                case LOAD_DLL_DEBUG_EVENT:
                    if (event.u.LoadDll.hFile != nullptr) CloseHandle(event.u.LoadDll.hFile);
                    break;
                case EXCEPTION_DEBUG_EVENT: {
                    const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
                    if (record.ExceptionCode != EXCEPTION_BREAKPOINT) {
                        status = DBG_EXCEPTION_NOT_HANDLED;  // the program's own business
                    } else if (target_ != nullptr && record.ExceptionAddress == target_) {
                        if (atKill_) atKill_();
                        TerminateProcess(process_, 1);
                        killed_ = true;
                    }
                    break;
                }
                case EXIT_PROCESS_DEBUG_EVENT: exited = true; break;
                default: break;
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
            if (exited) break;
        }
    }

    win32::UniqueKernelHandle started_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    HANDLE process_ = nullptr;  // closed by the system with the debugging session
    DWORD processId_ = 0;
    std::atomic<BYTE*> target_{nullptr};
    std::function<void()> atKill_;
    std::atomic<bool> killed_{false};
    std::atomic<bool> stop_{false};
    std::thread debugger_;
};

// Whether the program shows its progress dialog (the one without a title). No
// message is sent: the program stands still at a breakpoint.
struct ProgressSearch {
    DWORD processId;
    bool found = false;
};
BOOL CALLBACK FindProgressDialog(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<ProgressSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[16] = {};
    wchar_t title[8] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, title, 8);
    if (owner == search->processId && IsWindowVisible(window) && std::wstring(className) == L"#32770" &&
        title[0] == L'\0') {
        search->found = true;
    }
    return TRUE;
}
bool ProgressDialogShown(DWORD processId) {
    ProgressSearch search{processId};
    EnumWindows(&FindProgressDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// ---- The tests ------------------------------------------------------------------

class RegistrarFaults : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.CopyFromBuild({L"Parvane.exe"})); }

    std::string Touch(const std::wstring& name) {
        EXPECT_TRUE(e2e::WriteFileBytes(folder.File(name), "x"));
        return e2e::Cp932(folder.File(name));
    }
    std::string CrX() { return e2e::ReadFileBytes(folder.File(L"cr.x")).value_or("<no cr.x>"); }

    HWND Wait(const std::wstring& title, DWORD processId) {
        HWND window = e2e::WaitForWindow({title, e2e::kDialogClass, processId});
        EXPECT_NE(window, nullptr) << "no window \"" << testing::PrintToString(title) << "\"; shown:\n" << Describe();
        return window;
    }

    // A plain start: the list as read, no temporary left; then a commit that
    // goes through and ends the program.
    void StartAgainAndCommit(const std::vector<std::wstring>& listed, const std::string& committed) {
        e2e::Process parvane = e2e::StartProgram(folder.File(L"Parvane.exe"), L"", folder.Path());
        HWND main = Wait(L"Register", parvane.Id());
        ASSERT_NE(main, nullptr);
        EXPECT_THAT(Temporaries(folder.Path()), ElementsAre()) << "the start removes what the dead one left";
        EXPECT_EQ(ListItems(main, kList), listed);
        ASSERT_TRUE(e2e::PressButton(main, IDOK));
        HWND question = Wait(L"警告", parvane.Id());
        ASSERT_NE(question, nullptr);
        EXPECT_THAT(e2e::StaticTexts(question), Contains(kQuestion));
        ASSERT_TRUE(e2e::PressButton(question, IDNO));
        ASSERT_TRUE(parvane.WaitForExit()) << Describe();
        EXPECT_EQ(CrX(), committed);
        EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"cr.x")));
        EXPECT_THAT(Temporaries(folder.Path()), ElementsAre());
    }

    e2e::TestFolder folder{L"parvane-fault-e2e"};
};

TEST_F(RegistrarFaults, AFolderWithoutWriteAccessKeepsCrXWholeWarnsAndKeepsTheList) {
    const std::string b = Touch(L"b.exe");
    const std::string a = Touch(L"a.exe");
    const std::string bad = Touch(L"bad name.exe");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {b, bad, a}));
    ASSERT_TRUE(e2e::SetReadOnly(folder.File(L"cr.x"), true));
    const std::string before = CrX();
    e2e::ReadOnlyFolder readOnly(folder.Path());
    if (!readOnly.Denies()) GTEST_SKIP() << "no folder without write access here: " << readOnly.How();

    e2e::Process parvane = e2e::StartProgram(folder.File(L"Parvane.exe"), L"", folder.Path());
    HWND main = Wait(L"Register", parvane.Id());
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(e2e::WindowText(GetDlgItem(main, kCountEdit)), L"3");
    ASSERT_TRUE(e2e::PressButton(main, IDOK));

    // The name check's Help cannot write nmerr.html: nothing happens.
    HWND check = Wait(L"登録名チェック", parvane.Id());
    ASSERT_NE(check, nullptr);
    EXPECT_TRUE(e2e::PressButtonAndWait(check, kHelpButton)) << "Help did not return\n" << Describe();
    EXPECT_FALSE(e2e::FileExists(folder.File(L"nmerr.html")));
    EXPECT_TRUE(IsWindowVisible(check));
    EXPECT_EQ(e2e::FindTopWindow({L"警告", e2e::kDialogClass, parvane.Id()}), nullptr) << Describe();
    ASSERT_TRUE(e2e::PressButton(check, IDOK));

    HWND warning = Wait(L"警告", parvane.Id());
    ASSERT_NE(warning, nullptr);
    EXPECT_THAT(AllText(warning), HasSubstr(L"cr.x に書き込めなかったため、登録は実行されませんでした。"));
    EXPECT_THAT(AllText(warning), HasSubstr(L"cr.x またはそのフォルダーが読み取り専用か、書き込む権限がありません。"));
    ASSERT_TRUE(e2e::PressButton(warning, IDOK));
    ASSERT_TRUE(e2e::WaitForWindowGone(warning));

    EXPECT_FALSE(parvane.ExitCode().has_value()) << "the registrar keeps running";
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(e2e::WindowText(GetDlgItem(main, kCountEdit)), L"3");
    EXPECT_THAT(ListItems(main, kList), ElementsAre(L"b.exe", L"bad name.exe", L"a.exe"));
    EXPECT_EQ(CrX(), before);
    EXPECT_TRUE(e2e::IsReadOnly(folder.File(L"cr.x")));
    EXPECT_THAT(Temporaries(folder.Path()), ElementsAre());

    // With write access back, OK again commits the same list.
    readOnly.Lift();
    ASSERT_TRUE(e2e::PressButton(main, IDOK));
    check = Wait(L"登録名チェック", parvane.Id());
    ASSERT_NE(check, nullptr);
    ASSERT_TRUE(e2e::PressButton(check, IDOK));
    HWND refused = Wait(L"REPORT", parvane.Id());
    ASSERT_NE(refused, nullptr);
    ASSERT_TRUE(e2e::PressButton(refused, IDOK));
    HWND question = Wait(L"警告", parvane.Id());
    ASSERT_NE(question, nullptr);
    EXPECT_THAT(e2e::StaticTexts(question), Contains(kQuestion));
    ASSERT_TRUE(e2e::PressButton(question, IDNO));
    ASSERT_TRUE(parvane.WaitForExit()) << Describe();
    EXPECT_EQ(CrX(), a + "\r\n" + b + "\r\n");
}

// Where the registrar dies, and what cr.x must then hold.
struct KillPoint {
    const char* function;      // killed on entering it, the first time after OK
    bool oldReadOnly;          // cr.x read-only before the commit, as after an earlier one
    bool crXIsNew;             // cr.x then holds the new list (else the old one)
    bool temporaryLeft;        // a whole temporary file is left beside it
    bool progressShown;        // the progress dialog stood on the screen
    const char* what;
};

void PrintTo(const KillPoint& point, std::ostream* out) { *out << point.what; }

const KillPoint kKillPoints[] = {
    {"GetFileAttributesW", true, false, false, true, "WhileTheProgressDialogChecksTheFiles"},
    {"FlushFileBuffers", true, false, true, true, "RightAfterTheTemporaryIsWritten"},
    {"SetFileInformationByHandle", true, false, true, true, "RightBeforeThePosixRename"},  // refused by Wine
    {"MoveFileExW", true, false, true, true, "RightBeforeTheTemporaryReplacesCrX"},
    {"SetFileAttributesW", false, true, false, true, "RightAfterTheTemporaryReplacedCrX"},
};

class RegistrarKilled : public RegistrarFaults, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(RegistrarKilled, CrXIsWhollyOldOrWhollyNewAndTheNextStartLeavesNoTemporary) {
    const KillPoint& point = GetParam();
    const std::string b = Touch(L"b.exe");
    const std::string a = Touch(L"a.exe");
    ASSERT_TRUE(e2e::WriteRegistrationFile(folder.Path(), {b, a}));
    ASSERT_TRUE(e2e::SetReadOnly(folder.File(L"cr.x"), point.oldReadOnly));
    const std::string before = CrX();
    const std::string after = a + "\r\n" + b + "\r\n";

    {
        KillOnCall parvane(folder.File(L"Parvane.exe"), folder.Path());
        ASSERT_NE(parvane.Id(), 0u);
        HWND main = Wait(L"Register", parvane.Id());
        ASSERT_NE(main, nullptr);
        bool progressShown = false;
        const DWORD id = parvane.Id();
        ASSERT_TRUE(parvane.KillOnEntryTo(point.function, [&] { progressShown = ProgressDialogShown(id); }));
        ASSERT_TRUE(e2e::PressButton(main, IDOK));
        ASSERT_TRUE(parvane.WaitForKill(20000)) << "never reached " << point.function << "\n" << Describe();
        EXPECT_EQ(progressShown, point.progressShown);
    }

    EXPECT_EQ(CrX(), point.crXIsNew ? after : before);
    const std::vector<std::wstring> left = Temporaries(folder.Path());
    if (point.temporaryLeft) {
        ASSERT_EQ(left.size(), 1u) << "the kill came at another point than meant";
        EXPECT_EQ(e2e::ReadFileBytes(folder.File(left[0])), after) << "the temporary holds the whole new list";
    } else {
        EXPECT_THAT(left, ElementsAre());
    }

    const std::vector<std::wstring> listed = point.crXIsNew ? std::vector<std::wstring>{L"a.exe", L"b.exe"}
                                                            : std::vector<std::wstring>{L"b.exe", L"a.exe"};
    ASSERT_NO_FATAL_FAILURE(StartAgainAndCommit(listed, after));
}

INSTANTIATE_TEST_SUITE_P(AtEachStepOfTheCommit, RegistrarKilled, ::testing::ValuesIn(kKillPoints),
                         [](const ::testing::TestParamInfo<KillPoint>& info) { return std::string(info.param.what); });

}  // namespace
