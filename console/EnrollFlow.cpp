#include "console/EnrollFlow.h"

#include "console/ConsoleMessages.h"
#include "console/InputIdDlg.h"
#include "console/RegisterUser.h"
#include "platform/qt/UiOperator.h"
#include "protocol/CommandCatalog.h"
#include "widgets/LiftDlg.h"
#include "widgets/MsgDlg.h"

void ShowFingerprintCount(IConsoleContext& console, std::uint32_t count) {
    console.SetLabel(IDC_COUNT_LABEL, QString::asprintf("Fingerprint Count: %d", static_cast<int>(count)));
}

void CEnrollFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CEnrollFlow> table[] = {
        GENERAL_REPLY(CMD_ENROLL, &CEnrollFlow::OnEnrollAnswer),
        GENERAL_REPLY(CMD_ENROLL2, &CEnrollFlow::OnEnroll2Answer),
        GENERAL_REPLY(CMD_ENROLL_EX, &CEnrollFlow::OnEnrollExAnswer),
        MINI_REPLY(MINI_ENROLL, &CEnrollFlow::OnMiniEnrollAnswer),
        GENERAL_REPLY(CMD_DELETE, &CEnrollFlow::OnDeleteAnswer),
        MINI_REPLY(MINI_DELETE, &CEnrollFlow::OnMiniDeleteAnswer),
        MINI_REPLY(MINI_DELETE_ALL, &CEnrollFlow::OnMiniDeleteAnswer),
    };
    DispatchReply(this, table, reply);
}

bool CEnrollFlow::OnCommand(int id, int code) {
    static const CommandEntry<CEnrollFlow> table[] = {
        {IDC_ENROLL, BN_CLICKED, &CEnrollFlow::OnEnroll},
        {IDC_DELETE, BN_CLICKED, &CEnrollFlow::OnDelete},
    };
    return DispatchCommand(this, table, id, code);
}

// ------------------------------------------------------------------- ENROLL

void CEnrollFlow::OnEnroll() {
    if (!State().IsGeneral()) {
        // The Minimized enrol frame carries no ID, password or type.
        m_Console.SetStatusText(kPutFinger);
        Request(req::Mini(MINI_ENROLL, 0, 0));
        return;
    }
    CRegisterUser dlg(m_Console.Form());
    dlg.m_nBoardType = State().m_nBoardType;
    if (m_Console.Operator().DoModal(dlg) != IDOK) return;
    m_nEnrollType = dlg.m_nUserType;
    const std::string id = Field(dlg.m_strId);
    m_Console.SetStatusText(kPutFinger);
    if (State().IsZel12()) {
        // The password edit is disabled there: no password goes out.
        Request(req::Enroll(static_cast<std::uint32_t>(m_nEnrollType), id));
    } else {
        Request(req::EnrollEx(static_cast<std::uint32_t>(m_nEnrollType), 0, id, Field(dlg.m_strPassword)));
    }
}

bool CEnrollFlow::AskLift() {
    return m_Console.LiftDlg().DoModal(m_Console.Operator(), m_Console.Form()) == IDOK;
}

void CEnrollFlow::OnEnrollAnswer(const CReply& reply) {
    const std::int32_t result = reply.Result();
    if (ShowAnswer(m_Console, result, kEnrollRows, kEnrollRowCount) && result == RES_SUCCESS) {
        Request(req::General(CMD_ENROLL2, static_cast<std::uint32_t>(m_nEnrollType)));
    }
}

void CEnrollFlow::OnEnroll2Answer(const CReply& reply) {
    const std::int32_t result = reply.Result();
    if (ShowAnswer(m_Console, result, kEnroll2Rows, kEnroll2RowCount) && result == RES_SUCCESS) {
        ShowFingerprintCount(m_Console, reply.Packet().m_Param2);
    }
}

void CEnrollFlow::OnEnrollExAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS && answer.m_Param2 == 0) {
        // First scan taken: the second one after the finger was lifted.
        m_Console.SetStatusText(kLiftFinger);
        if (AskLift()) Request(req::EnrollEx(static_cast<std::uint32_t>(m_nEnrollType), 1));
        return;
    }
    if (ShowAnswer(m_Console, result, kEnrollExRows, kEnrollExRowCount) && result == RES_SUCCESS) {
        ShowFingerprintCount(m_Console, answer.m_Param2);
    }
}

void CEnrollFlow::OnMiniEnrollAnswer(const CReply& reply) {
    const std::int32_t result = reply.Result();
    // The answer to the first scan (step 0 in byte 4 of the request).
    if (result == RES_SUCCESS && reply.Request().param2 == 0) {
        m_Console.SetStatusText(kLiftFinger);
        if (AskLift()) Request(req::Mini(MINI_ENROLL, 0, 1));
        return;
    }
    ShowAnswer(m_Console, result, kMiniEnrollRows, kMiniEnrollRowCount);
}

// ------------------------------------------------------------------- DELETE

void CEnrollFlow::OnDelete() {
    if (!State().IsGeneral()) {
        Request(req::Mini(MINI_DELETE));
        return;
    }
    CInputIdDlg dlg(m_Console.Form());
    if (m_Console.Operator().DoModal(dlg) != IDOK) return;
    Request(req::Delete(Field(dlg.m_strId)));
}

void CEnrollFlow::OnDeleteAnswer(const CReply& reply) {
    const std::int32_t result = reply.Result();
    if (ShowAnswer(m_Console, result, kDeleteRows, kDeleteRowCount) && result == RES_SUCCESS) {
        ShowFingerprintCount(m_Console, reply.Packet().m_Param2);
    }
}

void CEnrollFlow::OnMiniDeleteAnswer(const CReply& reply) {
    ShowAnswer(m_Console, reply.Result(), kMiniDeleteRows, kMiniDeleteRowCount);
}
