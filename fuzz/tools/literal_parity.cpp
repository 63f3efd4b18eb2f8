// Prints the texts of the cores that come from narrow literals: the letter
// menu with its built-in items and the name-error page. Built once with g++
// and -fexec-charset=CP932 from the sources as they are, and once with clang
// from the converted copies; the fuzz build stops when the two outputs differ.
#include <iostream>

#include "launcher/letter_menu.h"
#include "launcher/registration_list.h"
#include "registrar/name_error_report.h"

int main() {
    const launcher::RegistrationListLoad load = launcher::LoadRegistrationList("C:\\Tools\\calc.exe\t/s\r\n");
    std::cout << launcher::DumpMenu(launcher::BuildLetterMenu(load.list));
    const std::vector<registrar::Entry> rows = {{"a b.exe\t-x\tname", "C:\\Tools\\"}};
    std::cout << registrar::BuildNameErrorReport(rows, {2000, 7, 23, 9, 5, 3}) << "\n";
    return 0;
}
