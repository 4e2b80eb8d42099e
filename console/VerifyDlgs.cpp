#include "console/VerifyDlgs.h"

#include <QLineEdit>

#include "console/InputIdDlg.h"
#include "widgets/WindowUtil.h"

// ------------------------------------------------------------- CVerifyType

CVerifyType::CVerifyType(QWidget* parent) : CTemplateDialog(IDD_VERIFY_TYPE, parent) {}

void CVerifyType::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    m_nVerifyType = VERIFY_BY_FINGERPRINT;
    CheckDlgButton(this, IDC_VERIFY_FINGERPRINT, true);
}

void CVerifyType::OnOK() {
    // The state of the buttons, however it was chosen (a click, the keyboard,
    // a screen reader's action): what is shown checked is what runs.
    m_nVerifyType = IsDlgButtonChecked(this, IDC_VERIFY_PASSWORD) ? VERIFY_BY_PASSWORD : VERIFY_BY_FINGERPRINT;
    CTemplateDialog::OnOK();
}

// --------------------------------------------------------- CInputIdPassword

CInputIdPassword::CInputIdPassword(QWidget* parent) : CTemplateDialog(IDD_INPUT_ID_PASSWORD, parent) {
    RequireText({IDC_ID_PASSWORD_ID, IDC_ID_PASSWORD_PASSWORD});
}

void CInputIdPassword::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    m_strId.clear();
    m_strPassword.clear();
    if (auto* id = Item<QLineEdit>(IDC_ID_PASSWORD_ID)) {
        id->clear();
        id->setFocus();
    }
    if (auto* password = Item<QLineEdit>(IDC_ID_PASSWORD_PASSWORD)) {
        password->clear();
    }
}

void CInputIdPassword::OnOK() {
    m_strId = GetDlgItemText(this, IDC_ID_PASSWORD_ID);
    m_strPassword = GetDlgItemText(this, IDC_ID_PASSWORD_PASSWORD);
    CTemplateDialog::OnOK();
}
