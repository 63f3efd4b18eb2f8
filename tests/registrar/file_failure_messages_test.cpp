#include "registrar/file_failure_messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;

// The cause in plain words, and the system's code whenever there is one.
TEST(FileFailureMessages, NameTheCauseAndTheCode) {
    using registrar::ReadFailureMessage;
    using registrar::WriteFailureMessage;
    EXPECT_THAT(WriteFailureMessage({WriteError::AccessDenied, 5}),
                HasSubstr("読み取り専用か、書き込む権限がありません。(エラーコード 5)"));
    EXPECT_THAT(WriteFailureMessage({WriteError::InUse, 32}),
                HasSubstr("ほかのプログラムが cr.x を使用中です。(エラーコード 32)"));
    EXPECT_THAT(WriteFailureMessage({WriteError::DiskFull, 112}), HasSubstr("空き容量"));
    EXPECT_THAT(WriteFailureMessage({WriteError::Other, 1234}),
                HasSubstr("予期しないエラーが発生しました。(エラーコード 1234)"));
    EXPECT_THAT(WriteFailureMessage({WriteError::Other, 0}), Not(HasSubstr("エラーコード")));

    EXPECT_THAT(ReadFailureMessage({ReadError::InUse, 32, false, {}}),
                HasSubstr("ほかのプログラムが cr.x を使用中です。(エラーコード 32)"));
    EXPECT_THAT(ReadFailureMessage({ReadError::AccessDenied, 5, false, {}}),
                HasSubstr("cr.x を読み取る権限がありません。(エラーコード 5)"));
    EXPECT_THAT(ReadFailureMessage({ReadError::Other, 23, false, {}}),
                HasSubstr("予期しないエラーが発生しました。(エラーコード 23)"));
}

// Each box says what became of cr.x and of the list.
TEST(FileFailureMessages, SayWhatHappensToTheFileAndTheList) {
    const ReadResult inUse{ReadError::InUse, 32, false, {}};
    EXPECT_THAT(registrar::ReadFailureMessage(inUse),
                AllOf(HasSubstr("cr.x を読み込めませんでした。"), HasSubstr("一覧は空で始まります"),
                      HasSubstr("もう一度読み込み"), HasSubstr("読み込めないあいだは cr.x に書き込みません。")));
    EXPECT_THAT(registrar::CommitRefusedMessage(inUse),
                AllOf(HasSubstr("cr.x をまだ読み込めないため、登録は実行されませんでした。"),
                      HasSubstr("使用中です。(エラーコード 32)"), HasSubstr("cr.x は元のままです。")));
    EXPECT_THAT(registrar::WriteFailureMessage({WriteError::DiskFull, 112}),
                AllOf(HasSubstr("cr.x に書き込めなかったため"), HasSubstr("cr.x は元のままです。")));
}

}  // namespace
