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

void CMouseHook::SetTapRule(int countIndex, int speed) {
    vantoke::SetTapRule(hook_->State(), vantoke::TapRule{countIndex, speed});
}

void CMouseHook::SetQuietOverFullScreen(bool quiet) {
    hook_->State().quietOverFullScreen.store(quiet, std::memory_order_relaxed);
}

bool CMouseHook::ClaimSummons(UINT serial) {
    return hook_->State().summons.Claim(serial);
}

bool CMouseHook::MenuOpened(UINT serial) {
    if (!hook_->State().summons.Showing(serial)) return false;
    hook_->PostMenuState(vantoke::MenuState::Opened, serial);
    return true;
}

void CMouseHook::MenuClosed() {
    hook_->PostMenuState(vantoke::MenuState::Closed, 0);
}

void CMouseHook::MenuRefused(UINT serial) {
    hook_->PostMenuState(vantoke::MenuState::Refused, serial);
}
