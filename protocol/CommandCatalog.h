#pragma once
// The command catalogue: every command of the device protocol, listed once.
//
// Each row gives the command's name (for the trace and the command-line
// program), its code, how its request is guarded against a lost answer (the
// time-out of one send; ten sends in all; firmware pieces are also sent
// again when the module refuses their checksum), how an answer names the
// request it answers (the piece, record or chunk number it carries), what
// the answer's first parameter holds, and the layout of the request's and
// the answer's data areas. The enum of command codes, the lookup used by the
// module client, the trace's names and the data decoders are all made from
// these two lists.
//
// Adding a command: one row here (and a request builder in Requests.h when
// its request carries more than two numbers), one handler in the flow that
// sends it.
#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------- columns

// How an answer names the request it answers. An answer that names another
// request than the one waiting for it is stale: it is dropped.
enum EAnswerKey : std::uint8_t {
    KEY_COMMAND,       // the command alone
    KEY_IMAGE_PIECE,   // CMD_GET_IMAGE: m_Param2 is the piece (a time-out answer names none)
    KEY_IMAGE2_PIECE,  // CMD_GET_IMAGE2: bits 8-15 of m_Param2 on success
    KEY_HEX_RECORD,    // CMD_UPGRADE_HEX: result 0 carries the next record's number
    KEY_BIN_CHUNK,     // CMD_UPGRADE_BIN: bits 8 and up of m_Param2 on success
};

// What m_Param1 of a General answer holds.
enum EAnswerParam1 : std::uint8_t {
    P1_RESULT,   // a result code (RES_*)
    P1_VERSION,  // the firmware version (CMD_GET_VERSION)
    P1_BLOCK,    // the log block number (CMD_GET_LOG)
};

// Layout of a data area, for the trace's decoder.
enum EDataLayout : std::uint8_t {
    DATA_NONE,
    DATA_ID,            // an ID field
    DATA_ID_PASSWORD,   // an ID field, then a password field
    DATA_PASSWORD,      // a password field
    DATA_VERIFY,        // CMD_VERIFY: ID, and a password when m_Param1 is 1
    DATA_AUTH,          // enter master mode: by the authentication type
    DATA_ENROLL_EX,     // CMD_ENROLL_EX: ID and password in step 0
    DATA_MINUTIAE,      // 400 bytes of minutiae
    DATA_USER_DATA,     // user-data bytes
    DATA_HEX_RECORD,    // upper address, load address, length, record bytes
    DATA_BIN_CHUNK,     // file size, then 2048 file bytes
    DATA_ID_TEXT,       // the identified ID as text
    DATA_FP_LIST,       // ID records (older form)
    DATA_FP_LIST_EX,    // count and capacity, then ID records
    DATA_LOG,           // 28-byte log records
    DATA_LOG_EX,        // record count, then 28-byte log records
    DATA_IMAGE,         // image bytes
};

// Time-outs of the guarded requests, in milliseconds (0: not guarded; the
// exchange waits until it is answered, abandoned or the link closes).
constexpr unsigned GUARD_NONE = 0;
constexpr unsigned TIMEOUT_GET_LOG = 80000;
constexpr unsigned TIMEOUT_GET_IMAGE = 4000;
constexpr unsigned TIMEOUT_UPGRADE = 5000;  // HEX records and BIN chunks
constexpr unsigned TIMEOUT_GET_IMAGE2 = 3000;
constexpr unsigned TIMEOUT_CHECK_VOLTAGE = 1000;
// A guarded request is sent at most this many times, every send counted
// (time-outs and, for firmware pieces, refused checksums alike).
constexpr int MAX_SENDS = 10;

// ---------------------------------------------------------------- the rows

// General commands:
//   X(name, code, time-out, re-sent when the module refuses its checksum,
//     a control command (sent even while another flow owns the link: it
//     starts nothing of its own), answer key, what m_Param1 of the answer
//     holds, request data, answer data)
#define PRAVIK_GENERAL_COMMANDS(X)                                                                             \
    X(CONNECT,                0x01, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_BAUDRATE,           0x02, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_VERSION,            0x03, GUARD_NONE,            false, false, KEY_COMMAND,      P1_VERSION, DATA_NONE,        DATA_NONE)        \
    X(GET_VERSION_EX,         0x04, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_DEVICE_INFO,        0x05, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(VERIFY,                 0x11, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_VERIFY,      DATA_NONE)        \
    X(IDENTIFY,               0x12, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_ID_TEXT)     \
    X(INSTANT_MATCH,          0x15, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_MINUTIAE,    DATA_NONE)        \
    X(GET_MINUTIAE,           0x16, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_MINUTIAE)    \
    X(CANCEL,                 0x17, GUARD_NONE,            false, true,  KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(ENROLL,                 0x20, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_ID,          DATA_NONE)        \
    X(ENROLL2,                0x21, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(DELETE,                 0x22, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_ID,          DATA_NONE)        \
    X(DELETE_ALL,             0x23, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_MASTER,             0x24, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_ID,          DATA_NONE)        \
    X(ENTER_MASTER,           0x25, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_AUTH,        DATA_NONE)        \
    X(LEAVE_MASTER,           0x26, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_MASTER_PASSWORD,    0x27, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_PASSWORD,    DATA_NONE)        \
    X(GET_FP_LIST,            0x28, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_FP_LIST)     \
    X(GET_MASTER_LIST,        0x29, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_FP_LIST)     \
    X(GET_LOG,                0x2A, TIMEOUT_GET_LOG,       false, false, KEY_COMMAND,      P1_BLOCK,   DATA_NONE,        DATA_LOG)         \
    X(READ_USER_DATA,         0x2B, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_USER_DATA)   \
    X(WRITE_USER_DATA,        0x2C, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_USER_DATA,   DATA_NONE)        \
    X(ERASE_USER_DATA,        0x2D, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(DELETE_MASTER_PASSWORD, 0x2E, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(ENTER_MASTER_EX,        0x2F, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_AUTH,        DATA_NONE)        \
    X(GET_FP_LIST_EX,         0x30, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_FP_LIST_EX)  \
    X(GET_MASTER_LIST_EX,     0x31, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_FP_LIST_EX)  \
    X(GET_LOG_EX,             0x32, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_LOG_EX)      \
    X(ENROLL_EX,              0x33, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_ENROLL_EX,   DATA_NONE)        \
    X(SET_OPP_OPTION,         0x40, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_OPP_OPTION,         0x41, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_SECURITY_LEVEL,     0x42, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_SECURITY_LEVEL,     0x43, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_LATENT_OPTION,      0x44, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_LATENT_OPTION,      0x45, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_DB_INIT_OPTION,     0x46, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_DB_INIT_OPTION,     0x47, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_LOG_OPTION,         0x48, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_LOG_OPTION,         0x49, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(SET_CAPTURE_PERIOD,     0x4A, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_CAPTURE_PERIOD,     0x4B, GUARD_NONE,            false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_IMAGE,              0x60, TIMEOUT_GET_IMAGE,     false, false, KEY_IMAGE_PIECE,  P1_RESULT,  DATA_NONE,        DATA_IMAGE)       \
    X(UPGRADE_HEX,            0x61, TIMEOUT_UPGRADE,       true,  false, KEY_HEX_RECORD,   P1_RESULT,  DATA_HEX_RECORD,  DATA_NONE)        \
    X(STATUS,                 0x62, GUARD_NONE,            false, true,  KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)        \
    X(GET_IMAGE2,             0x63, TIMEOUT_GET_IMAGE2,    false, false, KEY_IMAGE2_PIECE, P1_RESULT,  DATA_NONE,        DATA_IMAGE)       \
    X(UPGRADE_BIN,            0x64, TIMEOUT_UPGRADE,       true,  false, KEY_BIN_CHUNK,    P1_RESULT,  DATA_BIN_CHUNK,   DATA_NONE)        \
    X(CHECK_VOLTAGE,          0x70, TIMEOUT_CHECK_VOLTAGE, false, false, KEY_COMMAND,      P1_RESULT,  DATA_NONE,        DATA_NONE)

// Minimized commands (byte 2 of the six-byte frame; never guarded, never
// keyed): X(name, code, a control command)
#define PRAVIK_MINI_COMMANDS(X) \
    X(CONNECT,      0x01, false)    \
    X(SET_BAUDRATE, 0x02, false)    \
    X(IDENTIFY,     0x12, false)    \
    X(CANCEL,       0x17, true)     \
    X(DELETE,       0x22, false)    \
    X(DELETE_ALL,   0x23, false)    \
    X(LEAVE_MASTER, 0x26, false)    \
    X(ENTER_MASTER, 0x2F, false)    \
    X(ENROLL,       0x33, false)    \
    X(STATUS,       0x62, true)

// Result codes (m_Param1 of a General answer, byte 3 of a Minimized answer):
//   X(name, code)
#define PRAVIK_RESULTS(X)      \
    X(SUCCESS,         1)      \
    X(FAIL,            2)      \
    X(NO_MASTER_MODE,  3)      \
    X(USED_ID,         4)      \
    X(INVALID_ID,      5)      \
    X(DB_FULL,         6)      \
    X(TIMEOUT,         7)      \
    X(INVALID_PARAM,   9)      \
    X(MASTER_FULL,     10)     \
    X(CONNECT_FAIL,    12)     \
    X(CANCELED,        13)     \
    X(ANOTHER_FINGER,  14)     \
    X(IDLE,            16)

// ---------------------------------------------------------------- made from the rows

#define PRAVIK_GENERAL_CODE(name, code, ...) CMD_##name = code,
enum : std::uint32_t { PRAVIK_GENERAL_COMMANDS(PRAVIK_GENERAL_CODE) };
#undef PRAVIK_GENERAL_CODE

#define PRAVIK_MINI_CODE(name, code, control) MINI_##name = code,
enum : std::uint8_t { PRAVIK_MINI_COMMANDS(PRAVIK_MINI_CODE) };
#undef PRAVIK_MINI_CODE

#define PRAVIK_RESULT_CODE(name, code) RES_##name = code,
enum : std::int32_t { PRAVIK_RESULTS(PRAVIK_RESULT_CODE) };
#undef PRAVIK_RESULT_CODE

enum class EFrameForm : std::uint8_t { General, Minimized };

struct SCommandInfo {
    EFrameForm form;
    std::uint32_t code;
    const char* name;            // "GET_IMAGE"
    unsigned timeoutMs;          // GUARD_NONE or the time-out of one send
    bool resendOnRefusal;        // sent again when the module refuses its checksum
    bool control;                // may be sent while another flow owns the link
    EAnswerKey key;
    EAnswerParam1 param1;
    EDataLayout requestData;
    EDataLayout answerData;

    bool IsGuarded() const { return timeoutMs != GUARD_NONE; }
};

// The row of a command, nullptr when the catalogue has none.
const SCommandInfo* FindCommand(EFrameForm form, std::uint32_t code);
// Every row, General commands first.
const SCommandInfo* CommandRows(std::size_t* count);
// The name of a result code ("SUCCESS"), nullptr when it has none.
const char* ResultName(std::int32_t code);

// ---------------------------------------------------------------- other protocol constants

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
