// The answer tables and sentences of ops/Answers.h.
#include "ops/Answers.h"

#include <iterator>

#include "protocol/CommandCatalog.h"

// ---- Connection: CONNECT, device information, extended version, SET BAUD RATE

const SAnswerRow kConnectRows[] = {
    // The search goes on: timer 1 keeps running.
    {RES_CONNECT_FAIL, MSGFORM_WARNING, "The connection is failed.", "The connection is failed."},
};

const SAnswerRow kDeviceInfoRows[] = {
    {RES_CANCELED, MSGFORM_WARNING, "The command is canceled.", "Get device infomation is canceled."},
};

const SAnswerRow kVersionExRows[] = {
    {RES_CANCELED, MSGFORM_WARNING, "The command is canceled.", "Get firmware version is canceled."},
};

const SAnswerRow kSetBaudRateRows[] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, "Set baudrate is succeeded."},
    {RES_FAIL, PROMPT_NONE, nullptr, "Set baudrate is failed."},
    {RES_INVALID_PARAM, PROMPT_NONE, nullptr, "Invalid parameter!!!"},
    {RES_CANCELED, PROMPT_NONE, nullptr, "Set baudrate is canceled"},
};


// ---- Verification and identification

const SAnswerRow kVerifyRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Verification is succeeded.", "Verification is succeeded."},
    {RES_FAIL, MSGFORM_WARNING, "Verification is failed.", "Verification is failed."},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid ID!!!", "Invalid ID!!!"},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Verification canceled.", "Verification canceled."},
};

const SAnswerRow kIdentifyRows[] = {
    // The prompt ends in a blank: "(ID: %s)" follows it.
    {RES_SUCCESS, MSGFORM_SUCCESS, "Identification is succeeded. ", "Identification is succeeded."},
    {RES_FAIL, MSGFORM_WARNING, "Identification is failed.", "Identification failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Identification canceled.", "Identification canceled."},
};

const SAnswerRow kMiniIdentifyRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Identification is succeeded.", "Identification is succeeded."},
    {RES_FAIL, MSGFORM_WARNING, "Identification is failed.", "Identification failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Identification canceled.", "Identification canceled."},
};


// ---- Enrolment (two scans in three forms) and deletion

// The first scan's success on a "ZEL12" board asks for the second at once.
const SAnswerRow kEnrollRows[] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, kLiftFinger},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_USED_ID, MSGFORM_WARNING, "Used ID!!!", "Used ID!!!"},
    {RES_DB_FULL, MSGFORM_WARNING, "DB is full!!!", "DB is full!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled", "Enrollment is canceled!!!"},
};
const std::size_t kEnrollRowCount = std::size(kEnrollRows);

// On success the status line keeps "Lift your fingertip".
const SAnswerRow kEnroll2Rows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Enrollment succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_ANOTHER_FINGER, MSGFORM_WARNING, "Another fingerprint!!!", "Another fingerprint!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled.", "Enrollment is canceled!!!"},
};
const std::size_t kEnroll2RowCount = std::size(kEnroll2Rows);

const SAnswerRow kEnrollExRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Enrollment succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_USED_ID, MSGFORM_WARNING, "Used ID!!!", "Used ID!!!"},
    {RES_DB_FULL, MSGFORM_WARNING, "DB is full!!!", "DB is full!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_ANOTHER_FINGER, MSGFORM_WARNING, "Another fingerprint!!!", "Another fingerprint!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled", "Enrollment is canceled!!!"},
};
const std::size_t kEnrollExRowCount = std::size(kEnrollExRows);

// The Minimized answer carries no count: the label stays.
const SAnswerRow kMiniEnrollRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Enrollment succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_DB_FULL, MSGFORM_WARNING, "DB is full!!!", "DB is full!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_ANOTHER_FINGER, MSGFORM_WARNING, "Another fingerprint!!!", "Another fingerprint!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled", "Enrollment is canceled!!!"},
};
const std::size_t kMiniEnrollRowCount = std::size(kMiniEnrollRows);

// Deletion answers leave the status line as it is.
const SAnswerRow kDeleteRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Deletion is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid Id!!!", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "Deletion is canceled.", nullptr},
};
const std::size_t kDeleteRowCount = std::size(kDeleteRows);

const SAnswerRow kMiniDeleteRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Deletion is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};
const std::size_t kMiniDeleteRowCount = std::size(kMiniDeleteRows);


// ---- Master mode and the device password

const SAnswerRow kEnterMasterRows[] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, "Enter master mode is succeeded"},
    {RES_FAIL, MSGFORM_WARNING, "Entering master mode is failed.", "Enter master mode is failed."},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid ID!!!", "Invalid ID!!!"},
    {RES_TIMEOUT, MSGFORM_WARNING, "Not in time!!!", "Not in time!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Entering master mode is canceled.", "Entering master mode is canceled."},
};

// The Minimized answer knows no invalid ID or parameter.
const SAnswerRow kMiniEnterMasterRows[] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, "Enter master mode is succeeded"},
    {RES_FAIL, MSGFORM_WARNING, "Entering master mode is failed.", "Enter master mode is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Not in time!!!", "Not in time!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Entering master mode is canceled.", "Entering master mode is canceled."},
};

const SAnswerRow kLeaveMasterRows[] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, "Leave master mode"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
};

// The device-password answers leave the status line as it is.
const SAnswerRow kSetPasswordRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To set master password is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "To set master password is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};

const SAnswerRow kDeletePasswordRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To delete master password succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "To delete master password is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};


// ---- Minutiae: get minutiae (its failures; the success saves a file) and instant matching

// The success row is taken by the handler (the save dialog comes first).
const SAnswerRow kGetMinutiaeRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get minutiae is failed.", "To get minutiae is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Get minutiae is canceled.", "Get minutiae is canceled."},
};
const std::size_t kGetMinutiaeRowCount = std::size(kGetMinutiaeRows);

const SAnswerRow kInstantMatchRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Instant matching is succeeded.", "Instant matching is succeeded."},
    {RES_FAIL, MSGFORM_WARNING, "Instant matching is failed.", "Instant matching is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Instant matching is canceled.", "Instant matching is canceled."},
};
const std::size_t kInstantMatchRowCount = std::size(kInstantMatchRows);


// ---- Service: CANCEL, and the voltage check by m_Param2 (1 low, 0 not low)

const SAnswerRow kCancelRows[] = {
    {RES_IDLE, MSGFORM_WARNING, "ZEL status is idle.", "ZEL status is idle. (Cancel command is useless)"},
};

// The voltage check outside the battery test, by m_Param2.
const SAnswerRow kVoltageRows[] = {
    {1, MSGFORM_WARNING, "Supply voltage is low. Check battery voltage.", nullptr},
    {0, MSGFORM_SUCCESS, "Supply voltage is not low.", nullptr},
};


// ---- Database: the fingerprint and master lists, DELETE ALL, SET/RESET MASTER

const SAnswerRow kFpListRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get fingerprint list is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};

const SAnswerRow kFpListExRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get fingerprint list is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "To get fingerprint list is canceled.", nullptr},
};

const SAnswerRow kMasterListExRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get master list is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "Not master mode", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "To get master list is canceled.", nullptr},
};

const SAnswerRow kDeleteAllRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Deletion is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
};

const SAnswerRow kSetMasterRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To set/reset master is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid ID!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
    {RES_MASTER_FULL, MSGFORM_WARNING, "Master record is full.", nullptr},
};


// ---- Options: the set answers (RES_FAIL shows nothing) and the get answers of the read sequence

// Set answers: RES_FAIL shows nothing.
const SAnswerRow kSetOppRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To set OPP option is succeeded.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To set OPP option is failed. (Not master mode)", nullptr},
};

const SAnswerRow kSetSecurityRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To set security level is succeeded.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To set security level is failed. (Not master mode)", nullptr},
};

const SAnswerRow kSetLatentRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To set latent option is succeeded.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To set lastent option is failed. (Not master mode)", nullptr},
};

const SAnswerRow kSetLogRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To set log option is succeeded.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To set log option failed. (Not master mode)", nullptr},
};

const SAnswerRow kSetCaptureRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To set capture period is succeeded.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To set capture period failed. (Not master mode)", nullptr},
};

// Get answers.
const SAnswerRow kGetOppRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get OPP option is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To get OPP option is failed. (Not master mode)", nullptr},
};

const SAnswerRow kGetSecurityRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get security level is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To get security level is failed. (Not master mode)", nullptr},
};

const SAnswerRow kGetLatentRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get latent option is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To get latent option is failed. (Not master mode)", nullptr},
};

const SAnswerRow kGetLogRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get log option is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To get log option is failed. (Not master mode)", nullptr},
};

const SAnswerRow kGetCaptureRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get capture period is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To get capture period is failed. (Not master mode)", nullptr},
};

const SAnswerRow kGetDbInitRows[] = {
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "To get DB init option failed. (Not master mode)", nullptr},
};


// ---- Log: failed answers to CMD_GET_LOG_EX (nothing is stored and the read ends)

// Failed answers to CMD_GET_LOG_EX: nothing is stored and the read ends.
const SAnswerRow kLogExFailRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get log data is failed", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "To get log data is canceled", nullptr},
};


// ---- User data: read and write

const SAnswerRow kUserDataReadRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To read user data is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
};

const SAnswerRow kUserDataWriteRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To write user data is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "To write user data is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
};


// ---- Sentences outside the tables

const char kPutFinger[] = "Put your fingertip on the reader";
const char kLiftFinger[] = "Lift your fingertip";
const char kConnectionFailed[] = "Connection is failed.";
const char kCommunicationError[] = "Upgrade process was canceled! (COMMUNICATOIN ERROR)";

const char kImageNotInTime[] = "To get a fingerprint image failed. (Not in time)";
const char kImageNotInTimePrompt[] = "To get a finperprint image failed. (Not in time)";
const char kImage2NotInTime[] = "To get a fingerprint image is failed. (Not in time)";
const char kCaptureCanceled[] = "Capture image is canceled";
const char kCaptureCanceledByModule[] = "Capture image is canceled!!!";
const char kImageReceivingError[] = "Image Receiving Error!!! (COMMUNICATOIN ERROR)";
const char kImage2ReceivingError[] = "Capture2: Image Receiving Error!!! (COMMUNICATOIN ERROR)";

const char kStatusIdle[] = "Status = Idle";
const char kStatusBusy[] = "Status = busy";
const char kStatusBusyHard[] = "Status = busy!!!";
const char kStatusFailed[] = "Status check is failed";

const char kHexUpgradeComplete[] = "Upgrading complete.";
const char kBinUpgradeComplete[] = "F/W upgrade is complete.";
const char kUpgradeInvalid[] = "Invalid parameter!!!";
const char kUpgradeCanceled[] = "F/W upgrade is canceled.";

const char kNoLogData[] = "There is no log data.";
const char kPacketDataError[] = "Packet data error";

const char kEraseUserDataSucceeded[] = "To erase user data block succeeded.";
const char kEraseUserDataFailed[] = "To erase user data block failed.";
