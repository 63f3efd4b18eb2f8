#include "registrar/file_failure_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace registrar;
using testing::HasSubstr;

// Each box names the cause in plain words with the system's code, and says
// what became of cr.x and of the list.
TEST(FileFailureMessages, NameTheCauseTheCodeAndWhatBecameOfCrX) {
    const ReadResult inUse{ReadError::InUse, 32, false, {}};
    CommitResult overLimit;
    overLimit.status = CommitStatus::OverLimit;
    overLimit.ordered.entries.resize(1003);
    CommitResult unreadable;
    unreadable.status = CommitStatus::Unreadable;
    unreadable.read = {ReadError::AccessDenied, 5, false, {}};
    CommitResult changing, gone, noList;
    changing.status = CommitStatus::KeptChanging;
    changing.attempts = kCommitAttempts;
    gone.read.missing = true;
    noList.unreadable = {"C:\\t\\a.exe"};
    std::vector<std::string> lines(12, "C:\\t\\x.exe");
    lines[0] = std::string(79, 'x') + "表表";  // cut after the 80th character, never inside one
    const std::pair<std::string, std::string> kSays[] = {
        {WriteFailureMessage({WriteError::AccessDenied, 5}), "読み取り専用か、書き込む権限がありません。(エラーコード 5)"},
        {WriteFailureMessage({WriteError::InUse, 32}), "ほかのプログラムが cr.x を使用中です。(エラーコード 32)"},
        {WriteFailureMessage({WriteError::DiskFull, 112}), "ディスクの空き容量が足りません。(エラーコード 112)"},
        {WriteFailureMessage({WriteError::Other, 1234}), "予期しないエラーが発生しました。(エラーコード 1234)"},
        {WriteFailureMessage({WriteError::Other, 0}), "予期しないエラーが発生しました。\n"},
        {ReadFailureMessage(inUse), "cr.x を読み込めませんでした。\nほかのプログラムが cr.x を使用中です。(エラーコード 32)"},
        {ReadFailureMessage({ReadError::AccessDenied, 5, false, {}}), "cr.x を読み取る権限がありません。(エラーコード 5)"},
        {ReadFailureMessage({ReadError::Other, 23, false, {}}), "予期しないエラーが発生しました。(エラーコード 23)"},
        {ReadFailureMessage(inUse), "読み込めないあいだは cr.x に書き込みません。"},
        {CommitRefusedMessage(inUse), "cr.x を読み込めないため、登録は実行されませんでした。\nほかのプログラムが cr.x を使用中です。"},
        {CommitRefusedMessage(inUse), "cr.x は元のままです。"},
        {CommitFailureMessage(overLimit), "重複と見つからないファイルを除いても 1003 件あります。"},
        {CommitFailureMessage(overLimit), "3 件以上を削除してから"},
        {CommitFailureMessage(unreadable), "cr.x を読み取る権限がありません。(エラーコード 5)"},
        {CommitFailureMessage(CommitResult{}), "予期しないエラーが発生しました。\n"},
        {CommitFailureMessage(changing), "5 回続けて cr.x を書き換えたため、登録は実行されませんでした。"},
        {UnmergedCommitMessage(gone), "cr.x が見つかりませんでした。ほかのプログラムが削除したか"},
        {UnmergedCommitMessage(noList), "(改行が CR LF でない行、CR LF で終わっていない最後の行、NUL のあとの文字など)"
                                        "\n\nほかのウィンドウやプログラムでの変更を取り込めないため、このウィンドウの一覧を"
                                        "そのまま cr.x に書き込みました。読み取れなかった行は、このあと一覧で示します。"},
        {UnreadableLinesMessage(lines), "\n\n" + std::string(79, 'x') + "表...\nC:\\t\\x.exe\n"},
        {UnreadableLinesMessage(lines), "\nほか 2 行\n"},
    };
    for (const auto& [message, part] : kSays) EXPECT_THAT(message, HasSubstr(part));
}

}  // namespace
