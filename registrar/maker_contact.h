// The maker's contact address, shown by the version box and in nmerr.html.
#pragma once

namespace registrar {

constexpr const char* kContactAddress = "parvane@tobi-launcher.example";

}  // namespace registrar
