#include "tools/LogDataFlow.h"

#include "console/AnswerTable.h"
#include "widgets/DialogTemplate.h"
#include "console/ConsoleMessages.h"
#include "widgets/MsgDlg.h"

namespace {

}  // namespace

CLogDataFlow::CLogDataFlow(IConsoleContext& console)
    : CConsoleFlow(console), m_Dlg(console.MessageLoop(), console.Operator()) {
    m_Dlg.m_fnRead = [this](int searchType, std::uint32_t value) { Read(searchType, value); };
    // The window's STATUS and CANCEL, as the main form's buttons: the service
    // flow sends them and shows their answers.
    m_Dlg.m_fnStatus = [this] { m_Console.ForwardTo(FLOW_SERVICE, WM_SERVICE_STATUS); };
    m_Dlg.m_fnCancel = [this] { m_Console.ForwardTo(FLOW_SERVICE, WM_SERVICE_CANCEL); };
}

LRESULT CLogDataFlow::OnMessage(UINT, WPARAM, LPARAM) { return 0; }

void CLogDataFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CLogDataFlow> table[] = {
        GENERAL_REPLY(CMD_GET_LOG, &CLogDataFlow::OnLogAnswer),
        GENERAL_REPLY(CMD_GET_LOG_EX, &CLogDataFlow::OnLogExAnswer),
    };
    DispatchReply(this, table, reply);
}

void CLogDataFlow::OnExchangeEnded(const CReply& reply) {
    if (reply.End() == EExchangeEnd::TimedOut) {
        // Ten sends of a block request and no answer.
        PostBox(kCommunicationError, MB_OK | MB_ICONSTOP);
        return;
    }
    CConsoleFlow::OnExchangeEnded(reply);
}

void CLogDataFlow::Read(int searchType, std::uint32_t value) {
    SRequest request = searchType < 0 ? req::General(CMD_GET_LOG, 0)
                                      : req::General(CMD_GET_LOG_EX, static_cast<std::uint32_t>(searchType), value);
    // Each read starts empty, so no record of an earlier read is saved twice;
    // without a module nothing goes and the records stay.
    if (Request(std::move(request))) m_Store.Clear();
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

void CLogDataFlow::OnLogAnswer(const CReply& reply) {
    // The older form has no result code: m_Param1 is the block number.
    const SLogBlock b = DecodeLogBlock(reply.Packet());
    if (b.block == 0) m_Store.Clear();
    if (b.kind == SLogBlock::NO_DATA) {
        m_Console.ShowPrompt(MSGFORM_WARNING, kNoLogData);
        return;
    }
    if (b.kind == SLogBlock::BAD_DATA) {
        m_Console.ShowPrompt(MSGFORM_ERROR, kPacketDataError);
        return;
    }
    if (!StoreBlock(b.records, b.count)) return;
    const std::uint32_t block = b.block;
    if (block == LOG_LAST_BLOCK) {
        Complete();
    } else {
        Request(req::General(CMD_GET_LOG, block + 1));
    }
}

void CLogDataFlow::OnLogExAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result != RES_SUCCESS) {
        ShowAnswer(m_Console, result, kLogExFailRows);
        return;
    }
    if (answer.m_Param2 == 0) m_Store.Clear();
    const SLogBlock b = DecodeLogExBlock(answer);
    if (b.kind == SLogBlock::NO_DATA) {
        m_Console.ShowPrompt(MSGFORM_WARNING, kNoLogData);
        return;
    }
    // The record count must lie within the data received, and a block cannot
    // come after the last one.
    if (b.kind == SLogBlock::BAD_DATA) {
        m_Console.ShowPrompt(MSGFORM_ERROR, kPacketDataError);
        return;
    }
    if (!StoreBlock(b.records, b.count)) return;
    const std::uint32_t block = b.block, lastBlock = b.lastBlock;
    if (block == lastBlock) {
        Complete();
        return;
    }
    // Only "All log" and "From oldest unread to last" come in several blocks;
    // for the other types the read ends here, without the save step.
    const std::uint32_t type = reply.Request().param1;
    if (type == 3 || type == 4) Request(req::General(CMD_GET_LOG_EX, type, block + 1));
}
