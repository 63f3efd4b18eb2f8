// The list of files a commit could not register, with a message and a count.
#pragma once

#include <string>
#include <vector>

#include "common/win32/dialog.h"

namespace registrar {

class ReportDialog : public win32::Dialog {
public:
    ReportDialog();

    // Set by the caller before each run.
    std::wstring message;
    std::vector<std::string> rows;  // cp932: folder text + name field

protected:
    BOOL OnInitDialog() override;
};

}  // namespace registrar
