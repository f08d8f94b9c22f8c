/* Resource and control IDs shared by the resource script and the front-end. Plain
   preprocessor definitions: windres reads this file too. */
#pragma once

#define IDD_MAIN 101
#define IDI_APPLICATION_ICON 102

#define IDC_INDEX_PATH 1001
#define IDC_BROWSE 1002
#define IDC_OUTPUT_NAME 1003
#define IDC_TITLE 1004
#define IDC_STATUS 1005
#define IDC_OUTPUT 1006
#define IDC_HOMEPAGE 1007
#define IDC_VERSION 1008
#define IDC_PROGRESS 1009
