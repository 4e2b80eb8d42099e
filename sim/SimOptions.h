#pragma once
// Start-up settings of the simulated fingerprint module and the fixed
// properties of the module it plays.
#include <cstddef>
#include <cstdint>
#include <string>

// Database and memory sizes.
constexpr int SIM_DB_CAPACITY = 100;           // fingerprint records
constexpr int SIM_MASTER_LIMIT = 10;           // of them, at most this many masters
constexpr std::size_t SIM_USER_DATA_SIZE = 8192;
constexpr std::size_t SIM_LOG_CAPACITY = 1000;  // the oldest record goes when full
constexpr std::size_t SIM_LOG_BLOCK_RECORDS = 10;

// A "ZEL12" module older than this does not know CMD_GET_DEVICE_INFO and
// answers it with error code 5.
constexpr std::uint16_t SIM_DEVICE_INFO_FIRMWARE = 0x0103;

// Scans: how long the module waits for a finger. Image captures give up
// before the console's shortest image re-send (3000 ms), so a capture without
// a finger is answered RES_TIMEOUT instead of being asked again.
constexpr int SIM_SCAN_TIMEOUT_MS = 10000;
constexpr int SIM_IMAGE_TIMEOUT_MS = 2500;
constexpr int SIM_SCAN_POLL_MS = 50;  // sensor poll while waiting for a finger
// CMD_CANCEL: the stopped operation answers at once, the cancel itself this
// much later (the sensor has to stop). With cancelInOneWrite both answers go
// out in one write instead, as a USB adapter often delivers them.
constexpr int SIM_CANCEL_ANSWER_GAP_MS = 20;

// Frame reception: a frame whose bytes stop for this long is abandoned, and a
// General request announcing more data than this is rejected.
constexpr int SIM_FRAME_GAP_MS = 1000;
constexpr std::uint32_t SIM_MAX_REQUEST_DATA = 8192;

// Without pacing the transport still writes at most this many bytes per
// millisecond (about 1 MB/s, some ninety times the fastest line). The
// console's receive queue holds 8 KB and takes what arrives in whole chunks;
// an answer of 8 KB written in one go can overflow it before the console
// has had a moment to parse, which no real line could cause.
constexpr std::size_t SIM_BURST_BYTES = 1024;

struct SimOptions {
    int baud = 115200;
    int type = 0;                     // 0 ZEL12, 1 Pell, 2 QOR10-HV, 3 QOR10-LV
    std::uint16_t firmware = 0x0105;  // major in bits 8-15, minor in bits 0-7
    int finger = 1;                   // finger on the sensor; 0 = no finger
    std::string password;             // device password; empty = none
    bool throttle = false;            // pace the line at 10 bits per byte
    double drop = 0, corrupt = 0;     // fault probabilities per answer
    std::uint32_t seed = 1;           // of the fault generator
    int fingerDelayMs = 300;          // from finger on the sensor to the answer

    int scanTimeoutMs = SIM_SCAN_TIMEOUT_MS;
    int imageTimeoutMs = SIM_IMAGE_TIMEOUT_MS;
    bool lowVoltage = false;           // CMD_CHECK_VOLTAGE reports low supply
    bool cancelInOneWrite = false;     // both answers of a cancel in one write
    std::uint16_t upgradedFirmware = 0;  // version after an upgrade; 0 = next minor version
};

// Display name of a module type: "ZEL12", "Pell", "QOR10-HV", "QOR10-LV".
const char* SimTypeName(int type);
