// Resource ids shared by NuvraUpdater.rc and the code.
#pragma once

// Dialog templates
#define IDD_INSTALL   102
#define IDD_UNINSTALL 130
#define IDD_UPDATE    131

// Icon
#define IDI_NUVRA 129

// String table
#define IDS_SOCKETS_FAILED         103
#define IDS_MAKER_KEY              104
#define IDS_PRODUCT_KEY            105
#define IDS_INSTALL_ERROR          106
#define IDS_VALUE_SETUP_DIR        110
#define IDS_SOFTWARE_KEY           111
#define IDS_MAKER_NAME             112
#define IDS_VALUE_COMPONENT_COUNT  113
#define IDS_VALUE_COMPONENT_PREFIX 114
#define IDS_VALUE_COMPONENT_DIR    115
#define IDS_DOWNLOADING_FILES      116
#define IDS_FETCHING_COMPONENTS    117
#define IDS_PRODUCT_FOLDER         118
#define IDS_CHOOSE_FOLDER          119
#define IDS_DEFAULT_INSTALL_DIR    120
#define IDS_CREATING_FOLDERS       121
#define IDS_COPYING_FILES          122
#define IDS_COPYING                123
#define IDS_SETTING_REGISTRY       124
#define IDS_SETTING_COMPONENTS     125
#define IDS_INSTALL_DONE           126
#define IDS_PRODUCT_EXE            127
#define IDS_QUICK_LAUNCH           128
#define IDS_SHORTCUT_NAME          129
#define IDS_REMOVING_FOLDER        130
#define IDS_REMOVING_REGISTRY      131
#define IDS_REMOVING_ICONS         132
#define IDS_REMOVE_DONE            133
#define IDS_VALUE_TITLE            134
#define IDS_VALUE_VERSION          135
#define IDS_UPDATE_QUESTION        136
#define IDS_UPDATE_DONE            137
#define IDS_REMOVE_INCOMPLETE      139
#define IDS_REPAIR_DONE            140

// Install dialog controls
#define IDC_INSTALL_DIR    1002
#define IDC_CHANGE         1003
#define IDC_INSTALL        1004
#define IDC_CLOSE          1005
#define IDC_RUN_AFTER      1006
#define IDC_DESKTOP_ICON   1007
#define IDC_QUICK_LAUNCH   1008
#define IDC_START_MENU     1009
#define IDC_PROGRAMS_MENU  1010
#define IDC_PROGRESS_TOTAL 1045
#define IDC_PROGRESS_FILE  1046
#define IDC_STATUS_DETAIL  1048
#define IDC_STATUS_MAIN    1049

// Uninstall dialog controls (1 is the Close button, IDOK)
#define IDC_DELETE          1010
#define IDC_REMOVE_PROGRESS 1008
#define IDC_REMOVE_STATUS   1009

// Update dialog controls
#define IDC_UPDATE_PROGRESS 1045
#define IDC_UPDATE_STATUS   1049

// The release key the updater trusts (RCDATA): X then Y of the public key, 64 bytes, or the text
// below in a build without one. tools/nuvra_publish reads it from the updater a release ships.
#define IDR_RELEASE_KEY 300
#ifndef RC_INVOKED
constexpr char kUnsignedReleaseKeyText[] = "unsigned";
#endif
