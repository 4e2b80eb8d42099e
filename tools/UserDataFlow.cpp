#include "tools/UserDataFlow.h"

#include <algorithm>

#include "console/AnswerTable.h"
#include "widgets/DialogTemplate.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/MsgDlg.h"

namespace {

const SAnswerRow kReadRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To read user data is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
};
const SAnswerRow kWriteRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To write user data is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "To write user data is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
};

}  // namespace

CUserDataFlow::CUserDataFlow(IConsoleContext& console)
    : CConsoleFlow(console), m_Dlg(console.Device(), console.Operator()) {}

LRESULT CUserDataFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CUserDataFlow> table[] = {
        {WM_RX_READ_USER_DATA, &CUserDataFlow::OnReadAnswer},
        {WM_RX_WRITE_USER_DATA, &CUserDataFlow::OnWriteAnswer},
        {WM_RX_ERASE_USER_DATA, &CUserDataFlow::OnEraseAnswer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

bool CUserDataFlow::OnCommand(int id, int code) {
    static const CommandEntry<CUserDataFlow> table[] = {
        {ID_VIEW_USER_DATA, BN_CLICKED, &CUserDataFlow::OnViewUserData},
    };
    return DispatchCommand(this, table, id, code);
}

bool CUserDataFlow::IsMenuChecked(int command) const { return command == ID_VIEW_USER_DATA && m_Dlg.IsOpen(); }

void CUserDataFlow::OnViewUserData() { m_Dlg.Toggle(m_Console.Form()); }

LRESULT CUserDataFlow::OnReadAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result != RES_SUCCESS) {
        ShowAnswer(m_Console, result, kReadRows);
        return 0;
    }
    // m_Param2 says how many bytes came; only bytes that did come are read.
    const std::size_t count = std::min<std::size_t>({answer.m_Param2, answer.m_DataSize, PACKET_DATA_SIZE});
    m_Dlg.ShowReadData(answer.m_Data, count);
    return 0;
}

LRESULT CUserDataFlow::OnWriteAnswer(WPARAM wParam, LPARAM) {
    ShowAnswer(m_Console, static_cast<std::int32_t>(PacketOf(wParam).m_Param1), kWriteRows);
    return 0;
}

LRESULT CUserDataFlow::OnEraseAnswer(WPARAM wParam, LPARAM) {
    if (static_cast<std::int32_t>(PacketOf(wParam).m_Param1) == RES_SUCCESS) {
        m_Console.ShowPrompt(MSGFORM_SUCCESS, "To erase user data block succeeded.");
    } else {
        m_Console.ShowPrompt(MSGFORM_WARNING, "To erase user data block failed.");
    }
    return 0;
}
