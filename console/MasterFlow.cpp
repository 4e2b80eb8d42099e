#include "console/MasterFlow.h"

#include <iterator>

#include "console/InputIdDlg.h"
#include "console/MasterDlgs.h"
#include "platform/qt/UiOperator.h"
#include "widgets/MsgDlg.h"

CMasterFlow::CMasterFlow(IConsoleContext& console) : CConsoleFlow(console) {}

void CMasterFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CMasterFlow> table[] = {
        GENERAL_REPLY(CMD_ENTER_MASTER, &CMasterFlow::OnEnterMasterAnswer),
        GENERAL_REPLY(CMD_ENTER_MASTER_EX, &CMasterFlow::OnEnterMasterAnswer),
        MINI_REPLY(MINI_ENTER_MASTER, &CMasterFlow::OnMiniEnterMasterAnswer),
        GENERAL_REPLY(CMD_LEAVE_MASTER, &CMasterFlow::OnLeaveMasterAnswer),
        MINI_REPLY(MINI_LEAVE_MASTER, &CMasterFlow::OnMiniLeaveMasterAnswer),
        GENERAL_REPLY(CMD_SET_MASTER_PASSWORD, &CMasterFlow::OnSetPasswordAnswer),
        GENERAL_REPLY(CMD_DELETE_MASTER_PASSWORD, &CMasterFlow::OnDeletePasswordAnswer),
    };
    DispatchReply(this, table, reply);
}

bool CMasterFlow::OnCommand(int id, int code) {
    static const CommandEntry<CMasterFlow> table[] = {
        {IDC_ENTER_MASTER, BN_CLICKED, &CMasterFlow::OnEnterMaster},
        {ID_TOOLS_BOARD_PASSWORD, BN_CLICKED, &CMasterFlow::OnBoardPassword},
    };
    return DispatchCommand(this, table, id, code);
}

// ------------------------------------------------ ENTER MASTER / LEAVE MASTER

void CMasterFlow::OnEnterMaster() {
    // Nothing is shown until the answer comes.
    if (State().m_bMasterMode) {
        Request(State().IsGeneral() ? req::General(CMD_LEAVE_MASTER) : req::Mini(MINI_LEAVE_MASTER));
        return;
    }
    if (!State().IsGeneral()) {
        // No credentials travel in the Minimized protocol.
        Request(req::Mini(MINI_ENTER_MASTER));
        return;
    }
    if (!State().IsZel12() || State().m_nFirmwareLevel >= ENTER_MASTER_EX_LEVEL) {
        Request(req::EnterMasterEx(AUTH_NONE));
    } else {
        Request(req::EnterMaster(AUTH_NONE));
    }
}

void CMasterFlow::OnEnterMasterAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    EnterMasterAnswer(static_cast<std::int32_t>(answer.m_Param1), answer.m_Param2,
                      reply.Command() == CMD_ENTER_MASTER_EX);
}

void CMasterFlow::EnterMasterAnswer(std::int32_t result, std::uint32_t step, bool newForm) {
    if (step == AUTH_NONE && result != RES_SUCCESS) {
        // The module wants credentials: the second step of the entry.
        AskCredentials(newForm);
        return;
    }
    ShowEnterResult(result, kEnterMasterRows, std::size(kEnterMasterRows));
}

void CMasterFlow::OnMiniEnterMasterAnswer(const CReply& reply) {
    ShowEnterResult(reply.Result(), kMiniEnterMasterRows, std::size(kMiniEnterMasterRows));
}

void CMasterFlow::ShowEnterResult(std::int32_t result, const SAnswerRow* rows, std::size_t count) {
    if (result == RES_SUCCESS) {
        m_Console.SetLayout(LAYOUT_MASTER);
        State().m_bMasterMode = true;
    }
    ShowAnswer(m_Console, result, rows, count);
}

void CMasterFlow::AskCredentials(bool newForm) {
    IUiOperator& op = m_Console.Operator();
    CEnterMasterModeDlg choice(m_Console.Form());
    // A master's password exists only in the new request form, and not on a
    // ZEL12: the choice is offered only where it can be sent.
    choice.m_nEnableMasterPassword = !State().IsZel12() && newForm ? 1 : 0;
    if (op.DoModal(choice) != IDOK) return;
    if (choice.m_nMasterFp) {
        CInputIdDlg id(m_Console.Form());
        if (op.DoModal(id) != IDOK) return;
        SendEnter(newForm, AUTH_MASTER_FP, id.m_strId, QString());
    } else if (newForm && choice.m_nMasterPassword) {
        CInputIdDlg id(m_Console.Form());
        if (op.DoModal(id) != IDOK) return;
        CInputPasswordDlg password(m_Console.Form());
        if (op.DoModal(password) != IDOK) return;
        SendEnter(newForm, AUTH_MASTER_PASSWORD, id.m_strId, password.m_strPassword);
    } else if (choice.m_nDevicePassword) {
        CInputPasswordDlg password(m_Console.Form());
        if (op.DoModal(password) != IDOK) return;
        SendEnter(newForm, AUTH_DEVICE_PASSWORD, QString(), password.m_strPassword);
    }
}

void CMasterFlow::SendEnter(bool newForm, std::uint32_t authType, const QString& id, const QString& password) {
    if (newForm) {
        Request(req::EnterMasterEx(authType, Field(id), Field(password)));
    } else {
        Request(req::EnterMaster(authType, Field(id), Field(password)));
    }
}

void CMasterFlow::OnLeaveMasterAnswer(const CReply& reply) { ShowLeaveResult(reply.Result()); }

void CMasterFlow::OnMiniLeaveMasterAnswer(const CReply& reply) {
    // Every Minimized refusal means the module was not in master mode.
    ShowLeaveResult(reply.Result() == RES_SUCCESS ? RES_SUCCESS : RES_NO_MASTER_MODE);
}

void CMasterFlow::ShowLeaveResult(std::int32_t result) {
    // "Not in master mode" (a module that was power-cycled) is the state the
    // operator asked for: the form shows it, not a master mode that is gone.
    if (result == RES_SUCCESS || result == RES_NO_MASTER_MODE) {
        m_Console.SetLayout(LAYOUT_CONNECTED);
        State().m_bMasterMode = false;
    }
    ShowAnswer(m_Console, result, kLeaveMasterRows);
}

// ---------------------------------------------------------- Board Password

void CMasterFlow::OnBoardPassword() {
    CMasterPasswordDlg dialog(m_Console.Operator(), m_Console.Form());
    if (m_Console.Operator().DoModal(dialog) != IDOK) return;
    if (dialog.m_nAction == CMasterPasswordDlg::ACTION_SET) {
        Request(req::SetMasterPassword(Field(dialog.m_strPassword)));
    } else if (dialog.m_nAction == CMasterPasswordDlg::ACTION_DELETE) {
        Request(req::General(CMD_DELETE_MASTER_PASSWORD));
    }
}

void CMasterFlow::OnSetPasswordAnswer(const CReply& reply) {
    ShowAnswer(m_Console, reply.Result(), kSetPasswordRows);
}

void CMasterFlow::OnDeletePasswordAnswer(const CReply& reply) {
    ShowAnswer(m_Console, reply.Result(), kDeletePasswordRows);
}
