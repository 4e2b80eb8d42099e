#include "tools/LogDataFlow.h"

#include "console/AnswerTable.h"
#include "widgets/DialogTemplate.h"
#include "console/ConsoleMessages.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/MsgDlg.h"

namespace {

// Failed answers to CMD_GET_LOG_EX: nothing is stored and the read ends.
const SAnswerRow kLogExFailRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get log data is failed", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "To get log data is canceled", nullptr},
};

const char kNoLogData[] = "There is no log data.";
const char kPacketDataError[] = "Packet data error";

// Bytes before the records in an answer to CMD_GET_LOG_EX: the record count
// and a value the console does not use, both 16-bit.
constexpr std::uint32_t LOG_EX_HEADER_SIZE = 4;

}  // namespace

CLogDataFlow::CLogDataFlow(IConsoleContext& console)
    : CConsoleFlow(console), m_Dlg(console.MessageLoop(), console.Device(), console.Operator()) {
    m_Dlg.m_fnStatus = [this] { SendStatus(); };
    m_Dlg.m_fnCancel = [this] { SendCancel(); };
    m_Dlg.m_fnReadStarts = [this] { m_Store.Clear(); };
}

// The window's STATUS and CANCEL, as the main form's buttons: the answers
// reach the main form's status and cancel handlers.
void CLogDataFlow::SendStatus() {
    if (State().IsGeneral()) {
        m_Console.Device().SendStatus();
    } else {
        m_Console.Device().SendMiniStatus();
    }
}

void CLogDataFlow::SendCancel() {
    if (State().IsGeneral()) {
        State().m_bCaptureCancel = true;
        m_Console.Device().SendCancel();
    } else {
        m_Console.Device().SendMiniCancel();
    }
}

LRESULT CLogDataFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CLogDataFlow> table[] = {
        {WM_RX_GET_LOG, &CLogDataFlow::OnLogAnswer},
        {WM_RX_GET_LOG_EX, &CLogDataFlow::OnLogExAnswer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

bool CLogDataFlow::OnCommand(int id, int code) {
    static const CommandEntry<CLogDataFlow> table[] = {
        {ID_VIEW_LOG_DATA, BN_CLICKED, &CLogDataFlow::OnViewLogData},
    };
    return DispatchCommand(this, table, id, code);
}

bool CLogDataFlow::IsMenuChecked(int command) const {
    if (command != ID_VIEW_LOG_DATA) return false;
    m_Dlg.SetModuleType(m_Console.State().m_nBoardType);
    return m_Dlg.IsOpen();
}

void CLogDataFlow::OnBoardChanged() { m_Dlg.SetModuleType(State().m_nBoardType); }

void CLogDataFlow::OnViewLogData() {
    m_Dlg.SetModuleType(State().m_nBoardType);
    m_Dlg.Toggle(m_Console.Form());
}

bool CLogDataFlow::StoreBlock(const std::uint8_t* records, std::size_t count) {
    if (m_Store.Append(records, count)) return true;
    m_Console.ShowPrompt(MSGFORM_WARNING,
                         QString::asprintf("The log data store is full: at most %d records can be read.",
                                           static_cast<int>(LOG_MAX_RECORDS)));
    return false;
}

void CLogDataFlow::Complete() {
    if (m_Dlg.IsOpen()) Loop().Post(&m_Dlg, WM_LOG_FORWARD, reinterpret_cast<WPARAM>(&m_Store), 0);
}

LRESULT CLogDataFlow::OnLogAnswer(WPARAM wParam, LPARAM) {
    // The older form has no result code: m_Param1 is the block number.
    const CPacket& answer = PacketOf(wParam);
    const std::uint32_t block = answer.m_Param1;
    if (block == 0) m_Store.Clear();
    if (answer.m_DataSize == 0) {
        m_Console.ShowPrompt(MSGFORM_WARNING, kNoLogData);
        return 0;
    }
    const std::uint32_t count = answer.m_Param2;
    if (answer.m_DataSize / LOG_RECORD_SIZE != count) {
        m_Console.ShowPrompt(MSGFORM_ERROR, kPacketDataError);
        return 0;
    }
    if (!StoreBlock(answer.m_Data, count)) return 0;
    if (block == LOG_LAST_BLOCK) {
        Complete();
    } else {
        m_Console.Device().SendGetLog(block + 1);
    }
    return 0;
}

LRESULT CLogDataFlow::OnLogExAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result != RES_SUCCESS) {
        ShowAnswer(m_Console, result, kLogExFailRows);
        return 0;
    }
    const std::uint32_t blocks = answer.m_Param2;
    if (blocks == 0) m_Store.Clear();
    if (answer.m_DataSize == 0) {
        m_Console.ShowPrompt(MSGFORM_WARNING, kNoLogData);
        return 0;
    }
    const std::uint32_t block = blocks >> 8, lastBlock = blocks & 0xFF;
    const std::uint32_t count = answer.m_DataSize >= 2 ? (std::uint32_t{answer.m_Data[0]} << 8) | answer.m_Data[1] : 0;
    // The record count must lie within the data received, and a block cannot
    // come after the last one.
    if (answer.m_DataSize < LOG_EX_HEADER_SIZE ||
        (answer.m_DataSize - LOG_EX_HEADER_SIZE) / LOG_RECORD_SIZE < count || block > lastBlock) {
        m_Console.ShowPrompt(MSGFORM_ERROR, kPacketDataError);
        return 0;
    }
    if (!StoreBlock(answer.m_Data + LOG_EX_HEADER_SIZE, count)) return 0;
    if (block == lastBlock) {
        Complete();
        return 0;
    }
    // Only "All log" and "From oldest unread to last" come in several blocks;
    // for the other types the read ends here, without the save step.
    const std::uint32_t type = m_Console.Device().m_LogSearchType;
    if (type == 3 || type == 4) m_Console.Device().SendGetLogEx(type, block + 1);
    return 0;
}
