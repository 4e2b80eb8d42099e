// Request builders of the General and Minimized command sets.
#include <algorithm>
#include <cstring>

#include "protocol/PacketManagerWnd.h"

CPacket& CPacketManagerWnd::Begin(std::uint32_t command, std::uint32_t param1, std::uint32_t param2,
                                  std::uint32_t dataSize) {
    CPacket& p = m_TxPacket;
    p.m_Command = command;
    p.m_Param1 = param1;
    p.m_Param2 = param2;
    p.m_DataSize = dataSize;
    p.m_ErrCode = 0;
    return p;
}

// A text field: the text (cut to the field less its terminator), a zero byte,
// and zeros to the end of the field.
void CPacketManagerWnd::FillText(std::size_t offset, std::size_t fieldSize, const std::string& text) {
    std::size_t n = std::min(text.size(), fieldSize - 1);
    std::memcpy(m_TxPacket.m_Data + offset, text.data(), n);
    std::memset(m_TxPacket.m_Data + offset + n, 0, fieldSize - n);
}

namespace {
// Data carried by an enter-master request for each authentication type.
std::uint32_t AuthDataSize(std::uint32_t authType) {
    switch (authType) {
        case 0: return ID_FIELD_SIZE;
        case 1: return ID_FIELD_SIZE + PASSWORD_FIELD_SIZE;
        case 2: return PASSWORD_FIELD_SIZE;
        default: return 0;
    }
}
}  // namespace

#define SEND_SIMPLE(Name, Command)      \
    void CPacketManagerWnd::Name() {    \
        Begin(Command).PrepareForSend(); \
        SendPacket(m_TxPacket);         \
    }

SEND_SIMPLE(SendConnect, CMD_CONNECT)
SEND_SIMPLE(SendGetVersion, CMD_GET_VERSION)
SEND_SIMPLE(SendGetVersionEx, CMD_GET_VERSION_EX)
SEND_SIMPLE(SendGetDeviceInfo, CMD_GET_DEVICE_INFO)
SEND_SIMPLE(SendIdentify, CMD_IDENTIFY)
SEND_SIMPLE(SendGetMinutiae, CMD_GET_MINUTIAE)
SEND_SIMPLE(SendCancel, CMD_CANCEL)
SEND_SIMPLE(SendLeaveMaster, CMD_LEAVE_MASTER)
SEND_SIMPLE(SendGetFpList, CMD_GET_FP_LIST)
SEND_SIMPLE(SendGetMasterList, CMD_GET_MASTER_LIST)
SEND_SIMPLE(SendEraseUserData, CMD_ERASE_USER_DATA)
SEND_SIMPLE(SendDeleteMasterPassword, CMD_DELETE_MASTER_PASSWORD)
SEND_SIMPLE(SendGetFpListEx, CMD_GET_FP_LIST_EX)
SEND_SIMPLE(SendGetMasterListEx, CMD_GET_MASTER_LIST_EX)
SEND_SIMPLE(SendGetOppOption, CMD_GET_OPP_OPTION)
SEND_SIMPLE(SendGetSecurityLevel, CMD_GET_SECURITY_LEVEL)
SEND_SIMPLE(SendGetLatentOption, CMD_GET_LATENT_OPTION)
SEND_SIMPLE(SendGetDbInitOption, CMD_GET_DB_INIT_OPTION)
SEND_SIMPLE(SendGetLogOption, CMD_GET_LOG_OPTION)
SEND_SIMPLE(SendGetCapturePeriod, CMD_GET_CAPTURE_PERIOD)
SEND_SIMPLE(SendStatus, CMD_STATUS)
#undef SEND_SIMPLE

#define SEND_PARAM2(Name, Command)                   \
    void CPacketManagerWnd::Name(std::uint32_t value) { \
        Begin(Command, 0, value).PrepareForSend();   \
        SendPacket(m_TxPacket);                      \
    }

SEND_PARAM2(SendSetBaudRate, CMD_SET_BAUDRATE)
SEND_PARAM2(SendSetLatentOption, CMD_SET_LATENT_OPTION)
SEND_PARAM2(SendSetDbInitOption, CMD_SET_DB_INIT_OPTION)
SEND_PARAM2(SendSetLogOption, CMD_SET_LOG_OPTION)
SEND_PARAM2(SendSetCapturePeriod, CMD_SET_CAPTURE_PERIOD)
#undef SEND_PARAM2

void CPacketManagerWnd::SendVerify(std::uint32_t type, const std::string& id, const std::string& password) {
    bool withPassword = type != 0;
    Begin(CMD_VERIFY, type, 0, withPassword ? ID_FIELD_SIZE + PASSWORD_FIELD_SIZE : ID_FIELD_SIZE);
    FillText(0, ID_FIELD_SIZE, id);
    if (withPassword) FillText(ID_FIELD_SIZE, PASSWORD_FIELD_SIZE, password);
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendInstantMatch(const std::uint8_t* minutiae) {
    Begin(CMD_INSTANT_MATCH, 0, 0, MINUTIAE_SIZE);
    std::memcpy(m_TxPacket.m_Data, minutiae, MINUTIAE_SIZE);
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendEnroll(std::uint32_t enrollType, const std::string& id) {
    Begin(CMD_ENROLL, enrollType, 0, ID_FIELD_SIZE);
    std::memset(m_TxPacket.m_Data, 0, sizeof m_TxPacket.m_Data);
    FillText(0, ID_FIELD_SIZE, id);
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendEnroll2(std::uint32_t enrollType) {
    Begin(CMD_ENROLL2, enrollType).PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendDelete(const std::string& id) {
    Begin(CMD_DELETE, 0, 0, ID_FIELD_SIZE);
    FillText(0, ID_FIELD_SIZE, id);
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendDeleteAll(std::uint32_t which) {
    Begin(CMD_DELETE_ALL, which).PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendSetMaster(std::uint32_t set, const std::string& id) {
    Begin(CMD_SET_MASTER, set, 0, ID_FIELD_SIZE);
    FillText(0, ID_FIELD_SIZE, id);
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

// Fills the credentials of an enter-master request begun by the caller and sends it.
void CPacketManagerWnd::SendAuthenticated(std::uint32_t authType, const std::string& id,
                                          const std::string& password) {
    switch (authType) {
        case 0: FillText(0, ID_FIELD_SIZE, id); break;
        case 1:
            FillText(0, ID_FIELD_SIZE, id);
            FillText(ID_FIELD_SIZE, PASSWORD_FIELD_SIZE, password);
            break;
        case 2: FillText(0, PASSWORD_FIELD_SIZE, password); break;
        default: break;
    }
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendEnterMaster(std::uint32_t authType, const std::string& id,
                                        const std::string& password) {
    Begin(CMD_ENTER_MASTER, 0, authType, AuthDataSize(authType));
    SendAuthenticated(authType, id, password);
}

void CPacketManagerWnd::SendEnterMasterEx(std::uint32_t authType, const std::string& id,
                                          const std::string& password) {
    Begin(CMD_ENTER_MASTER_EX, authType, 0, AuthDataSize(authType));
    SendAuthenticated(authType, id, password);
}

void CPacketManagerWnd::SendSetMasterPassword(const std::string& password) {
    Begin(CMD_SET_MASTER_PASSWORD, 0, 0, PASSWORD_FIELD_SIZE);
    FillText(0, PASSWORD_FIELD_SIZE, password);
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendGetLog(std::uint32_t block) {
    Begin(CMD_GET_LOG, block).PrepareForSend();
    SendGuarded(TIMEOUT_GET_LOG);
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendReadUserData(std::uint32_t address, std::uint32_t size) {
    Begin(CMD_READ_USER_DATA, address, size).PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendWriteUserData(std::uint32_t address, std::uint32_t size, const std::string& text) {
    if (size > PACKET_MAX_TX_DATA) return;  // no frame can carry it
    Begin(CMD_WRITE_USER_DATA, address, size, size);
    // The text with its terminator; anything beyond it is zero.
    std::size_t n = std::min<std::size_t>(text.size(), size);
    std::memcpy(m_TxPacket.m_Data, text.data(), n);
    std::memset(m_TxPacket.m_Data + n, 0, size - n);
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendGetLogEx(std::uint32_t searchType, std::uint32_t value) {
    m_LogSearchType = searchType;
    Begin(CMD_GET_LOG_EX, searchType, value).PrepareForSend();
    SendGuarded(TIMEOUT_GET_LOG);
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendEnrollEx(std::uint32_t enrollType, std::uint32_t step, const std::string& id,
                                     const std::string& password) {
    if (step == 0) {
        Begin(CMD_ENROLL_EX, enrollType, step, ID_FIELD_SIZE + PASSWORD_FIELD_SIZE);
        FillText(0, ID_FIELD_SIZE, id);
        FillText(ID_FIELD_SIZE, PASSWORD_FIELD_SIZE, password);
    } else {
        Begin(CMD_ENROLL_EX, enrollType, step);
    }
    m_TxPacket.PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendSetOppOption(std::uint32_t gain, std::uint32_t brightness, std::uint32_t contrast) {
    Begin(CMD_SET_OPP_OPTION, 0, (gain * 65536u) | (brightness * 256u) | contrast).PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendSetSecurityLevel(std::uint32_t verifyLevel, std::uint32_t identifyLevel) {
    Begin(CMD_SET_SECURITY_LEVEL, 0, (verifyLevel * 65536u) | identifyLevel).PrepareForSend();
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendGetImage(std::uint32_t piece) {
    Begin(CMD_GET_IMAGE, 0, piece).PrepareForSend();
    SendGuarded(TIMEOUT_GET_IMAGE);
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendGetImage2(std::uint32_t piece) {
    Begin(CMD_GET_IMAGE2, 0, piece).PrepareForSend();
    SendGuarded(TIMEOUT_GET_IMAGE2);
    SendPacket(m_TxPacket);
}

void CPacketManagerWnd::SendCheckVoltage() {
    Begin(CMD_CHECK_VOLTAGE).PrepareForSend();
    SendGuarded(TIMEOUT_CHECK_VOLTAGE);
    SendPacket(m_TxPacket);
}

// ---------------------------------------------------------------- Minimized

void CPacketManagerWnd::SendMiniCommand(std::uint8_t command, std::uint8_t arg1, std::uint8_t arg2) {
    std::uint8_t frame[MINI_FRAME_SIZE];
    BuildMiniFrame(frame, command, arg1, arg2);
    SendMini(frame);
}

void CPacketManagerWnd::SendMiniConnect() { SendMiniCommand(MINI_CONNECT, 0, 0); }
void CPacketManagerWnd::SendMiniSetBaudRate(std::uint8_t rateIndex) { SendMiniCommand(MINI_SET_BAUDRATE, rateIndex, 0); }
void CPacketManagerWnd::SendMiniIdentify() { SendMiniCommand(MINI_IDENTIFY, 0, 0); }
void CPacketManagerWnd::SendMiniCancel() { SendMiniCommand(MINI_CANCEL, 0, 0); }
void CPacketManagerWnd::SendMiniDelete() { SendMiniCommand(MINI_DELETE, 0, 0); }
void CPacketManagerWnd::SendMiniDeleteAll() { SendMiniCommand(MINI_DELETE_ALL, 0, 0); }
void CPacketManagerWnd::SendMiniEnterMaster() { SendMiniCommand(MINI_ENTER_MASTER, 0, 0); }
void CPacketManagerWnd::SendMiniLeaveMaster() { SendMiniCommand(MINI_LEAVE_MASTER, 0, 0); }
void CPacketManagerWnd::SendMiniEnroll(std::uint8_t step) { SendMiniCommand(MINI_ENROLL, 0, step); }
void CPacketManagerWnd::SendMiniStatus() { SendMiniCommand(MINI_STATUS, 0, 0); }
