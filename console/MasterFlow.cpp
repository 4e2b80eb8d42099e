#include "console/MasterFlow.h"

#include <iterator>

#include "console/InputIdDlg.h"
#include "console/MasterDlgs.h"
#include "platform/qt/UiOperator.h"
#include "protocol/Notifications.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/MsgDlg.h"

const SAnswerRow kEnterMasterRows[6] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, "Enter master mode is succeeded"},
    {RES_FAIL, MSGFORM_WARNING, "Entering master mode is failed.", "Enter master mode is failed."},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid ID!!!", "Invalid ID!!!"},
    {RES_TIMEOUT, MSGFORM_WARNING, "Not in time!!!", "Not in time!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Entering master mode is canceled.", "Entering master mode is canceled."},
};

// The Minimized answer knows no invalid ID or parameter.
const SAnswerRow kMiniEnterMasterRows[4] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, "Enter master mode is succeeded"},
    {RES_FAIL, MSGFORM_WARNING, "Entering master mode is failed.", "Enter master mode is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Not in time!!!", "Not in time!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Entering master mode is canceled.", "Entering master mode is canceled."},
};

const SAnswerRow kLeaveMasterRows[2] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, "Leave master mode"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
};

// The device-password answers leave the status line as it is.
const SAnswerRow kSetPasswordRows[3] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To set master password is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "To set master password is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};

const SAnswerRow kDeletePasswordRows[3] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "To delete master password succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "To delete master password is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};

CMasterFlow::CMasterFlow(IConsoleContext& console) : CConsoleFlow(console) {}

LRESULT CMasterFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CMasterFlow> table[] = {
        {WM_RX_ENTER_MASTER, &CMasterFlow::OnEnterMasterAnswer},
        {WM_RX_ENTER_MASTER_EX, &CMasterFlow::OnEnterMasterExAnswer},
        {WM_RX_MINI_ENTER_MASTER, &CMasterFlow::OnMiniEnterMasterAnswer},
        {WM_RX_LEAVE_MASTER, &CMasterFlow::OnLeaveMasterAnswer},
        {WM_RX_MINI_LEAVE_MASTER, &CMasterFlow::OnMiniLeaveMasterAnswer},
        {WM_RX_SET_MASTER_PASSWORD, &CMasterFlow::OnSetPasswordAnswer},
        {WM_RX_DELETE_MASTER_PASSWORD, &CMasterFlow::OnDeletePasswordAnswer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
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
    CPacketManagerWnd& device = m_Console.Device();
    if (State().m_bMasterMode) {
        if (State().IsGeneral()) {
            device.SendLeaveMaster();
        } else {
            device.SendMiniLeaveMaster();
        }
        return;
    }
    if (!State().IsGeneral()) {
        // No credentials travel in the Minimized protocol.
        device.SendMiniEnterMaster();
        return;
    }
    if (!State().IsZel12() || State().m_nFirmwareLevel >= ENTER_MASTER_EX_LEVEL) {
        device.SendEnterMasterEx(AUTH_NONE);
    } else {
        device.SendEnterMaster(AUTH_NONE);
    }
}

LRESULT CMasterFlow::OnEnterMasterAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    EnterMasterAnswer(static_cast<std::int32_t>(answer.m_Param1), answer.m_Param2, false);
    return 0;
}

LRESULT CMasterFlow::OnEnterMasterExAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    EnterMasterAnswer(static_cast<std::int32_t>(answer.m_Param1), answer.m_Param2, true);
    return 0;
}

void CMasterFlow::EnterMasterAnswer(std::int32_t result, std::uint32_t step, bool newForm) {
    if (step == AUTH_NONE && result != RES_SUCCESS) {
        // The module wants credentials: the second step of the entry.
        AskCredentials(newForm);
        return;
    }
    ShowEnterResult(result, kEnterMasterRows, std::size(kEnterMasterRows));
}

LRESULT CMasterFlow::OnMiniEnterMasterAnswer(WPARAM wParam, LPARAM) {
    ShowEnterResult(FrameOf(wParam)[3], kMiniEnterMasterRows, std::size(kMiniEnterMasterRows));
    return 0;
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
        m_Console.Device().SendEnterMasterEx(authType, Field(id), Field(password));
    } else {
        m_Console.Device().SendEnterMaster(authType, Field(id), Field(password));
    }
}

LRESULT CMasterFlow::OnLeaveMasterAnswer(WPARAM wParam, LPARAM) {
    ShowLeaveResult(static_cast<std::int32_t>(PacketOf(wParam).m_Param1));
    return 0;
}

LRESULT CMasterFlow::OnMiniLeaveMasterAnswer(WPARAM wParam, LPARAM) {
    // Every Minimized refusal means the module was not in master mode.
    ShowLeaveResult(FrameOf(wParam)[3] == RES_SUCCESS ? RES_SUCCESS : RES_NO_MASTER_MODE);
    return 0;
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
    CMasterPasswordDlg dialog(m_Console.Device(), m_Console.Operator(), m_Console.Form());
    m_Console.Operator().DoModal(dialog);
}

LRESULT CMasterFlow::OnSetPasswordAnswer(WPARAM wParam, LPARAM) {
    ShowAnswer(m_Console, static_cast<std::int32_t>(PacketOf(wParam).m_Param1), kSetPasswordRows);
    return 0;
}

LRESULT CMasterFlow::OnDeletePasswordAnswer(WPARAM wParam, LPARAM) {
    ShowAnswer(m_Console, static_cast<std::int32_t>(PacketOf(wParam).m_Param1), kDeletePasswordRows);
    return 0;
}
