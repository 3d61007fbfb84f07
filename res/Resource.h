// Resource ids: templates, commands, controls and strings, shared by app/, view/ and the
// framework backends.
#pragma once

// Document template (menu, accelerators, icon, title string) and the command bar bitmap.
constexpr int IDR_MAINFRAME = 128;

// Dialog templates.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_OPTION_VIEW = 130;
constexpr int IDD_OPTION_EXTRACT = 131;
constexpr int IDD_OPTION_FOLDER = 132;
constexpr int IDD_COMMAND_LINE = 135;
constexpr int IDD_OPTION_COMPRESS = 136;
constexpr int IDD_ARCHIVE_BAR = 138;
constexpr int IDD_PASSWORD = 139;
constexpr int IDD_EXTRACT_DEST = 141;
constexpr int IDD_PROGRESS = 142;

// Commands.
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
// The File menu's recent archives: ID_FILE_MRU_FILE1 and the ids after it.
constexpr int ID_FILE_MRU_FILE1 = 57616;
constexpr int ID_OPTION_SETTINGS = 32771;
constexpr int ID_ARCHIVE_ADD = 32772;
constexpr int ID_ARCHIVE_TEST = 32774;
constexpr int ID_ARCHIVE_CLOSE = 32775;
constexpr int ID_ARCHIVE_DELETE = 32776;
constexpr int ID_EXTRACT_SELECTED = 32777;
constexpr int ID_EXTRACT_ALL = 32778;
constexpr int ID_ARCHIVE_COMMAND_LINE = 32779;
// Keys of the list: select every row, open the selected member in place.
constexpr int ID_EDIT_SELECT_ALL = 57642;
constexpr int ID_OPEN_MEMBER = 32780;
constexpr int ID_ARCHIVE_ADD_FOLDER = 32781;

// Controls.
constexpr int IDC_CREATE_FOLDER = 1001;
constexpr int IDC_USE_FOLDER = 1002;
constexpr int IDC_TEXT = 1025; // the edit field of several templates
constexpr int IDC_COMMAND = 1027;
constexpr int IDC_PROGRESS = 1030;
constexpr int IDC_BYTES = 1031;        // the progress dialog's bytes of the member in progress
constexpr int IDC_ARCHIVE_BAR = 59393; // 0xE801: the archive-name bar in the frame
