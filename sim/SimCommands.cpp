// The simulated module's command handlers, by command family: connection,
// verification, enrolment, database, master mode, log, user data, options,
// images. The parser, the answer path and the scans are in SimModule.cpp.
#include <algorithm>
#include <cstring>

#include "protocol/CommandCatalog.h"
#include "sim/SimImage.h"
#include "sim/SimModule.h"

// ---------------------------------------------------------------------------
// Link and identity

void CSimModule::OnConnect(const CPacket&) {
    // A (re)connection starts a new session: nothing left running, and master
    // mode has to be entered again, just as the console assumes.
    AbandonScan();
    m_Enroll = SPendingEnroll{};
    m_bMasterMode = false;
    AnswerGeneral(CMD_CONNECT, RES_SUCCESS, static_cast<std::uint32_t>(m_Records.size()));
}

void CSimModule::OnSetBaudRate(const CPacket& rq) {
    if (rq.m_Param2 > 4) {
        AnswerGeneral(CMD_SET_BAUDRATE, RES_INVALID_PARAM, 0);
        return;
    }
    AnswerGeneral(CMD_SET_BAUDRATE, RES_SUCCESS, 0);  // still at the old speed
    m_nBaud = BaudRateFromIndex(static_cast<int>(rq.m_Param2));
}

void CSimModule::OnGetVersion(const CPacket&) { AnswerGeneral(CMD_GET_VERSION, m_wFirmware, 0); }

void CSimModule::OnGetVersionEx(const CPacket&) { AnswerGeneral(CMD_GET_VERSION_EX, RES_SUCCESS, m_wFirmware); }

void CSimModule::OnGetDeviceInfo(const CPacket&) {
    if (m_nType == 0 && m_wFirmware < SIM_DEVICE_INFO_FIRMWARE) {
        AnswerGeneral(CMD_GET_DEVICE_INFO, 0, 0, nullptr, 0, ERR_UNKNOWN_COMMAND);
        return;
    }
    AnswerGeneral(CMD_GET_DEVICE_INFO, RES_SUCCESS, static_cast<std::uint32_t>(m_nType));
}

// ---------------------------------------------------------------------------
// Verification, identification, minutiae

void CSimModule::OnVerify(const CPacket& rq) {
    const std::uint32_t type = rq.m_Param1;
    const std::size_t need = type == 1 ? ID_FIELD_SIZE + PASSWORD_FIELD_SIZE : ID_FIELD_SIZE;
    std::string id = TextField(rq, 0, ID_FIELD_SIZE);
    if (type > 1 || rq.m_DataSize < need) {
        AnswerGeneral(CMD_VERIFY, RES_INVALID_PARAM, 0);
        LogCommand(SIM_LOG_VERIFY, id, RES_INVALID_PARAM);
        return;
    }
    const SimRecord* record = FindRecord(id);
    if (!record) {
        AnswerGeneral(CMD_VERIFY, RES_INVALID_ID, 0);
        LogCommand(SIM_LOG_VERIFY, id, RES_INVALID_ID);
        return;
    }
    if (type == 1) {
        // Password verification needs no finger.
        std::string password = TextField(rq, ID_FIELD_SIZE, PASSWORD_FIELD_SIZE);
        std::uint32_t result = !record->password.empty() && record->password == password ? RES_SUCCESS : RES_FAIL;
        AnswerGeneral(CMD_VERIFY, result, 0);
        LogCommand(SIM_LOG_VERIFY, id, result);
        return;
    }
    StartScan(false, CMD_VERIFY, m_nScanTimeoutMs, 0, SIM_LOG_VERIFY, id, [this, id](int finger) {
        const SimRecord* r = FindRecord(id);
        std::uint32_t result = !r ? RES_INVALID_ID : (r->finger == finger ? RES_SUCCESS : RES_FAIL);
        AnswerGeneral(CMD_VERIFY, result, 0);
        LogCommand(SIM_LOG_VERIFY, id, result);
    });
}

void CSimModule::OnIdentify(const CPacket&) {
    StartScan(false, CMD_IDENTIFY, m_nScanTimeoutMs, 0, SIM_LOG_IDENTIFY, "", [this](int finger) {
        const SimRecord* r = FindByFinger(finger);
        if (!r) {
            AnswerGeneral(CMD_IDENTIFY, RES_FAIL, 0);
            LogCommand(SIM_LOG_IDENTIFY, "", RES_FAIL);
            return;
        }
        std::uint8_t field[ID_FIELD_SIZE] = {};
        std::memcpy(field, r->id.data(), std::min<std::size_t>(r->id.size(), ID_FIELD_SIZE - 1));
        AnswerGeneral(CMD_IDENTIFY, RES_SUCCESS, 0, field, sizeof field);
        LogCommand(SIM_LOG_IDENTIFY, r->id, RES_SUCCESS);
    });
}

void CSimModule::OnInstantMatch(const CPacket& rq) {
    if (rq.m_DataSize != SIM_MINUTIAE_SIZE) {
        AnswerGeneral(CMD_INSTANT_MATCH, RES_INVALID_PARAM, 0);
        LogCommand(SIM_LOG_INSTANT_MATCH, "", RES_INVALID_PARAM);
        return;
    }
    std::vector<std::uint8_t> given(rq.m_Data, rq.m_Data + SIM_MINUTIAE_SIZE);
    StartScan(false, CMD_INSTANT_MATCH, m_nScanTimeoutMs, 0, SIM_LOG_INSTANT_MATCH, "", [this, given](int finger) {
        std::uint32_t result = SimFingerMinutiae(finger) == given ? RES_SUCCESS : RES_FAIL;
        AnswerGeneral(CMD_INSTANT_MATCH, result, 0);
        LogCommand(SIM_LOG_INSTANT_MATCH, "", result);
    });
}

void CSimModule::OnGetMinutiae(const CPacket&) {
    StartScan(false, CMD_GET_MINUTIAE, m_nScanTimeoutMs, 0, -1, "", [this](int finger) {
        std::vector<std::uint8_t> minutiae = SimFingerMinutiae(finger);
        AnswerGeneral(CMD_GET_MINUTIAE, RES_SUCCESS, 0, minutiae.data(), minutiae.size());
    });
}

void CSimModule::OnCancel(const CPacket&) {
    if (m_Scan.active) {
        if (m_bCancelInOneWrite) {
            EmitTogether([this] {
                FinishScan(RES_CANCELED);
                AnswerGeneral(CMD_CANCEL, RES_SUCCESS, 0);
            });
            return;
        }
        FinishScan(RES_CANCELED);  // the stopped operation answers first
        Later(SIM_CANCEL_ANSWER_GAP_MS, [this] { AnswerGeneral(CMD_CANCEL, RES_SUCCESS, 0); });
        return;
    }
    m_Enroll = SPendingEnroll{};  // a first enrolment scan waiting for its second is dropped
    AnswerGeneral(CMD_CANCEL, RES_IDLE, 0);
}

// ---------------------------------------------------------------------------
// Enrolment

std::uint32_t CSimModule::CheckEnrollStart(const std::string& id, std::uint32_t type) const {
    if (type > 1 || id.empty()) return RES_INVALID_PARAM;
    if (FindRecord(id)) return RES_USED_ID;
    if (m_Records.size() >= static_cast<std::size_t>(SIM_DB_CAPACITY)) return RES_DB_FULL;
    // The enrolment answers have no text for a full master table: report a
    // plain failure the console shows.
    if (type == 1 && MasterCount() >= SIM_MASTER_LIMIT) return RES_FAIL;
    return 0;
}

void CSimModule::EnrollFirstScan(bool mini, std::uint32_t command, const std::string& id, const std::string& password,
                                 bool master) {
    m_Enroll = SPendingEnroll{};
    StartScan(mini, command, m_nScanTimeoutMs, 0, SIM_LOG_ENROLL, id, [=](int finger) {
        m_Enroll.active = true;
        m_Enroll.mini = mini;
        m_Enroll.id = id;
        m_Enroll.password = password;
        m_Enroll.master = master;
        m_Enroll.finger = finger;
        if (mini)
            AnswerMini(MINI_ENROLL, RES_SUCCESS, 0);
        else
            AnswerGeneral(command, RES_SUCCESS, 0);  // m_Param2 0: first scan taken
    });
}

void CSimModule::EnrollSecondScan(bool mini, std::uint32_t command) {
    StartScan(mini, command, m_nScanTimeoutMs, 0, SIM_LOG_ENROLL, m_Enroll.id, [=](int finger) {
        SPendingEnroll e = m_Enroll;
        m_Enroll = SPendingEnroll{};
        std::uint32_t result;
        if (finger != e.finger)
            result = RES_ANOTHER_FINGER;
        else if (FindRecord(e.id))
            result = RES_USED_ID;
        else if (m_Records.size() >= static_cast<std::size_t>(SIM_DB_CAPACITY))
            result = RES_DB_FULL;
        else if (e.master && MasterCount() >= SIM_MASTER_LIMIT)
            result = RES_FAIL;
        else {
            m_Records.push_back(SimRecord{e.id, e.finger, e.master, e.password});
            result = RES_SUCCESS;
        }
        if (mini)
            AnswerMini(MINI_ENROLL, static_cast<std::uint8_t>(result), result == RES_SUCCESS ? IdNumber(e.id) : 0);
        else  // on success m_Param2 is the new fingerprint count
            AnswerGeneral(command, result, result == RES_SUCCESS ? static_cast<std::uint32_t>(m_Records.size()) : 0);
        LogCommand(SIM_LOG_ENROLL, e.id, result);
    });
}

void CSimModule::OnEnroll(const CPacket& rq) {
    std::string id = TextField(rq, 0, ID_FIELD_SIZE);
    std::uint32_t refusal = rq.m_DataSize < ID_FIELD_SIZE ? std::uint32_t(RES_INVALID_PARAM) : CheckEnrollStart(id, rq.m_Param1);
    if (refusal) {
        m_Enroll = SPendingEnroll{};
        AnswerGeneral(CMD_ENROLL, refusal, 0);
        LogCommand(SIM_LOG_ENROLL, id, refusal);
        return;
    }
    EnrollFirstScan(false, CMD_ENROLL, id, "", rq.m_Param1 == 1);
}

void CSimModule::OnEnroll2(const CPacket&) {
    if (!m_Enroll.active || m_Enroll.mini) {
        AnswerGeneral(CMD_ENROLL2, RES_FAIL, 0);
        LogCommand(SIM_LOG_ENROLL, "", RES_FAIL);
        return;
    }
    EnrollSecondScan(false, CMD_ENROLL2);
}

void CSimModule::OnEnrollEx(const CPacket& rq) {
    if (rq.m_Param2 == 0) {
        std::string id = TextField(rq, 0, ID_FIELD_SIZE);
        std::string password = TextField(rq, ID_FIELD_SIZE, PASSWORD_FIELD_SIZE);
        std::uint32_t refusal =
            rq.m_DataSize < ID_FIELD_SIZE ? std::uint32_t(RES_INVALID_PARAM) : CheckEnrollStart(id, rq.m_Param1);
        if (refusal) {
            m_Enroll = SPendingEnroll{};
            AnswerGeneral(CMD_ENROLL_EX, refusal, 0);
            LogCommand(SIM_LOG_ENROLL, id, refusal);
            return;
        }
        EnrollFirstScan(false, CMD_ENROLL_EX, id, password, rq.m_Param1 == 1);
        return;
    }
    if (rq.m_Param2 == 1) {
        if (!m_Enroll.active || m_Enroll.mini) {
            AnswerGeneral(CMD_ENROLL_EX, RES_FAIL, 0);
            LogCommand(SIM_LOG_ENROLL, "", RES_FAIL);
            return;
        }
        EnrollSecondScan(false, CMD_ENROLL_EX);
        return;
    }
    AnswerGeneral(CMD_ENROLL_EX, RES_INVALID_PARAM, 0);
    LogCommand(SIM_LOG_ENROLL, "", RES_INVALID_PARAM);
}

// ---------------------------------------------------------------------------
// Database

void CSimModule::OnDelete(const CPacket& rq) {
    std::string id = TextField(rq, 0, ID_FIELD_SIZE);
    std::uint32_t result;
    if (rq.m_DataSize < ID_FIELD_SIZE) {
        result = RES_INVALID_PARAM;
    } else {
        auto it = std::find_if(m_Records.begin(), m_Records.end(), [&](const SimRecord& r) { return r.id == id; });
        if (it == m_Records.end()) {
            result = RES_INVALID_ID;
        } else {
            m_Records.erase(it);
            result = RES_SUCCESS;
        }
    }
    AnswerGeneral(CMD_DELETE, result, result == RES_SUCCESS ? static_cast<std::uint32_t>(m_Records.size()) : 0);
    LogCommand(SIM_LOG_DELETE, id, result);
}

void CSimModule::OnDeleteAll(const CPacket& rq) {
    const std::uint32_t which = rq.m_Param1;  // 0 all, 1 users, 2 masters
    if (which > 2) {
        AnswerGeneral(CMD_DELETE_ALL, RES_INVALID_PARAM, 0);
        LogCommand(SIM_LOG_DELETE_ALL, "", RES_INVALID_PARAM);
        return;
    }
    m_Records.erase(std::remove_if(m_Records.begin(), m_Records.end(),
                                   [which](const SimRecord& r) {
                                       return which == 0 || (which == 1 && !r.master) || (which == 2 && r.master);
                                   }),
                    m_Records.end());
    AnswerGeneral(CMD_DELETE_ALL, RES_SUCCESS, static_cast<std::uint32_t>(m_Records.size()));
    LogCommand(SIM_LOG_DELETE_ALL, "", RES_SUCCESS);
}

void CSimModule::OnSetMaster(const CPacket& rq) {
    const std::uint32_t mode = rq.m_Param1;  // 1 set, 0 reset
    const int code = mode == 0 ? SIM_LOG_RESET_MASTER : SIM_LOG_SET_MASTER;
    std::string id = TextField(rq, 0, ID_FIELD_SIZE);
    std::uint32_t result;
    SimRecord* record = Find(id);
    if (mode > 1 || rq.m_DataSize < ID_FIELD_SIZE)
        result = RES_INVALID_PARAM;
    else if (!record)
        result = RES_INVALID_ID;
    else if (mode == 1 && !record->master && MasterCount() >= SIM_MASTER_LIMIT)
        result = RES_MASTER_FULL;
    else {
        record->master = mode == 1;
        result = RES_SUCCESS;
    }
    AnswerGeneral(CMD_SET_MASTER, result, 0);
    LogCommand(code, id, result);
}

void CSimModule::OnGetFpList(const CPacket& rq) {
    const bool mastersOnly = rq.m_Command == CMD_GET_MASTER_LIST || rq.m_Command == CMD_GET_MASTER_LIST_EX;
    const bool ex = rq.m_Command == CMD_GET_FP_LIST_EX || rq.m_Command == CMD_GET_MASTER_LIST_EX;
    std::vector<std::uint8_t> data;
    std::uint32_t count = 0;
    if (ex) data.resize(4);  // record count and capacity, big-endian 16-bit each
    for (const auto& r : m_Records) {
        if (mastersOnly && !r.master) continue;
        std::uint8_t field[ID_FIELD_SIZE] = {};
        std::memcpy(field, r.id.data(), std::min<std::size_t>(r.id.size(), ID_FIELD_SIZE - 1));
        data.insert(data.end(), field, field + ID_FIELD_SIZE);
        ++count;
    }
    if (ex) {
        PutBE16(data.data(), static_cast<std::uint16_t>(count));
        PutBE16(data.data() + 2, static_cast<std::uint16_t>(SIM_DB_CAPACITY));
    }
    AnswerGeneral(rq.m_Command, RES_SUCCESS, count, data.data(), data.size());
}

// ---------------------------------------------------------------------------
// Master mode and passwords

void CSimModule::OnEnterMaster(const CPacket& rq) {
    const std::uint32_t command = rq.m_Command;
    const bool ex = command == CMD_ENTER_MASTER_EX;
    const std::uint32_t auth = ex ? rq.m_Param1 : rq.m_Param2;
    // Every answer carries the authentication type it answers in m_Param2.
    auto answer = [&](std::uint32_t result, const std::string& id) {
        if (result == RES_SUCCESS) m_bMasterMode = true;
        AnswerGeneral(command, result, auth);
        LogCommand(SIM_LOG_ENTER_MASTER, id, result);
    };
    switch (auth) {
        case 3:
            // The credential-free opening request: granted only by a module
            // that has nothing to protect yet (or is in master mode already).
            if (m_bMasterMode || IsFresh())
                answer(RES_SUCCESS, "");
            else
                AnswerGeneral(command, RES_FAIL, auth);
            return;
        case 0: {
            if (rq.m_DataSize < ID_FIELD_SIZE) return answer(RES_INVALID_PARAM, "");
            std::string id = TextField(rq, 0, ID_FIELD_SIZE);
            const SimRecord* record = FindRecord(id);
            if (!record || !record->master) return answer(RES_INVALID_ID, id);
            StartScan(false, command, m_nScanTimeoutMs, auth, SIM_LOG_ENTER_MASTER, id, [this, command, id](int finger) {
                const SimRecord* r = FindRecord(id);
                std::uint32_t result = r && r->master && r->finger == finger ? RES_SUCCESS : RES_FAIL;
                if (result == RES_SUCCESS) m_bMasterMode = true;
                AnswerGeneral(command, result, 0);
                LogCommand(SIM_LOG_ENTER_MASTER, id, result);
            });
            return;
        }
        case 1: {
            if (!ex || rq.m_DataSize < ID_FIELD_SIZE + PASSWORD_FIELD_SIZE) return answer(RES_INVALID_PARAM, "");
            std::string id = TextField(rq, 0, ID_FIELD_SIZE);
            std::string password = TextField(rq, ID_FIELD_SIZE, PASSWORD_FIELD_SIZE);
            const SimRecord* record = FindRecord(id);
            if (!record || !record->master) return answer(RES_INVALID_ID, id);
            return answer(!record->password.empty() && record->password == password ? RES_SUCCESS : RES_FAIL, id);
        }
        case 2: {
            if (rq.m_DataSize == 0) return answer(RES_INVALID_PARAM, "");
            std::string password = TextField(rq, 0, PASSWORD_FIELD_SIZE);
            return answer(!m_strDevicePassword.empty() && password == m_strDevicePassword ? RES_SUCCESS : RES_FAIL, "");
        }
        default:
            return answer(RES_INVALID_PARAM, "");
    }
}

void CSimModule::OnLeaveMaster(const CPacket&) {
    if (!m_bMasterMode) {
        AnswerGeneral(CMD_LEAVE_MASTER, RES_NO_MASTER_MODE, 0);
        return;
    }
    m_bMasterMode = false;
    AnswerGeneral(CMD_LEAVE_MASTER, RES_SUCCESS, 0);
}

void CSimModule::OnSetMasterPassword(const CPacket& rq) {
    std::string password = TextField(rq, 0, PASSWORD_FIELD_SIZE);
    if (password.empty()) {  // an empty password would lock nothing: delete it instead
        AnswerGeneral(CMD_SET_MASTER_PASSWORD, RES_FAIL, 0);
        return;
    }
    m_strDevicePassword = password;
    AnswerGeneral(CMD_SET_MASTER_PASSWORD, RES_SUCCESS, 0);
}

void CSimModule::OnDeleteMasterPassword(const CPacket&) {
    if (m_strDevicePassword.empty()) {
        AnswerGeneral(CMD_DELETE_MASTER_PASSWORD, RES_FAIL, 0);
        return;
    }
    m_strDevicePassword.clear();
    AnswerGeneral(CMD_DELETE_MASTER_PASSWORD, RES_SUCCESS, 0);
}

// ---------------------------------------------------------------------------
// Event log

void CSimModule::OnGetLog(const CPacket& rq) {
    // Blocks of up to SIM_LOG_BLOCK_RECORDS records, oldest first; the last
    // block is numbered 0xFFFF instead of its number.
    const std::size_t total = m_Log.Count();
    const std::size_t blocks = total == 0 ? 1 : (total + SIM_LOG_BLOCK_RECORDS - 1) / SIM_LOG_BLOCK_RECORDS;
    const std::size_t block = rq.m_Param1;
    std::vector<std::uint8_t> data;
    if (block < blocks) {
        std::size_t first = block * SIM_LOG_BLOCK_RECORDS;
        std::size_t end = std::min(total, first + SIM_LOG_BLOCK_RECORDS);
        data.resize((end - first) * SIM_LOG_RECORD_SIZE);
        for (std::size_t i = first; i < end; ++i)
            CSimLog::Serialize(m_Log.At(i), data.data() + (i - first) * SIM_LOG_RECORD_SIZE);
    }
    const bool last = block + 1 >= blocks;
    AnswerGeneral(CMD_GET_LOG, last ? SIM_LOG_LAST_BLOCK : static_cast<std::uint32_t>(block),
                  static_cast<std::uint32_t>(data.size() / SIM_LOG_RECORD_SIZE), data.data(), data.size());
}

void CSimModule::OnGetLogEx(const CPacket& rq) {
    const std::uint32_t type = rq.m_Param1;
    const std::uint32_t value = rq.m_Param2;
    const std::size_t total = m_Log.Count();
    std::vector<std::size_t> positions;  // the records of the whole answer
    std::uint32_t block = 0;

    switch (type) {
        case 0:  // Nth previous: 0 is the last record written
            if (value < total) positions.push_back(total - 1 - value);
            break;
        case 1: {  // the oldest record not read yet; it counts as read now
            std::vector<std::size_t> unread = m_Log.Select(m_Log.FirstUnread(), 0xFFFFFFFFu);
            if (!unread.empty()) {
                positions.push_back(unread.front());
                m_Log.MarkReadUpTo(m_Log.At(unread.front()).index);
            }
            break;
        }
        case 2:  // the last record written
            if (total) positions.push_back(total - 1);
            break;
        case 3:    // everything
        case 4: {  // from the oldest unread record to the last
            block = value;
            if (block == 0 || !m_bLogExOpen || m_LogExType != type) {
                // A new read: its range is fixed now, so records written while
                // the blocks are read do not shift them.
                m_LogExType = type;
                m_LogExFirst = type == 3 ? (total ? m_Log.At(0).index : m_Log.NextIndex()) : m_Log.FirstUnread();
                m_LogExLast = m_Log.NextIndex() - 1;
                m_bLogExOpen = true;
            }
            positions = m_Log.Select(m_LogExFirst, m_LogExLast);
            break;
        }
        default:
            AnswerGeneral(CMD_GET_LOG_EX, RES_INVALID_PARAM, 0);
            return;
    }

    if (positions.empty()) {
        m_bLogExOpen = false;
        AnswerGeneral(CMD_GET_LOG_EX, RES_SUCCESS, 0);  // no data: nothing to read
        return;
    }
    const std::uint32_t lastBlock = static_cast<std::uint32_t>((positions.size() - 1) / SIM_LOG_BLOCK_RECORDS);
    if (block > lastBlock) {
        AnswerGeneral(CMD_GET_LOG_EX, RES_INVALID_PARAM, 0);
        return;
    }
    std::size_t first = block * SIM_LOG_BLOCK_RECORDS;
    std::size_t end = std::min(positions.size(), first + SIM_LOG_BLOCK_RECORDS);
    std::vector<std::uint8_t> data(4 + (end - first) * SIM_LOG_RECORD_SIZE);
    PutBE16(data.data(), static_cast<std::uint16_t>(end - first));        // records in this block
    PutBE16(data.data() + 2, static_cast<std::uint16_t>(positions.size()));  // records in the whole answer
    for (std::size_t i = first; i < end; ++i)
        CSimLog::Serialize(m_Log.At(positions[i]), data.data() + 4 + (i - first) * SIM_LOG_RECORD_SIZE);
    if (block == lastBlock && (type == 3 || type == 4)) {
        if (type == 4) m_Log.MarkReadUpTo(m_LogExLast);
        m_bLogExOpen = false;
    }
    AnswerGeneral(CMD_GET_LOG_EX, RES_SUCCESS, (block << 8) | lastBlock, data.data(), data.size());
}

// ---------------------------------------------------------------------------
// User data

void CSimModule::OnReadUserData(const CPacket& rq) {
    const std::uint64_t address = rq.m_Param1, size = rq.m_Param2;
    if (address >= SIM_USER_DATA_SIZE || address + size > SIM_USER_DATA_SIZE) {
        AnswerGeneral(CMD_READ_USER_DATA, RES_INVALID_PARAM, 0);
        return;
    }
    AnswerGeneral(CMD_READ_USER_DATA, RES_SUCCESS, static_cast<std::uint32_t>(size), m_UserData.data() + address,
                  static_cast<std::size_t>(size));
}

void CSimModule::OnWriteUserData(const CPacket& rq) {
    const std::uint64_t address = rq.m_Param1, size = rq.m_Param2;
    if (size != rq.m_DataSize || address >= SIM_USER_DATA_SIZE || address + size > SIM_USER_DATA_SIZE) {
        AnswerGeneral(CMD_WRITE_USER_DATA, RES_INVALID_PARAM, 0);
        return;
    }
    std::copy(rq.m_Data, rq.m_Data + size, m_UserData.begin() + static_cast<std::ptrdiff_t>(address));
    AnswerGeneral(CMD_WRITE_USER_DATA, RES_SUCCESS, 0);
}

void CSimModule::OnEraseUserData(const CPacket&) {
    std::fill(m_UserData.begin(), m_UserData.end(), 0);
    AnswerGeneral(CMD_ERASE_USER_DATA, RES_SUCCESS, 0);
}

// ---------------------------------------------------------------------------
// Options

void CSimModule::OnSetOption(const CPacket& rq) {
    const std::uint32_t v = rq.m_Param2;
    bool ok = false;
    switch (rq.m_Command) {
        case CMD_SET_OPP_OPTION: {
            std::uint32_t gain = (v >> 16) & 0xFF, brightness = (v >> 8) & 0xFF, contrast = v & 0xFF;
            ok = (v >> 24) == 0 && gain >= 1 && gain <= 63 && brightness <= 100 && contrast <= 100;
            if (ok) m_Options.gain = gain, m_Options.brightness = brightness, m_Options.contrast = contrast;
            break;
        }
        case CMD_SET_SECURITY_LEVEL: {
            std::uint32_t verify = v >> 16, identify = v & 0xFFFF;
            ok = verify >= 1 && verify <= 9 && identify >= 1 && identify <= 9;
            if (ok) m_Options.verifyLevel = verify, m_Options.identifyLevel = identify;
            break;
        }
        case CMD_SET_LATENT_OPTION:
            if ((ok = v <= 1)) m_Options.latent = v;
            break;
        case CMD_SET_DB_INIT_OPTION:
            if ((ok = v <= 1)) m_Options.dbInit = v;
            break;
        case CMD_SET_LOG_OPTION:
            if ((ok = v <= 1)) m_Options.log = v;
            break;
        case CMD_SET_CAPTURE_PERIOD:
            if ((ok = v >= 1 && v <= 255)) m_Options.capturePeriod = v;
            break;
        default: break;
    }
    AnswerGeneral(rq.m_Command, ok ? RES_SUCCESS : RES_INVALID_PARAM, 0);
}

void CSimModule::OnGetOption(const CPacket& rq) {
    std::uint32_t v = 0;
    switch (rq.m_Command) {
        case CMD_GET_OPP_OPTION: v = (m_Options.gain << 16) | (m_Options.brightness << 8) | m_Options.contrast; break;
        case CMD_GET_SECURITY_LEVEL: v = (m_Options.verifyLevel << 16) | m_Options.identifyLevel; break;
        case CMD_GET_LATENT_OPTION: v = m_Options.latent; break;
        case CMD_GET_DB_INIT_OPTION: v = m_Options.dbInit; break;
        case CMD_GET_LOG_OPTION: v = m_Options.log; break;
        case CMD_GET_CAPTURE_PERIOD: v = m_Options.capturePeriod; break;
        default: break;
    }
    AnswerGeneral(rq.m_Command, RES_SUCCESS, v);
}

// ---------------------------------------------------------------------------
// Images

void CSimModule::OnGetImage(const CPacket& rq) {
    const std::uint32_t command = rq.m_Command;
    const std::uint32_t piece = rq.m_Param2;
    const std::uint32_t lastPiece = command == CMD_GET_IMAGE ? SIM_IMAGE_LAST_PIECE : SIM_IMAGE2_LAST_PIECE;
    if (piece > lastPiece) {
        // Beyond the image: an empty piece with its number for CMD_GET_IMAGE
        // (whose answer has no other way to end), a refusal for CMD_GET_IMAGE2.
        AnswerGeneral(command, RES_INVALID_PARAM, command == CMD_GET_IMAGE ? piece : 0);
        return;
    }
    if (piece == 0 || m_nImageFinger == 0) {
        CaptureAndAnswer(command, piece);  // piece 0 takes a new image
        return;
    }
    AnswerImagePiece(command, piece);
}

void CSimModule::CaptureAndAnswer(std::uint32_t command, std::uint32_t piece) {
    StartScan(false, command, m_nImageTimeoutMs, 0, -1, "", [this, command, piece](int finger) {
        m_nImageFinger = finger;
        AnswerImagePiece(command, piece);
    });
}

void CSimModule::AnswerImagePiece(std::uint32_t command, std::uint32_t piece) {
    const std::vector<std::uint8_t>& image = ImageOf(m_nImageFinger);
    const std::uint32_t pieceSize = command == CMD_GET_IMAGE ? SIM_IMAGE_PIECE : SIM_IMAGE2_PIECE;
    const std::size_t offset = std::size_t(piece) * pieceSize;
    const std::size_t count = std::min<std::size_t>(pieceSize, SIM_IMAGE_SIZE - offset);
    if (command == CMD_GET_IMAGE)
        AnswerGeneral(command, RES_SUCCESS, piece, image.data() + offset, count);
    else
        AnswerGeneral(command, RES_SUCCESS, (piece << 8) | SIM_IMAGE2_LAST_PIECE, image.data() + offset, count);
}

// ---------------------------------------------------------------------------
// Firmware, status, power

void CSimModule::OnUpgradeHex(const CPacket& rq) {
    CSimFirmware::Answer a = m_Firmware.OnHexRecord(rq);
    AnswerGeneral(CMD_UPGRADE_HEX, a.result, a.param2);
    if (a.completed) UpgradeCompleted();
}

void CSimModule::OnUpgradeBin(const CPacket& rq) {
    CSimFirmware::Answer a = m_Firmware.OnBinChunk(rq);
    AnswerGeneral(CMD_UPGRADE_BIN, a.result, a.param2);
    if (a.completed) UpgradeCompleted();
}

void CSimModule::OnStatus(const CPacket&) { AnswerGeneral(CMD_STATUS, RES_SUCCESS, m_Scan.active ? 1 : 0); }

void CSimModule::OnCheckVoltage(const CPacket&) { AnswerGeneral(CMD_CHECK_VOLTAGE, RES_SUCCESS, m_bLowVoltage ? 1 : 0); }

// ---------------------------------------------------------------------------
// Minimized frames: byte 3 of an answer is the result, byte 4 a value.

void CSimModule::OnMiniConnect(const std::uint8_t*) {
    AbandonScan();
    m_Enroll = SPendingEnroll{};
    m_bMasterMode = false;
    AnswerMini(MINI_CONNECT, RES_SUCCESS, static_cast<std::uint8_t>(std::min<std::size_t>(m_Records.size(), 255)));
}

void CSimModule::OnMiniSetBaudRate(const std::uint8_t* f) {
    if (f[3] > 4) {
        AnswerMini(MINI_SET_BAUDRATE, RES_INVALID_PARAM, f[3]);
        return;
    }
    AnswerMini(MINI_SET_BAUDRATE, RES_SUCCESS, f[3]);  // still at the old speed
    m_nBaud = BaudRateFromIndex(f[3]);
}

void CSimModule::OnMiniIdentify(const std::uint8_t*) {
    StartScan(true, MINI_IDENTIFY, m_nScanTimeoutMs, 0, SIM_LOG_MIN_IDENTIFY, "", [this](int finger) {
        const SimRecord* r = FindByFinger(finger);
        if (!r) {
            AnswerMini(MINI_IDENTIFY, RES_FAIL, 0);
            LogCommand(SIM_LOG_MIN_IDENTIFY, "", RES_FAIL);
            return;
        }
        AnswerMini(MINI_IDENTIFY, RES_SUCCESS, IdNumber(r->id));  // numeric IDs up to 255, else 0
        LogCommand(SIM_LOG_MIN_IDENTIFY, r->id, RES_SUCCESS);
    });
}

void CSimModule::OnMiniCancel(const std::uint8_t*) {
    if (m_Scan.active) {
        if (m_bCancelInOneWrite) {
            EmitTogether([this] {
                FinishScan(RES_CANCELED);
                AnswerMini(MINI_CANCEL, RES_SUCCESS, 0);
            });
            return;
        }
        FinishScan(RES_CANCELED);
        Later(SIM_CANCEL_ANSWER_GAP_MS, [this] { AnswerMini(MINI_CANCEL, RES_SUCCESS, 0); });
        return;
    }
    m_Enroll = SPendingEnroll{};
    AnswerMini(MINI_CANCEL, RES_IDLE, 0);
}

void CSimModule::OnMiniDelete(const std::uint8_t*) {
    // The frame names no ID: the module deletes the record of the finger on
    // the sensor.
    StartScan(true, MINI_DELETE, m_nScanTimeoutMs, 0, SIM_LOG_DELETE, "", [this](int finger) {
        const SimRecord* r = FindByFinger(finger);
        if (!r) {
            AnswerMini(MINI_DELETE, RES_FAIL, 0);
            LogCommand(SIM_LOG_DELETE, "", RES_FAIL);
            return;
        }
        std::string id = r->id;
        m_Records.erase(m_Records.begin() + (r - m_Records.data()));
        AnswerMini(MINI_DELETE, RES_SUCCESS, static_cast<std::uint8_t>(m_Records.size()));
        LogCommand(SIM_LOG_DELETE, id, RES_SUCCESS);
    });
}

void CSimModule::OnMiniDeleteAll(const std::uint8_t*) {
    m_Records.clear();
    AnswerMini(MINI_DELETE_ALL, RES_SUCCESS, 0);
    LogCommand(SIM_LOG_DELETE_ALL, "", RES_SUCCESS);
}

void CSimModule::OnMiniEnterMaster(const std::uint8_t*) {
    if (m_bMasterMode || IsFresh()) {
        m_bMasterMode = true;
        AnswerMini(MINI_ENTER_MASTER, RES_SUCCESS, 0);
        LogCommand(SIM_LOG_ENTER_MASTER, "", RES_SUCCESS);
        return;
    }
    // No credentials travel in this protocol: a master's finger opens it.
    StartScan(true, MINI_ENTER_MASTER, m_nScanTimeoutMs, 0, SIM_LOG_ENTER_MASTER, "", [this](int finger) {
        const SimRecord* master = nullptr;
        for (const auto& r : m_Records)
            if (r.master && r.finger == finger) {
                master = &r;
                break;
            }
        if (master) m_bMasterMode = true;
        std::uint32_t result = master ? RES_SUCCESS : RES_FAIL;
        AnswerMini(MINI_ENTER_MASTER, static_cast<std::uint8_t>(result), 0);
        LogCommand(SIM_LOG_ENTER_MASTER, master ? master->id : std::string(), result);
    });
}

void CSimModule::OnMiniLeaveMaster(const std::uint8_t*) {
    if (!m_bMasterMode) {
        AnswerMini(MINI_LEAVE_MASTER, RES_NO_MASTER_MODE, 0);
        return;
    }
    m_bMasterMode = false;
    AnswerMini(MINI_LEAVE_MASTER, RES_SUCCESS, 0);
}

void CSimModule::OnMiniEnroll(const std::uint8_t* f) {
    const std::uint8_t step = f[4];
    if (step == 0) {
        // No ID travels in this protocol: the module numbers the record itself.
        if (m_Records.size() >= static_cast<std::size_t>(SIM_DB_CAPACITY)) {
            m_Enroll = SPendingEnroll{};
            AnswerMini(MINI_ENROLL, RES_DB_FULL, 0);
            LogCommand(SIM_LOG_ENROLL, "", RES_DB_FULL);
            return;
        }
        EnrollFirstScan(true, MINI_ENROLL, NextFreeNumericId(), "", false);
        return;
    }
    if (step == 1) {
        if (!m_Enroll.active || !m_Enroll.mini) {
            AnswerMini(MINI_ENROLL, RES_FAIL, 0);
            LogCommand(SIM_LOG_ENROLL, "", RES_FAIL);
            return;
        }
        EnrollSecondScan(true, MINI_ENROLL);
        return;
    }
    AnswerMini(MINI_ENROLL, RES_INVALID_PARAM, 0);
}

void CSimModule::OnMiniStatus(const std::uint8_t*) {
    // Byte 3 is the state itself here: 0 idle, 1 busy.
    AnswerMini(MINI_STATUS, m_Scan.active ? 1 : 0, 0);
}
