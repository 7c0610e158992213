// Resource numbers shared by tarnwick.rc and the code. Plain macros: the resource compiler
// understands nothing else.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// About box
#define IDD_ABOUTBOX 100
#define IDC_ABOUT_OK 1037
#define IDC_HOME_LINK 1038
#define IDC_MAIL_LINK 1039
#define IDC_DONATION_TEXT 1042
#define IDC_VERSION_NUMBER 1044
#define IDC_BUILD_MARKER 1045
#define IDC_CREDITS_BUTTON 1046
#define IDC_CHECK_UPDATE 1048
#define IDB_ABOUT 149
#define IDB_ABOUT_2X 151
#define IDC_ABOUT_PICTURE 1049

// Main window; its "&Hide" button is IDOK
#define IDD_TARNWICK_DIALOG 102
#define IDC_ANIMATE 1001
#define IDC_CHECK_NOW 1002
#define IDC_MESSAGE_LIST 1003
#define IDC_CONFIGURE 1004
#define IDC_STATUS_TEXT 1014
#define IDC_EMAIL_PROG 1023
#define IDC_ENABLE 1024
#define IDC_ABOUT 1033
#define IDB_INFO 160
#define IDB_INFO_2X 162
#define IDR_SEARCH_AVI 157
#define IDR_SEARCH_AVI_2X 158

// Window and tray pictures
#define IDI_TARNWICK 128
#define IDI_MAIL 132
#define IDI_NOMAIL 135
#define IDI_DISABLED 136
// Checking on, but the last try met a passing fault
#define IDI_RETRYING 141
// The tray animation shows these in the order 0, 90, 180, 270 degrees clockwise.
#define IDI_SPIN_0 140
#define IDI_SPIN_90 137
#define IDI_SPIN_180 138
#define IDI_SPIN_270 139

// Tray menu; its number is also the tray icon's id
#define IDR_TRAY_MENU 139
#define ID_TRAY_CHECK 32771
#define ID_TRAY_DISABLE 32772
#define ID_TRAY_CONFIGURE 32773
#define ID_TRAY_EXIT 32774
#define ID_TRAY_OPEN 32775

// Message row menu
#define IDR_MESSAGE_MENU 156
#define ID_MSG_DELETE 32777
#define ID_MSG_CANCEL 32778

// Summary popup
#define IDD_SUMMARY_POPUP 130
#define IDC_SUMMARY_TEXT 1018

// Settings page "Server Settiings"
#define IDD_MAIL_SETTINGS_PAGE 131
#define IDC_MAIL_SERVER 1005
#define IDC_PASSWORD 1006
#define IDC_USER_NAME 1007
#define IDC_SECURITY 1050
#define IDS_SECURITY_CHOICES 104
#define IDC_LOGIN_METHOD 1052
#define IDS_LOGIN_CHOICES 105

// Settings page "Notification"
#define IDD_NOTIFICATION_PAGE 132
#define IDC_DEFAULT_SOUND 1020
#define IDC_SOUND_FILE 1021
#define IDC_BROWSE_SOUND 1022
#define IDC_SHOW_NOTICE 1051

// Settings page "General"
#define IDD_GENERAL_PAGE 133
#define IDC_INTERVAL 1008
#define IDC_EMAIL_CLIENT 1009
#define IDC_BROWSE_EMAIL_CLIENT 1010
#define IDC_SUMMARY_SIZE 1011
#define IDC_SUMMARIES 1013
#define IDC_CHECK_ON_STARTUP 1024
#define IDC_USE_DEFAULT_EMAIL 1031

// Update notice
#define IDD_AUTOUPDATE 150
#define IDC_UPDATE_LINK 1041

// Credits
#define IDD_CREDITS 161
#define IDC_CREDITS 1047

// Strings
#define IDP_SOCKETS_INIT_FAILED 103

// The default new-mail chime, also kept inside the program
#define IDR_GOTMAIL_WAVE 170
