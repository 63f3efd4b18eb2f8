// The launcher program: one running copy, found by its main window's title.
#pragma once

namespace tobi {

class LauncherApp {
public:
    // Runs the launcher until its main window's modal run ends; the process's
    // exit code.
    int Run();
};

}  // namespace tobi
