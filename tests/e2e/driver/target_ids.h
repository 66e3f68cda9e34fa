// Resource and control ids of driver-target, the stand-in program of the driver's tests.
#pragma once

#define IDD_TARGET 100
#define IDM_TARGET 101
#define IDA_TARGET 102

#define IDC_TARGET_LIST 1001
#define IDC_TARGET_EDIT 1002
#define IDC_TARGET_COMBO 1003
#define IDC_TARGET_FILL 1004
#define IDC_TARGET_ASK 1005
#define IDC_TARGET_OPEN 1006
#define IDC_TARGET_WEB 1007
#define IDC_TARGET_STATUS 1008
#define IDC_TARGET_LOCKED 1009

#define IDM_TARGET_NEW 2001
#define IDM_TARGET_REMOVE 2002
#define IDM_TARGET_PLAY 2003
#define IDM_TARGET_EXIT 2004
