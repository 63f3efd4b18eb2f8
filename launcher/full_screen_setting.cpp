#include "launcher/full_screen_setting.h"

namespace launcher {
namespace {

std::string WriteFailureReason(const WriteResult& result) {
    std::string reason;
    switch (result.error) {
        case WriteError::AccessDenied: reason = "Tobi のフォルダーに書き込む権限がありません。"; break;
        case WriteError::InUse: reason = "ほかのプログラムが fullscreen.x を使用中です。"; break;
        case WriteError::DiskFull: reason = "ディスクの空き容量が足りません。"; break;
        case WriteError::None:
        case WriteError::Other:
        case WriteError::Changed: reason = "予期しないエラーが発生しました。"; break;
    }
    if (result.systemCode != 0) reason += "(エラーコード " + std::to_string(result.systemCode) + ")";
    return reason;
}

}  // namespace

bool ParseFullScreenSetting(const std::string& fileBytes) {
    const std::string text = UpToFirstNul(fileBytes);
    const auto headerEnd = text.find('\n');  // LF alone, as an editor may leave it, counts too
    if (headerEnd == std::string::npos) return true;
    const std::string value = text.substr(headerEnd + 1, text.find('\n', headerEnd + 1) - headerEnd - 1);
    const auto first = value.find_first_not_of(" \t\r");
    const bool zero = first != std::string::npos && first == value.find_last_not_of(" \t\r") && value[first] == '0';
    return !zero;
}

std::string BuildFullScreenSettingText(bool quietOverFullScreen) {
    return std::string("[ FullScreen_NoSummon ] =\r\n") + (quietOverFullScreen ? "1" : "0") + "\r\n";
}

FullScreenSettingRead ReadFullScreenSetting(FileStore& store, const std::string& path) {
    const ReadResult read = store.Read(path);
    if (read.ok()) return {read.missing || ParseFullScreenSetting(read.bytes), std::string()};
    std::string reason;
    switch (read.error) {
        case ReadError::AccessDenied: reason = "読み取る権限がない (またはファイルではない) ため読み込めませんでした。"; break;
        case ReadError::InUse: reason = "ほかのプログラムが使用中のため読み込めませんでした。"; break;
        case ReadError::None:
        case ReadError::Other: reason = "予期しないエラーのため読み込めませんでした。"; break;
    }
    if (read.systemCode != 0) reason += "(エラーコード " + std::to_string(read.systemCode) + ")";
    return {true, "fullscreen.x を" + reason +
                      "\n\n「全画面表示中は呼び出さない」は既定のとおりオンにします。"
                      "トレイのメニューで切り替えると、fullscreen.x を書き直します。"};
}

std::string ToggleFullScreenSetting(bool& quietOverFullScreen, FileStore& store, const std::string& path) {
    quietOverFullScreen = !quietOverFullScreen;
    const WriteResult written = store.Replace(path, BuildFullScreenSettingText(quietOverFullScreen), true);
    if (written.ok()) return std::string();
    return "「全画面表示中は呼び出さない」の設定を fullscreen.x に保存できませんでした。\n" +
           WriteFailureReason(written) + "\n\n変更は Tobi を終了するまで有効です。次に起動したときは元の設定に戻ります。";
}

}  // namespace launcher
