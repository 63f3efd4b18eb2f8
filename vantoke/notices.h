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

}  // namespace vantoke
