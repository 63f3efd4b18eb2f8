#include "launcher/win32/options_dialog.h"

#include <commctrl.h>

#include <optional>

#include "common/win32/text.h"
#include "launcher/win32/resource_ids.h"

namespace tobi {
namespace {

// The lists' items; an item's position is the option value.
constexpr const wchar_t* kKeyNames[] = {L"Alt", L"Ctrl", L"Shift"};
constexpr const wchar_t* kCountNames[] = {L"2", L"3", L"4"};

template <std::size_t N>
void FillList(HWND list, const wchar_t* const (&items)[N], int selection) {
    for (const wchar_t* item : items) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    // An index outside the list (only from an edited opt.x) selects nothing.
    const bool inRange = selection >= 0 && static_cast<std::size_t>(selection) < N;
    SendMessageW(list, CB_SETCURSEL, inRange ? static_cast<WPARAM>(selection) : static_cast<WPARAM>(-1), 0);
}

int Selection(HWND list) {
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

}  // namespace

OptionsDialog::OptionsDialog() : Dialog(IDD_OPTIONS) {}

BOOL OptionsDialog::OnInitDialog() {
    FillList(Item(IDC_KEY_LIST), kKeyNames, keyIndex);
    FillList(Item(IDC_COUNT_LIST), kCountNames, countIndex);
    HWND slider = Item(IDC_SPEED_SLIDER);
    SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, 100));
    SendMessageW(slider, TBM_SETPOS, TRUE, speed);
    ShowSpeed();
    SetTimer(hwnd(), kPollTimer, kPollPeriodMs, nullptr);
    return TRUE;
}

void OptionsDialog::OnOK() {
    keyIndex = Selection(Item(IDC_KEY_LIST));
    countIndex = Selection(Item(IDC_COUNT_LIST));
    EndDialog(IDOK);
}

bool OptionsDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR& result) {
    if (message != WM_TIMER) return false;
    FollowSlider();
    result = 0;
    return true;
}

void OptionsDialog::FollowSlider() {
    const int position = static_cast<int>(SendMessageW(Item(IDC_SPEED_SLIDER), TBM_GETPOS, 0, 0));
    if (position == speed) return;
    speed = position;
    ShowSpeed();
}

void OptionsDialog::ShowSpeed() const {
    HWND edit = Item(IDC_SPEED_NUMBER);
    const std::wstring number = win32::WideFromInt(speed);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(number.c_str()));
}

bool RunOptionsCommand(launcher::Options& options, KeyHook& hook, FileStore& store,
                       const std::string& optionsPath, const OptionsDialogRunner& run) {
    OptionsDialog dialog;
    dialog.keyIndex = options.keyIndex;
    dialog.countIndex = options.countIndex;
    dialog.speed = options.speed;
    std::optional<launcher::Options> chosen;
    if (run(dialog) == IDOK) chosen = launcher::Options{dialog.keyIndex, dialog.countIndex, dialog.speed};
    if (const auto key = launcher::ApplyOptionsChoice(options, chosen, store, optionsPath)) hook.SetKey(*key);
    return chosen.has_value();
}

}  // namespace tobi
