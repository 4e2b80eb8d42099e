#pragma once
// Command codes, result codes and the error code of the device protocol.
#include <cstdint>

// General command codes (m_Command).
enum : std::uint32_t {
    CMD_CONNECT = 1,
    CMD_SET_BAUDRATE = 2,
    CMD_GET_VERSION = 3,
    CMD_GET_VERSION_EX = 4,
    CMD_GET_DEVICE_INFO = 5,
    CMD_VERIFY = 17,
    CMD_IDENTIFY = 18,
    CMD_INSTANT_MATCH = 21,
    CMD_GET_MINUTIAE = 22,
    CMD_CANCEL = 23,
    CMD_ENROLL = 32,
    CMD_ENROLL2 = 33,
    CMD_DELETE = 34,
    CMD_DELETE_ALL = 35,
    CMD_SET_MASTER = 36,
    CMD_ENTER_MASTER = 37,
    CMD_LEAVE_MASTER = 38,
    CMD_SET_MASTER_PASSWORD = 39,
    CMD_GET_FP_LIST = 40,
    CMD_GET_MASTER_LIST = 41,
    CMD_GET_LOG = 42,
    CMD_READ_USER_DATA = 43,
    CMD_WRITE_USER_DATA = 44,
    CMD_ERASE_USER_DATA = 45,
    CMD_DELETE_MASTER_PASSWORD = 46,
    CMD_ENTER_MASTER_EX = 47,
    CMD_GET_FP_LIST_EX = 48,
    CMD_GET_MASTER_LIST_EX = 49,
    CMD_GET_LOG_EX = 50,
    CMD_ENROLL_EX = 51,
    CMD_SET_OPP_OPTION = 64,
    CMD_GET_OPP_OPTION = 65,
    CMD_SET_SECURITY_LEVEL = 66,
    CMD_GET_SECURITY_LEVEL = 67,
    CMD_SET_LATENT_OPTION = 68,
    CMD_GET_LATENT_OPTION = 69,
    CMD_SET_DB_INIT_OPTION = 70,
    CMD_GET_DB_INIT_OPTION = 71,
    CMD_SET_LOG_OPTION = 72,
    CMD_GET_LOG_OPTION = 73,
    CMD_SET_CAPTURE_PERIOD = 74,
    CMD_GET_CAPTURE_PERIOD = 75,
    CMD_GET_IMAGE = 96,
    CMD_UPGRADE_HEX = 97,
    CMD_STATUS = 98,
    CMD_GET_IMAGE2 = 99,
    CMD_UPGRADE_BIN = 100,
    CMD_CHECK_VOLTAGE = 112,
};

// Minimized command bytes (byte 2 of a six-byte frame).
enum : std::uint8_t {
    MINI_CONNECT = 0x01,
    MINI_SET_BAUDRATE = 0x02,
    MINI_IDENTIFY = 0x12,
    MINI_CANCEL = 0x17,
    MINI_DELETE = 0x22,
    MINI_DELETE_ALL = 0x23,
    MINI_LEAVE_MASTER = 0x26,
    MINI_ENTER_MASTER = 0x2F,
    MINI_ENROLL = 0x33,
    MINI_STATUS = 0x62,
};

// Result codes (m_Param1 of a General answer, byte 3 of a Minimized answer).
enum : std::int32_t {
    RES_SUCCESS = 1,
    RES_FAIL = 2,
    RES_NO_MASTER_MODE = 3,
    RES_USED_ID = 4,
    RES_INVALID_ID = 5,
    RES_DB_FULL = 6,
    RES_TIMEOUT = 7,
    RES_INVALID_PARAM = 9,
    RES_MASTER_FULL = 10,
    RES_CONNECT_FAIL = 12,
    RES_CANCELED = 13,
    RES_ANOTHER_FINGER = 14,
    RES_IDLE = 16,
};

// m_ErrCode of an answer: the module rejected the request's checksum.
constexpr std::uint32_t ERR_CHECKSUM = 2;
// m_ErrCode of the device-information answer from modules that do not know it.
constexpr std::uint32_t ERR_UNKNOWN_COMMAND = 5;

// Text fields in request data.
constexpr int ID_FIELD_SIZE = 10;        // at most 9 characters and a zero byte
constexpr int PASSWORD_FIELD_SIZE = 16;  // at most 15 characters and a zero byte
constexpr int MINUTIAE_SIZE = 400;

// Baud-rate index of CMD_SET_BAUDRATE and the Minimized set-baud-rate frame:
// 0 = 115200, 1 = 57600, 2 = 38400, 3 = 19200, anything else 9600.
inline int BaudRateFromIndex(int index) {
    switch (index) {
        case 0: return 115200;
        case 1: return 57600;
        case 2: return 38400;
        case 3: return 19200;
        default: return 9600;
    }
}
inline int BaudIndexFromRate(int rate) {
    switch (rate) {
        case 115200: return 0;
        case 57600: return 1;
        case 38400: return 2;
        case 19200: return 3;
        default: return 4;
    }
}
