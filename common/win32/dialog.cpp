#include "common/win32/dialog.h"

#include "common/win32/dialog_font.h"

namespace win32 {

HINSTANCE ResourceModule() { return GetModuleHandleW(nullptr); }

Dialog::Dialog(int templateId) : templateId_(templateId) {}

Dialog::~Dialog() {
    if (hwnd_ != nullptr && !modal_) {
        SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
        DestroyWindow(hwnd_);
    }
}

INT_PTR Dialog::RunModal(HWND owner) {
    modal_ = true;
    const std::vector<BYTE> adjusted = TemplateWithInstalledFont(ResourceModule(), templateId_);
    fitTexts_ = !adjusted.empty();
    if (fitTexts_) {
        result_ = DialogBoxIndirectParamW(ResourceModule(), reinterpret_cast<LPCDLGTEMPLATEW>(adjusted.data()), owner,
                                          DialogProc, reinterpret_cast<LPARAM>(this));
    } else {
        result_ = DialogBoxParamW(ResourceModule(), MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                                  reinterpret_cast<LPARAM>(this));
    }
    return result_;
}

HWND Dialog::CreateModeless(HWND owner) {
    modal_ = false;
    const std::vector<BYTE> adjusted = TemplateWithInstalledFont(ResourceModule(), templateId_);
    fitTexts_ = !adjusted.empty();
    if (fitTexts_) {
        CreateDialogIndirectParamW(ResourceModule(), reinterpret_cast<LPCDLGTEMPLATEW>(adjusted.data()), owner,
                                   DialogProc, reinterpret_cast<LPARAM>(this));
    } else {
        CreateDialogParamW(ResourceModule(), MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                           reinterpret_cast<LPARAM>(this));
    }
    return hwnd_;
}

void Dialog::EndDialog(INT_PTR result) {
    result_ = result;
    if (hwnd_ == nullptr) return;
    if (modal_) {
        ::EndDialog(hwnd_, result);
    } else {
        DestroyWindow(hwnd_);
    }
}

std::wstring Dialog::ItemText(int id) const { return WindowText(Item(id)); }

void Dialog::SetItemText(int id, const std::wstring& text) const { SetDlgItemTextW(hwnd_, id, text.c_str()); }

bool Dialog::OnCommand(WORD id, WORD, HWND) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool Dialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) { return false; }

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    // No exception may cross the window procedure back into the system.
    try {
        const INT_PTR result = self->HandleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(hwnd, DWLP_USER, 0);
            self->hwnd_ = nullptr;
            self->OnDestroyed();
        }
        return result;
    } catch (...) {
        return FALSE;
    }
}

INT_PTR Dialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR result = FALSE;
    switch (message) {
        case WM_INITDIALOG: {
            const BOOL focusDefault = OnInitDialog();
            // In a stand-in face the texts, some set just now, may not fit.
            if (fitTexts_) FitControlTexts(hwnd_);
            return focusDefault;
        }
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return TRUE;
            break;
        default: break;
    }
    if (OnMessage(message, wParam, lParam, result)) {
        // These few messages take the dialog procedure's own return value.
        switch (message) {
            case WM_QUERYDRAGICON:
            case WM_CTLCOLORMSGBOX: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN:
            case WM_CTLCOLORDLG: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC:
            case WM_COMPAREITEM: case WM_VKEYTOITEM: case WM_CHARTOITEM:
                return result;
            default: break;
        }
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

std::wstring WindowText(HWND window) {
    if (window == nullptr) return std::wstring();
    const int length = GetWindowTextLengthW(window);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

std::wstring LoadStringResource(UINT id) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the resource.
    const int length = LoadStringW(ResourceModule(), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr) return std::wstring();
    return std::wstring(text, static_cast<std::size_t>(length));
}

void AppendSystemMenuItem(HWND window, UINT command, const std::wstring& text) {
    if (text.empty()) return;
    HMENU systemMenu = GetSystemMenu(window, FALSE);
    if (systemMenu == nullptr) return;
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, command, text.c_str());
}

bool PaintMinimizedIcon(HWND window, HICON icon) {
    if (!IsIconic(window)) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    GetClientRect(window, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon);
    EndPaint(window, &paint);
    return true;
}

}  // namespace win32
