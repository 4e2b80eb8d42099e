#include "console/RegisterUser.h"

#include "console/ControlIds.h"
#include "widgets/WindowUtil.h"

CRegisterUser::CRegisterUser(QWidget* parent) : CTemplateDialog(IDD_REGISTER_USER, parent) {
    // An enrolment without an ID is not started.
    RequireText({IDC_REGISTER_ID});
}

void CRegisterUser::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    m_strId.clear();
    m_strPassword.clear();
    m_nUserType = ENROLL_TYPE_USER;
    SetDlgItemText(this, IDC_REGISTER_ID, QString());
    SetDlgItemText(this, IDC_REGISTER_PASSWORD, QString());
    const bool password = m_nBoardType != BOARD_ZEL12;
    EnableDlgItem(this, IDC_REGISTER_PASSWORD, password);
    EnableDlgItem(this, IDC_REGISTER_PASSWORD_LABEL, password);
    CheckDlgButton(this, IDC_REGISTER_USER, true);
    CheckDlgButton(this, IDC_REGISTER_MASTER, false);
    if (QWidget* edit = Item(IDC_REGISTER_ID)) edit->setFocus();
}

void CRegisterUser::OnOK() {
    m_strId = GetDlgItemText(this, IDC_REGISTER_ID);
    m_strPassword = GetDlgItemText(this, IDC_REGISTER_PASSWORD);
    // The state of the buttons, however it was chosen (a click, the keyboard,
    // a screen reader's action).
    m_nUserType = IsDlgButtonChecked(this, IDC_REGISTER_MASTER) ? ENROLL_TYPE_MASTER : ENROLL_TYPE_USER;
    CTemplateDialog::OnOK();
}
