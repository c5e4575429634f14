// Resource and control ids of Tessaly.exe, shared by the resource script and the pages.
#pragma once

// Icon and dialog templates.
#define IDI_TESSALY 128
#define IDD_ABOUT 100
#define IDD_START 129
#define IDD_PREFERENCES 139

// Buttons shared by the pages: Next and Back are also the wizard's end codes.
#define IDC_NEXT 1002
#define IDC_BACK 1003

// Start page.
#define IDC_START_DESCRIPTION 1003
#define IDC_WIZARD_DUPLICATES 1004
#define IDC_WIZARD_PRODUCTS 1005
#define IDC_WIZARD_LIBRARIES 1007
#define IDC_WIZARD_RELOCATE 1008
#define IDC_WIZARD_THUMBNAILS 1009

// Preferences.
#define IDC_BROWSE_HOST32 1052
#define IDC_BROWSE_HOST64 1053
#define IDC_HOST32 1080
#define IDC_HOST64 1081
#define IDC_RESTORE_ORIGINAL 1082
#define IDC_BACKUP_DATE 1083

// About box.
#define IDC_ABOUT_COPYRIGHT 1077
#define IDC_ABOUT_VERSION 1078
#define IDC_ABOUT_LINK 1079

// Skin theme (RCDATA).
#define IDR_SKIN_NORMALBLACK "NORMALBLACK.INI"
