#include "tools/UserDataFlow.h"

#include <algorithm>

#include "console/AnswerTable.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"

namespace {

}  // namespace

CUserDataFlow::CUserDataFlow(IConsoleContext& console) : CConsoleFlow(console), m_Dlg(console.Operator()) {
    m_Dlg.m_fnRequest = [this](SRequest request) { Request(std::move(request)); };
}

void CUserDataFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CUserDataFlow> table[] = {
        GENERAL_REPLY(CMD_READ_USER_DATA, &CUserDataFlow::OnReadAnswer),
        GENERAL_REPLY(CMD_WRITE_USER_DATA, &CUserDataFlow::OnWriteAnswer),
        GENERAL_REPLY(CMD_ERASE_USER_DATA, &CUserDataFlow::OnEraseAnswer),
    };
    DispatchReply(this, table, reply);
}

bool CUserDataFlow::OnCommand(int id, int code) {
    static const CommandEntry<CUserDataFlow> table[] = {
        {ID_VIEW_USER_DATA, BN_CLICKED, &CUserDataFlow::OnViewUserData},
    };
    return DispatchCommand(this, table, id, code);
}

bool CUserDataFlow::IsMenuChecked(int command) const { return command == ID_VIEW_USER_DATA && m_Dlg.IsOpen(); }

void CUserDataFlow::OnViewUserData() { m_Dlg.Toggle(m_Console.Form()); }

void CUserDataFlow::OnReadAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result != RES_SUCCESS) {
        ShowAnswer(m_Console, result, kUserDataReadRows);
        return;
    }
    // m_Param2 says how many bytes came; only bytes that did come are read.
    const std::size_t count = std::min<std::size_t>({answer.m_Param2, answer.m_DataSize, PACKET_DATA_SIZE});
    m_Dlg.ShowReadData(answer.m_Data, count);
}

void CUserDataFlow::OnWriteAnswer(const CReply& reply) { ShowAnswer(m_Console, reply.Result(), kUserDataWriteRows); }

void CUserDataFlow::OnEraseAnswer(const CReply& reply) {
    if (reply.Result() == RES_SUCCESS) {
        m_Console.ShowPrompt(MSGFORM_SUCCESS, kEraseUserDataSucceeded);
    } else {
        m_Console.ShowPrompt(MSGFORM_WARNING, kEraseUserDataFailed);
    }
}
