// Numbers of the program's resources, controls and system-menu command; read by the resource
// compiler and by the code.
#pragma once

#define IDD_ABOUT_DIALOG 100
#define IDS_ABOUT_ITEM 101
#define IDD_MAIN_DIALOG 102
#define IDI_APP_ICON 128

#define IDC_DATE_TEXT 1000
#define IDC_WEEKDAY_TEXT 1001
#define IDC_TIME_TEXT 1002
#define IDC_PORT_LIST 1003
#define IDC_SET_TIME 1005

// A system-menu command: below 0xF000 and with the low four bits clear, which the system uses.
#define IDM_ABOUT_ITEM 0x0010
