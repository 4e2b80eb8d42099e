#include "sim/SimModule.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "protocol/CommandCatalog.h"
#include "sim/SimImage.h"

namespace {

// Next firmware version after an upgrade: the minor number counts on in the
// decimal-looking form the console shows ("%x.%02x"): 1.09 -> 1.10, 1.99 -> 2.00.
std::uint16_t NextVersion(std::uint16_t version) {
    unsigned major = version >> 8, minor = version & 0xFF;
    if ((minor & 0x0F) < 9)
        ++minor;
    else if (minor < 0x90)
        minor = (minor & 0xF0) + 0x10;
    else {
        minor = 0;
        major = ((major & 0x0F) < 9) ? major + 1 : (major & 0xF0) + 0x10;
    }
    return static_cast<std::uint16_t>(((major & 0xFF) << 8) | minor);
}

bool IsEnrollCommand(bool mini, std::uint32_t command) {
    if (mini) return command == MINI_ENROLL;
    return command == CMD_ENROLL || command == CMD_ENROLL2 || command == CMD_ENROLL_EX;
}

}  // namespace

const char* SimTypeName(int type) {
    switch (type) {
        case 0: return "ZEL12";
        case 1: return "Pell";
        case 2: return "QOR10-HV";
        case 3: return "QOR10-LV";
        default: return "?";
    }
}

// ---------------------------------------------------------------------------
// Command tables: command code -> handler, and whether it needs master mode.

const CSimModule::SGeneralEntry CSimModule::s_GeneralTable[] = {
    {CMD_CONNECT, &CSimModule::OnConnect, false},
    {CMD_SET_BAUDRATE, &CSimModule::OnSetBaudRate, false},
    {CMD_GET_VERSION, &CSimModule::OnGetVersion, false},
    {CMD_GET_VERSION_EX, &CSimModule::OnGetVersionEx, false},
    {CMD_GET_DEVICE_INFO, &CSimModule::OnGetDeviceInfo, false},
    {CMD_VERIFY, &CSimModule::OnVerify, false},
    {CMD_IDENTIFY, &CSimModule::OnIdentify, false},
    {CMD_INSTANT_MATCH, &CSimModule::OnInstantMatch, false},
    {CMD_GET_MINUTIAE, &CSimModule::OnGetMinutiae, false},
    {CMD_CANCEL, &CSimModule::OnCancel, false},
    {CMD_ENROLL, &CSimModule::OnEnroll, true},
    {CMD_ENROLL2, &CSimModule::OnEnroll2, true},
    {CMD_DELETE, &CSimModule::OnDelete, true},
    {CMD_DELETE_ALL, &CSimModule::OnDeleteAll, true},
    {CMD_SET_MASTER, &CSimModule::OnSetMaster, true},
    {CMD_ENTER_MASTER, &CSimModule::OnEnterMaster, false},
    {CMD_LEAVE_MASTER, &CSimModule::OnLeaveMaster, false},
    {CMD_SET_MASTER_PASSWORD, &CSimModule::OnSetMasterPassword, true},
    {CMD_GET_FP_LIST, &CSimModule::OnGetFpList, true},
    {CMD_GET_MASTER_LIST, &CSimModule::OnGetFpList, true},
    // The older log answer has no result code, so it cannot refuse: it is
    // served in and out of master mode.
    {CMD_GET_LOG, &CSimModule::OnGetLog, false},
    {CMD_READ_USER_DATA, &CSimModule::OnReadUserData, true},
    {CMD_WRITE_USER_DATA, &CSimModule::OnWriteUserData, true},
    {CMD_ERASE_USER_DATA, &CSimModule::OnEraseUserData, true},
    {CMD_DELETE_MASTER_PASSWORD, &CSimModule::OnDeleteMasterPassword, true},
    {CMD_ENTER_MASTER_EX, &CSimModule::OnEnterMaster, false},
    {CMD_GET_FP_LIST_EX, &CSimModule::OnGetFpList, true},
    {CMD_GET_MASTER_LIST_EX, &CSimModule::OnGetFpList, true},
    {CMD_GET_LOG_EX, &CSimModule::OnGetLogEx, true},
    {CMD_ENROLL_EX, &CSimModule::OnEnrollEx, true},
    {CMD_SET_OPP_OPTION, &CSimModule::OnSetOption, true},
    {CMD_GET_OPP_OPTION, &CSimModule::OnGetOption, true},
    {CMD_SET_SECURITY_LEVEL, &CSimModule::OnSetOption, true},
    {CMD_GET_SECURITY_LEVEL, &CSimModule::OnGetOption, true},
    {CMD_SET_LATENT_OPTION, &CSimModule::OnSetOption, true},
    {CMD_GET_LATENT_OPTION, &CSimModule::OnGetOption, true},
    {CMD_SET_DB_INIT_OPTION, &CSimModule::OnSetOption, true},
    {CMD_GET_DB_INIT_OPTION, &CSimModule::OnGetOption, true},
    {CMD_SET_LOG_OPTION, &CSimModule::OnSetOption, true},
    {CMD_GET_LOG_OPTION, &CSimModule::OnGetOption, true},
    {CMD_SET_CAPTURE_PERIOD, &CSimModule::OnSetOption, true},
    {CMD_GET_CAPTURE_PERIOD, &CSimModule::OnGetOption, true},
    {CMD_GET_IMAGE, &CSimModule::OnGetImage, false},
    {CMD_UPGRADE_HEX, &CSimModule::OnUpgradeHex, false},
    {CMD_STATUS, &CSimModule::OnStatus, false},
    {CMD_GET_IMAGE2, &CSimModule::OnGetImage, false},
    {CMD_UPGRADE_BIN, &CSimModule::OnUpgradeBin, false},
    {CMD_CHECK_VOLTAGE, &CSimModule::OnCheckVoltage, false},
};

const CSimModule::SMiniEntry CSimModule::s_MiniTable[] = {
    {MINI_CONNECT, &CSimModule::OnMiniConnect, false},
    {MINI_SET_BAUDRATE, &CSimModule::OnMiniSetBaudRate, false},
    {MINI_IDENTIFY, &CSimModule::OnMiniIdentify, false},
    {MINI_CANCEL, &CSimModule::OnMiniCancel, false},
    {MINI_DELETE, &CSimModule::OnMiniDelete, true},
    {MINI_DELETE_ALL, &CSimModule::OnMiniDeleteAll, true},
    {MINI_ENTER_MASTER, &CSimModule::OnMiniEnterMaster, false},
    {MINI_LEAVE_MASTER, &CSimModule::OnMiniLeaveMaster, false},
    {MINI_ENROLL, &CSimModule::OnMiniEnroll, true},
    {MINI_STATUS, &CSimModule::OnMiniStatus, false},
};

// ---------------------------------------------------------------------------

CSimModule::CSimModule(ISimScheduler& scheduler, const SimOptions& options)
    : m_Scheduler(scheduler),
      m_nBaud(options.baud),
      m_nType(options.type),
      m_wFirmware(options.firmware),
      m_wUpgradedFirmware(options.upgradedFirmware),
      m_nFinger(options.finger < 0 ? 0 : options.finger),
      m_nFingerDelayMs(options.fingerDelayMs < 0 ? 0 : options.fingerDelayMs),
      m_nScanTimeoutMs(options.scanTimeoutMs),
      m_nImageTimeoutMs(options.imageTimeoutMs),
      m_bLowVoltage(options.lowVoltage),
      m_bCancelInOneWrite(options.cancelInOneWrite),
      m_dDrop(options.drop),
      m_dCorrupt(options.corrupt),
      m_Random(options.seed),
      m_strDevicePassword(options.password.substr(0, 15)),
      m_Log(SIM_LOG_CAPACITY),
      m_UserData(SIM_USER_DATA_SIZE, 0) {
    // Image option defaults of each board.
    switch (m_nType) {
        case 0: m_Options.gain = 15, m_Options.brightness = 100, m_Options.contrast = 3; break;
        case 3: m_Options.gain = 20, m_Options.brightness = 40, m_Options.contrast = 20; break;
        default: m_Options.gain = 2, m_Options.brightness = 40, m_Options.contrast = 20; break;
    }
}

CSimModule::~CSimModule() {
    AbandonScan();
    for (ISimScheduler::TimerId id : m_Later) m_Scheduler.Cancel(id);
}

void CSimModule::Later(std::int64_t ms, std::function<void()> fn) {
    auto id = std::make_shared<ISimScheduler::TimerId>(0);
    *id = m_Scheduler.After(ms, [this, id, fn = std::move(fn)] {
        m_Later.erase(std::remove(m_Later.begin(), m_Later.end(), *id), m_Later.end());
        fn();
    });
    m_Later.push_back(*id);
}

// ---------------------------------------------------------------------------
// Receiving

void CSimModule::ResetParser() {
    m_RxState = RX_START;
    m_RxFrame.clear();
    m_RxNeed = 0;
}

void CSimModule::Receive(const std::uint8_t* bytes, std::size_t count, int lineBaud) {
    if (count == 0) return;
    if (lineBaud != m_nBaud) {
        // Sent at another speed: the module's receiver sees only garbage.
        ResetParser();
        m_Stats.discardedBytes += count;
        return;
    }
    std::int64_t now = m_Scheduler.NowMs();
    if (m_RxState != RX_START && now - m_RxLastMs > SIM_FRAME_GAP_MS) ResetParser();  // a frame broken off
    m_RxLastMs = now;

    for (std::size_t i = 0; i < count; ++i) {
        if (lineBaud != m_nBaud) {
            // The module switched its speed (set baud rate) in the middle of
            // this burst: the rest arrives at the old speed.
            ResetParser();
            m_Stats.discardedBytes += count - i;
            return;
        }
        std::uint8_t b = bytes[i];
        switch (m_RxState) {
            case RX_START:
                if (b == PACKET_START) {
                    m_RxFrame.assign(1, b);
                    m_RxState = RX_SECOND;
                }
                break;  // anything else between frames is line noise
            case RX_SECOND:
                m_RxFrame.push_back(b);
                if (b == MINI_MARKER) {
                    m_RxState = RX_MINI;
                    m_RxNeed = MINI_FRAME_SIZE;
                } else {
                    m_RxState = RX_HEADER;
                    m_RxNeed = PACKET_HEADER_SIZE;
                }
                break;
            case RX_MINI:
                m_RxFrame.push_back(b);
                if (m_RxFrame.size() == m_RxNeed) {
                    m_RxState = RX_START;
                    HandleMiniFrame();
                }
                break;
            case RX_HEADER:
                m_RxFrame.push_back(b);
                if (m_RxFrame.size() == m_RxNeed) {
                    std::uint32_t size = GetBE32(&m_RxFrame[13]);
                    if (size == 0) {
                        m_RxState = RX_START;
                        HandleGeneralFrame();
                    } else if (size > SIM_MAX_REQUEST_DATA) {
                        // More than the module can hold: refuse the frame at
                        // once and look for the next start byte.
                        m_RxState = RX_START;
                        ++m_Stats.rejected;
                        if (m_Options.log) m_Log.AddError("Frame too long");
                        AnswerGeneral(GetBE32(&m_RxFrame[1]), 0, 0, nullptr, 0, ERR_CHECKSUM);
                    } else {
                        m_RxNeed = PACKET_HEADER_SIZE + size + 4;
                        m_RxState = RX_DATA;
                    }
                }
                break;
            case RX_DATA:
                m_RxFrame.push_back(b);
                if (m_RxFrame.size() == m_RxNeed) {
                    m_RxState = RX_START;
                    HandleGeneralFrame();
                }
                break;
        }
    }
}

void CSimModule::HandleGeneralFrame() {
    const std::uint8_t* f = m_RxFrame.data();
    m_Rx.Reset();
    m_Rx.m_Command = GetBE32(f + 1);
    m_Rx.m_Param1 = GetBE32(f + 5);
    m_Rx.m_Param2 = GetBE32(f + 9);
    m_Rx.m_DataSize = GetBE32(f + 13);
    m_Rx.m_ErrCode = GetBE32(f + 17);
    m_Rx.m_HeaderChecksum = GetBE32(f + 21);
    bool ok = m_Rx.IsHeaderChecksumOK();
    if (m_Rx.m_DataSize > 0) {
        std::memcpy(m_Rx.m_Data, f + PACKET_HEADER_SIZE, m_Rx.m_DataSize);
        m_Rx.m_DataChecksum = GetBE32(f + PACKET_HEADER_SIZE + m_Rx.m_DataSize);
        ok = ok && m_Rx.IsDataChecksumOK();
    }
    m_RxFrame.clear();
    if (!ok) {
        ++m_Stats.rejected;
        if (m_Options.log) m_Log.AddError("Checksum error");
        AnswerGeneral(m_Rx.m_Command, 0, 0, nullptr, 0, ERR_CHECKSUM);
        return;
    }
    ++m_Stats.requests;
    DispatchGeneral(m_Rx);
}

void CSimModule::HandleMiniFrame() {
    std::uint8_t frame[MINI_FRAME_SIZE];
    std::copy(m_RxFrame.begin(), m_RxFrame.end(), frame);
    m_RxFrame.clear();
    if (!IsMiniChecksumOK(frame)) {
        ++m_Stats.ignoredFrames;  // a real module cannot tell whom to answer
        if (m_Options.log) m_Log.AddError("Frame checksum error");
        return;
    }
    ++m_Stats.requests;
    DispatchMini(frame);
}

void CSimModule::DispatchGeneral(const CPacket& rq) {
    for (const auto& entry : s_GeneralTable) {
        if (entry.command != rq.m_Command) continue;
        if (entry.needsMaster && !m_bMasterMode) {
            AnswerGeneral(rq.m_Command, RES_NO_MASTER_MODE, 0);
            std::string id = rq.m_DataSize >= ID_FIELD_SIZE ? TextField(rq, 0, ID_FIELD_SIZE) : std::string();
            switch (rq.m_Command) {
                case CMD_ENROLL:
                case CMD_ENROLL_EX: LogCommand(SIM_LOG_ENROLL, id, RES_NO_MASTER_MODE); break;
                case CMD_ENROLL2: LogCommand(SIM_LOG_ENROLL, "", RES_NO_MASTER_MODE); break;
                case CMD_DELETE: LogCommand(SIM_LOG_DELETE, id, RES_NO_MASTER_MODE); break;
                case CMD_DELETE_ALL: LogCommand(SIM_LOG_DELETE_ALL, "", RES_NO_MASTER_MODE); break;
                case CMD_SET_MASTER:
                    LogCommand(rq.m_Param1 ? SIM_LOG_SET_MASTER : SIM_LOG_RESET_MASTER, id, RES_NO_MASTER_MODE);
                    break;
                default: break;
            }
            return;
        }
        (this->*entry.handler)(rq);
        return;
    }
    // A command this module does not know.
    if (m_Options.log) {
        char text[32];
        std::snprintf(text, sizeof text, "Unknown command %u", static_cast<unsigned>(rq.m_Command));
        m_Log.AddError(text);
    }
    AnswerGeneral(rq.m_Command, 0, 0, nullptr, 0, ERR_UNKNOWN_COMMAND);
}

void CSimModule::DispatchMini(const std::uint8_t* frame) {
    for (const auto& entry : s_MiniTable) {
        if (entry.command != frame[2]) continue;
        if (entry.needsMaster && !m_bMasterMode) {
            AnswerMini(frame[2], RES_NO_MASTER_MODE, 0);
            if (frame[2] == MINI_ENROLL) LogCommand(SIM_LOG_ENROLL, "", RES_NO_MASTER_MODE);
            if (frame[2] == MINI_DELETE) LogCommand(SIM_LOG_DELETE, "", RES_NO_MASTER_MODE);
            if (frame[2] == MINI_DELETE_ALL) LogCommand(SIM_LOG_DELETE_ALL, "", RES_NO_MASTER_MODE);
            return;
        }
        (this->*entry.handler)(frame);
        return;
    }
    // Unknown Minimized command: the protocol has no way to say so.
    if (m_Options.log) {
        char text[32];
        std::snprintf(text, sizeof text, "Unknown frame 0x%02X", frame[2]);
        m_Log.AddError(text);
    }
}

// ---------------------------------------------------------------------------
// Answering

void CSimModule::AnswerGeneral(std::uint32_t command, std::uint32_t param1, std::uint32_t param2,
                               const std::uint8_t* data, std::size_t size, std::uint32_t errCode) {
    m_Tx.Reset();
    m_Tx.m_Command = command;
    m_Tx.m_Param1 = param1;
    m_Tx.m_Param2 = param2;
    m_Tx.m_ErrCode = errCode;
    m_Tx.m_DataSize = static_cast<std::uint32_t>(std::min(size, PACKET_DATA_SIZE));
    if (m_Tx.m_DataSize) std::memcpy(m_Tx.m_Data, data, m_Tx.m_DataSize);
    m_Tx.PrepareForSend();
    std::vector<std::uint8_t> frame(m_Tx.FrameSize());
    m_Tx.Serialize(frame.data(), frame.size());
    Emit(std::move(frame));
}

void CSimModule::AnswerMini(std::uint8_t command, std::uint8_t result, std::uint8_t value) {
    std::vector<std::uint8_t> frame(MINI_FRAME_SIZE);
    BuildMiniFrame(frame.data(), command, result, value);
    Emit(std::move(frame));
}

void CSimModule::Emit(std::vector<std::uint8_t> frame) {
    ++m_Stats.answers;
    auto roll = [this](double p) { return p > 0 && double(m_Random()) / 4294967296.0 < p; };
    if (m_nDropNext > 0 || roll(m_dDrop)) {
        if (m_nDropNext > 0) --m_nDropNext;
        ++m_Stats.dropped;
        return;
    }
    if (m_nCorruptNext > 0 || roll(m_dCorrupt)) {
        if (m_nCorruptNext > 0) --m_nCorruptNext;
        Corrupt(frame);
        ++m_Stats.corrupted;
    }
    if (m_bBatching) {
        m_Batch.insert(m_Batch.end(), frame.begin(), frame.end());
        return;
    }
    if (m_Output) m_Output(frame.data(), frame.size(), m_nBaud);
}

void CSimModule::EmitTogether(const std::function<void()>& answer) {
    m_bBatching = true;
    m_Batch.clear();
    answer();
    m_bBatching = false;
    std::vector<std::uint8_t> batch = std::move(m_Batch);
    m_Batch.clear();
    if (!batch.empty() && m_Output) m_Output(batch.data(), batch.size(), m_nBaud);
}

void CSimModule::Corrupt(std::vector<std::uint8_t>& frame) {
    // One byte inside what the checksums cover (or a checksum itself), so the
    // console always recognises the damage. Never the start byte, the byte
    // after it (0x5A there would turn a General frame into a Minimized one)
    // or a General frame's data-size field (the receiver would wait for data
    // that never comes instead of reporting the error).
    std::vector<std::size_t> positions;
    if (frame.size() == MINI_FRAME_SIZE && frame[1] == MINI_MARKER) {
        for (std::size_t i = 2; i < MINI_FRAME_SIZE; ++i) positions.push_back(i);
    } else {
        for (std::size_t i = 2; i < frame.size(); ++i)
            if (i < 13 || i >= 17) positions.push_back(i);
    }
    if (positions.empty()) return;
    std::size_t at = positions[m_Random() % positions.size()];
    frame[at] ^= static_cast<std::uint8_t>(1 + m_Random() % 255);
}

// ---------------------------------------------------------------------------
// Scans

void CSimModule::StartScan(bool mini, std::uint32_t command, int timeoutMs, std::uint32_t failParam2, int logCode,
                           const std::string& logId, std::function<void(int)> onFinger) {
    AbandonScan();  // a new scanning request replaces the one still waiting
    m_Scan.active = true;
    m_Scan.mini = mini;
    m_Scan.command = command;
    m_Scan.failParam2 = failParam2;
    m_Scan.logCode = logCode;
    m_Scan.logId = logId;
    m_Scan.deadline = m_Scheduler.NowMs() + timeoutMs;
    m_Scan.onFinger = std::move(onFinger);
    m_Scan.timer = m_Scheduler.After(0, [this] { PollScan(); });
}

void CSimModule::PollScan() {
    m_Scan.timer = 0;
    if (!m_Scan.active) return;
    if (m_nFinger != 0) {
        // A finger is down: the module reads it during the finger delay and
        // answers with whatever finger is there at its end.
        m_Scan.timer = m_Scheduler.After(m_nFingerDelayMs, [this] {
            m_Scan.timer = 0;
            if (!m_Scan.active) return;
            int finger = m_nFinger;
            if (finger == 0) {  // lifted again before it was read
                if (m_Scheduler.NowMs() >= m_Scan.deadline)
                    FinishScan(m_Scan.mini && m_Scan.command == MINI_DELETE ? RES_FAIL : RES_TIMEOUT);
                else
                    m_Scan.timer = m_Scheduler.After(SIM_SCAN_POLL_MS, [this] { PollScan(); });
                return;
            }
            std::function<void(int)> done = std::move(m_Scan.onFinger);
            m_Scan = SScan{};
            done(finger);
        });
        return;
    }
    std::int64_t left = m_Scan.deadline - m_Scheduler.NowMs();
    if (left <= 0) {
        // The Minimized delete answer knows no time-out: it fails.
        FinishScan(m_Scan.mini && m_Scan.command == MINI_DELETE ? RES_FAIL : RES_TIMEOUT);
        return;
    }
    m_Scan.timer = m_Scheduler.After(std::min<std::int64_t>(SIM_SCAN_POLL_MS, left), [this] { PollScan(); });
}

void CSimModule::FinishScan(std::uint32_t result) {
    SScan scan = std::move(m_Scan);
    m_Scan = SScan{};
    if (scan.timer) m_Scheduler.Cancel(scan.timer);
    if (scan.mini)
        AnswerMini(static_cast<std::uint8_t>(scan.command), static_cast<std::uint8_t>(result),
                   static_cast<std::uint8_t>(scan.failParam2));
    else
        AnswerGeneral(scan.command, result, scan.failParam2);
    if (scan.logCode >= 0)
        LogCommand(scan.logCode, scan.logId, result);
    else if (result == RES_TIMEOUT && m_Options.log)
        m_Log.AddError("Capture time out");
    if (IsEnrollCommand(scan.mini, scan.command)) m_Enroll = SPendingEnroll{};
}

void CSimModule::PowerCycle() {
    AbandonScan();
    m_Enroll = SPendingEnroll{};
    m_bMasterMode = false;
}

void CSimModule::AbandonScan() {
    if (m_Scan.timer) m_Scheduler.Cancel(m_Scan.timer);
    m_Scan = SScan{};
}

// ---------------------------------------------------------------------------
// Helpers

void CSimModule::LogCommand(int code, const std::string& id, std::uint32_t result) {
    if (m_Options.log && code >= 0)
        m_Log.AddCommand(static_cast<std::uint8_t>(code), id, static_cast<std::uint16_t>(result));
}

std::string CSimModule::TextField(const CPacket& rq, std::size_t offset, std::size_t fieldSize) {
    std::string text;
    if (rq.m_DataSize <= offset) return text;
    std::size_t avail = std::min<std::size_t>(fieldSize - 1, rq.m_DataSize - offset);
    for (std::size_t i = 0; i < avail && rq.m_Data[offset + i] != 0; ++i)
        text.push_back(static_cast<char>(rq.m_Data[offset + i]));
    return text;
}

std::uint8_t CSimModule::IdNumber(const std::string& id) {
    if (id.empty() || id.size() > 3 || !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    int n = std::stoi(id);
    return n <= 255 ? static_cast<std::uint8_t>(n) : 0;
}

SimRecord* CSimModule::Find(const std::string& id) {
    for (auto& r : m_Records)
        if (r.id == id) return &r;
    return nullptr;
}

const SimRecord* CSimModule::FindRecord(const std::string& id) const {
    for (const auto& r : m_Records)
        if (r.id == id) return &r;
    return nullptr;
}

const SimRecord* CSimModule::FindByFinger(int finger) const {
    for (const auto& r : m_Records)
        if (r.finger == finger) return &r;
    return nullptr;
}

int CSimModule::MasterCount() const {
    return static_cast<int>(std::count_if(m_Records.begin(), m_Records.end(), [](const SimRecord& r) { return r.master; }));
}

bool CSimModule::AddRecord(const SimRecord& record) {
    std::string id = record.id.substr(0, 9);
    if (id.empty() || Find(id) || m_Records.size() >= static_cast<std::size_t>(SIM_DB_CAPACITY)) return false;
    if (record.master && MasterCount() >= SIM_MASTER_LIMIT) return false;
    SimRecord stored = record;
    stored.id = id;
    stored.password = record.password.substr(0, 15);
    m_Records.push_back(stored);
    return true;
}

std::string CSimModule::NextFreeNumericId() const {
    for (int n = 1;; ++n) {
        std::string id = std::to_string(n);
        if (!FindRecord(id)) return id;
    }
}

void CSimModule::UpgradeCompleted() { m_wFirmware = m_wUpgradedFirmware ? m_wUpgradedFirmware : NextVersion(m_wFirmware); }

const std::vector<std::uint8_t>& CSimModule::ImageOf(int finger) {
    auto it = m_ImageCache.find(finger);
    if (it == m_ImageCache.end()) it = m_ImageCache.emplace(finger, SimFingerImage(finger)).first;
    return it->second;
}

