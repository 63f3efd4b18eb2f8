// Identifiers of Tobi.exe's resources, controls and commands. Shared by the
// resource script and the C++ sources, so it holds plain #defines only.
#pragma once

// Dialog templates
#define IDD_ABOUT 100
#define IDD_LAUNCHER 102
#define IDD_OPTIONS 133
#define IDD_RUN_FILE 136

// Icon, menus, strings
#define IDI_TOBI 128
#define IDR_TRAY_MENU 131
#define IDS_ABOUT_SYSTEM_ITEM 101

// Controls
#define IDC_SHOW_LETTER_MENU 1009
#define IDC_SPEED_NUMBER 1002
#define IDC_COUNT_LIST 1003
#define IDC_SPEED_SLIDER 1008
#define IDC_KEY_LIST 1012
#define IDC_RUN_FILE_NAME 1002
#define IDC_RUN_FILE_OPTION 1005

// Menu commands (the letter menu's are in launcher/letter_menu.h)
#define ID_REGISTER 32812
#define ID_EXIT 32813
#define ID_OPTIONS 32814
#define ID_VERSION 32815
#define ID_HELP_PAGE 32816
#define ID_RUN_FILE 32817
// Beside the described commands: below the letter menu's placeholder and
// reserved identifiers, so that it meets none of them.
#define ID_RUN_AT_SIGN_IN 32809
#define ID_FULL_SCREEN_QUIET 32808

// The system menu's version item
#define IDM_ABOUT_SYSTEM 0x0010

// The tray icon and its notification message
#define ID_TRAY_ICON 100
#define WM_TRAY_NOTIFY 0x526
