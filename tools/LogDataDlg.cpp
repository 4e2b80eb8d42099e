#include "tools/LogDataDlg.h"

#include "console/ConsoleMessages.h"
#include "platform/core/FileAccess.h"
#include "platform/qt/UiOperator.h"
#include "tools/FieldCheck.h"
#include "ops/LogData.h"
#include "widgets/DialogTemplate.h"

namespace {

const int kSearchRadios[] = {IDC_LOG_NTH_PREVIOUS, IDC_LOG_OLDEST_UNREAD, IDC_LOG_LAST_WRITTEN, IDC_LOG_ALL,
                             IDC_LOG_UNREAD_TO_LAST};

}  // namespace

CLogDataDlg::CLogDataDlg(IMessageLoop& loop, IUiOperator& op)
    : CMsgTarget(loop), CToolWindow(IDD_LOG_DATA), m_Operator(op) {}

CLogDataDlg::~CLogDataDlg() = default;

bool CLogDataDlg::OnCommand(int id, int code) {
    static const CommandEntry<CLogDataDlg> table[] = {
        {IDC_LOG_READ, BN_CLICKED, &CLogDataDlg::OnRead},
        {IDC_LOG_STATUS, BN_CLICKED, &CLogDataDlg::OnStatus},
        {IDC_LOG_CANCEL, BN_CLICKED, &CLogDataDlg::OnCancelCommand},
        {IDC_LOG_N, EN_CHANGE, &CLogDataDlg::OnNChanged},
    };
    if (DispatchCommand(this, table, id, code)) return true;
    if (code == BN_CLICKED) {
        for (int type = 0; type < 5; ++type) {
            if (id == kSearchRadios[type]) {
                OnSearchType(type);
                return true;
            }
        }
    }
    return false;
}

void CLogDataDlg::OnInitDialog() {
    QWidget* wnd = Dialog();
    m_bFilling = true;
    SetDlgItemText(wnd, IDC_LOG_N, QString::number(m_nN));
    m_bFilling = false;
    m_bNValid = m_nN >= LOG_N_MIN && m_nN <= LOG_N_MAX;
    ShowRequestForm();
}

void CLogDataDlg::ShowRequestForm() {
    QWidget* wnd = Dialog();
    if (m_nModuleType == 0) {
        // The older request reads the whole log: no search type to choose.
        for (int radio : kSearchRadios) {
            CheckDlgButton(wnd, radio, false);
            EnableDlgItem(wnd, radio, false);
        }
        EnableDlgItem(wnd, IDC_LOG_CANCEL, false);
        EnableDlgItem(wnd, IDC_LOG_N, false);
    } else {
        m_nModuleType = 1;
        m_nSearchType = 0;
        for (int radio : kSearchRadios) EnableDlgItem(wnd, radio, true);
        CheckDlgButton(wnd, IDC_LOG_NTH_PREVIOUS, true);
        EnableDlgItem(wnd, IDC_LOG_N, true);
        EnableDlgItem(wnd, IDC_LOG_CANCEL, true);
    }
    UpdateReadButton();
}

void CLogDataDlg::SetModuleType(int moduleType) {
    const bool older = moduleType == 0;
    const bool wasOlder = m_nModuleType == 0;
    m_nModuleType = moduleType;
    if (IsOpen() && older != wasOlder) ShowRequestForm();
}

void CLogDataDlg::UpdateReadButton() {
    // N counts only for "Nth previous log" of the newer request; a read that
    // does not use it is not held back by it.
    const bool usesN = m_nModuleType != 0 && m_nSearchType == 0;
    EnableDlgItem(Dialog(), IDC_LOG_READ, !usesN || m_bNValid);
}

void CLogDataDlg::OnSearchType(int type) {
    m_nSearchType = type;
    // Only "Nth previous log" takes N.
    EnableDlgItem(Dialog(), IDC_LOG_N, type == 0);
    UpdateReadButton();
}

void CLogDataDlg::OnNChanged() {
    if (!IsOpen() || m_bFilling) return;
    const EFieldCheck check = CheckIntegerField(GetDlgItemText(Dialog(), IDC_LOG_N), LOG_N_MIN, LOG_N_MAX, m_nN);
    // A field that holds no number cannot be read: READ waits for one, as it
    // waits for a number in range.
    m_bNValid = check == FIELD_OK;
    UpdateReadButton();
    if (check != FIELD_OK) {
        m_Operator.MessageBox(FieldCheckMessage(check, LOG_N_MIN, LOG_N_MAX).toStdString(), "",
                              MB_OK | MB_ICONEXCLAMATION);
    }
}

void CLogDataDlg::OnRead() {
    if (!m_fnRead) return;
    if (m_nModuleType == 0) {
        m_fnRead(-1, 0);
        return;
    }
    // N only for "Nth previous log"; the block-wise types start at block 0.
    const std::uint32_t value = m_nSearchType == 0 ? static_cast<std::uint32_t>(m_nN) : 0;
    m_fnRead(m_nSearchType, value);
}

void CLogDataDlg::OnStatus() {
    if (m_fnStatus) m_fnStatus();
}

void CLogDataDlg::OnCancelCommand() {
    if (m_fnCancel) m_fnCancel();
}

LRESULT CLogDataDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM) {
    if (msg != WM_LOG_FORWARD || !wParam) return 0;
    // Closed since the store was handed over: the records stay unsaved. A
    // second hand-over while the save question is open has nothing to add.
    if (!IsOpen() || m_bSaving) return 0;
    m_bSaving = true;
    SaveLog(*reinterpret_cast<CLogData*>(wParam));
    m_bSaving = false;
    return 0;
}

void CLogDataDlg::SaveLog(CLogData& store) {
    Dialog()->hide();
    if (m_Operator.MessageBox("Save the log data as file?", "", MB_YESNO | MB_ICONQUESTION) == IDYES) {
        std::string path;
        if (m_Operator.GetSaveFileName(LOG_FILE_FILTER, LOG_FILE_EXT, true, path)) {
            bool written = false;
            const std::string reason = WriteLogFile(store, path, written);
            if (written) {
                store.Clear();
                m_Operator.MessageBox("Log data were saved successfully.", "", MB_OK | MB_ICONINFORMATION);
            } else {
                // The records stay in the store for another try, and a file
                // that was there keeps its content.
                m_Operator.MessageBox("The log file '" + path + "' could not be written: " + reason + ".", "",
                                      MB_OK | MB_ICONSTOP);
            }
        }
    }
    DestroyWindow();
}

std::string CLogDataDlg::WriteLogFile(CLogData& store, const std::string& path, bool& written) {
    std::string text;
    std::string line;
    for (bool more = store.GetFirst(line); more; more = store.GetNext(line)) {
        text += line;
        text += "\r\n";
    }
    const SFileResult result = ReplaceFile(path, text);
    written = result.Ok();
    return result.Why();
}
