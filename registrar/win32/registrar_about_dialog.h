// The version box: program name, version, date and the maker's contact lines.
#pragma once

#include "common/win32/dialog.h"

namespace registrar {

class RegistrarAboutDialog : public win32::Dialog {
public:
    RegistrarAboutDialog();

protected:
    BOOL OnInitDialog() override;
};

}  // namespace registrar
