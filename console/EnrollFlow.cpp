#include "console/EnrollFlow.h"

#include "console/ConsoleMessages.h"
#include "console/InputIdDlg.h"
#include "console/RegisterUser.h"
#include "platform/qt/UiOperator.h"
#include "protocol/Commands.h"
#include "protocol/Notifications.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/LiftDlg.h"
#include "widgets/MsgDlg.h"

namespace {

const char kPutFinger[] = "Put your fingertip on the reader";
const char kLiftFinger[] = "Lift your fingertip";

}  // namespace

// The first scan's success on a "ZEL12" board asks for the second at once.
const SAnswerRow kEnrollRows[] = {
    {RES_SUCCESS, PROMPT_NONE, nullptr, kLiftFinger},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_USED_ID, MSGFORM_WARNING, "Used ID!!!", "Used ID!!!"},
    {RES_DB_FULL, MSGFORM_WARNING, "DB is full!!!", "DB is full!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled", "Enrollment is canceled!!!"},
};
const std::size_t kEnrollRowCount = std::size(kEnrollRows);

// On success the status line keeps "Lift your fingertip".
const SAnswerRow kEnroll2Rows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Enrollment succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_ANOTHER_FINGER, MSGFORM_WARNING, "Another fingerprint!!!", "Another fingerprint!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled.", "Enrollment is canceled!!!"},
};
const std::size_t kEnroll2RowCount = std::size(kEnroll2Rows);

const SAnswerRow kEnrollExRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Enrollment succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_USED_ID, MSGFORM_WARNING, "Used ID!!!", "Used ID!!!"},
    {RES_DB_FULL, MSGFORM_WARNING, "DB is full!!!", "DB is full!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_ANOTHER_FINGER, MSGFORM_WARNING, "Another fingerprint!!!", "Another fingerprint!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled", "Enrollment is canceled!!!"},
};
const std::size_t kEnrollExRowCount = std::size(kEnrollExRows);

// The Minimized answer carries no count: the label stays.
const SAnswerRow kMiniEnrollRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Enrollment succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Enrollment is failed.", "Enrollment is failed."},
    {RES_TIMEOUT, MSGFORM_WARNING, "Time out!!!", "Time out!!!"},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", "Invalid parameter!!!"},
    {RES_DB_FULL, MSGFORM_WARNING, "DB is full!!!", "DB is full!!!"},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", "No master mode!!!"},
    {RES_ANOTHER_FINGER, MSGFORM_WARNING, "Another fingerprint!!!", "Another fingerprint!!!"},
    {RES_CANCELED, MSGFORM_WARNING, "Enrollment is canceled", "Enrollment is canceled!!!"},
};
const std::size_t kMiniEnrollRowCount = std::size(kMiniEnrollRows);

// Deletion answers leave the status line as it is.
const SAnswerRow kDeleteRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Deletion is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid Id!!!", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "Deletion is canceled.", nullptr},
};
const std::size_t kDeleteRowCount = std::size(kDeleteRows);

const SAnswerRow kMiniDeleteRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Deletion is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};
const std::size_t kMiniDeleteRowCount = std::size(kMiniDeleteRows);

LRESULT CEnrollFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CEnrollFlow> table[] = {
        {WM_RX_ENROLL, &CEnrollFlow::OnEnrollAnswer},
        {WM_RX_ENROLL2, &CEnrollFlow::OnEnroll2Answer},
        {WM_RX_ENROLL_EX, &CEnrollFlow::OnEnrollExAnswer},
        {WM_RX_MINI_ENROLL, &CEnrollFlow::OnMiniEnrollAnswer},
        {WM_RX_DELETE, &CEnrollFlow::OnDeleteAnswer},
        {WM_RX_MINI_DELETE, &CEnrollFlow::OnMiniDeleteAnswer},
        {WM_RX_MINI_DELETE_ALL, &CEnrollFlow::OnMiniDeleteAnswer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
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
    CPacketManagerWnd& device = m_Console.Device();
    if (!State().IsGeneral()) {
        // The Minimized enrol frame carries no ID, password or type.
        m_Console.SetStatusText(kPutFinger);
        m_nMiniEnrollStep = 1;
        device.SendMiniEnroll(0);
        return;
    }
    CRegisterUser dlg(m_Console.Form());
    dlg.m_nBoardType = State().m_nBoardType;
    if (m_Console.Operator().DoModal(dlg) != IDOK) return;
    m_nEnrollType = dlg.m_nUserType;
    const std::string id = Field(dlg.m_strId);
    if (State().IsZel12()) {
        // The password edit is disabled there: no password goes out.
        device.SendEnroll(static_cast<std::uint32_t>(m_nEnrollType), id);
    } else {
        device.SendEnrollEx(static_cast<std::uint32_t>(m_nEnrollType), 0, id, Field(dlg.m_strPassword));
    }
    m_Console.SetStatusText(kPutFinger);
}

bool CEnrollFlow::AskLift() {
    return m_Console.LiftDlg().DoModal(m_Console.Operator(), m_Console.Form()) == IDOK;
}

void CEnrollFlow::SetCount(std::uint32_t count) {
    m_Console.SetLabel(IDC_COUNT_LABEL, QString::asprintf("Fingerprint Count: %d", static_cast<int>(count)));
}

LRESULT CEnrollFlow::OnEnrollAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (ShowAnswer(m_Console, result, kEnrollRows, kEnrollRowCount) && result == RES_SUCCESS) {
        m_Console.Device().SendEnroll2(static_cast<std::uint32_t>(m_nEnrollType));
    }
    return 0;
}

LRESULT CEnrollFlow::OnEnroll2Answer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (ShowAnswer(m_Console, result, kEnroll2Rows, kEnroll2RowCount) && result == RES_SUCCESS) {
        SetCount(answer.m_Param2);
    }
    return 0;
}

LRESULT CEnrollFlow::OnEnrollExAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS && answer.m_Param2 == 0) {
        // First scan taken: the second one after the finger was lifted.
        m_Console.SetStatusText(kLiftFinger);
        if (AskLift()) m_Console.Device().SendEnrollEx(static_cast<std::uint32_t>(m_nEnrollType), 1);
        return 0;
    }
    if (ShowAnswer(m_Console, result, kEnrollExRows, kEnrollExRowCount) && result == RES_SUCCESS) {
        SetCount(answer.m_Param2);
    }
    return 0;
}

LRESULT CEnrollFlow::OnMiniEnrollAnswer(WPARAM wParam, LPARAM) {
    const std::int32_t result = FrameOf(wParam)[3];
    if (result == RES_SUCCESS && m_nMiniEnrollStep == 1) {
        m_nMiniEnrollStep = 0;
        m_Console.SetStatusText(kLiftFinger);
        if (AskLift()) m_Console.Device().SendMiniEnroll(1);
        return 0;
    }
    ShowAnswer(m_Console, result, kMiniEnrollRows, kMiniEnrollRowCount);
    return 0;
}

// ------------------------------------------------------------------- DELETE

void CEnrollFlow::OnDelete() {
    // A deletion started here never reloads the database manager's list.
    State().m_bRefreshAfterDelete = false;
    if (!State().IsGeneral()) {
        m_Console.Device().SendMiniDelete();
        return;
    }
    CInputIdDlg dlg(m_Console.Form());
    if (m_Console.Operator().DoModal(dlg) != IDOK) return;
    m_Console.Device().SendDelete(Field(dlg.m_strId));
}

LRESULT CEnrollFlow::OnDeleteAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (!ShowAnswer(m_Console, result, kDeleteRows, kDeleteRowCount) || result != RES_SUCCESS) return 0;
    SetCount(answer.m_Param2);
    if (State().m_bRefreshAfterDelete) {
        // The deletion came from the database manager: it reloads its list.
        State().m_bRefreshAfterDelete = false;
        m_Console.ForwardTo(FLOW_DB_MANAGER, WM_DBMGR_REFRESH);
    }
    return 0;
}

LRESULT CEnrollFlow::OnMiniDeleteAnswer(WPARAM wParam, LPARAM) {
    ShowAnswer(m_Console, FrameOf(wParam)[3], kMiniDeleteRows, kMiniDeleteRowCount);
    return 0;
}
