#include "vantoke/mouse_hook.h"

#include "vantoke/keyboard_hook.h"

static_assert(kOtherKeyMessage == vantoke::kOtherKeyNotice);
static_assert(kHookReinstalledMessage == vantoke::kHookReinstalledNotice);

CMouseHook::CMouseHook() : hook_(new vantoke::KeyboardHook) {}

CMouseHook::~CMouseHook() {
    delete hook_;
}

HHOOK CMouseHook::Start() {
    return hook_->Start();
}

void CMouseHook::SetKey(UINT virtualKey) {
    hook_->State().watchedKey.store(virtualKey, std::memory_order_relaxed);
}

void CMouseHook::SetAction(UINT action) {
    hook_->State().action.store(action, std::memory_order_relaxed);
}

void CMouseHook::SetTarget(HWND target) {
    hook_->State().target.store(target, std::memory_order_release);
}
