#include "common/win32/text.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp932Conversion, RoundTripsJapaneseAndTrailByte5C) {
    const std::string bytes = "C:\\ソフト\\表.exe";
    const std::wstring wide = win32::WideFromCp932(bytes);
    EXPECT_EQ(wide, L"C:\\ソフト\\表.exe");
    const auto back = win32::Cp932FromWide(wide);
    EXPECT_TRUE(back.lossless);
    EXPECT_EQ(back.bytes, bytes);
}

TEST(Cp932Conversion, RefusesCharactersOutsideTheCodePage) {
    // é has only a best-fit "e" and the emoji none at all: neither may pass unnoticed.
    for (const std::wstring& text : {std::wstring(L"caf\u00E9.txt"), std::wstring(L"a\U0001F600.txt"),
                                     std::wstring(L"\u20AC")}) {
        EXPECT_FALSE(win32::Cp932FromWide(text).lossless);
    }
    EXPECT_TRUE(win32::Cp932FromWide(L"").lossless);
    EXPECT_TRUE(win32::Cp932FromWide(L"ｶﾀｶﾅ①").lossless);
}

}  // namespace
