#include "protocol/PacketManagerWnd.h"

#include <array>
#include <cstring>
#include <memory>

namespace {

// Answer notification of each General command; 0 = not in the table.
struct AnswerRoute {
    std::uint32_t command;
    UINT message;
};

constexpr AnswerRoute kGeneralRoutes[] = {
    {CMD_CONNECT, WM_RX_CONNECT},
    {CMD_SET_BAUDRATE, WM_RX_SET_BAUDRATE},
    {CMD_GET_VERSION, WM_RX_GET_VERSION},
    {CMD_GET_VERSION_EX, WM_RX_GET_VERSION_EX},
    {CMD_GET_DEVICE_INFO, WM_RX_GET_DEVICE_INFO},
    {CMD_VERIFY, WM_RX_VERIFY},
    {CMD_IDENTIFY, WM_RX_IDENTIFY},
    {CMD_INSTANT_MATCH, WM_RX_INSTANT_MATCH},
    {CMD_GET_MINUTIAE, WM_RX_GET_MINUTIAE},
    {CMD_CANCEL, WM_RX_CANCEL},
    {CMD_ENROLL, WM_RX_ENROLL},
    {CMD_ENROLL2, WM_RX_ENROLL2},
    {CMD_DELETE, WM_RX_DELETE},
    {CMD_DELETE_ALL, WM_RX_DELETE_ALL},
    {CMD_SET_MASTER, WM_RX_SET_MASTER},
    {CMD_ENTER_MASTER, WM_RX_ENTER_MASTER},
    {CMD_LEAVE_MASTER, WM_RX_LEAVE_MASTER},
    {CMD_SET_MASTER_PASSWORD, WM_RX_SET_MASTER_PASSWORD},
    {CMD_GET_FP_LIST, WM_RX_GET_FP_LIST},
    {CMD_GET_MASTER_LIST, WM_RX_GET_MASTER_LIST},
    {CMD_GET_LOG, WM_RX_GET_LOG},
    {CMD_READ_USER_DATA, WM_RX_READ_USER_DATA},
    {CMD_WRITE_USER_DATA, WM_RX_WRITE_USER_DATA},
    {CMD_ERASE_USER_DATA, WM_RX_ERASE_USER_DATA},
    {CMD_DELETE_MASTER_PASSWORD, WM_RX_DELETE_MASTER_PASSWORD},
    {CMD_ENTER_MASTER_EX, WM_RX_ENTER_MASTER_EX},
    {CMD_GET_FP_LIST_EX, WM_RX_GET_FP_LIST_EX},
    {CMD_GET_MASTER_LIST_EX, WM_RX_GET_MASTER_LIST_EX},
    {CMD_GET_LOG_EX, WM_RX_GET_LOG_EX},
    {CMD_ENROLL_EX, WM_RX_ENROLL_EX},
    {CMD_SET_OPP_OPTION, WM_RX_SET_OPP_OPTION},
    {CMD_GET_OPP_OPTION, WM_RX_GET_OPP_OPTION},
    {CMD_SET_SECURITY_LEVEL, WM_RX_SET_SECURITY_LEVEL},
    {CMD_GET_SECURITY_LEVEL, WM_RX_GET_SECURITY_LEVEL},
    {CMD_SET_LATENT_OPTION, WM_RX_SET_LATENT_OPTION},
    {CMD_GET_LATENT_OPTION, WM_RX_GET_LATENT_OPTION},
    {CMD_SET_DB_INIT_OPTION, WM_RX_SET_DB_INIT_OPTION},
    {CMD_GET_DB_INIT_OPTION, WM_RX_GET_DB_INIT_OPTION},
    {CMD_SET_LOG_OPTION, WM_RX_SET_LOG_OPTION},
    {CMD_GET_LOG_OPTION, WM_RX_GET_LOG_OPTION},
    {CMD_SET_CAPTURE_PERIOD, WM_RX_SET_CAPTURE_PERIOD},
    {CMD_GET_CAPTURE_PERIOD, WM_RX_GET_CAPTURE_PERIOD},
    {CMD_GET_IMAGE, WM_RX_GET_IMAGE},
    {CMD_UPGRADE_HEX, WM_RX_UPGRADE},
    {CMD_STATUS, WM_RX_STATUS},
    {CMD_GET_IMAGE2, WM_RX_GET_IMAGE2},
    {CMD_UPGRADE_BIN, WM_RX_UPGRADE},
    {CMD_CHECK_VOLTAGE, WM_RX_CHECK_VOLTAGE},
};

constexpr AnswerRoute kMiniRoutes[] = {
    {MINI_CONNECT, WM_RX_MINI_CONNECT},
    {MINI_SET_BAUDRATE, WM_RX_MINI_SET_BAUDRATE},
    {MINI_IDENTIFY, WM_RX_MINI_IDENTIFY},
    {MINI_CANCEL, WM_RX_MINI_CANCEL},
    {MINI_DELETE, WM_RX_MINI_DELETE},
    {MINI_DELETE_ALL, WM_RX_MINI_DELETE_ALL},
    {MINI_ENTER_MASTER, WM_RX_MINI_ENTER_MASTER},
    {MINI_LEAVE_MASTER, WM_RX_MINI_LEAVE_MASTER},
    {MINI_ENROLL, WM_RX_MINI_ENROLL},
    {MINI_STATUS, WM_RX_MINI_STATUS},
};

// Every command code is below 256, so a flat table answers in one lookup.
template <std::size_t N>
constexpr std::array<UINT, 256> MakeRouteTable(const AnswerRoute (&routes)[N]) {
    std::array<UINT, 256> table{};
    for (const auto& r : routes) table[r.command] = r.message;
    return table;
}
constexpr auto kGeneralTable = MakeRouteTable(kGeneralRoutes);
constexpr auto kMiniTable = MakeRouteTable(kMiniRoutes);

struct Alert {
    std::string text;
    unsigned flags;
};

constexpr const char* kUpgradeCanceled = "Upgrade process was canceled! (COMMUNICATOIN ERROR)";

}  // namespace

CPacketManagerWnd::CPacketManagerWnd(IMessageLoop& loop, IOperator& op) : CMsgTarget(loop), m_Operator(op) {
    m_Comm.SetOwner(this);
}

CPacketManagerWnd::~CPacketManagerWnd() { m_Comm.ClosePort(); }

bool CPacketManagerWnd::Create(CMsgTarget* view) {
    m_pView = view;
    m_Comm.SetOwner(this);
    return true;
}

bool CPacketManagerWnd::OpenCommPort(const std::string& portName, int baudRate) {
    return m_Comm.OpenPort(portName, baudRate, 0);
}

LRESULT CPacketManagerWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CPacketManagerWnd> table[] = {
        {WM_COMM_READ, &CPacketManagerWnd::OnCommRead},
        {WM_TIMER, &CPacketManagerWnd::OnTimer},
        {WM_COMM_PORT_LOST, &CPacketManagerWnd::OnPortLost},
        {WM_COMM_ALERT, &CPacketManagerWnd::OnCommAlert},
        {WM_PM_ALERT, &CPacketManagerWnd::OnAlert},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

// ---------------------------------------------------------------- sending

void CPacketManagerWnd::SendPacket(CPacket& packet) {
    m_Comm.m_QueueRead.ClearQueue();
    std::uint8_t frame[PACKET_TX_BUFFER];
    std::size_t size = packet.Serialize(frame, sizeof frame);
    if (size == 0) return;  // larger than any request the module takes
    const std::size_t written = m_Comm.WriteComm(frame, size);
    if (written != size) ReportStalledWrite(written, size);
    if (m_pView) Loop().Send(m_pView, WM_PACKET_TRACE, reinterpret_cast<WPARAM>(&packet), 0);
}

void CPacketManagerWnd::ReportStalledWrite(std::size_t written, std::size_t size) {
    // With the port closed a request goes nowhere on purpose (for example the
    // rate change after the link was dropped); only an open port that stopped
    // taking bytes is news for the operator.
    if (m_Comm.IsOpen() && m_pView) Loop().Post(m_pView, WM_WRITE_STALLED, written, static_cast<LPARAM>(size));
}

void CPacketManagerWnd::SendMini(const std::uint8_t* frame) {
    m_Comm.m_QueueRead.ClearQueue();
    m_RxState = RX_START;
    std::size_t written = 0;
    for (std::size_t i = 0; i < MINI_FRAME_SIZE; ++i) written += m_Comm.WriteComm(frame + i, 1);
    if (written != MINI_FRAME_SIZE) ReportStalledWrite(written, MINI_FRAME_SIZE);
}

void CPacketManagerWnd::SendGuarded(unsigned timeoutMs) {
    m_RetryPacket.CopyUsedFrom(m_TxPacket);
    SetTimer(RETRY_TIMER_ID, timeoutMs);
}

// ---------------------------------------------------------------- receiving

LRESULT CPacketManagerWnd::OnCommRead(WPARAM, LPARAM) {
    ReportDroppedBytes();
    CQueue& queue = m_Comm.m_QueueRead;
    int count = queue.Peek(m_RxScratch, CQueue::QUEUE_SIZE, m_RxGeneration);
    if (count == 0) return 0;
    std::size_t used = Parse(m_RxScratch, static_cast<std::size_t>(count));
    // A request sent by a handler meanwhile has emptied the queue; Discard
    // then leaves the new bytes alone.
    queue.Discard(static_cast<int>(used), m_RxGeneration);
    // Parsing stops behind a data-less answer. Bytes that arrived in the same
    // read (a second answer) are parsed on a wake-up of their own at once,
    // before a later request would clear them.
    if (used < static_cast<std::size_t>(count) && queue.Generation() == m_RxGeneration) {
        Loop().Post(this, WM_COMM_READ, 0, 0);
    }
    return 0;
}

std::size_t CPacketManagerWnd::Parse(const std::uint8_t* bytes, std::size_t count) {
    CPacket& rx = m_RxPacket;
    std::size_t i = 0;
    while (i < count) {
        const std::uint8_t b = bytes[i];
        switch (m_RxState) {
            case RX_START:
                ++i;
                if (b == PACKET_START) {
                    m_RxPos = 0;
                    m_RxState = RX_SECOND;
                }
                break;
            case RX_SECOND:
                ++i;
                if (b == MINI_MARKER) {
                    m_RxMini[0] = PACKET_START;
                    m_RxMini[1] = MINI_MARKER;
                    m_RxState = RX_MINI_COMMAND;
                } else {
                    rx.m_Command = (rx.m_Command << 8) | b;
                    m_RxPos = 1;
                    m_RxState = RX_COMMAND;
                }
                break;
            case RX_COMMAND:
            case RX_PARAM1:
            case RX_PARAM2:
            case RX_DATA_SIZE:
            case RX_ERR_CODE: {
                ++i;
                std::uint32_t* field[] = {&rx.m_Command, &rx.m_Param1, &rx.m_Param2, &rx.m_DataSize, &rx.m_ErrCode};
                std::uint32_t& f = *field[m_RxState - RX_COMMAND];
                f = (f << 8) | b;
                if (++m_RxPos == 4) {
                    m_RxPos = 0;
                    ++m_RxState;
                }
                break;
            }
            case RX_HEADER_CHECKSUM:
                ++i;
                rx.m_HeaderChecksum = (rx.m_HeaderChecksum << 8) | b;
                if (++m_RxPos == 4) {
                    m_RxPos = 0;
                    if (rx.m_DataSize > 0) {
                        if (rx.m_DataSize > PACKET_DATA_SIZE) {
                            // Cannot be held: drop it now and look for the next frame.
                            m_RxState = RX_START;
                            PostChecksumError(0);
                        } else {
                            m_RxState = RX_DATA;
                        }
                    } else {
                        m_RxState = RX_START;
                        if (rx.IsHeaderChecksumOK()) {
                            DispatchGeneral();
                        } else {
                            PostChecksumError(0);
                        }
                        // The bytes behind a data-less answer wait for the next wake-up.
                        return i;
                    }
                }
                break;
            case RX_DATA: {
                std::size_t want = rx.m_DataSize - m_RxPos;
                std::size_t take = count - i < want ? count - i : want;
                std::memcpy(rx.m_Data + m_RxPos, bytes + i, take);
                i += take;
                m_RxPos += static_cast<std::uint32_t>(take);
                if (m_RxPos == rx.m_DataSize) {
                    m_RxPos = 0;
                    m_RxState = RX_DATA_CHECKSUM;
                }
                break;
            }
            case RX_DATA_CHECKSUM:
                ++i;
                rx.m_DataChecksum = (rx.m_DataChecksum << 8) | b;
                if (++m_RxPos == 4) {
                    m_RxPos = 0;
                    m_RxState = RX_START;
                    if (!rx.IsHeaderChecksumOK()) {
                        PostChecksumError(0);
                    } else if (!rx.IsDataChecksumOK()) {
                        PostChecksumError(1);
                    } else {
                        DispatchGeneral();
                        if (m_Comm.m_QueueRead.Generation() != m_RxGeneration) return count;
                    }
                }
                break;
            case RX_MINI_COMMAND:
            case RX_MINI_ARG1:
            case RX_MINI_ARG2:
                ++i;
                m_RxMini[m_RxState - RX_MINI_COMMAND + 2] = b;
                ++m_RxState;
                break;
            case RX_MINI_CHECKSUM:
                ++i;
                m_RxState = RX_START;
                MakeMiniChecksum(m_RxMini);
                if (m_RxMini[5] == b) {
                    DispatchMini();
                } else {
                    PostChecksumError(0);
                }
                break;
            default:  // cannot happen; resynchronise
                ++i;
                m_RxState = RX_START;
                break;
        }
    }
    return i;
}

void CPacketManagerWnd::DispatchGeneral() {
    if (m_pView) Loop().Send(m_pView, WM_PACKET_TRACE, reinterpret_cast<WPARAM>(&m_RxPacket), 1);
    KillTimer(RETRY_TIMER_ID);
    m_RetryCount = 0;

    if (m_RxPacket.m_ErrCode == ERR_CHECKSUM) {
        // The module rejected our checksum. A firmware piece goes out again at
        // once (a HEX record like a BIN chunk: otherwise the upgrade would
        // wait for an answer that never comes); if the file can no longer be
        // read, the upgrade ends as it does when the module stops answering.
        bool resent = true;
        switch (m_RxPacket.m_Command) {
            case CMD_UPGRADE_BIN: resent = SendBinChunk(m_FwFileName, m_FwIndex); break;
            case CMD_UPGRADE_HEX: resent = ResendHexRecord(); break;
            default: ShowAlert("Checksum error occurred!!!", MB_OK); return;
        }
        if (!resent) {
            PostFirmwareEnded(m_RxPacket.m_Command);
            ShowAlert(kUpgradeCanceled, MB_OK | MB_ICONSTOP);
        }
        return;
    }

    UINT message = m_RxPacket.m_Command < 256 ? kGeneralTable[m_RxPacket.m_Command] : 0;
    if (message == 0 || !m_pView) return;
    // Each notification carries its own copy, so answers parsed in one
    // wake-up do not overwrite each other before their handlers run.
    auto copy = std::make_shared<CPacket>();
    copy->CopyUsedFrom(m_RxPacket);
    const CPacket* raw = copy.get();
    Loop().Post(m_pView, message, reinterpret_cast<WPARAM>(raw), 0, std::move(copy));
}

void CPacketManagerWnd::DispatchMini() {
    UINT message = kMiniTable[m_RxMini[2]];
    if (message == 0 || !m_pView) return;
    auto copy = std::make_shared<std::array<std::uint8_t, MINI_FRAME_SIZE>>();
    std::memcpy(copy->data(), m_RxMini, MINI_FRAME_SIZE);
    const std::uint8_t* raw = copy->data();
    Loop().Post(m_pView, message, reinterpret_cast<WPARAM>(raw), 0, std::move(copy));
}

void CPacketManagerWnd::PostChecksumError(WPARAM which) {
    if (m_pView) Loop().Post(m_pView, WM_CHECKSUM_ERROR, which, 0);
}

// ---------------------------------------------------------------- time-outs

LRESULT CPacketManagerWnd::OnTimer(WPARAM id, LPARAM) {
    if (id != RETRY_TIMER_ID) return 0;
    const char* failure = nullptr;
    switch (m_RetryPacket.m_Command) {
        case CMD_GET_IMAGE: failure = "Image Receiving Error!!! (COMMUNICATOIN ERROR)"; break;
        case CMD_GET_IMAGE2: failure = "Capture2: Image Receiving Error!!! (COMMUNICATOIN ERROR)"; break;
        case CMD_GET_LOG:
        case CMD_UPGRADE_HEX:
        case CMD_UPGRADE_BIN:
        case CMD_CHECK_VOLTAGE: failure = kUpgradeCanceled; break;
        default: return 0;  // not re-sent (CMD_GET_LOG_EX): the timer keeps running
    }
    KillTimer(RETRY_TIMER_ID);
    ++m_RetryCount;
    if (m_RetryCount < MAX_SENDS) {
        bool sent = true;
        switch (m_RetryPacket.m_Command) {
            case CMD_GET_LOG: SendGetLog(m_RetryPacket.m_Param1); break;
            case CMD_GET_IMAGE: SendGetImage(m_RetryPacket.m_Param2); break;
            case CMD_UPGRADE_HEX: sent = ResendHexRecord(); break;
            case CMD_GET_IMAGE2: SendGetImage2(m_RetryPacket.m_Param2); break;
            case CMD_UPGRADE_BIN: sent = SendBinChunk(m_FwFileName, m_FwIndex); break;
            case CMD_CHECK_VOLTAGE: SendCheckVoltage(); break;
        }
        if (sent) return 0;
        // The firmware file can no longer be read: end like a lost link.
    }
    m_RetryCount = 0;
    const std::uint32_t command = m_RetryPacket.m_Command;
    if (command == CMD_UPGRADE_HEX || command == CMD_UPGRADE_BIN) PostFirmwareEnded(command);
    ShowAlert(failure, MB_OK | MB_ICONSTOP);
    return 0;
}

void CPacketManagerWnd::PostFirmwareEnded(std::uint32_t command) {
    // Before the box, so the upgrade's window is gone when the box shows.
    if (m_pView) Loop().Post(m_pView, WM_FW_TRANSFER_ENDED, command, 0);
}

// ---------------------------------------------------------------- channel events

LRESULT CPacketManagerWnd::OnPortLost(WPARAM wParam, LPARAM lParam) {
    if (m_pView) Loop().Post(m_pView, WM_COMM_PORT_LOST, wParam, lParam);
    return 0;
}

LRESULT CPacketManagerWnd::OnCommAlert(WPARAM kind, LPARAM) {
    if (kind == COMM_ALERT_QUEUE_FULL) {
        ReportDroppedBytes();
        m_Operator.MessageBox("m_QueueRead FULL!", "", MB_OK);
        // The channel posts the next box only once this one is dismissed;
        // what is dropped meanwhile is counted in the status line.
        m_Comm.QueueFullAlertClosed();
    } else {
        m_Operator.MessageBox("Error while creating ThreadWatchComm, " + m_Comm.PortName(), "", MB_OK);
    }
    return 0;
}

void CPacketManagerWnd::ReportDroppedBytes() {
    std::uint64_t dropped = m_Comm.DroppedBytes();
    if (dropped == m_ReportedDrops) return;
    bool grown = dropped > m_ReportedDrops;  // the count restarts with each open
    m_ReportedDrops = dropped;
    if (grown && m_pView) Loop().Post(m_pView, WM_RECEIVE_DROPPED, static_cast<WPARAM>(dropped), 0);
}

// Message boxes are shown from a message of their own, after the receive or
// timer handler has returned, so that the nested loop of a modal box cannot
// re-enter the parser.
void CPacketManagerWnd::ShowAlert(const char* text, unsigned flags) {
    auto alert = std::make_shared<Alert>(Alert{text, flags});
    const Alert* raw = alert.get();
    Loop().Post(this, WM_PM_ALERT, reinterpret_cast<WPARAM>(raw), 0, std::move(alert));
}

LRESULT CPacketManagerWnd::OnAlert(WPARAM wParam, LPARAM) {
    const Alert* alert = reinterpret_cast<const Alert*>(wParam);
    m_Operator.MessageBox(alert->text, "", alert->flags);
    return 0;
}
