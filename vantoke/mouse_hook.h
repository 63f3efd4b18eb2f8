// Vantoke.dll: watches the keyboard of the whole desktop and tells the
// launcher's window when the watched modifier key goes down or up.
#pragma once

#include <windows.h>

#ifdef VANTOKE_BUILDING_LIBRARY
#define VANTOKE_API __declspec(dllexport)
#else
#define VANTOKE_API __declspec(dllimport)
#endif

namespace vantoke {
class KeyboardHook;
}

// Posted to the target when any key other than the watched one goes down;
// wParam is the key's virtual-key code.
constexpr UINT kOtherKeyMessage = WM_APP + 0x10;
// Posted to the target when the system had removed the hook (it does so
// silently after the hook once took too long) and the library has installed it
// again. Key events may have gone by unseen: a sequence under way is to be
// forgotten. The notifications of the missed key events that the library could
// recover follow it.
constexpr UINT kHookReinstalledMessage = WM_APP + 0x11;

class VANTOKE_API CMouseHook {
public:
    CMouseHook();
    // Removes the hook; no notification arrives after it.
    virtual ~CMouseHook();
    CMouseHook(const CMouseHook&) = delete;
    CMouseHook& operator=(const CMouseHook&) = delete;

    // Installs the hook on a thread of its own; its handle, or nullptr when it
    // could not be installed. Calling it again while it runs changes nothing.
    HHOOK Start();
    // The watched key: 18 Alt, 17 Ctrl (the one watched before any call), 16 Shift.
    void SetKey(UINT virtualKey);
    // 0: one WM_HSCROLL when the key goes down; 1: when it goes up.
    void SetAction(UINT action);
    // The window that receives WM_HSCROLL, kOtherKeyMessage and
    // kHookReinstalledMessage, posted.
    void SetTarget(HWND target);

private:
    vantoke::KeyboardHook* hook_;
};
