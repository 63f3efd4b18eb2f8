// The messages Vantoke posts to its target window besides WM_HSCROLL. Both
// the library and its callers take the numbers from here.
#pragma once

namespace vantoke {

constexpr unsigned kAppMessageBase = 0x8000;  // WM_APP

// Another key went down; wParam is its virtual-key code.
constexpr unsigned kOtherKeyNotice = kAppMessageBase + 0x10;
// The system had removed the hook (it does so silently after the hook once
// took too long), or the target stayed away so long that key events had to be
// dropped: key events went by unseen, and a sequence under way is to be
// forgotten. The notifications of the missed key events that could be
// recovered follow it.
constexpr unsigned kHookReinstalledNotice = kAppMessageBase + 0x11;

// With a tap rule (CMouseHook::SetTapRule) the library decides the summons
// itself and posts neither of the notices above: a WM_HSCROLL comes for the
// press that summons alone, its wParam SummonsNotice(serial). `serial`
// (1-65535, cycling) numbers a summons whose keys the library holds for the
// letter menu, to be handed back with MenuOpened or MenuRefused; 0 when it
// holds none.
constexpr unsigned kSummonsNotice = 0x10000;
constexpr unsigned kMaxSummonsSerial = 0xFFFF;
constexpr unsigned SummonsNotice(unsigned serial) { return kSummonsNotice | (serial & kMaxSummonsSerial); }
constexpr bool IsSummons(unsigned wParam) { return (wParam & kSummonsNotice) != 0; }
constexpr unsigned SummonsSerial(unsigned wParam) { return wParam & kMaxSummonsSerial; }

}  // namespace vantoke
