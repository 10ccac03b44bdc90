#pragma once
// Resource identifiers of the wizard: pages, dialogs, controls, artwork.

// Pages: the identifier is also the dialog template of the page.
#define IDD_WELCOME                151
#define IDD_BASIC_INFORMATION      102
#define IDD_PRE_INSTALLATION       133
#define IDD_LAUNCH_SETUP           130
#define IDD_POST_INSTALLATION      131
#define IDD_REVIEW_FILES           143
#define IDD_REVIEW_REGISTRY        144
#define IDD_CREATE_PROJECT         145
#define IDD_SHOW_PROJECT           146
#define IDD_BUILD_MSI              163
#define IDD_EXISTING_SNAPSHOT      134
#define IDD_ABOUTBOX               100

// Artwork and strings.
#define IDR_MAINFRAME              126
#define IDB_BANNER                 174
#define IDS_ABOUTBOX               101

// Tree icons (16 x 16): the folder and registry trees use 140, 141, 136, 139,
// 138, 137 in this order; the project trees 140, 141, 137, 166.
#define IDI_CD_DRIVE               136
#define IDI_FIXED_DRIVE            137
#define IDI_FLOPPY_DRIVE           138
#define IDI_REMOVABLE_DRIVE        139
#define IDI_CLOSED_FOLDER          140
#define IDI_OPEN_FOLDER            141
#define IDI_TREE_ITEM              166

// System-menu command of the About box.
#define IDM_ABOUTBOX               0x0010

// Controls shared by several pages.
#define IDC_DESCRIPTION            1126

// Welcome page.
#define IDC_BROWSER_PLACEHOLDER    1127
#define IDC_MORE_INFORMATION       1128

// Basic information page.
#define IDC_LOCATION_LABEL         1004
#define IDC_APPLICATION_LABEL      1005
#define IDC_COMPANY_LABEL          1006
#define IDC_VERSION_LABEL          1007
#define IDC_CREATE_PROJECT         1021
#define IDC_BUILD_PACKAGE          1022
#define IDC_MANDATORY_NOTE         1076
#define IDC_APPLICATION_NAME       1083
#define IDC_VERSION                1084
#define IDC_COMPANY_NAME           1085
#define IDC_LOCATION               1086
#define IDC_BROWSE                 1114
#define IDC_CHOICE_GROUP           1115

// Existing Snapshot page.
#define IDC_STATUS                 1129
#define IDC_CONTINUE               1130
#define IDC_START_OVER             1131

// About box.
#define IDC_ABOUT_VERSION          1140
#define IDC_ABOUT_YEAR             1141

// Capture pages: Pre Installation Snapshot (133), Launch Setup (130), Post
// Installation Snapshot (131) and the warning about a Windows Installer setup.
#define IDD_WARNING_MSI            185
#define IDC_SNAPSHOT_PROGRESS      1007
#define IDC_ADVANCED               1024
#define IDC_SNAPSHOT_DONE          1036
#define IDC_SNAPSHOT_STATUS        1037
#define IDC_FOLDERS_LABEL          1068
#define IDC_HIVES_LABEL            1070
#define IDC_FOLDER_TREE            1086
#define IDC_HIVE_TREE              1087
#define IDC_SNAPSHOT_DETAIL        1104
#define IDC_POST_STATUS            1105
#define IDC_POST_DETAIL            1106
#define IDC_POST_PROGRESS          1037
#define IDC_LAUNCH_SETUP           1128
#define IDC_DO_NOT_LAUNCH          1129
#define IDC_STILL_RUNNING          1170
#define IDC_STOP_WAITING           1171
#define IDC_LAUNCH_GROUP           1130
#define IDC_MSI_WARNING_TEXT       1155
#define IDT_CAPTURE_PROGRESS       1035

// The sheet's banner.
#define IDC_SHEET_BANNER           4000

// Sent by a browser to its page when a navigation completed (the user message base + 101).
#define WM_BANNER_NAVIGATED        (0x0400 + 101)

// Create Project File and MSI page (145) and its Shortcut dialog.
#define IDD_SHORTCUT               147
#define IDC_SELECT_SHORTCUT        1099
#define IDC_EXECUTABLE_COMBO       5192
#define IDC_SHORTCUT_LIST          1138
#define IDC_PROJECT_STATUS         1055
#define IDC_PROJECT_DETAIL         1070
#define IDC_PROJECT_PROGRESS       1037
#define IDC_TARGET_PATH            1083
#define IDC_PROJECT_FILE_NAME      1032
#define IDC_MSI_NAME               1033
#define IDC_BUILD_MSI_CHECK        1152
#define IDC_TARGET_PATH_LABEL      1034
#define IDC_PROJECT_FILE_LABEL     1035
#define IDC_MSI_NAME_LABEL         1036
#define IDC_SHORTCUT_NAME          1139
#define IDC_ICON_SOURCE            1140
#define IDC_ICON_BROWSE            1145
#define IDC_ICON_PREVIEW           1138
#define IDC_ICON_LIST              1141
#define IDC_SHORTCUT_DESKTOP       1142
#define IDC_SHORTCUT_PROGRAM_MENU  1143
#define IDC_SHORTCUT_QUICK_LAUNCH  1144

// Package Content Review pages (143, 144).
#define IDC_INCLUDED_TREE              1047
#define IDC_EXCLUDED_FILE_TREE         1048
#define IDC_EXCLUDED_REGISTRY_TREE     1154
#define IDC_EXCLUDE                    1049
#define IDC_INCLUDE                    1050
#define IDC_EXCLUDE_DESCRIPTION_LABEL  1052
#define IDC_EXCLUDE_DESCRIPTION        1083
#define IDC_INCLUDED_LABEL             1092
#define IDC_EXCLUDED_LABEL             1085

// Build MSI page (163).
#define IDC_BUILD_SHORTCUT_LIST    1150
#define IDC_BUILD_STATUS           1055
#define IDC_BUILD_DETAIL           1112
// The capture report's line and button on the last pages.
#define IDC_REPORT_TEXT            1202
#define IDC_OPEN_REPORT            1203
#define IDC_BUILD_PROGRESS         1037
#define IDC_BUILD_TARGET_PATH      1119
#define IDC_BUILD_MSI_NAME         1120
#define IDC_BUILD_TARGET_LABEL     1121
#define IDC_BUILD_MSI_LABEL        1122

// Project File Content Review page (146).
#define IDC_SHOW_FILE_TREE         1086
#define IDC_SHOW_REGISTRY_TREE     1087
#define IDC_SHOW_FILES_LABEL       1084
#define IDC_SHOW_REGISTRY_LABEL    1085
#define IDC_SHOW_FILES_SUMMARY     1137
#define IDC_SHOW_REGISTRY_SUMMARY  1136
#define IDC_SHOW_MISSING_FILES     1059
#define IDC_SHOW_MISSING_REGISTRIES 1060
#define IDC_UPDATE_FILES           1073
#define IDC_RESCAN_REGISTRY        1074
#define IDC_IGNORE_MISSING         1134
#define IDC_CHOSEN_FOLDER          1061

// Selection trees: the "Browse for Registry" dialog and the advanced
// include/exclude sheet with its "Included Items" (165) and "Excluded Items"
// (164) pages.
#define IDD_BROWSE_REGISTRY        177
#define IDC_BROWSE_REGISTRY_TREE   1153
#define IDD_ADVANCE_INCLUDE        165
#define IDD_ADVANCE_EXCLUDE        164
#define IDC_ADVANCE_FOLDER_LABEL   1039
#define IDC_ADVANCE_REGISTRY_LABEL 1038
#define IDC_INCLUDE_FOLDER_TREE    1034
#define IDC_INCLUDE_REGISTRY_TREE  1033
#define IDC_INCLUDE_WAIT           1132
#define IDC_SET_AS_DEFAULT         1014
#define IDC_EXCLUDE_FOLDER_TREE    1109
#define IDC_EXCLUDE_REGISTRY_TREE  1111
#define IDC_EXCLUDE_WAIT           1133
#define IDC_SELECTION_RECORD       1113
#define IDC_ADVANCE_DESCRIPTION    1083
#define IDC_ADVANCE_DESCRIPTION_LABEL 1051
#define IDC_ADD_TO_EXCLUDE         1050
#define IDT_ADVANCE_LOADER         1201
