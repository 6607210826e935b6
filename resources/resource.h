// Resource and control ids, shared by the .rc files and the code.
#pragma once

// Cursor and icon
#define IDC_PICKER_CURSOR     240

// LINK_DIALOG: status line, places, group boxes, edits and buttons
#define IDC_STATUS            200
#define IDC_PLACE_DESKTOP     401
#define IDC_PLACE_STARTUP     402
#define IDC_PLACE_STARTMENU   403
#define IDC_PLACE_PROGRAMS    404
#define IDC_PLACE_QUICKLAUNCH 405
#define IDC_PLACE_SENDTO      406
#define IDC_PLACE_C_DESKTOP   407
#define IDC_PLACE_C_STARTUP   408
#define IDC_PLACE_C_STARTMENU 409
#define IDC_PLACE_C_PROGRAMS  410
#define IDC_PLACE_USERFOLDER  411

#define IDC_TARGET            1000
#define IDC_GROUP_STARTMENU   1001
#define IDC_GROUP_PROGRAMS    1002
#define IDC_LINKNAME          1003
#define IDC_GROUP_C_STARTMENU 1004
#define IDC_GROUP_C_PROGRAMS  1005
#define IDC_DESCRIPTION       1006
#define IDC_SEARCH_AGAIN      1007
#define IDC_CHOOSE_FILE       1008
#define IDC_CHOOSE_FOLDER     1009
#define IDC_HELP_BUTTON       1010
#define IDC_DEADLINK_CHECK    1011
#define IDC_OPEN_APP_FOLDER   1012
#define IDC_ABOUT_BUTTON      1013
#define IDC_STOP              1014
#define IDC_USERFOLDER        1015
#define IDC_OPEN_USERFOLDER   1016
#define IDC_BROWSE_USERFOLDER 1017

// WARN_DIALOG
#define IDC_WARN_LINKPATH     1000
#define IDC_WARN_KEEPALL      8
#define IDC_WARN_DELETEALL    9

// ABOUTDLG
#define IDC_ABOUT_VERSION     200
#define IDC_ABOUT_MAIL        1014
#define IDC_ABOUT_URL         1015
