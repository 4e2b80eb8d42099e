#pragma once
// The single owner of the device link: frames and sends every request, parses
// the incoming byte stream with a 14-state machine, posts one notification per
// answer to the owner (the main form) and re-sends the guarded requests on
// time-out (timer 0).
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "link/CommThread.h"
#include "platform/core/MessageLoop.h"
#include "platform/core/Operator.h"
#include "protocol/Commands.h"
#include "protocol/Notifications.h"
#include "protocol/Packet.h"

// Time-outs of the guarded requests, in milliseconds.
constexpr unsigned TIMEOUT_GET_LOG = 80000;
constexpr unsigned TIMEOUT_GET_IMAGE = 4000;
constexpr unsigned TIMEOUT_UPGRADE = 5000;  // HEX records and BIN chunks
constexpr unsigned TIMEOUT_GET_IMAGE2 = 3000;
constexpr unsigned TIMEOUT_CHECK_VOLTAGE = 1000;
constexpr int MAX_SENDS = 10;  // a guarded request is sent at most ten times

constexpr UINT RETRY_TIMER_ID = 0;

// States of the receive machine (m_RxState), by what the next byte is.
enum ERxState : int {
    RX_START = 0,            // 0x7E
    RX_COMMAND = 1,          // the rest of the command
    RX_PARAM1 = 2,
    RX_PARAM2 = 3,
    RX_DATA_SIZE = 4,
    RX_ERR_CODE = 5,
    RX_HEADER_CHECKSUM = 6,
    RX_DATA = 7,
    RX_DATA_CHECKSUM = 8,
    RX_SECOND = 9,           // 0x5A (Minimized) or the command's first byte
    RX_MINI_COMMAND = 10,
    RX_MINI_ARG1 = 11,
    RX_MINI_ARG2 = 12,
    RX_MINI_CHECKSUM = 13,
};

constexpr std::size_t FW_BIN_CHUNK = 2048;
constexpr std::size_t FW_HEX_MAX_RECORD = 255;

class CPacketManagerWnd : public CMsgTarget {
public:
    CPacketManagerWnd(IMessageLoop& loop, IOperator& op);
    ~CPacketManagerWnd() override;

    // Makes view the target of every notification and this object the target
    // of the serial channel's messages.
    bool Create(CMsgTarget* view);
    bool OpenCommPort(const std::string& portName, int baudRate);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // A guarded request (image piece, log block, firmware piece, voltage
    // check) is out and its re-send timer runs: an answer is still due.
    bool IsAwaitingAnswer() const { return Loop().IsTimerRunning(this, RETRY_TIMER_ID); }

    // ---- send paths ----
    void SendPacket(CPacket& packet);
    void SendMini(const std::uint8_t* frame);

    // ---- General request builders ----
    void SendConnect();
    void SendSetBaudRate(std::uint32_t rateIndex);
    void SendGetVersion();
    void SendGetVersionEx();
    void SendGetDeviceInfo();
    // type 0: by ID (10 data bytes); 1: by ID and password (26 data bytes).
    void SendVerify(std::uint32_t type, const std::string& id, const std::string& password = {});
    void SendIdentify();
    void SendInstantMatch(const std::uint8_t* minutiae);  // MINUTIAE_SIZE bytes
    void SendGetMinutiae();
    void SendCancel();
    void SendEnroll(std::uint32_t enrollType, const std::string& id);
    void SendEnroll2(std::uint32_t enrollType);
    void SendDelete(const std::string& id);
    void SendDeleteAll(std::uint32_t which);  // 0 all, 1 users, 2 masters
    void SendSetMaster(std::uint32_t set, const std::string& id);
    // authType 0: ID; 1: ID and password; 2: password; 3: no data.
    void SendEnterMaster(std::uint32_t authType, const std::string& id = {}, const std::string& password = {});
    void SendLeaveMaster();
    void SendSetMasterPassword(const std::string& password);
    void SendGetFpList();
    void SendGetMasterList();
    void SendGetLog(std::uint32_t block);
    void SendReadUserData(std::uint32_t address, std::uint32_t size);
    // Sends the first size bytes of text (with its terminator when it fits).
    void SendWriteUserData(std::uint32_t address, std::uint32_t size, const std::string& text);
    void SendEraseUserData();
    void SendDeleteMasterPassword();
    void SendEnterMasterEx(std::uint32_t authType, const std::string& id = {}, const std::string& password = {});
    void SendGetFpListEx();
    void SendGetMasterListEx();
    void SendGetLogEx(std::uint32_t searchType, std::uint32_t value);
    // step 0 carries the ID and password fields, step 1 no data.
    void SendEnrollEx(std::uint32_t enrollType, std::uint32_t step, const std::string& id = {},
                      const std::string& password = {});
    void SendSetOppOption(std::uint32_t gain, std::uint32_t brightness, std::uint32_t contrast);
    void SendGetOppOption();
    void SendSetSecurityLevel(std::uint32_t verifyLevel, std::uint32_t identifyLevel);
    void SendGetSecurityLevel();
    void SendSetLatentOption(std::uint32_t value);
    void SendGetLatentOption();
    void SendSetDbInitOption(std::uint32_t value);
    void SendGetDbInitOption();
    void SendSetLogOption(std::uint32_t value);
    void SendGetLogOption();
    void SendSetCapturePeriod(std::uint32_t value);
    void SendGetCapturePeriod();
    void SendGetImage(std::uint32_t piece);
    void SendStatus();
    void SendGetImage2(std::uint32_t piece);
    void SendCheckVoltage();

    // ---- firmware transfer ----
    // Reads the Intel HEX record at or after position, advances position past
    // what it consumed and sends it as CMD_UPGRADE_HEX. Returns false (and
    // sends nothing) when the file cannot be read or the record is broken.
    bool SendHexRecord(const std::string& fileName, std::uint32_t& position, std::uint32_t record);
    bool ResendHexRecord();
    // Sends chunk n of a raw image; m_FwFileSize and m_FwLastChunk must be set.
    bool SendBinChunk(const std::string& fileName, std::uint32_t chunk);
    // Upper address of the last extended-linear-address record; it carries
    // into the next upgrade, as the module expects.
    std::uint32_t m_FwUpperAddress = 0;
    // Opens the firmware file for one piece (fopen "rb"); a fuzzer or a test
    // hands in a stream of its own.
    std::function<std::FILE*(const std::string&)> m_FwOpen;

    // ---- Minimized request builders ----
    void SendMiniConnect();
    void SendMiniSetBaudRate(std::uint8_t rateIndex);
    void SendMiniIdentify();
    void SendMiniCancel();
    void SendMiniDelete();
    void SendMiniDeleteAll();
    void SendMiniEnterMaster();
    void SendMiniLeaveMaster();
    void SendMiniEnroll(std::uint8_t step);
    void SendMiniStatus();

    // ---- state ----
    CCommThread m_Comm;
    CPacket m_RxPacket;
    CPacket m_RetryPacket;
    int m_RxState = RX_START;
    std::uint32_t m_RxPos = 0;
    CMsgTarget* m_pView = nullptr;
    std::string m_FwFileName;
    std::uint32_t m_FwFileOffset = 0;
    std::uint32_t m_FwIndex = 0;
    int m_RetryCount = 0;
    std::uint32_t m_FwFileSize = 0;
    std::uint32_t m_FwLastChunk = 0;
    std::uint32_t m_LogSearchType = 0;
    CPacket m_TxPacket;
    std::uint8_t m_RxMini[MINI_FRAME_SIZE] = {};

private:
    LRESULT OnCommRead(WPARAM, LPARAM);
    LRESULT OnTimer(WPARAM, LPARAM);
    LRESULT OnPortLost(WPARAM, LPARAM);
    LRESULT OnCommAlert(WPARAM, LPARAM);
    LRESULT OnAlert(WPARAM, LPARAM);

    // Feeds bytes to the state machine; returns how many it consumed (it
    // stops right after a data-less General frame).
    std::size_t Parse(const std::uint8_t* bytes, std::size_t count);
    void DispatchGeneral();
    void DispatchMini();
    void PostChecksumError(WPARAM which);
    // Tells the owner that the firmware transfer ended here (WM_FW_TRANSFER_ENDED).
    void PostFirmwareEnded(std::uint32_t command);
    void ShowAlert(const char* text, unsigned flags);
    void SendGuarded(unsigned timeoutMs);
    // Tells the owner that a request was not written whole (WM_WRITE_STALLED).
    void ReportStalledWrite(std::size_t written, std::size_t size);
    // Tells the owner how many received bytes the channel dropped, when that
    // count has grown (WM_RECEIVE_DROPPED).
    void ReportDroppedBytes();
    std::FILE* OpenFirmware(const std::string& fileName) const;
    std::uint64_t m_ReportedDrops = 0;
    void FillText(std::size_t offset, std::size_t fieldSize, const std::string& text);

    // Begins a General request: command, parameters and data size; error code 0.
    CPacket& Begin(std::uint32_t command, std::uint32_t param1 = 0, std::uint32_t param2 = 0,
                   std::uint32_t dataSize = 0);
    void SendMiniCommand(std::uint8_t command, std::uint8_t arg1, std::uint8_t arg2);
    void SendAuthenticated(std::uint32_t authType, const std::string& id, const std::string& password);

    IOperator& m_Operator;
    std::uint8_t m_RxScratch[CQueue::QUEUE_SIZE];
    std::uint32_t m_RxGeneration = 0;  // queue generation of the bytes being parsed
};
