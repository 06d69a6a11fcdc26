// Numeric identifiers of tilvane's resources, grouped by the menu or dialog they belong to.
// Kept by hand: the resource script and the C++ code both include this file.
#pragma once

// Context menu of the main window; its first popup is what right-click shows.
#define IDR_CONTEXT_MENU 105
#define IDM_SETTINGS 40003
#define IDM_EXIT 40008
#define IDM_SIZE_1500X750 40010
#define IDM_SIZE_FIT_SCREEN 40011
#define IDM_SIZE_1200X600 40012
#define IDM_SIZE_750X375 40013
#define IDM_FRAME_FIXED 40014
#define IDM_SIZE_900X525 40015
#define IDM_SIZE_640X480 40016
#define IDM_SIZE_320X240 40017
#define IDM_PIN_TILE 40018
#define IDM_SHOW_PINNED 40019
#define IDM_COPY_URL 40020
#define IDM_COPY_ORIGINAL_URL 40021
#define IDM_STACK_BOTTOM 40023
#define IDM_STACK_TOPMOST 40024
#define IDM_STACK_NORMAL 40025
#define IDM_HIDE_PICTURE 40026
#define IDM_HIDE_AUTHOR 40027
#define IDM_OPEN_POST 40028

// PIN dialog (first start without credentials).
#define IDD_PIN 101
#define IDC_PIN_EDIT 1001

// Enlarged view: a captionless dialog without controls.
#define IDD_ENLARGED_VIEW 103

// Settings dialog: the outer dialog with its tab control, and its pages.
#define IDD_SETTINGS 121
#define IDC_SETTINGS_TABS 1039
#define IDD_SETTINGS_GENERAL 106
#define IDC_KEYWORD_EDIT 1001
#define IDC_INTERVAL_15 1006
#define IDC_INTERVAL_25 1007
#define IDC_INTERVAL_35 1008
#define IDC_COUNT_10 1020
#define IDC_COUNT_20 1021
#define IDC_COUNT_30 1022
#define IDC_WARN_FEW_RESULTS 1033
#define IDD_SETTINGS_ENLARGED 123
#define IDC_ORIGINAL_IMAGES 1030
#define IDC_UPDATE_WHILE_ENLARGED 1031
#define IDC_ALLOW_SEVERAL 1032
#define IDC_ATTACH_MESSAGE 1034
// The "表示" page: the wall's own choices in txts/wall.txt, the shortcut, the lists.
#define IDD_SETTINGS_DISPLAY 130
#define IDC_TILE_FIT 1101
#define IDC_TILE_FILTER 1102
#define IDC_SIMILAR_SKIP 1103
#define IDC_RESTORE_WALL 1104
#define IDC_PAUSE_UNSEEN 1105
#define IDC_START_AT_LOGON 1106
#define IDC_SKIP_WORDS 1107
#define IDC_HIDDEN_LIST 1108
#define IDC_UNHIDE 1109
#define IDC_DORMANT_PINS 1110
#define IDC_DROP_DORMANT_PIN 1111

// The "取得元" page: where the pictures come from, in txts/service.txt.
#define IDD_SETTINGS_SOURCE 131
#define IDC_SOURCE_LIST 1121
#define IDC_SERVER_LABEL 1122
#define IDC_SERVER_URL 1123
#define IDC_ACCESS_TOKEN 1124
#define IDC_SHOW_SENSITIVE 1125
#define IDC_SOURCE_MEANING 1126

// The program's icon in Explorer (program.rc); the window class keeps the system's icon.
#define IDI_PROGRAM 1

// Frame marks, 150 × 150 at 8 bits per pixel.
#define IDB_SELECTION_MARK 115
#define IDB_PINNED_MARK 116
#define IDB_NEW_IMAGE_MARK 117
