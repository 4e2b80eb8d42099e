#include "tools/DbMgrFlow.h"

#include <algorithm>

#include "console/AnswerTable.h"
#include "console/ConsoleMessages.h"
#include "platform/qt/UiOperator.h"
#include "protocol/Notifications.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"

namespace {

std::int32_t ResultOf(const CPacket& answer) { return static_cast<std::int32_t>(answer.m_Param1); }

// Records of an older list answer: m_Param2 names the count; never more than
// the data area holds.
int OlderCount(const CPacket& answer) {
    const std::uint32_t held = std::min<std::uint32_t>(answer.m_DataSize, PACKET_DATA_SIZE) / FP_RECORD_SIZE;
    return static_cast<int>(std::min(answer.m_Param2, held));
}

// Records of a newer list answer: 4 leading bytes, then as many whole records
// as the data holds.
int NewerCount(const CPacket& answer) {
    const std::uint32_t size = std::min<std::uint32_t>(answer.m_DataSize, PACKET_DATA_SIZE);
    return size < 4 ? 0 : static_cast<int>((size - 4) / FP_RECORD_SIZE);
}

const SAnswerRow kFpListRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get fingerprint list is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
};
const SAnswerRow kFpListExRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get fingerprint list is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "To get fingerprint list is canceled.", nullptr},
};
const SAnswerRow kMasterListExRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To get master list is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "Not master mode", nullptr},
    {RES_CANCELED, MSGFORM_WARNING, "To get master list is canceled.", nullptr},
};
const SAnswerRow kDeleteAllRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Deletion is succeeded.", nullptr},
    {RES_FAIL, MSGFORM_WARNING, "Deletion is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
};
const SAnswerRow kSetMasterRows[] = {
    {RES_FAIL, MSGFORM_WARNING, "To set/reset master is failed.", nullptr},
    {RES_NO_MASTER_MODE, MSGFORM_WARNING, "No master mode!!!", nullptr},
    {RES_INVALID_ID, MSGFORM_WARNING, "Invalid ID!!!", nullptr},
    {RES_INVALID_PARAM, MSGFORM_WARNING, "Invalid parameter!!!", nullptr},
    {RES_MASTER_FULL, MSGFORM_WARNING, "Master record is full.", nullptr},
};

}  // namespace

CDbMgrFlow::CDbMgrFlow(IConsoleContext& console) : CConsoleFlow(console) {}

// The window goes with m_Dlg, at once.
CDbMgrFlow::~CDbMgrFlow() = default;

LRESULT CDbMgrFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CDbMgrFlow> table[] = {
        {WM_DBMGR_BUTTON, &CDbMgrFlow::OnButton},
        {WM_DBMGR_REFRESH, &CDbMgrFlow::OnRefresh},
        {WM_RX_GET_FP_LIST, &CDbMgrFlow::OnFpList},
        {WM_RX_GET_MASTER_LIST, &CDbMgrFlow::OnMasterList},
        {WM_RX_GET_FP_LIST_EX, &CDbMgrFlow::OnFpListEx},
        {WM_RX_GET_MASTER_LIST_EX, &CDbMgrFlow::OnMasterListEx},
        {WM_RX_DELETE_ALL, &CDbMgrFlow::OnDeleteAll},
        {WM_RX_SET_MASTER, &CDbMgrFlow::OnSetMaster},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
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
    case IDC_DB_STATUS_CHECK: StatusCheck(); break;
    case IDC_DB_CANCEL: Cancel(); break;
    default: break;
    }
    return 0;
}

bool CDbMgrFlow::Ask(const char* question) {
    return m_Console.Operator().MessageBox(question, "", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void CDbMgrFlow::GetFingerprintList() {
    m_Dlg.ClearList();
    if (State().m_nFirmwareLevel < FIRMWARE_LEVEL_LIST_EX) {
        m_Console.Device().SendGetFpList();
    } else {
        m_Console.Device().SendGetFpListEx();
    }
}

void CDbMgrFlow::DeleteRecord() {
    // Set before anything else: the main form's DELETE clears it again.
    State().m_bRefreshAfterDelete = true;
    const int row = m_Dlg.SelectedRow();
    if (row < 0) {
        m_Console.Operator().MessageBox("There is no selected item.", "", MB_OK);
        return;
    }
    // The ID goes back byte for byte as the module sent it.
    const std::string id = Field(m_Dlg.RowText(row, 0));
    if (Ask("Are you sure to delete the selected record?")) m_Console.Device().SendDelete(id);
}

void CDbMgrFlow::DeleteAll(std::uint32_t which, const char* question) {
    // Set as by DELETE RECORD; a successful delete-all reads the list again
    // whatever the flag says.
    State().m_bRefreshAfterDelete = true;
    if (Ask(question)) m_Console.Device().SendDeleteAll(which);
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
        m_Console.Device().SendSetMaster(static_cast<std::uint32_t>(mode), id);
    }
}

void CDbMgrFlow::StatusCheck() {
    // As the main form's STATUS: its flow shows the answer.
    if (State().IsGeneral()) {
        m_Console.Device().SendStatus();
    } else {
        m_Console.Device().SendMiniStatus();
    }
}

void CDbMgrFlow::Cancel() {
    // As the main form's CANCEL: a capture under way learns of it too.
    if (State().IsGeneral()) {
        State().m_bCaptureCancel = true;
        m_Console.Device().SendCancel();
    } else {
        m_Console.Device().SendMiniCancel();
    }
}

// ------------------------------------------------------------- the answers

LRESULT CDbMgrFlow::OnRefresh(WPARAM, LPARAM) {
    GetFingerprintList();
    return 0;
}

void CDbMgrFlow::ShowForwarded(UINT msg) {
    if (m_Dlg.IsOpen()) m_Dlg.WindowProc(msg, reinterpret_cast<WPARAM>(&m_FpList), 0);
}

LRESULT CDbMgrFlow::OnFpList(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetFpList(answer.m_Data, OlderCount(answer));
        m_Console.Device().SendGetMasterList();
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kFpListRows);
    }
    return 0;
}

LRESULT CDbMgrFlow::OnMasterList(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetMasterList(answer.m_Data, OlderCount(answer));
        m_FpList.MarkMasters();
        ShowForwarded(WM_DBMGR_LIST);
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kFpListRows);
    }
    return 0;
}

LRESULT CDbMgrFlow::OnFpListEx(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetFpList(answer.m_Data + 4, NewerCount(answer));
        m_Console.Device().SendGetMasterListEx();
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kFpListExRows);
    }
    return 0;
}

LRESULT CDbMgrFlow::OnMasterListEx(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    if (ResultOf(answer) == RES_SUCCESS) {
        m_FpList.SetMasterList(answer.m_Data + 4, NewerCount(answer));
        m_FpList.MarkMasters();
        ShowForwarded(WM_DBMGR_LIST_EX);
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kMasterListExRows);
    }
    return 0;
}

LRESULT CDbMgrFlow::OnDeleteAll(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    ShowAnswer(m_Console, ResultOf(answer), kDeleteAllRows);
    if (ResultOf(answer) == RES_SUCCESS) {
        m_Console.SetLabel(IDC_COUNT_LABEL,
                           QString::asprintf("Fingerprint Count: %d", static_cast<int>(answer.m_Param2)));
        // Read again whether or not the window is open.
        GetFingerprintList();
    }
    return 0;
}

LRESULT CDbMgrFlow::OnSetMaster(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    if (ResultOf(answer) == RES_SUCCESS) {
        if (m_Dlg.IsOpen()) m_Dlg.WindowProc(WM_DBMGR_MASTER_CHANGED, 0, 0);
    } else {
        ShowAnswer(m_Console, ResultOf(answer), kSetMasterRows);
    }
    return 0;
}
