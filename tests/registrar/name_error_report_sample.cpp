// Writes a sample nmerr.html (cp932, as Parvane writes it) with Japanese file
// names, spaces and & < > in names and options, for looking at the page in a
// browser (scripts/pages). Usage: name_error_report_sample OUTPUT
#include <cstdio>
#include <fstream>

#include "registrar/name_error_report.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    const std::vector<registrar::Entry> rows = {
        {"日記 2000.txt", "C:\\Documents and Settings\\ユーザー\\デスクトップ\\"},
        {"Tom & Jerry.exe\t-x \"a<b>\"", "D:\\My Games\\"},
        {"メモ帳.lnk\t\tR&D<1>", "C:\\Program Files\\Tools\\"},
        {"表計算ソフト ver.2.exe\t/n\t表2", "E:\\アプリ\\表計算\\"},
    };
    const std::string page = registrar::BuildNameErrorReport(rows, {2000, 7, 23, 9, 5, 3});
    std::ofstream out(argv[1], std::ios::binary);
    out.write(page.data(), static_cast<std::streamsize>(page.size()));
    return out ? 0 : 1;
}
