#include "tools/DbMgrFlow.h"

#include <algorithm>

#include "console/AnswerTable.h"
#include "console/ConsoleMessages.h"
#include "platform/qt/UiOperator.h"
#include "console/EnrollFlow.h"
#include "ops/AnswerData.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"

namespace {

std::int32_t ResultOf(const CPacket& answer) { return static_cast<std::int32_t>(answer.m_Param1); }

}  // namespace

CDbMgrFlow::CDbMgrFlow(IConsoleContext& console) : CConsoleFlow(console) {}

// The window goes with m_Dlg, at once.
CDbMgrFlow::~CDbMgrFlow() = default;

LRESULT CDbMgrFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CDbMgrFlow> table[] = {
        {WM_DBMGR_BUTTON, &CDbMgrFlow::OnButton},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

void CDbMgrFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CDbMgrFlow> table[] = {
        GENERAL_REPLY(CMD_GET_FP_LIST, &CDbMgrFlow::OnFpList),
        GENERAL_REPLY(CMD_GET_MASTER_LIST, &CDbMgrFlow::OnMasterList),
        GENERAL_REPLY(CMD_GET_FP_LIST_EX, &CDbMgrFlow::OnFpListEx),
        GENERAL_REPLY(CMD_GET_MASTER_LIST_EX, &CDbMgrFlow::OnMasterListEx),
        GENERAL_REPLY(CMD_DELETE, &CDbMgrFlow::OnDelete),
        GENERAL_REPLY(CMD_DELETE_ALL, &CDbMgrFlow::OnDeleteAll),
        GENERAL_REPLY(CMD_SET_MASTER, &CDbMgrFlow::OnSetMaster),
    };
    DispatchReply(this, table, reply);
}

bool CDbMgrFlow::OnCommand(int id, int code) {
    static const CommandEntry<CDbMgrFlow> table[] = {
        {ID_VIEW_DB_MANAGER, BN_CLICKED, &CDbMgrFlow::OnViewDbManager},
    };
    return DispatchCommand(this, table, id, code);
}

bool CDbMgrFlow::IsMenuChecked(int command) const { return command == ID_VIEW_DB_MANAGER && m_Dlg.IsOpen(); }

void CDbMgrFlow::OnViewDbManager() {
    if (m_Dlg.IsOpen()) {
        m_Dlg.DestroyWindow();
    } else {
        m_Dlg.Create(m_Console.Form(), this);
    }
}

// ------------------------------------------------------------- the buttons

LRESULT CDbMgrFlow::OnButton(WPARAM id, LPARAM) {
    // A press still queued when the window closed does nothing.
    if (!m_Dlg.IsOpen()) return 0;
    switch (static_cast<int>(id)) {
    case IDC_DB_GET_LIST: GetFingerprintList(); break;
    case IDC_DB_DELETE: DeleteRecord(); break;
    case IDC_DB_DELETE_ALL: DeleteAll(0, "Are you sure to delete all records?"); break;
    case IDC_DB_DELETE_ALL_USER: DeleteAll(1, "Are you sure to delete all users?"); break;
    // The same question as DELETE ALL USER.
    case IDC_DB_DELETE_ALL_MASTER: DeleteAll(2, "Are you sure to delete all users?"); break;
    case IDC_DB_SET_MASTER: ChangeMaster(MASTER_MODE_SET); break;
    case IDC_DB_RESET_MASTER: ChangeMaster(MASTER_MODE_RESET); break;
    // As the main form's STATUS and CANCEL: the service flow sends them and
    // shows their answers.
    case IDC_DB_STATUS_CHECK: m_Console.ForwardTo(FLOW_SERVICE, WM_SERVICE_STATUS); break;
    case IDC_DB_CANCEL: m_Console.ForwardTo(FLOW_SERVICE, WM_SERVICE_CANCEL); break;
    default: break;
    }
    return 0;
}

bool CDbMgrFlow::Ask(const char* question) {
    return m_Console.Operator().MessageBox(question, "", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CDbMgrFlow::GetFingerprintList() {
    // The list shown stays until a new one is on its way.
    if (Request(req::General(State().m_nFirmwareLevel < FIRMWARE_LEVEL_LIST_EX ? CMD_GET_FP_LIST : CMD_GET_FP_LIST_EX)))
        m_Dlg.ClearList();
}

void CDbMgrFlow::DeleteRecord() {
    const int row = m_Dlg.SelectedRow();
    if (row < 0) {
        m_Console.Operator().MessageBox("There is no selected item.", "", MB_OK);
        return;
    }
    // The ID goes back byte for byte as the module sent it.
    const std::string id = Field(m_Dlg.RowText(row, 0));
    if (Ask("Are you sure to delete the selected record?")) Request(req::Delete(id));
}

void CDbMgrFlow::DeleteAll(std::uint32_t which, const char* question) {
    if (Ask(question)) Request(req::General(CMD_DELETE_ALL, which));
}

void CDbMgrFlow::ChangeMaster(int mode) {
    const int row = m_Dlg.SelectedRow();
    if (row < 0) {
        m_Console.Operator().MessageBox("There is no selected item.", "", MB_OK);
        return;
    }
    const QString authority = m_Dlg.RowText(row, 1);
    // Recorded before the checks; it stays even when nothing is sent.
    m_Dlg.m_strPendingId = m_Dlg.RowText(row, 0);
    m_Dlg.m_nPendingMode = mode;
    if (mode == MASTER_MODE_SET && authority == "MASTER") {
        m_Console.Operator().MessageBox("The selected record is MASTER", "", MB_OK | MB_ICONSTOP);
        return;
    }
    if (mode == MASTER_MODE_RESET && authority.isEmpty()) {
        m_Console.Operator().MessageBox("The selected record is not MASTER", "", MB_OK | MB_ICONSTOP);
        return;
    }
    const char* question = mode == MASTER_MODE_SET
                               ? "Do you want to change the selected record to master record?"
                               : "Do you want to change the selected record to general record?";
    if (Ask(question)) {
        const std::string id = Field(m_Dlg.m_strPendingId);
        Request(req::SetMaster(static_cast<std::uint32_t>(mode), id));
    }
}

// ------------------------------------------------------------- the answers

void CDbMgrFlow::ShowForwarded(UINT msg) {
    if (m_Dlg.IsOpen()) m_Dlg.WindowProc(msg, reinterpret_cast<WPARAM>(&m_FpList), 0);
}

void CDbMgrFlow::OnFpList(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetFpList(answer.m_Data, OlderListCount(answer));
        Request(req::General(CMD_GET_MASTER_LIST));
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kFpListRows);
    }
}

void CDbMgrFlow::OnMasterList(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetMasterList(answer.m_Data, OlderListCount(answer));
        m_FpList.MarkMasters();
        ShowForwarded(WM_DBMGR_LIST);
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kFpListRows);
    }
}

void CDbMgrFlow::OnFpListEx(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetFpList(answer.m_Data + LIST_EX_HEADER_SIZE, NewerListCount(answer));
        Request(req::General(CMD_GET_MASTER_LIST_EX));
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kFpListExRows);
    }
}

void CDbMgrFlow::OnMasterListEx(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetMasterList(answer.m_Data + LIST_EX_HEADER_SIZE, NewerListCount(answer));
        m_FpList.MarkMasters();
        ShowForwarded(WM_DBMGR_LIST_EX);
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kMasterListExRows);
    }
}

void CDbMgrFlow::OnDelete(const CReply& reply) {
    // Shown as the main form's DELETE; on success the list is read again.
    const std::int32_t result = reply.Result();
    if (ShowAnswer(m_Console, result, kDeleteRows, kDeleteRowCount) && result == RES_SUCCESS) {
        ShowFingerprintCount(m_Console, reply.Packet().m_Param2);
        GetFingerprintList();
    }
}

void CDbMgrFlow::OnDeleteAll(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    ShowAnswer(m_Console, ResultOf(answer), kDeleteAllRows);
    if (ResultOf(answer) == RES_SUCCESS) {
        ShowFingerprintCount(m_Console, answer.m_Param2);
        // Read again whether or not the window is open.
        GetFingerprintList();
    }
}

void CDbMgrFlow::OnSetMaster(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (ResultOf(answer) == RES_SUCCESS) {
        if (m_Dlg.IsOpen()) m_Dlg.WindowProc(WM_DBMGR_MASTER_CHANGED, 0, 0);
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kSetMasterRows);
    }
}
