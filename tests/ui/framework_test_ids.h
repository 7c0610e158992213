// Templates used only by the framework's own tests, numbered clear of the program's.
#pragma once

#define IDD_FW_FORM 9001
#define IDD_FW_PAGE_TEXT 9002
#define IDD_FW_PAGE_NUMBER 9003

#define IDC_FW_NAME 9101
#define IDC_FW_NUMBER 9102
#define IDC_FW_FLAG 9103
#define IDC_FW_LATER 9104
#define IDC_FW_PAGE_TEXT 9105
#define IDC_FW_PAGE_NUMBER 9106
