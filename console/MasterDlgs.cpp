#include "console/MasterDlgs.h"

#include <QLineEdit>

#include "platform/qt/UiOperator.h"
#include "widgets/WindowUtil.h"

namespace {

// The template makes the edit a 15-character password edit.
void SetUpPasswordEdit(QWidget* dialog, int id) {
    if (auto* edit = DlgItem<QLineEdit>(dialog, id)) {
        edit->clear();
        edit->setFocus();
    }
}

}  // namespace

// ------------------------------------------------------ CEnterMasterModeDlg

CEnterMasterModeDlg::CEnterMasterModeDlg(QWidget* parent) : CTemplateDialog(IDD_ENTER_MASTER_MODE, parent) {}

void CEnterMasterModeDlg::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    CheckDlgButton(this, IDC_AUTH_MASTER_FP, m_nMasterFp != 0);
    CheckDlgButton(this, IDC_AUTH_DEVICE_PASSWORD, m_nDevicePassword != 0);
    CheckDlgButton(this, IDC_AUTH_MASTER_PASSWORD, m_nMasterPassword != 0);
    EnableDlgItem(this, IDC_AUTH_MASTER_PASSWORD, m_nEnableMasterPassword != 0);
}

void CEnterMasterModeDlg::OnOK() {
    m_nMasterFp = IsDlgButtonChecked(this, IDC_AUTH_MASTER_FP) ? 1 : 0;
    m_nDevicePassword = IsDlgButtonChecked(this, IDC_AUTH_DEVICE_PASSWORD) ? 1 : 0;
    m_nMasterPassword = IsDlgButtonChecked(this, IDC_AUTH_MASTER_PASSWORD) ? 1 : 0;
    CTemplateDialog::OnOK();
}

// -------------------------------------------------------- CInputPasswordDlg

CInputPasswordDlg::CInputPasswordDlg(QWidget* parent) : CTemplateDialog(IDD_INPUT_PASSWORD, parent) {
    RequireText({IDC_MASTER_PASSWORD});
}

void CInputPasswordDlg::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    m_strPassword.clear();
    SetUpPasswordEdit(this, IDC_MASTER_PASSWORD);
}

void CInputPasswordDlg::OnOK() {
    m_strPassword = GetDlgItemText(this, IDC_MASTER_PASSWORD);
    CTemplateDialog::OnOK();
}

// ------------------------------------------------------- CMasterPasswordDlg

CMasterPasswordDlg::CMasterPasswordDlg(IUiOperator& op, QWidget* parent)
    : CTemplateDialog(IDD_MASTER_PASSWORD, parent), m_Operator(op) {}

void CMasterPasswordDlg::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    m_strPassword.clear();
    m_nAction = ACTION_NONE;
    SetUpPasswordEdit(this, IDC_DEVICE_PASSWORD);
    OnChangePassword();
}

bool CMasterPasswordDlg::OnCommand(int id, int code) {
    static const CommandEntry<CMasterPasswordDlg> table[] = {
        {IDC_DEVICE_PASSWORD, EN_CHANGE, &CMasterPasswordDlg::OnChangePassword},
        {IDC_SET_PASSWORD, BN_CLICKED, &CMasterPasswordDlg::OnSetPassword},
        {IDC_DELETE_PASSWORD, BN_CLICKED, &CMasterPasswordDlg::OnDeletePassword},
    };
    if (DispatchCommand(this, table, id, code)) return true;
    return CTemplateDialog::OnCommand(id, code);
}

void CMasterPasswordDlg::OnChangePassword() {
    // An empty device password protects nothing: deleting is the way to
    // remove it.
    EnableDlgItem(this, IDC_SET_PASSWORD, !GetDlgItemText(this, IDC_DEVICE_PASSWORD).isEmpty());
}

void CMasterPasswordDlg::OnSetPassword() {
    const QString password = GetDlgItemText(this, IDC_DEVICE_PASSWORD);
    if (password.isEmpty()) return;
    m_strPassword = password;
    m_nAction = ACTION_SET;
    QDialog::done(QDialog::Accepted);
}

void CMasterPasswordDlg::OnDeletePassword() {
    if (m_Operator.MessageBox("Are you sure to delete master password?", "", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    m_nAction = ACTION_DELETE;
    QDialog::done(QDialog::Accepted);
}
