// Conversion between the programs' code-page-932 bytes and the UTF-16 of the
// wide Win32 API. Code page 932 is named explicitly, never the ANSI code page.
#pragma once

#include <string>

namespace win32 {

constexpr unsigned kCodePage932 = 932;

std::wstring WideFromCp932(const std::string& bytes);

struct Cp932Text {
    std::string bytes;
    bool lossless = true;  // false when some character has no cp932 form
};

// Never substitutes silently: `lossless` tells whether the text survived.
Cp932Text Cp932FromWide(const std::wstring& text);

std::wstring WideFromInt(long long value);

}  // namespace win32
