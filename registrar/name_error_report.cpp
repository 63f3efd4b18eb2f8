#include "registrar/name_error_report.h"

#include "common/cp932.h"
#include "registrar/maker_contact.h"
#include "registrar/registration_names.h"

namespace registrar {

namespace {

constexpr const char* kRedRunOpen = "<FONT COLOR = \"#FF0000\"><B>";
constexpr const char* kRedRunClose = "</B></FONT>";
constexpr const char* kNone = "なし";

void AppendEscaped(std::string& out, char byte) {
    switch (byte) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += byte; break;
    }
}

std::string TwoDigits(int value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

// 'a', 'b', ... 'y', 'z' with the closing words after the last one.
std::string QuotedRange(char first, char last, const char* closing) {
    std::string text;
    for (char c = first; c < last; ++c) {
        text += '\'';
        text += c;
        text += "', ";
    }
    text += '\'';
    text += last;
    text += "' ";
    text += closing;
    return text;
}

}  // namespace

int ClassifyByte(unsigned char byte) {
    const bool alphanumeric =
        (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
    if (alphanumeric) return 0;
    return cp932::IsLeadByte(byte) ? 2 : 1;
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) AppendEscaped(out, c);
    return out;
}

std::string MarkNonAlphanumerics(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    bool redRunOpen = false;
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
        const int byteClass = ClassifyByte(static_cast<unsigned char>(text[pos]));
        if (byteClass == 0) {
            if (redRunOpen) out += kRedRunClose;
            redRunOpen = false;
            out += text[pos];
            continue;
        }
        if (!redRunOpen) out += kRedRunOpen;
        redRunOpen = true;
        AppendEscaped(out, text[pos]);
        // A double-byte character goes in whole; a lead byte at the very end stands alone.
        if (byteClass == 2 && pos + 1 < text.size()) AppendEscaped(out, text[++pos]);
    }
    if (redRunOpen) out += kRedRunClose;
    return out;
}

std::string BuildNameErrorReport(const std::vector<Entry>& rows, const ReportTime& time) {
    const std::string address = kContactAddress;
    std::string page;
    page.reserve(4096 + 512 * rows.size());  // some 3 KB of fixed text, a few hundred bytes a row
    page += "<HTML><HEAD><TITLE> // NameError </TITLE></HEAD><BODY BGCOLOR = \"MISTYROSE\"><HR><CENTER>"
            "<H1>Odel HomePage</H1>( 最終更新日：";
    page += std::to_string(time.year) + "/" + TwoDigits(time.month) + "/" + TwoDigits(time.day) + " " +
            TwoDigits(time.hour) + ":" + TwoDigits(time.minute) + ":" + TwoDigits(time.second) + " )";
    page += "<BR><A HREF = \"mailto:" + address + "\">" + address +
            "</A><BR></CENTER><H4>★ 登録名に関するエラーの説明 ★</H4>"
            "ファイル名に英数字以外の文字が含まれているファイルで、ファイル名以外の英数字からなる登録名を"
            "指定しなかったファイルは登録されません。<BR><BR>";
    page += "ただし、ここでいう英数字とは、";
    static const std::string kAlphanumerics = QuotedRange('a', 'z', "の 26 文字、") +
                                              QuotedRange('A', 'Z', "の 26 文字、") +
                                              QuotedRange('0', '9', "の 10 文字の あわせて 62 文字のことを指します。<BR><BR>");
    page += kAlphanumerics;
    page += "登録エラーになったファイルは、ヘルプの \"<A HREF=\"./gif/jpn.html\">"
            "ファイル名に日本語を含むファイルを登録したい</A>\" を参考にして、"
            "ファイル名以外の名前を登録してください。<BR><BR><BR><HR>今回、以下の ";
    page += std::to_string(rows.size());
    page += " 個のファイルの登録がエラーとなりました。<BR>// <FONT COLOR = \"#FF0000\"><B>赤い太字</B></FONT>"
            "で書かれている部分が、英数字とは認識されませんでした。<BR><BR>";
    for (const Entry& row : rows) {
        const NameFieldParts parts = SplitNameField(row.nameField);
        const FileNameParts file = SplitFileName(parts.fileName);
        const std::string markedFileName = MarkNonAlphanumerics(file.baseName) + EscapeHtml(file.extension);
        page += "■ \"" + markedFileName + "\" ファイル<BR>";
        page += "Path : " + EscapeHtml(row.folderText) + markedFileName + "<BR>";
        page += "CommandLineOption : ";
        page += parts.option.empty() ? std::string(kNone) : EscapeHtml(parts.option);
        page += "<BR>";
        page += "RegName : ";
        page += parts.registrationName.empty() ? std::string(kNone) : MarkNonAlphanumerics(parts.registrationName);
        page += "<BR><BR>";
    }
    page += "<BR><BR><BR></BODY></HTML>";
    return page;
}

bool WriteNameErrorReport(FileStore& store, const std::string& path, const std::vector<Entry>& rows,
                          const ReportTime& time) {
    return store.Replace(path, BuildNameErrorReport(rows, time), /*readOnly=*/false).ok();
}

}  // namespace registrar
