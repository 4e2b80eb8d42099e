#include "console/VerifyFlow.h"

#include <algorithm>

#include "console/InputIdDlg.h"
#include "console/VerifyDlgs.h"
#include "platform/qt/UiOperator.h"
#include "protocol/Notifications.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

const SAnswerRow kVerifyRows[5] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Verification is succeeded.", "Verification is succeeded."},
    {RES_FAIL, MSGFORM_WARNING, "Verification is failed.", "Verification is failed."},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid ID!!!", "Invalid ID!!!"},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Verification canceled.", "Verification canceled."},
};

const SAnswerRow kIdentifyRows[4] = {
    // The prompt ends in a blank: "(ID: %s)" follows it.
    {RES_SUCCESS, MSGFORM_SUCCESS, "Identification is succeeded. ", "Identification is succeeded."},
    {RES_FAIL, MSGFORM_WARNING, "Identification is failed.", "Identification failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Identification canceled.", "Identification canceled."},
};

const SAnswerRow kMiniIdentifyRows[4] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Identification is succeeded.", "Identification is succeeded."},
    {RES_FAIL, MSGFORM_WARNING, "Identification is failed.", "Identification failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Identification canceled.", "Identification canceled."},
};

QString IdentifiedId(const CPacket& answer) {
    // Only the data the answer carried counts: bytes behind it belong to no
    // answer and must not be shown as part of the ID.
    const std::size_t size = std::min<std::size_t>(answer.m_DataSize, FINGERPRINT_ID_LIMIT);
    const auto* data = reinterpret_cast<const char*>(answer.m_Data);
    const std::size_t length = std::find(data, data + size, '\0') - data;
    return QString::fromLatin1(data, static_cast<int>(length));
}

CVerifyFlow::CVerifyFlow(IConsoleContext& console) : CConsoleFlow(console) {}

LRESULT CVerifyFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CVerifyFlow> table[] = {
        {WM_RX_VERIFY, &CVerifyFlow::OnVerifyAnswer},
        {WM_RX_IDENTIFY, &CVerifyFlow::OnIdentifyAnswer},
        {WM_RX_MINI_IDENTIFY, &CVerifyFlow::OnMiniIdentifyAnswer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

bool CVerifyFlow::OnCommand(int id, int code) {
    static const CommandEntry<CVerifyFlow> table[] = {
        {IDC_VERIFY, BN_CLICKED, &CVerifyFlow::OnVerify},
        {IDC_IDENTIFY, BN_CLICKED, &CVerifyFlow::OnIdentify},
    };
    return DispatchCommand(this, table, id, code);
}

// ------------------------------------------------------------------ VERIFY

void CVerifyFlow::OnVerify() {
    std::int32_t type = VERIFY_BY_FINGERPRINT;
    if (!State().IsZel12()) {
        // Other boards can check an ID's password instead of a finger.
        CVerifyType verifyType(m_Console.Form());
        if (m_Console.Operator().DoModal(verifyType) != IDOK) return;
        type = verifyType.m_nVerifyType;
    }
    if (type == VERIFY_BY_PASSWORD) {
        CInputIdPassword input(m_Console.Form());
        if (m_Console.Operator().DoModal(input) != IDOK) return;
        m_Console.SetStatusText("Put your fingertip on the reader");
        m_Console.Device().SendVerify(VERIFY_BY_PASSWORD, Field(input.m_strId), Field(input.m_strPassword));
        return;
    }
    CInputIdDlg input(m_Console.Form());
    if (m_Console.Operator().DoModal(input) != IDOK) return;
    m_Console.SetStatusText("Put your fingertip on the reader");
    m_Console.Device().SendVerify(VERIFY_BY_FINGERPRINT, Field(input.m_strId));
}

LRESULT CVerifyFlow::OnVerifyAnswer(WPARAM wParam, LPARAM) {
    m_Console.WaitDlg().Close();
    ShowAnswer(m_Console, static_cast<std::int32_t>(PacketOf(wParam).m_Param1), kVerifyRows);
    return 0;
}

// ---------------------------------------------------------------- IDENTIFY

void CVerifyFlow::OnIdentify() {
    m_Console.SetStatusText("Put your fingertip on the reader");
    // Pressing IDENTIFY ends a running battery life test: the next
    // identification answer is shown as usual.
    State().m_bBatteryTest = false;
    if (State().IsGeneral()) {
        m_Console.Device().SendIdentify();
    } else {
        m_Console.Device().SendMiniIdentify();
    }
}

LRESULT CVerifyFlow::OnIdentifyAnswer(WPARAM wParam, LPARAM lParam) {
    m_Console.WaitDlg().Close();
    if (State().m_bBatteryTest) {
        BatteryTestStep(wParam, lParam);
        return 0;
    }
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    const SAnswerRow* row = FindAnswer(result, kIdentifyRows);
    if (row && result == RES_SUCCESS) {
        m_Console.ShowPrompt(row->form, QString(row->prompt) + QString("(ID: %1)").arg(IdentifiedId(answer)));
        m_Console.SetStatusText(row->status);
        return 0;
    }
    ShowAnswer(m_Console, result, kIdentifyRows);
    return 0;
}

LRESULT CVerifyFlow::OnMiniIdentifyAnswer(WPARAM wParam, LPARAM) {
    // The Minimized answer names no ID and is never the battery test's.
    ShowAnswer(m_Console, FrameOf(wParam)[3], kMiniIdentifyRows);
    return 0;
}

void CVerifyFlow::BatteryTestStep(WPARAM wParam, LPARAM lParam) {
    // The battery life test's heartbeat: the service flow goes on with the
    // test or ends it; the result code is not looked at here.
    m_Console.ForwardTo(FLOW_SERVICE, WM_RX_IDENTIFY, wParam, lParam);
}

