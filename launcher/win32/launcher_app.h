// The launcher program: one running copy. A named mutex held for the whole run
// is the real guard (ten copies started together all look before any has a
// window); a top-level window titled "Tobi", from any program, blocks the start
// as well.
#pragma once

#include "common/win32/handles.h"

namespace tobi {

// The running launcher's claim: held from start to end of the run; a copy that
// cannot take it is not the first. A claim left by a launcher that died is
// taken over.
class SingleInstanceClaim {
public:
    SingleInstanceClaim();
    ~SingleInstanceClaim();
    SingleInstanceClaim(const SingleInstanceClaim&) = delete;
    SingleInstanceClaim& operator=(const SingleInstanceClaim&) = delete;

    bool Held() const { return held_; }

private:
    win32::UniqueKernelHandle mutex_;
    bool held_ = false;
};

class LauncherApp {
public:
    // Runs the launcher until its main window's modal run ends; the process's
    // exit code.
    int Run();
};

}  // namespace tobi
