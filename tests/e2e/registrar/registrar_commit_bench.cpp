// Benchmark, not a test: how long Parvane.exe takes to commit 1000 entries,
// from pressing OK to the question about the launcher, for a random list and
// for the ordering's worst case (one letter, reverse order). Prints figures.
//
//   registrar_commit_bench [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

constexpr int kEntries = 1000;

// Names over all letters and digits, spread over the 36 first-letter groups.
std::vector<std::wstring> RandomNames(unsigned seed) {
    std::mt19937 random(seed);
    const std::wstring characters = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::set<std::wstring> used;
    std::vector<std::wstring> names;
    while (names.size() < kEntries) {
        std::wstring name;
        const int length = 3 + static_cast<int>(random() % 6);
        for (int k = 0; k < length; ++k) name += characters[random() % characters.size()];
        if (used.insert(name).second) names.push_back(name);
    }
    return names;
}

// One letter, every key smaller than the one before it.
std::vector<std::wstring> ReverseNamesUnderOneLetter() {
    std::vector<std::wstring> names;
    for (int k = kEntries - 1; k >= 0; --k) {
        std::wstring name = L"A";
        name += static_cast<wchar_t>(L'a' + k / 676);
        name += static_cast<wchar_t>(L'a' + k / 26 % 26);
        name += static_cast<wchar_t>(L'a' + k % 26);
        names.push_back(name);
    }
    return names;
}

// Milliseconds from OK to the question box for one commit, or a negative value
// when something went wrong (the reason is printed).
double TimeOneCommit(const std::vector<std::wstring>& names) {
    e2e::TestFolder folder(L"parvane-bench");
    if (!folder.CopyFromBuild({L"Parvane.exe"})) {
        std::printf("  Parvane.exe is not in the build folder\n");
        return -1;
    }
    std::vector<std::string> lines;
    for (const std::wstring& name : names) {
        const std::wstring file = folder.File(name + L".exe");
        e2e::WriteFileBytes(file, "");
        lines.push_back(e2e::Cp932(file));
    }
    e2e::WriteRegistrationFile(folder.Path(), lines);

    e2e::Process parvane = e2e::StartProgram(folder.File(L"Parvane.exe"), L"", folder.Path());
    HWND main = e2e::WaitForWindow({L"Register", e2e::kDialogClass, parvane.Id()});
    if (main == nullptr) {
        std::printf("  the main dialog did not open\n");
        return -1;
    }
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    e2e::PressButton(main, IDOK);
    HWND question = nullptr;
    const ULONGLONG deadline = GetTickCount64() + 120000;
    while (question == nullptr && GetTickCount64() < deadline) {
        question = e2e::FindTopWindow({L"警告", e2e::kDialogClass, parvane.Id()});
        if (question == nullptr) ::Sleep(1);
    }
    QueryPerformanceCounter(&end);
    if (question == nullptr) {
        std::printf("  no question box within 120 s\n");
        return -1;
    }
    e2e::PressButton(question, IDNO);
    parvane.WaitForExit();

    const std::string written = e2e::ReadFileBytes(folder.File(L"cr.x")).value_or("");
    const auto writtenLines = std::count(written.begin(), written.end(), '\n');
    if (writtenLines != kEntries) {
        std::printf("  cr.x holds %d lines instead of %d\n", static_cast<int>(writtenLines), kEntries);
        return -1;
    }
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Measure(const char* label, const std::vector<std::wstring>& names, int runs) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double ms = TimeOneCommit(names);
        if (ms < 0) return;
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("%-40s runs %d  min %8.1f ms  median %8.1f ms  max %8.1f ms\n", label, runs, times.front(),
                times[times.size() / 2], times.back());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::printf("Parvane.exe commit of %d entries, OK pressed -> question box shown (Wine)\n", kEntries);
    Measure("random order, all letters and digits", RandomNames(1), runs);
    Measure("worst order: one letter, reverse", ReverseNamesUnderOneLetter(), runs);
    return 0;
}
