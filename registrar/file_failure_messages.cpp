#include "registrar/file_failure_messages.h"

#include <algorithm>

namespace registrar {
namespace {

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
        case CommitStatus::WriteFailed:
        case CommitStatus::Written: break;
    }
    return WriteFailureMessage(result.write);
}

}  // namespace registrar
