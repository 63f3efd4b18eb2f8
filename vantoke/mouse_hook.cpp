#include "vantoke/mouse_hook.h"

#include "vantoke/keyboard_hook.h"

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
    hook_->State().action.store(action, std::memory_order_release);
}

void CMouseHook::SetTarget(HWND target) {
    hook_->SetTarget(target);
}
