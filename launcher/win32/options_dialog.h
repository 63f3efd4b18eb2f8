// The options dialog ("設定"): trigger key, number of presses, press speed.
#pragma once

#include <functional>
#include <string>

#include "common/file_store.h"
#include "common/win32/dialog.h"
#include "launcher/options_file.h"
#include "launcher/win32/key_hook.h"

namespace tobi {

class OptionsDialog : public win32::Dialog {
public:
    OptionsDialog();

    // Filled before the run, read after OK. A list without a selection gives -1.
    int speed = 0;
    int countIndex = -1;
    int keyIndex = -1;

    // The 100 ms poll through which `speed` and the number follow the slider.
    static constexpr UINT_PTR kPollTimer = 1;
    static constexpr UINT kPollPeriodMs = 100;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void FollowSlider();
    void ShowSpeed() const;
};

// Shows the dialog and returns how it ended (IDOK, IDCANCEL); the launcher
// runs it modally, tests drive it.
using OptionsDialogRunner = std::function<INT_PTR(OptionsDialog&)>;

// The options command: the values are copied into the dialog, and what it
// ends with goes to launcher::ApplyOptionsChoice; the hook is told the key it
// returns. Returns whether OK was chosen.
bool RunOptionsCommand(launcher::Options& options, KeyHook& hook, FileStore& store,
                       const std::string& optionsPath, const OptionsDialogRunner& run);

}  // namespace tobi
