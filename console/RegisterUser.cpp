#include "console/RegisterUser.h"

#include "console/ControlIds.h"
#include "widgets/WindowUtil.h"

CRegisterUser::CRegisterUser(QWidget* parent) : CTemplateDialog(IDD_REGISTER_USER, parent) {
    // An enrolment without an ID is not started.
    RequireText({IDC_REGISTER_ID});
}

bool CRegisterUser::OnCommand(int id, int code) {
    static const CommandEntry<CRegisterUser> table[] = {
        {IDC_REGISTER_USER, BN_CLICKED, &CRegisterUser::OnUser},
        {IDC_REGISTER_MASTER, BN_CLICKED, &CRegisterUser::OnMaster},
    };
    if (DispatchCommand(this, table, id, code)) return true;
    return CTemplateDialog::OnCommand(id, code);
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

void CRegisterUser::OnUser() { m_nUserType = ENROLL_TYPE_USER; }

void CRegisterUser::OnMaster() { m_nUserType = ENROLL_TYPE_MASTER; }

void CRegisterUser::OnOK() {
    m_strId = GetDlgItemText(this, IDC_REGISTER_ID);
    m_strPassword = GetDlgItemText(this, IDC_REGISTER_PASSWORD);
    CTemplateDialog::OnOK();
}
