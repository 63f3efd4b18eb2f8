// Identifiers of Parvane's resources and controls (used by the resource script
// and by the dialogs, so plain #defines).
#pragma once

#define IDD_REGISTRAR_ABOUT 100
#define IDS_ABOUT_MENU_ITEM 101
#define IDD_REGISTER 102
#define IDI_PARVANE 128
#define IDD_NAME_CHECK 130
#define IDD_REPORT 131
#define IDD_PROGRESS 138
#define IDD_SETTINGS 140

#define IDM_ABOUT_BOX 0x10

// Controls. Several dialogs share an id for a control of the same role.
#define IDC_COUNT_EDIT 1001
#define IDC_OPTION_EDIT 1001
#define IDC_NAME_EDIT 1002
#define IDC_PATH_TEXT 1003
#define IDC_MESSAGE_TEXT 1003
#define IDC_CONTACT_TEXT 1004
#define IDC_NAME_LIST 1005
#define IDC_DELETE 1007
#define IDC_HELP_BUTTON 1007
#define IDC_VERSION 1008
#define IDC_USE_OPTION 1009
#define IDC_PROGRESS_BAR 1010
#define IDC_USE_NAME 1011
#define IDC_FOLDER_LIST 1013
// A command without a control: Insert and Ctrl+O in the main dialog.
#define IDC_ADD_FILES 1020
