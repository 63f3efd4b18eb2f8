// Vantoke.dll: watches the keyboard of the whole desktop and tells the
// launcher's window when the watched modifier key goes down or up.
#pragma once

#include <windows.h>

#include "vantoke/notices.h"

#ifdef VANTOKE_BUILDING_LIBRARY
#define VANTOKE_API __declspec(dllexport)
#else
#define VANTOKE_API __declspec(dllimport)
#endif

namespace vantoke {
class KeyboardHook;
}

// Without a tap rule, posted to the target when any key other than the
// watched one goes down; wParam is the key's virtual-key code.
constexpr UINT kOtherKeyMessage = vantoke::kOtherKeyNotice;
// Without a tap rule, posted to the target when key events went by unseen
// (see notices.h): a sequence under way is to be forgotten.
constexpr UINT kHookReinstalledMessage = vantoke::kHookReinstalledNotice;

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
    // kHookReinstalledMessage (under a tap rule WM_HSCROLL alone, see
    // SetTapRule), posted, in the order the keys moved. WM_HSCROLL's
    // lParam is the key event's own time (the GetTickCount clock). Called on
    // the target's own thread, the library hands each notification over only
    // when the one before has been handled, so that an action set in answer
    // applies to every key event after it, however late the answer comes.
    void SetTarget(HWND target);

    // The launcher's tap rule: presses needed = countIndex + 2, each within
    // 8 * speed + 120 ms of the one before; given at start-up and after every
    // change. From the first call the library decides each summons itself,
    // at the key event, by the launcher's own rule (its own action then
    // selects the transitions; SetAction no longer does), and posts the
    // target one WM_HSCROLL per summons alone, its wParam
    // vantoke::SummonsNotice. Other keys and the forgetting after missed key
    // events it answers itself, unposted: a key typed in another program
    // never wakes the target's thread. From the summons to its outcome every
    // key typed (but the watched key's taps) is held back from the program
    // in front, in order, until the target reports its menu with the calls
    // below; one summons at a time.
    void SetTapRule(int countIndex, int speed);
    // The target takes the summons `serial` for its letter menu; false when
    // the keys typed after it have already gone where they were going (not
    // taken within the limit): no menu is to open for it, it would come late.
    bool ClaimSummons(UINT serial);
    // The target's letter menu is about to show, for the claimed summons
    // `serial` (0: for no summons); the keys held for it are typed into it as
    // they were typed. False when the summons has gone meanwhile: the menu is
    // then to close at once.
    bool MenuOpened(UINT serial);
    // The target's letter menu has closed.
    void MenuClosed();
    // No menu opens for the summons `serial`: its keys go where they were going.
    void MenuRefused(UINT serial);
    // While set, the tap that would summon does not while the program in
    // front is full-screen, and no keys are held for it. Off before any call.
    void SetQuietOverFullScreen(bool quiet);

private:
    vantoke::KeyboardHook* hook_;
};
