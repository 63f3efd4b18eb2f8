#include "common/win32/text.h"

#include <windows.h>

namespace win32 {

std::wstring WideFromCp932(const std::string& bytes) {
    if (bytes.empty()) return std::wstring();
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(kCodePage932, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(kCodePage932, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

Cp932Text Cp932FromWide(const std::wstring& text) {
    Cp932Text result;
    if (text.empty()) return result;
    const int size = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0,
                                           nullptr, &usedDefault);
    if (length <= 0) {
        result.lossless = false;
        return result;
    }
    result.bytes.assign(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(kCodePage932, WC_NO_BEST_FIT_CHARS, text.data(), size, result.bytes.data(), length, nullptr,
                        &usedDefault);
    // The round trip also catches mappings that are not one to one.
    result.lossless = !usedDefault && WideFromCp932(result.bytes) == text;
    return result;
}

std::wstring WideFromInt(long long value) { return std::to_wstring(value); }

}  // namespace win32
