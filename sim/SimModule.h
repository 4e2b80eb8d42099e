#pragma once
// The simulated fingerprint module: the module's side of every General
// command and every Minimized frame, stateful like a real module (database,
// master mode, passwords, event log, user data, options, firmware), driven by
// request bytes and a scheduler, answering through a callback.
//
// It knows nothing of clocks or devices: the caller hands it the bytes that
// arrived together with the line speed the console uses at that moment, and
// runs the scheduler it was given. While the console's line speed differs
// from the module's own, whatever arrives is discarded (a real module would
// only see garbage).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "protocol/Packet.h"
#include "sim/SimFirmware.h"
#include "sim/SimLog.h"
#include "sim/SimOptions.h"
#include "sim/SimScheduler.h"

struct SimRecord {
    std::string id;        // at most 9 characters
    int finger = 0;        // the finger it was enrolled with
    bool master = false;
    std::string password;  // per-record password, may be empty
};

// The adjustable options (system information of the console).
struct SimModuleOptions {
    std::uint32_t gain = 15, brightness = 100, contrast = 3;  // image option
    std::uint32_t verifyLevel = 5, identifyLevel = 8;         // security levels 1..9
    std::uint32_t latent = 1;                                 // 0 or 1
    std::uint32_t dbInit = 0;                                 // 0 or 1
    std::uint32_t log = 1;                                    // 1: the log records events
    std::uint32_t capturePeriod = 5;                          // 1..255
};

struct SimStats {
    std::uint64_t requests = 0;          // well-formed requests handled (both frame kinds)
    std::uint64_t answers = 0;           // answers produced (before faults)
    std::uint64_t dropped = 0;           // answers left unsent on purpose
    std::uint64_t corrupted = 0;         // answers sent with one byte changed
    std::uint64_t rejected = 0;          // General requests answered with ERR_CHECKSUM
    std::uint64_t ignoredFrames = 0;     // Minimized frames with a bad checksum
    std::uint64_t discardedBytes = 0;    // bytes that arrived at the wrong line speed
};

class CSimModule {
public:
    // frame: one whole answer; baud: the module's line speed when it was sent
    // (the speed at which a paced transport must send it).
    using OutputFn = std::function<void(const std::uint8_t* frame, std::size_t size, int baud)>;

    CSimModule(ISimScheduler& scheduler, const SimOptions& options);
    ~CSimModule();
    CSimModule(const CSimModule&) = delete;
    CSimModule& operator=(const CSimModule&) = delete;

    void SetOutput(OutputFn output) { m_Output = std::move(output); }

    // Bytes from the console, sent at lineBaud bit/s.
    void Receive(const std::uint8_t* bytes, std::size_t count, int lineBaud);

    // ---- identity and line ----
    int Baud() const { return m_nBaud; }
    int Type() const { return m_nType; }
    std::uint16_t Firmware() const { return m_wFirmware; }
    void SetFirmware(std::uint16_t version) { m_wFirmware = version; }

    // ---- the simulated operator and hardware ----
    void SetFinger(int finger) { m_nFinger = finger < 0 ? 0 : finger; }  // 0 = none
    int Finger() const { return m_nFinger; }
    void SetFingerDelay(int ms) { m_nFingerDelayMs = ms < 0 ? 0 : ms; }
    void SetScanTimeout(int ms) { m_nScanTimeoutMs = ms; }
    void SetImageTimeout(int ms) { m_nImageTimeoutMs = ms; }
    void SetLowVoltage(bool low) { m_bLowVoltage = low; }
    // The module's power is switched off and on: a scan under way is
    // abandoned unanswered and master mode is left; what it stores stays.
    void PowerCycle();
    // A cancel that stops a scan answers twice: in one write (true) or the
    // cancel's own answer SIM_CANCEL_ANSWER_GAP_MS later (false, the default).
    void SetCancelInOneWrite(bool together) { m_bCancelInOneWrite = together; }

    // ---- faults ----
    void SetDropProbability(double p) { m_dDrop = p; }
    void SetCorruptProbability(double p) { m_dCorrupt = p; }
    // The next n answers are dropped / corrupted whatever the probabilities.
    void DropNext(int n) { m_nDropNext = n; }
    void CorruptNext(int n) { m_nCorruptNext = n; }

    // ---- state, for tests and tools ----
    bool IsMasterMode() const { return m_bMasterMode; }
    bool IsBusy() const { return m_Scan.active; }
    const std::vector<SimRecord>& Records() const { return m_Records; }
    const SimRecord* FindRecord(const std::string& id) const;
    int MasterCount() const;
    // Stores a record as if enrolled; false when the ID is used or the database
    // or the master records are full.
    bool AddRecord(const SimRecord& record);
    const std::string& DevicePassword() const { return m_strDevicePassword; }
    void SetDevicePassword(const std::string& password) { m_strDevicePassword = password.substr(0, 15); }
    CSimLog& Log() { return m_Log; }
    const CSimLog& Log() const { return m_Log; }
    const std::vector<std::uint8_t>& UserData() const { return m_UserData; }
    const SimModuleOptions& Options() const { return m_Options; }
    const CSimFirmware& FirmwareReceiver() const { return m_Firmware; }
    const SimStats& Stats() const { return m_Stats; }

private:
    struct SGeneralEntry {
        std::uint32_t command;
        void (CSimModule::*handler)(const CPacket&);
        bool needsMaster;
    };
    struct SMiniEntry {
        std::uint8_t command;
        void (CSimModule::*handler)(const std::uint8_t*);
        bool needsMaster;
    };
    // A finger scan in progress: the module waits for a finger, then calls
    // onFinger with it; on time-out or cancel it answers the request itself.
    struct SScan {
        bool active = false;
        bool mini = false;
        std::uint32_t command = 0;
        std::uint32_t failParam2 = 0;  // m_Param2 (Minimized: byte 4) of a time-out or cancel answer
        int logCode = -1;              // command record for a time-out or cancel, -1 none
        std::string logId;
        std::int64_t deadline = 0;
        ISimScheduler::TimerId timer = 0;
        std::function<void(int)> onFinger;
    };
    struct SPendingEnroll {
        bool active = false;
        bool mini = false;
        std::string id;
        std::string password;
        bool master = false;
        int finger = 0;
    };

    // ---- frames ----
    void ResetParser();
    void HandleGeneralFrame();
    void HandleMiniFrame();
    void DispatchGeneral(const CPacket& rq);
    void DispatchMini(const std::uint8_t* frame);

    // ---- answers ----
    void AnswerGeneral(std::uint32_t command, std::uint32_t param1, std::uint32_t param2,
                       const std::uint8_t* data = nullptr, std::size_t size = 0, std::uint32_t errCode = 0);
    void AnswerMini(std::uint8_t command, std::uint8_t result, std::uint8_t value);
    void Emit(std::vector<std::uint8_t> frame);
    void Corrupt(std::vector<std::uint8_t>& frame);

    // ---- scans ----
    void StartScan(bool mini, std::uint32_t command, int timeoutMs, std::uint32_t failParam2, int logCode,
                   const std::string& logId, std::function<void(int)> onFinger);
    void PollScan();
    void FinishScan(std::uint32_t result);  // time-out or cancel
    void AbandonScan();                     // no answer (a new scan or a reconnection)
    void Later(std::int64_t ms, std::function<void()> fn);  // a call the destructor cancels

    // ---- helpers ----
    void LogCommand(int code, const std::string& id, std::uint32_t result);
    bool IsFresh() const { return m_strDevicePassword.empty() && MasterCount() == 0; }
    SimRecord* Find(const std::string& id);
    const SimRecord* FindByFinger(int finger) const;
    std::string NextFreeNumericId() const;
    void UpgradeCompleted();
    const std::vector<std::uint8_t>& ImageOf(int finger);
    static std::string TextField(const CPacket& rq, std::size_t offset, std::size_t fieldSize);
    static std::uint8_t IdNumber(const std::string& id);

    // ---- General commands ----
    void OnConnect(const CPacket& rq);
    void OnSetBaudRate(const CPacket& rq);
    void OnGetVersion(const CPacket& rq);
    void OnGetVersionEx(const CPacket& rq);
    void OnGetDeviceInfo(const CPacket& rq);
    void OnVerify(const CPacket& rq);
    void OnIdentify(const CPacket& rq);
    void OnInstantMatch(const CPacket& rq);
    void OnGetMinutiae(const CPacket& rq);
    void OnCancel(const CPacket& rq);
    void OnEnroll(const CPacket& rq);
    void OnEnroll2(const CPacket& rq);
    void OnEnrollEx(const CPacket& rq);
    void OnDelete(const CPacket& rq);
    void OnDeleteAll(const CPacket& rq);
    void OnSetMaster(const CPacket& rq);
    void OnEnterMaster(const CPacket& rq);
    void OnLeaveMaster(const CPacket& rq);
    void OnSetMasterPassword(const CPacket& rq);
    void OnDeleteMasterPassword(const CPacket& rq);
    void OnGetFpList(const CPacket& rq);
    void OnGetLog(const CPacket& rq);
    void OnGetLogEx(const CPacket& rq);
    void OnReadUserData(const CPacket& rq);
    void OnWriteUserData(const CPacket& rq);
    void OnEraseUserData(const CPacket& rq);
    void OnSetOption(const CPacket& rq);
    void OnGetOption(const CPacket& rq);
    void OnGetImage(const CPacket& rq);
    void OnUpgradeHex(const CPacket& rq);
    void OnUpgradeBin(const CPacket& rq);
    void OnStatus(const CPacket& rq);
    void OnCheckVoltage(const CPacket& rq);

    // Shared steps of the enrolment forms.
    std::uint32_t CheckEnrollStart(const std::string& id, std::uint32_t type) const;
    void EnrollFirstScan(bool mini, std::uint32_t command, const std::string& id, const std::string& password,
                         bool master);
    void EnrollSecondScan(bool mini, std::uint32_t command);
    void CaptureAndAnswer(std::uint32_t command, std::uint32_t piece);
    void AnswerImagePiece(std::uint32_t command, std::uint32_t piece);

    // ---- Minimized commands ----
    void OnMiniConnect(const std::uint8_t* f);
    void OnMiniSetBaudRate(const std::uint8_t* f);
    void OnMiniIdentify(const std::uint8_t* f);
    void OnMiniCancel(const std::uint8_t* f);
    void OnMiniDelete(const std::uint8_t* f);
    void OnMiniDeleteAll(const std::uint8_t* f);
    void OnMiniEnterMaster(const std::uint8_t* f);
    void OnMiniLeaveMaster(const std::uint8_t* f);
    void OnMiniEnroll(const std::uint8_t* f);
    void OnMiniStatus(const std::uint8_t* f);

    static const SGeneralEntry s_GeneralTable[];
    static const SMiniEntry s_MiniTable[];

    ISimScheduler& m_Scheduler;
    OutputFn m_Output;

    // identity and line
    int m_nBaud;
    int m_nType;
    std::uint16_t m_wFirmware;
    std::uint16_t m_wUpgradedFirmware;

    // sensor and hardware
    int m_nFinger;
    int m_nFingerDelayMs;
    int m_nScanTimeoutMs;
    int m_nImageTimeoutMs;
    bool m_bLowVoltage;
    bool m_bCancelInOneWrite;
    // While set, answers are collected here and go out in one write.
    bool m_bBatching = false;
    std::vector<std::uint8_t> m_Batch;
    // Runs answer(), then writes what it emitted at once.
    void EmitTogether(const std::function<void()>& answer);

    // faults
    double m_dDrop, m_dCorrupt;
    int m_nDropNext = 0, m_nCorruptNext = 0;
    std::mt19937 m_Random;

    // receive parser
    enum { RX_START, RX_SECOND, RX_HEADER, RX_DATA, RX_MINI } m_RxState = RX_START;
    std::vector<std::uint8_t> m_RxFrame;
    std::size_t m_RxNeed = 0;
    std::int64_t m_RxLastMs = 0;
    CPacket m_Rx;
    CPacket m_Tx;

    // module state
    bool m_bMasterMode = false;
    std::string m_strDevicePassword;
    std::vector<SimRecord> m_Records;  // in enrolment order
    SScan m_Scan;
    std::vector<ISimScheduler::TimerId> m_Later;
    SPendingEnroll m_Enroll;
    int m_nImageFinger = 0;  // finger of the last captured image, 0 none
    std::map<int, std::vector<std::uint8_t>> m_ImageCache;
    CSimLog m_Log;
    // multi-block CMD_GET_LOG_EX reads of types 3 and 4 keep their range
    std::uint32_t m_LogExType = 0, m_LogExFirst = 0, m_LogExLast = 0;
    bool m_bLogExOpen = false;
    std::vector<std::uint8_t> m_UserData;
    SimModuleOptions m_Options;
    CSimFirmware m_Firmware;
    SimStats m_Stats;
};
