// The small dialog base every window of both programs derives from: a static
// dialog procedure stores `this` on WM_INITDIALOG and forwards to virtual
// handlers. The caller fills public members before the run and reads them after.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

class Dialog {
public:
    explicit Dialog(int templateId);
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    virtual ~Dialog();

    // Runs the dialog modally; returns the value given to EndDialog (-1 on failure).
    INT_PTR RunModal(HWND owner);
    // Creates the dialog modeless (tests drive it with messages); EndDialog then
    // destroys the window and Result() holds the value.
    HWND CreateModeless(HWND owner);

    HWND hwnd() const { return hwnd_; }
    INT_PTR Result() const { return result_; }
    void EndDialog(INT_PTR result);

    std::wstring ItemText(int id) const;
    void SetItemText(int id, const std::wstring& text) const;
    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

protected:
    virtual BOOL OnInitDialog() { return TRUE; }
    // Returns true when the command was handled.
    virtual bool OnCommand(WORD id, WORD notification, HWND control);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Any other message; return true and set `result` when handled.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);
    virtual void OnDestroyed() {}

    int templateId() const { return templateId_; }

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool fitTexts_ = false;  // shown in a stand-in for the template's missing face
    INT_PTR result_ = -1;
};

// Text of a window of any length.
std::wstring WindowText(HWND window);

// A string resource of any length; empty when missing.
std::wstring LoadStringResource(UINT id);

// Appends a separator and the item to the window's system menu.
void AppendSystemMenuItem(HWND window, UINT command, const std::wstring& text);

// WM_PAINT of a minimised dialog: the icon centred on the erased background.
// Returns false when the window is not minimised (default painting applies).
bool PaintMinimizedIcon(HWND window, HICON icon);

// The module that holds the resources (the program itself).
HINSTANCE ResourceModule();

}  // namespace win32
