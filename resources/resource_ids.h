// Resource and dialog item numbers, shared by the resource script and the code.
#pragma once

#define IDD_MAIN 110
#define IDB_LOGO 121
#define IDI_APP 123
#define IDR_FIRMWARE 146

#define IDC_CLOSE 2
#define IDC_UPDATE 1002
#define IDC_LABEL_BOOTLOADER 1005
#define IDC_HINT_LABEL 1006
#define IDC_HINT 40004
#define IDC_VERSION_GROUP 40007
#define IDC_LABEL_UNIT 40010
#define IDC_LABEL_ESC 40011
#define IDC_VERSION_UNIT 40013
#define IDC_VERSION_BOOTLOADER 40014
#define IDC_VERSION_ESC 40015
