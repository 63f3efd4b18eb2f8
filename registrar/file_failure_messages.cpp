#include "registrar/file_failure_messages.h"

#include <algorithm>

#include "common/cp932.h"

namespace registrar {
namespace {

constexpr const char* kNoListForms =
    "(改行が CR LF でない行、CR LF で終わっていない最後の行、NUL のあとの文字など)";

std::string WithCode(const std::string& reason, unsigned long systemCode) {
    if (systemCode == 0) return reason;
    return reason + "(エラーコード " + std::to_string(systemCode) + ")";
}

std::string ReadReason(const ReadResult& result) {
    switch (result.error) {
        case ReadError::AccessDenied: return WithCode("cr.x を読み取る権限がありません。", result.systemCode);
        case ReadError::InUse: return WithCode("ほかのプログラムが cr.x を使用中です。", result.systemCode);
        case ReadError::None:
        case ReadError::Other: break;
    }
    return WithCode("予期しないエラーが発生しました。", result.systemCode);
}

std::string WriteReason(const WriteResult& result) {
    switch (result.error) {
        case WriteError::AccessDenied:
            return WithCode("cr.x またはそのフォルダーが読み取り専用か、書き込む権限がありません。",
                            result.systemCode);
        case WriteError::InUse: return WithCode("ほかのプログラムが cr.x を使用中です。", result.systemCode);
        case WriteError::DiskFull: return WithCode("ディスクの空き容量が足りません。", result.systemCode);
        case WriteError::Changed: return "書き込む直前に、ほかのプログラムが cr.x を書き換えました。";
        case WriteError::None:
        case WriteError::Other: break;
    }
    return WithCode("予期しないエラーが発生しました。", result.systemCode);
}

}  // namespace

std::string ReadFailureMessage(const ReadResult& result) {
    return "cr.x を読み込めませんでした。\n" + ReadReason(result) +
           "\n\n登録の一覧は空で始まります。ファイルを追加することはできます。"
           "OK を押すと cr.x をもう一度読み込み、その登録を一覧の先頭に加えてから書き込みます。"
           "読み込めないあいだは cr.x に書き込みません。";
}

std::string CommitRefusedMessage(const ReadResult& result) {
    return "cr.x を読み込めないため、登録は実行されませんでした。\n" + ReadReason(result) +
           "\n\ncr.x は元のままです。登録の一覧もそのまま残っていますので、cr.x を使っているプログラムを"
           "閉じるなど原因を取り除いてからもう一度 OK を押すか、キャンセルで終了してください。";
}

std::string WriteFailureMessage(const WriteResult& result) {
    return "cr.x に書き込めなかったため、登録は実行されませんでした。\n" + WriteReason(result) +
           "\n\ncr.x は元のままです。登録の一覧もそのまま残っていますので、原因を取り除いてから"
           "もう一度 OK を押すか、キャンセルで終了してください。";
}

std::string CommitFailureMessage(const CommitResult& result) {
    switch (result.status) {
        case CommitStatus::Unreadable: return CommitRefusedMessage(result.read);
        case CommitStatus::OverLimit: {
            const std::size_t count = result.ordered.entries.size();
            const std::size_t over = count - std::min<std::size_t>(count, kMaxEntries);
            return "登録が " + std::to_string(kMaxEntries) + " 件を超えるため、登録は実行されませんでした。\n"
                   "重複と見つからないファイルを除いても " + std::to_string(count) + " 件あります。"
                   "\n\ncr.x は元のままです。一覧には、いまの cr.x の登録にこのウィンドウでの変更を加えたものが"
                   "表示されています。" + std::to_string(over) + " 件以上を削除してから、もう一度 OK を押すか、"
                   "キャンセルで終了してください。";
        }
        case CommitStatus::KeptChanging:
            return "cr.x を読み込んでから書き込むまでのあいだに、ほかのプログラムが " +
                   std::to_string(result.attempts) +
                   " 回続けて cr.x を書き換えたため、登録は実行されませんでした。"
                   "\n\nこのウィンドウからは何も書き込んでいません。一覧には、いまの cr.x の登録にこのウィンドウでの"
                   "変更を加えたものが表示されています。しばらくしてからもう一度 OK を押すか、キャンセルで終了してください。";
        case CommitStatus::WriteFailed:
        case CommitStatus::Written: break;
    }
    return WriteFailureMessage(result.write);
}

std::string UnmergedCommitMessage(const CommitResult& result) {
    const std::string found = result.read.missing
                                  ? "cr.x が見つかりませんでした。ほかのプログラムが削除したか、名前を変えたようです。"
                                  : std::string("cr.x は登録の一覧として読み取れない形になっていました。\n") + kNoListForms;
    return "登録を書き込むとき、" + found +
           "\n\nほかのウィンドウやプログラムでの変更を取り込めないため、このウィンドウの一覧をそのまま cr.x に"
           "書き込みました。" +
           (result.unreadable.empty() ? "" : "読み取れなかった行は、このあと一覧で示します。");
}

std::string UnreadableLinesMessage(const std::vector<std::string>& unreadable) {
    constexpr std::size_t kShownLines = 10;
    constexpr std::size_t kShownCharacters = 80;
    std::string text = std::string("cr.x に、登録として読み取れない行があります。\n") + kNoListForms + "\n";
    for (std::size_t i = 0; i < unreadable.size() && i < kShownLines; ++i) {
        const cp932::CharRange cut = cp932::NthCharRange(unreadable[i], kShownCharacters);
        text += "\n" + (cut.length == 0 ? unreadable[i] : unreadable[i].substr(0, cut.pos) + "...");
    }
    if (unreadable.size() > kShownLines) {
        text += "\nほか " + std::to_string(unreadable.size() - kShownLines) + " 行";
    }
    return text + "\n\nこれらの行は一覧に表示されません。このまま OK を押すと、cr.x からこれらの行はなくなります。";
}

}  // namespace registrar
