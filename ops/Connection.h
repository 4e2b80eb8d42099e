#pragma once
// How a connection to the module is found and what it learns, shared by the
// console's CONNECT and the command-line program: the time-outs and pauses
// of the baud-rate search, the order of the rates, and the firmware levels
// that choose between the old and new forms of commands.
#include <cstdint>

constexpr unsigned CONNECT_TIMEOUT_MS = 2000;      // per connection attempt
constexpr unsigned DEVICE_INFO_TIMEOUT_MS = 1500;  // for the device-information answer
constexpr unsigned CONNECT_PAUSE_MS = 200;         // before a retry and before CMD_GET_VERSION
// Rates tried after the first one, by search position 1..BAUD_SCAN_LAST.
constexpr int BAUD_SCAN_LAST = 5;
inline int ScanRate(int position) {
    static const int rates[BAUD_SCAN_LAST] = {9600, 19200, 38400, 57600, 115200};
    return rates[position - 1];
}

// Board types (the device-information answer's m_Param2) and their names.
constexpr int BOARD_TYPE_COUNT = 4;
inline const char* BoardName(int type) {
    static const char* const names[BOARD_TYPE_COUNT] = {"ZEL12", "Pell", "QOR10-HV", "QOR10-LV"};
    return type >= 0 && type < BOARD_TYPE_COUNT ? names[type] : "";
}

// The firmware level: the version of a ZEL12 (CMD_GET_VERSION), or 0x103
// plus the extended version's result on the other boards. From this level on
// the newer request forms are used: CMD_ENTER_MASTER_EX (every board but
// the ZEL12 uses it anyway) and the list commands 48/49.
constexpr std::int32_t FIRMWARE_LEVEL_EXTENDED = 0x103;
constexpr std::int32_t ENTER_MASTER_EX_LEVEL = FIRMWARE_LEVEL_EXTENDED;
constexpr std::int32_t FIRMWARE_LEVEL_LIST_EX = FIRMWARE_LEVEL_EXTENDED;
