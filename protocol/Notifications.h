#pragma once
// Notifications of the packet manager to its owner (the main form).
// Answer notifications carry a pointer to their own copy of the answer in
// wParam: a const CPacket* for General answers, a const uint8_t[6] for
// Minimized ones. The channel's messages (1025, 1120, 1121) are in
// link/CommMessages.h; WM_COMM_PORT_LOST is forwarded to the owner as it is.
#include "link/CommMessages.h"
#include "platform/core/Messages.h"

constexpr UINT WM_PACKET_TRACE = 1026;     // sent: wParam const CPacket*, lParam 0 sent / 1 received
constexpr UINT WM_CHECKSUM_ERROR = 1030;   // wParam: 0 header or Minimized, 1 data

// General answers.
constexpr UINT WM_RX_CONNECT = 1034;
constexpr UINT WM_RX_SET_BAUDRATE = 1035;
constexpr UINT WM_RX_GET_VERSION = 1036;
constexpr UINT WM_RX_GET_VERSION_EX = 1037;
constexpr UINT WM_RX_GET_DEVICE_INFO = 1038;
constexpr UINT WM_RX_VERIFY = 1044;
constexpr UINT WM_RX_IDENTIFY = 1045;
constexpr UINT WM_RX_INSTANT_MATCH = 1046;
constexpr UINT WM_RX_GET_MINUTIAE = 1047;
constexpr UINT WM_RX_CANCEL = 1048;
constexpr UINT WM_RX_ENROLL = 1054;
constexpr UINT WM_RX_ENROLL2 = 1055;
constexpr UINT WM_RX_DELETE = 1057;
constexpr UINT WM_RX_DELETE_ALL = 1058;
constexpr UINT WM_RX_SET_MASTER = 1059;
constexpr UINT WM_RX_ENTER_MASTER = 1060;
constexpr UINT WM_RX_LEAVE_MASTER = 1061;
constexpr UINT WM_RX_SET_MASTER_PASSWORD = 1062;
constexpr UINT WM_RX_GET_FP_LIST = 1066;
constexpr UINT WM_RX_GET_MASTER_LIST = 1067;
constexpr UINT WM_RX_GET_LOG = 1068;
constexpr UINT WM_RX_READ_USER_DATA = 1069;
constexpr UINT WM_RX_WRITE_USER_DATA = 1070;
constexpr UINT WM_RX_ERASE_USER_DATA = 1071;
constexpr UINT WM_RX_DELETE_MASTER_PASSWORD = 1072;
constexpr UINT WM_RX_ENTER_MASTER_EX = 1073;
constexpr UINT WM_RX_GET_FP_LIST_EX = 1074;
constexpr UINT WM_RX_GET_MASTER_LIST_EX = 1075;
constexpr UINT WM_RX_GET_LOG_EX = 1076;
constexpr UINT WM_RX_ENROLL_EX = 1077;
constexpr UINT WM_RX_SET_OPP_OPTION = 1084;
constexpr UINT WM_RX_GET_OPP_OPTION = 1085;
constexpr UINT WM_RX_SET_SECURITY_LEVEL = 1086;
constexpr UINT WM_RX_GET_SECURITY_LEVEL = 1087;
constexpr UINT WM_RX_SET_LATENT_OPTION = 1088;
constexpr UINT WM_RX_GET_LATENT_OPTION = 1089;
constexpr UINT WM_RX_SET_DB_INIT_OPTION = 1090;
constexpr UINT WM_RX_GET_DB_INIT_OPTION = 1091;
constexpr UINT WM_RX_SET_LOG_OPTION = 1092;
constexpr UINT WM_RX_GET_LOG_OPTION = 1093;
constexpr UINT WM_RX_SET_CAPTURE_PERIOD = 1094;
constexpr UINT WM_RX_GET_CAPTURE_PERIOD = 1095;
constexpr UINT WM_RX_GET_IMAGE = 1104;
constexpr UINT WM_RX_UPGRADE = 1105;  // both CMD_UPGRADE_HEX and CMD_UPGRADE_BIN
constexpr UINT WM_RX_STATUS = 1106;
constexpr UINT WM_RX_GET_IMAGE2 = 1107;
constexpr UINT WM_RX_CHECK_VOLTAGE = 1115;

// Packet manager to itself: show a modal message box once the receive or
// timer handler has returned (payload: the text and icon).
constexpr UINT WM_PM_ALERT = 1122;
// A request could not be written whole (the device stopped taking bytes):
// wParam the bytes written, lParam the frame size.
constexpr UINT WM_WRITE_STALLED = 1123;
// Received bytes were dropped because the receive queue was full; wParam:
// bytes dropped since the port was opened.
constexpr UINT WM_RECEIVE_DROPPED = 1134;
// The packet manager gave up on a firmware record or chunk (no answer after
// the last re-send, or the file could no longer be read for a re-send): the
// upgrade is over. wParam: the command (CMD_UPGRADE_HEX or CMD_UPGRADE_BIN).
constexpr UINT WM_FW_TRANSFER_ENDED = 1135;

// Minimized answers.
constexpr UINT WM_RX_MINI_CONNECT = 1124;
constexpr UINT WM_RX_MINI_SET_BAUDRATE = 1125;
constexpr UINT WM_RX_MINI_IDENTIFY = 1126;
constexpr UINT WM_RX_MINI_CANCEL = 1127;
constexpr UINT WM_RX_MINI_DELETE = 1128;
constexpr UINT WM_RX_MINI_DELETE_ALL = 1129;
constexpr UINT WM_RX_MINI_ENTER_MASTER = 1130;
constexpr UINT WM_RX_MINI_LEAVE_MASTER = 1131;
constexpr UINT WM_RX_MINI_ENROLL = 1132;
constexpr UINT WM_RX_MINI_STATUS = 1133;
