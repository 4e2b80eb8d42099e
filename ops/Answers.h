#pragma once
// What the module's answers mean to the operator, as data: the answer table
// of every command (result code -> prompt form, prompt text, status text) and
// the fixed sentences of the long jobs (capture, upgrade, log, status). The
// console shows them in its prompts and status line, the command-line
// program prints them: both read them from here, so both say the same.
//
// The texts are the module console's own, spelling included.
#include <cstddef>

#include "ops/AnswerTable.h"

// ---- Connection: CONNECT, device information, extended version, SET BAUD RATE

extern const SAnswerRow kConnectRows[1];
extern const SAnswerRow kDeviceInfoRows[1];
extern const SAnswerRow kVersionExRows[1];
extern const SAnswerRow kSetBaudRateRows[4];

// ---- Verification and identification

extern const SAnswerRow kVerifyRows[5];
extern const SAnswerRow kIdentifyRows[4];
extern const SAnswerRow kMiniIdentifyRows[4];

// ---- Enrolment (two scans in three forms) and deletion

extern const SAnswerRow kEnrollRows[8];
extern const std::size_t kEnrollRowCount;
extern const SAnswerRow kEnroll2Rows[7];
extern const std::size_t kEnroll2RowCount;
extern const SAnswerRow kEnrollExRows[9];
extern const std::size_t kEnrollExRowCount;
extern const SAnswerRow kMiniEnrollRows[8];
extern const std::size_t kMiniEnrollRowCount;
extern const SAnswerRow kDeleteRows[5];
extern const std::size_t kDeleteRowCount;
extern const SAnswerRow kMiniDeleteRows[3];
extern const std::size_t kMiniDeleteRowCount;

// ---- Master mode and the device password

extern const SAnswerRow kEnterMasterRows[6];
extern const SAnswerRow kMiniEnterMasterRows[4];
extern const SAnswerRow kLeaveMasterRows[2];
extern const SAnswerRow kSetPasswordRows[3];
extern const SAnswerRow kDeletePasswordRows[3];

// ---- Minutiae: get minutiae (its failures; the success saves a file) and instant matching

extern const SAnswerRow kGetMinutiaeRows[3];
extern const std::size_t kGetMinutiaeRowCount;
extern const SAnswerRow kInstantMatchRows[5];
extern const std::size_t kInstantMatchRowCount;

// ---- Service: CANCEL, and the voltage check by m_Param2 (1 low, 0 not low)

extern const SAnswerRow kCancelRows[1];
extern const SAnswerRow kVoltageRows[2];

// ---- Database: the fingerprint and master lists, DELETE ALL, SET/RESET MASTER

extern const SAnswerRow kFpListRows[2];
extern const SAnswerRow kFpListExRows[3];
extern const SAnswerRow kMasterListExRows[3];
extern const SAnswerRow kDeleteAllRows[4];
extern const SAnswerRow kSetMasterRows[5];

// ---- Options: the set answers (RES_FAIL shows nothing) and the get answers of the read sequence

extern const SAnswerRow kSetOppRows[2];
extern const SAnswerRow kSetSecurityRows[2];
extern const SAnswerRow kSetLatentRows[2];
extern const SAnswerRow kSetLogRows[2];
extern const SAnswerRow kSetCaptureRows[2];
extern const SAnswerRow kGetOppRows[2];
extern const SAnswerRow kGetSecurityRows[2];
extern const SAnswerRow kGetLatentRows[2];
extern const SAnswerRow kGetLogRows[2];
extern const SAnswerRow kGetCaptureRows[2];
extern const SAnswerRow kGetDbInitRows[1];

// ---- Log: failed answers to CMD_GET_LOG_EX (nothing is stored and the read ends)

extern const SAnswerRow kLogExFailRows[4];

// ---- User data: read and write

extern const SAnswerRow kUserDataReadRows[3];
extern const SAnswerRow kUserDataWriteRows[4];

// ---- Sentences outside the tables

// Scans.
extern const char kPutFinger[];   // "Put your fingertip on the reader"
extern const char kLiftFinger[];  // "Lift your fingertip"

// The connection search found no module at any rate.
extern const char kConnectionFailed[];

// A guarded request sent ten times without an answer: an image piece has its
// own sentence by method; a firmware piece, a log block and a voltage check
// share this one.
extern const char kCommunicationError[];  // "Upgrade process was canceled! (COMMUNICATOIN ERROR)"

// Image capture.
extern const char kImageNotInTime[];         // CMD_GET_IMAGE answered RES_TIMEOUT
extern const char kImageNotInTimePrompt[];   // the same in the prompt (its own spelling)
extern const char kImage2NotInTime[];        // CMD_GET_IMAGE2 answered RES_TIMEOUT (a single capture)
extern const char kCaptureCanceled[];        // CANCEL was pressed during the capture
extern const char kCaptureCanceledByModule[];
extern const char kImageReceivingError[];    // ten sends of a CMD_GET_IMAGE piece, no answer
extern const char kImage2ReceivingError[];   // the same for CMD_GET_IMAGE2

// STATUS: m_Param2 0 idle, 1 busy, else busy!!!; a failed check.
extern const char kStatusIdle[];
extern const char kStatusBusy[];
extern const char kStatusBusyHard[];
extern const char kStatusFailed[];

// Firmware upgrade endings.
extern const char kHexUpgradeComplete[];  // "Upgrading complete."
extern const char kBinUpgradeComplete[];  // "F/W upgrade is complete."
extern const char kUpgradeInvalid[];      // a chunk refused as RES_INVALID_PARAM
extern const char kUpgradeCanceled[];     // a chunk answered RES_CANCELED

// Log read.
extern const char kNoLogData[];
extern const char kPacketDataError[];

// User data.
extern const char kEraseUserDataSucceeded[];
extern const char kEraseUserDataFailed[];
