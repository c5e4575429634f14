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

// Locate-file-database page.
#define IDD_FILE_DATABASE 130
#define IDC_FILE_DATABASE_PATH 1065
#define IDC_FILE_DATABASE_BROWSE 1066

// Plugin folders page.
#define IDD_OS_PLATFORM 131
#define IDC_RUNNING_WINDOWS 1010
#define IDC_PLATFORM_32 1011
#define IDC_PLATFORM_64 1012
#define IDC_PLUGIN_FOLDERS 1013
#define IDC_ADD_FOLDER 1014
#define IDC_REMOVE_FOLDER 1015
#define IDC_OPEN_FOLDER 1016

// Duplicate finder page.
#define IDD_DUPE_FINDER 132
#define IDC_SEARCH_STATUS 1017
#define IDC_SEARCH_FILE 1018
#define IDC_DUPLICATE_NAMES 1019
#define IDC_DUPLICATE_DELETE 1021
#define IDC_DUPLICATE_BROWSE 1022
#define IDC_UNEXPECTED_NAMES 1023
#define IDC_UNEXPECTED_DELETE 1024
#define IDC_UNEXPECTED_BROWSE 1025
#define IDC_UNEXPECTED_FILES 1026
#define IDC_DUPLICATE_FILES 1028
#define IDC_DUPLICATE_LAUNCH 1052
#define IDC_SHOW_DUPLICATES 1067
#define IDC_SHOW_SINGLES 1068

// Change-folder dialog (opened from the product manager's Options buttons).
#define IDD_CHANGE_FOLDER 134
#define IDC_SELECT_ANOTHER_FOLDER 1047
#define IDC_USE_FOR_PRODUCT 1048
#define IDC_USE_FOR_ALL 1049
#define IDC_FOLDER_LIST 1050
#define IDC_FOLDER_PROMPT 1051
#define IDC_OPEN_SELECTED_FOLDER 1052
#define IDC_RELOCATE_PRODUCTS 1055

// Relocate-products dialog (opened from the change-folder dialog).
#define IDD_RELOCATE_PRODUCTS 135
#define IDC_BROWSE_NEW_PARENT 1052
#define IDC_RELOCATE 1055
#define IDC_RELOCATE_EXPLANATION 1056
#define IDC_NEW_PARENT 1057
#define IDC_NEW_PARENT_LABEL 1058
#define IDC_OLD_PARENT_LABEL 1059
#define IDC_OLD_PARENT 1060
