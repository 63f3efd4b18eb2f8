// Answers the modal dialogs and message boxes that the code under test opens on
// the test's own thread. A thread timer, which every modal loop dispatches,
// looks for the next expected window by its title and runs the step's action
// on it. A window nobody expects is closed after a while and recorded, so a
// test fails instead of hanging.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_win32 {

class DialogAnswerer {
public:
    using Action = std::function<void(HWND window)>;

    explicit DialogAnswerer(DWORD patienceMs = 8000);
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // Expects a window titled `title` (visible, enabled, of this thread) and
    // runs `action` on it once. Steps are taken in order. Actions should post,
    // not send, commands that open or end a modal loop.
    DialogAnswerer& Then(const std::wstring& title, Action action);

    std::size_t PendingSteps() const { return steps_.size(); }
    // Titles of the windows that appeared unexpected and were closed by force.
    const std::vector<std::wstring>& Unexpected() const { return unexpected_; }

private:
    struct Step {
        std::wstring title;
        Action action;
    };
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Tick();

    std::deque<Step> steps_;
    std::vector<std::wstring> unexpected_;
    DWORD patienceMs_;
    DWORD lastProgress_;
    UINT_PTR timer_ = 0;
    bool busy_ = false;
};

// Button presses and texts, as a user would see them.
void PostCommand(HWND dialog, int id);                  // WM_COMMAND BN_CLICKED, posted
void ClickCheckBox(HWND dialog, int id);                 // sent: toggles and notifies
void EnsureChecked(HWND dialog, int id);                 // clicks only when not yet checked
std::wstring ControlText(HWND dialog, int id);
std::wstring AllStaticTexts(HWND dialog);                // every static child, joined by '\n'
std::vector<std::wstring> ListItems(HWND list);
// Selects exactly the given items of an extended-selection list; the last one gets the focus.
void SelectListItems(HWND list, const std::vector<int>& items);
// Sends LBN_DBLCLK for the list as a double-click on it would.
void SendDoubleClick(HWND dialog, int listId);
void PostDoubleClick(HWND dialog, int listId);

}  // namespace testing_win32
