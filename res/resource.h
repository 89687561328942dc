// Resource and control ids of the installer. One header for the .rc files and the C++ code.
// Named resources (dialogs, bitmaps, icons) are loaded by their names, which the .rc files give as
// identifiers: QuarnWin, QuarnBas, QuarnEarth, QUARNWIN, WEBLOADBOX, SetDriveBox, AboutBox.
#pragma once

// ---- String table ----
#define IDS_DRIVE_INVALID 1       // drive field does not start with a letter
#define IDS_DRIVE_NOT_READY 2     // drive cannot be made current (%s = "X:")
#define IDS_INSERT_DISC 4         // %s staging folder, %s expected label
#define IDS_WRONG_DISC 5          // as 4, asks to continue
#define IDS_CREATE_TARGET_ERR 6   // %s target path
#define IDS_COPY_READ_ERR 7       // %s source, %s target
#define IDS_COPY_WRITE_ERR 8      // %s source, %s target
#define IDS_OPEN_SOURCE_ERR 9     // %s source path
#define IDS_NO_MEMORY 11
#define IDS_BAD_TARGET_CODE 13    // %s the target code
#define IDS_REPLACE_FILE 14       // %s target path
#define IDS_FILE_IN_USE 15        // %s target path held by another program (Retry/Cancel)
#define IDS_MAKER_ADDRESS 20
#define IDS_MAKER_PHONE 21
#define IDS_MAKER_PHONE2 22
#define IDS_MAKER_EMAIL 23
#define IDS_MAKER_WEB 24
#define IDS_MAKER_YEARS 25
#define IDS_MAKER_RIGHTS 26
#define IDS_MAKER_NAME 27
#define IDS_WINDOWS_VERSION 28
#define IDS_CAPTION 29            // message-box caption and main window title
#define IDS_DOWNLOAD_TITLE 30     // options dialog title
#define IDS_PRODUCT_LINE 404
#define IDS_CANCELLED 624         // cancel button while the worker winds down
#define IDS_SET_EXPIRED 40        // %s the date the signed set was valid until (YYYY-MM-DD)
#define IDS_SET_FOREIGN 41        // %s what the set is signed for (folder, CadSystem or Version)
#define IDS_SET_WITHDRAWN 42      // %s the set's sequence number
#define IDS_HELP 43               // the /? box
#define IDS_CMD_UNKNOWN_SWITCH 44 // %s the switch as typed (this and the next eight: a bad command line)
#define IDS_CMD_MISSING_VALUE 45
#define IDS_CMD_UNEXPECTED_VALUE 46
#define IDS_CMD_BAD_DRIVE 47
#define IDS_CMD_UNKNOWN_PART 48
#define IDS_CMD_PART_NOT_OFFERED 49
#define IDS_CMD_REPEATED 50
#define IDS_CMD_TOO_LONG 51
#define IDS_CMD_CONFLICT 52       // no value: /UNINSTALL with installation switches
#define IDS_NOTHING_TO_UNINSTALL 53
#define IDS_UNINSTALL_QUESTION 54 // %s the system's name
#define IDS_UNINSTALL_DONE 55
#define IDS_UNINSTALL_DONE_KEPT 56 // followed by the kept files, one a line
#define IDS_UNINSTALL_LIST_CHANGED 57
#define IDS_RETRY 58              // %d attempt, %d attempts; the file follows
#define IDS_RETRY_WAIT 59         // %d attempt, %d attempts, %d seconds left; the file follows
#define IDS_NO_SPACE 60           // %s drive, %d MB needed, %d MB free
#define IDS_FILE_NOT_DOWNLOADED 61 // %s the file as the server names it
#define IDS_FILE_DAMAGED 62       // %s the file that failed its hash
#define IDS_SET_BAD_SIGNATURE 63

// ---- Main window ----
#define IDM_OPEN_OPTIONS 500      // posted by the main window to itself after creation

// ---- Options dialog (QUARNWIN) ----
#define IDC_DRIVE_EDIT 503
#define IDC_START_AFTER 508
#define IDC_CHOOSE_DRIVE 509
#define IDC_PART_SETUP 510
#define IDC_PART_SYSTEMS 511
#define IDC_PART_DRAWINGS 512
#define IDC_PART_BLOCKS 513
#define IDC_PART_PROJECTS 514
#define IDC_PART_DATAS 515
#define IDC_PART_HELP 516
#define IDC_PART_RESERVED 517     // no control; the command is ignored
#define IDC_HELP_BUTTON 518
#define IDC_INFO_BUTTON 519

// ---- Web installation dialog (WEBLOADBOX) ----
#define IDC_WEB_STATUS 508        // file being transferred
#define IDC_WEB_PERCENT 520
#define IDC_WEB_ACTIVITY 521
#define IDC_WEB_TITLE 3201
#define IDC_WEB_FRAME 3202        // animation frame; holds the no-connection message
#define IDC_WEB_PROGRESS 3206
#define IDC_WEB_ANIMATION 201     // SysAnimate32 created over the frame
#define IDM_WEB_START 401         // start the worker
#define IDM_WEB_SUCCESS 402       // worker succeeded: close with result 1
#define IDM_WEB_ABORT 403         // user refused a disc: act as Cancel

// ---- Animation clips (AVI) ----
#define IDR_CLIP_CONNECT 1001
#define IDR_CLIP_DOWNLOAD 1002
#define IDR_CLIP_INSTALL 1003

// ---- Drive chooser (SetDriveBox): the common dialog's own ids come from <dlgs.h> ----
