// Resource ids of the executable.
#pragma once

#define IDD_SETUP           101
#define IDI_APPLICATION_ICON 102
#define IDC_RESOLUTION      1001
#define IDC_WINDOWSTYLE     1006
#define IDC_TITLE           1007
