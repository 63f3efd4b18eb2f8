#include "registrar/win32/registrar_about_dialog.h"

#include "common/win32/text.h"
#include "registrar/maker_contact.h"
#include "registrar/win32/resource_ids.h"

namespace registrar {

RegistrarAboutDialog::RegistrarAboutDialog() : win32::Dialog(IDD_REGISTRAR_ABOUT) {}

BOOL RegistrarAboutDialog::OnInitDialog() {
    SetItemText(IDC_CONTACT_TEXT, L"E-Mail To : " + win32::WideFromCp932(kContactAddress) +
                                      L"\r\nHP : https://tobi-launcher.example/");
    return TRUE;
}

}  // namespace registrar
