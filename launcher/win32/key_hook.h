// The part of the keyboard hook that the options command drives, so that the
// command can be run against a recording hook in tests.
#pragma once

namespace tobi {

class KeyHook {
public:
    virtual ~KeyHook() = default;
    // Virtual-key code of the key to watch: 18 Alt, 17 Ctrl, 16 Shift.
    virtual void SetKey(unsigned virtualKey) = 0;
};

}  // namespace tobi
