#include "console/VerifyFlow.h"

#include "console/InputIdDlg.h"
#include "console/VerifyDlgs.h"
#include "ops/AnswerData.h"
#include "platform/qt/UiOperator.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

QString IdentifiedId(const CPacket& answer) {
    const std::string id = IdentifiedIdText(answer);
    return QString::fromLatin1(id.data(), static_cast<int>(id.size()));
}

CVerifyFlow::CVerifyFlow(IConsoleContext& console) : CConsoleFlow(console) {}

void CVerifyFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CVerifyFlow> table[] = {
        GENERAL_REPLY(CMD_VERIFY, &CVerifyFlow::OnVerifyAnswer),
        GENERAL_REPLY(CMD_IDENTIFY, &CVerifyFlow::OnIdentifyAnswer),
        MINI_REPLY(MINI_IDENTIFY, &CVerifyFlow::OnMiniIdentifyAnswer),
    };
    DispatchReply(this, table, reply);
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
        Request(req::Verify(VERIFY_BY_PASSWORD, Field(input.m_strId), Field(input.m_strPassword)));
        return;
    }
    CInputIdDlg input(m_Console.Form());
    if (m_Console.Operator().DoModal(input) != IDOK) return;
    m_Console.SetStatusText("Put your fingertip on the reader");
    Request(req::Verify(VERIFY_BY_FINGERPRINT, Field(input.m_strId)));
}

void CVerifyFlow::OnVerifyAnswer(const CReply& reply) {
    m_Console.WaitDlg().Close();
    ShowAnswer(m_Console, reply.Result(), kVerifyRows);
}

// ---------------------------------------------------------------- IDENTIFY

void CVerifyFlow::OnIdentify() {
    m_Console.SetStatusText("Put your fingertip on the reader");
    // An identification of a battery life test still open is superseded:
    // the test ends, and this answer is shown as usual.
    Request(State().IsGeneral() ? req::General(CMD_IDENTIFY) : req::Mini(MINI_IDENTIFY));
}

void CVerifyFlow::OnIdentifyAnswer(const CReply& reply) {
    m_Console.WaitDlg().Close();
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    const SAnswerRow* row = FindAnswer(result, kIdentifyRows);
    if (row && result == RES_SUCCESS) {
        m_Console.ShowPrompt(row->form, QString(row->prompt) + QString("(ID: %1)").arg(IdentifiedId(answer)));
        m_Console.SetStatusText(row->status);
        return;
    }
    ShowAnswer(m_Console, result, kIdentifyRows);
}

void CVerifyFlow::OnMiniIdentifyAnswer(const CReply& reply) {
    // The Minimized answer names no ID.
    ShowAnswer(m_Console, reply.Result(), kMiniIdentifyRows);
}

