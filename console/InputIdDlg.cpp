#include "console/InputIdDlg.h"

#include <QLineEdit>

#include "widgets/WindowUtil.h"

CInputIdDlg::CInputIdDlg(QWidget* parent) : CTemplateDialog(IDD_INPUT_ID, parent) {
    // An empty ID names no fingerprint.
    RequireText({IDC_FINGERPRINT_ID});
}

void CInputIdDlg::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    if (auto* edit = Item<QLineEdit>(IDC_FINGERPRINT_ID)) {
        edit->setText(m_strId);
        edit->setFocus();
    }
}

void CInputIdDlg::OnOK() {
    m_strId = GetDlgItemText(this, IDC_FINGERPRINT_ID);
    CTemplateDialog::OnOK();
}
