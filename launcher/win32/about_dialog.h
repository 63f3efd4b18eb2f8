// The version dialog ("Version Info Tobi.exe"); all of it is in its template.
#pragma once

#include "common/win32/dialog.h"
#include "launcher/win32/resource_ids.h"

namespace tobi {

class AboutDialog : public win32::Dialog {
public:
    AboutDialog() : Dialog(IDD_ABOUT) {}
};

}  // namespace tobi
