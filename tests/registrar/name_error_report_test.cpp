#include "registrar/name_error_report.h"

#include <gtest/gtest.h>

#include "registrar/maker_contact.h"
#include "tests/support/memory_file_store.h"

namespace {

using registrar::Entry;
using registrar::MarkNonAlphanumerics;

const std::string kOpen = "<FONT COLOR = \"#FF0000\"><B>";
const std::string kClose = "</B></FONT>";

std::string Red(const std::string& text) { return kOpen + text + kClose; }

const registrar::ReportTime kTime{2000, 7, 23, 9, 5, 3};

// The part of the page that belongs to one row: from its black square up to the
// next row or the page's closing tags.
std::string RowBlock(const std::string& page, std::size_t row) {
    std::size_t start = 0;
    for (std::size_t k = 0; k <= row; ++k) {
        start = page.find("■ ", k == 0 ? 0 : start + 1);
        if (start == std::string::npos) return std::string();
    }
    const std::size_t next = page.find("■ ", start + 1);
    const std::size_t end = next != std::string::npos ? next : page.find("<BR><BR><BR></BODY>", start);
    return page.substr(start, end - start);
}

TEST(NameErrorReport, ClassifiesBytesWithTheFixedLeadByteTable) {
    for (unsigned char byte : {'a', 'z', 'A', 'Z', '0', '9'}) EXPECT_EQ(registrar::ClassifyByte(byte), 0) << byte;
    for (int byte : {0x20, 0x5F, 0x2E, 0x09, 0x40, 0x5B, 0x60, 0x7B, 0x80, 0xA0, 0xB1, 0xDF, 0xFD, 0xFF}) {  // space _ . TAB @ [ ` {
        EXPECT_EQ(registrar::ClassifyByte(static_cast<unsigned char>(byte)), 1) << byte;
    }
    for (int byte : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_EQ(registrar::ClassifyByte(static_cast<unsigned char>(byte)), 2) << byte;
}

TEST(NameErrorReport, MarksEachRunOfNonAlphanumericsOnce) {
    EXPECT_EQ(MarkNonAlphanumerics("a b-c"), "a" + Red(" ") + "b" + Red("-") + "c");
    EXPECT_EQ(MarkNonAlphanumerics("メモ帳"), Red("メモ帳"));
    // 表 ends in 0x5C; the whole character and the underscore make one run.
    EXPECT_EQ(MarkNonAlphanumerics("x表_1"), "x" + Red("表_") + "1");
    // The trail byte of ツ is 'c' when taken alone: it stays inside the run.
    EXPECT_EQ(MarkNonAlphanumerics("ツc"), Red("ツ") + "c");
    EXPECT_EQ(MarkNonAlphanumerics("abcXYZ09"), "abcXYZ09");
    EXPECT_EQ(MarkNonAlphanumerics(""), "");
    EXPECT_EQ(MarkNonAlphanumerics("ｱ"), Red("ｱ"));
    // A lead byte with nothing after it is taken alone.
    EXPECT_EQ(MarkNonAlphanumerics("a\x83"), "a" + Red("\x83"));
}

TEST(NameErrorReport, NamesAreEscapedInsideAndOutsideRedRuns) {
    EXPECT_EQ(MarkNonAlphanumerics("R&D"), "R" + Red("&amp;") + "D");
    EXPECT_EQ(MarkNonAlphanumerics("<b>\"x\""), Red("&lt;") + "b" + Red("&gt;&quot;") + "x" + Red("&quot;"));
    // A broken double-byte character whose second byte is '<' cannot smuggle markup in.
    EXPECT_EQ(MarkNonAlphanumerics("\x83<"), Red("\x83&lt;"));

    const std::string page = registrar::BuildNameErrorReport(
        {{"<b>x.ht&ml\t-a&b \"q\"\t<i>", "C:\\R&D <new>\\"}}, kTime);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
    EXPECT_EQ(RowBlock(page, 0),
              "■ \"" + Red("&lt;") + "b" + Red("&gt;") + "x" + ".ht&amp;ml\" ファイル<BR>"
              "Path : C:\\R&amp;D &lt;new&gt;\\" + Red("&lt;") + "b" + Red("&gt;") + "x.ht&amp;ml<BR>"
              "CommandLineOption : -a&amp;b &quot;q&quot;<BR>"
              "RegName : " + Red("&lt;") + "i" + Red("&gt;") + "<BR><BR>");
}

TEST(NameErrorReport, RowsShowMarkedNamesOptionsAndNone) {
    const std::vector<Entry> rows = {
        {"メモ帳.exe", "C:\\Tools\\"},
        {"a b-c.txt\t/s", "D:\\"},
        {"x_y.exe\t\tmy name", "E:\\"},
        {"x_y.exe\t-q\tz", "E:\\"},
    };
    const std::string page = registrar::BuildNameErrorReport(rows, kTime);
    EXPECT_EQ(RowBlock(page, 0),
              "■ \"" + Red("メモ帳") + ".exe\" ファイル<BR>"
              "Path : C:\\Tools\\" + Red("メモ帳") + ".exe<BR>"
              "CommandLineOption : なし<BR>"
              "RegName : なし<BR><BR>");
    EXPECT_EQ(RowBlock(page, 1),
              "■ \"a" + Red(" ") + "b" + Red("-") + "c.txt\" ファイル<BR>"
              "Path : D:\\a" + Red(" ") + "b" + Red("-") + "c.txt<BR>"
              "CommandLineOption : /s<BR>"
              "RegName : なし<BR><BR>");
    EXPECT_EQ(RowBlock(page, 2),
              "■ \"x" + Red("_") + "y.exe\" ファイル<BR>"
              "Path : E:\\x" + Red("_") + "y.exe<BR>"
              "CommandLineOption : なし<BR>"
              "RegName : my" + Red(" ") + "name<BR><BR>");
    EXPECT_NE(RowBlock(page, 3).find("CommandLineOption : -q<BR>RegName : z<BR><BR>"), std::string::npos);
    EXPECT_NE(page.find("今回、以下の 4 個のファイルの登録がエラーとなりました。"), std::string::npos);
}

TEST(NameErrorReport, WholePageForOneRow) {
    const std::string address = registrar::kContactAddress;
    EXPECT_EQ(address, "parvane@tobi-launcher.example");
    std::string expected;
    expected += "<HTML><HEAD><TITLE> // NameError </TITLE></HEAD><BODY BGCOLOR = \"MISTYROSE\"><HR><CENTER><H1>Odel HomePage</H1>( 最終更新日：";
    expected += "2000/07/23 09:05:03 )";
    expected += "<BR><A HREF = \"mailto:parvane@tobi-launcher.example\">parvane@tobi-launcher.example</A><BR></CENTER><H4>★ 登録名に関するエラーの説明 ★</H4>ファイル名に英数字以外の文字が含まれているファイルで、ファイル名以外の英数字からなる登録名を指定しなかったファイルは登録されません。<BR><BR>";
    expected += "ただし、ここでいう英数字とは、";
    expected += "'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z' の 26 文字、";
    expected += "'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T', 'U', 'V', 'W', 'X', 'Y', 'Z' の 26 文字、";
    expected += "'0', '1', '2', '3', '4', '5', '6', '7', '8', '9' の 10 文字の あわせて 62 文字のことを指します。<BR><BR>";
    expected += "登録エラーになったファイルは、ヘルプの \"<A HREF=\"./gif/jpn.html\">ファイル名に日本語を含むファイルを登録したい</A>\" を参考にして、ファイル名以外の名前を登録してください。<BR><BR><BR><HR>今回、以下の ";
    expected += "1";
    expected += " 個のファイルの登録がエラーとなりました。<BR>// <FONT COLOR = \"#FF0000\"><B>赤い太字</B></FONT>で書かれている部分が、英数字とは認識されませんでした。<BR><BR>";
    expected += "■ \"<FONT COLOR = \"#FF0000\"><B>日記</B></FONT>.txt\" ファイル<BR>";
    expected += "Path : D:\\Docs\\<FONT COLOR = \"#FF0000\"><B>日記</B></FONT>.txt<BR>";
    expected += "CommandLineOption : /s<BR>";
    expected += "RegName : d<FONT COLOR = \"#FF0000\"><B>.</B></FONT>y<BR><BR>";
    expected += "<BR><BR><BR></BODY></HTML>";

    const std::string page = registrar::BuildNameErrorReport({{"日記.txt\t/s\td.y", "D:\\Docs\\"}}, kTime);
    EXPECT_EQ(page, expected);
    EXPECT_EQ(page.find_first_of("\r\n"), std::string::npos);
}

TEST(NameErrorReport, DateIsPaddedExceptTheYear) {
    const std::string page = registrar::BuildNameErrorReport({}, {987, 12, 1, 23, 59, 0});
    EXPECT_NE(page.find("( 最終更新日：987/12/01 23:59:00 )"), std::string::npos);
    EXPECT_NE(page.find("今回、以下の 0 個"), std::string::npos);
}

TEST(NameErrorReport, WritesThePageThroughTheStoreAndSaysWhetherItDid) {
    MemoryFileStore store;
    const std::vector<Entry> rows = {{"メモ帳.exe", "C:\\"}};
    ASSERT_TRUE(registrar::WriteNameErrorReport(store, "C:\\Parvane\\nmerr.html", rows, kTime));
    EXPECT_EQ(store.files["C:\\Parvane\\nmerr.html"], registrar::BuildNameErrorReport(rows, kTime));
    EXPECT_EQ(store.readOnly.count("C:\\Parvane\\nmerr.html"), 0u);

    store.failNextWrites = WriteError::AccessDenied;
    EXPECT_FALSE(registrar::WriteNameErrorReport(store, "C:\\Parvane\\nmerr.html", {}, kTime));
    EXPECT_EQ(store.files["C:\\Parvane\\nmerr.html"], registrar::BuildNameErrorReport(rows, kTime));
}

}  // namespace
