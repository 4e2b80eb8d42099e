#pragma once
// Resource numbers of the main window, shared by the form, its flows and the
// tool windows: form 101 with its control IDs, menu bar 128 with its command
// numbers, board types, protocol variants and layouts.

// Templates.
constexpr int IDR_MAINFRAME = 128;      // menu bar
constexpr int IDD_PRAVIK_FORM = 101;    // main form
constexpr int IDD_SERIAL_COMM = 144;    // Serial Communication dialog

// Main form controls.
constexpr int IDC_PICTURE = 1000;          // fingerprint image area
constexpr int IDC_ENTER_MASTER = 1001;     // ENTER MASTER / LEAVE MASTER
constexpr int IDC_ENROLL = 1003;
constexpr int IDC_DELETE = 1004;
constexpr int IDC_VERIFY = 1005;
constexpr int IDC_IDENTIFY = 1006;
constexpr int IDC_INSTANT_MATCHING = 1007;
constexpr int IDC_GET_MINUTIAE = 1008;
constexpr int IDC_PORT_LABEL = 1010;       // "Serial Port: ..."
constexpr int IDC_BAUD_LABEL = 1012;       // "Baud Rate: ...bps"
constexpr int IDC_PROTOCOL_LABEL = 1013;   // "Protocol: ..."
constexpr int IDC_CAPTURE = 1015;
constexpr int IDC_CONNECT = 1016;          // CONNECT / DISCONNECT
constexpr int IDC_FAIL_COUNT = 1017;
constexpr int IDC_CONTINUOUS = 1018;       // "Continuous Capture" check box
constexpr int IDC_COUNT_LABEL = 1021;      // "Fingerprint Count: ..."
constexpr int IDC_FIRMWARE_LABEL = 1022;   // "Firmware Version: ..."
constexpr int IDC_MODULE_LABEL = 1023;     // "Module Type: ..."
constexpr int IDC_CANCEL = 1056;
constexpr int IDC_POWER = 1060;            // POWER OFF / POWER ON
constexpr int IDC_START = 1065;            // START / STOP of the capture loop
constexpr int IDC_STATUS_LINE = 1067;
constexpr int IDC_STATUS = 1072;           // device status (boards other than ZEL12)
constexpr int IDC_SUCCESS_COUNT = 1078;

// Serial Communication dialog controls.
constexpr int IDC_BAUD_COMBO = 1038;
constexpr int IDC_PORT_COMBO = 1039;
constexpr int IDC_SET_BAUD_RATE = 1052;
constexpr int IDC_SET_COM_PORT = 1053;

// Menu commands.
constexpr int ID_FILE_OPEN_IMAGE = 32780;
constexpr int ID_FILE_SAVE_IMAGE = 32782;
constexpr int ID_FILE_SAVE_TRACE = 32796;
constexpr int ID_FILE_SERIAL_COMM = 32785;
constexpr int ID_BOARD_ZEL12 = 32790;
constexpr int ID_BOARD_PELL = 32793;
constexpr int ID_BOARD_QOR10_HV = 32791;
constexpr int ID_BOARD_QOR10_LV = 32792;
constexpr int ID_PROTOCOL_GENERAL = 32794;
constexpr int ID_PROTOCOL_MINIMIZED = 32795;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_VIEW_PACKET_TRACE = 32773;
constexpr int ID_VIEW_SYSTEM_INFO = 32771;
constexpr int ID_VIEW_DB_MANAGER = 32774;
constexpr int ID_VIEW_LOG_DATA = 32775;
constexpr int ID_VIEW_USER_DATA = 32776;
constexpr int ID_TOOLS_UPGRADE_FIRMWARE = 32772;
constexpr int ID_TOOLS_BOARD_PASSWORD = 1029;
constexpr int ID_TOOLS_CHECK_VOLTAGE = 32784;
constexpr int ID_TOOLS_BATTERY_TEST = 32787;
constexpr int ID_APP_ABOUT = 57664;

// Menus by position on the bar.
constexpr int MENU_POS_FILE = 0;
constexpr int MENU_POS_VIEW = 1;
constexpr int MENU_POS_TOOLS = 2;
constexpr int MENU_POS_HELP = 3;

// Board types and protocol variants.
constexpr int BOARD_ZEL12 = 0;
constexpr int BOARD_PELL = 1;
constexpr int BOARD_QOR10_HV = 2;
constexpr int BOARD_QOR10_LV = 3;
constexpr int PROTOCOL_GENERAL = 0;
constexpr int PROTOCOL_MINIMIZED = 1;

// Layouts of the main form (m_nLayout).
constexpr int LAYOUT_DISCONNECTED = 0;
constexpr int LAYOUT_CONNECTED = 1;
constexpr int LAYOUT_MASTER = 2;
