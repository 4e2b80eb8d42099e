#include "console/InputIdDlg.h"

#include <QLineEdit>

#include "widgets/WindowUtil.h"

CInputIdDlg::CInputIdDlg(QWidget* parent) : CTemplateDialog(IDD_INPUT_ID, parent) {}

void CInputIdDlg::OnInitDialog() {
    if (parentWidget()) CenterOver(this, parentWidget());
    if (auto* edit = Item<QLineEdit>(IDC_FINGERPRINT_ID)) {
        edit->setMaxLength(FINGERPRINT_ID_LIMIT);
        edit->setText(m_strId);
        edit->setFocus();
    }
    OnChangeId();
}

bool CInputIdDlg::OnCommand(int id, int code) {
    static const CommandEntry<CInputIdDlg> table[] = {
        {IDC_FINGERPRINT_ID, EN_CHANGE, &CInputIdDlg::OnChangeId},
    };
    if (DispatchCommand(this, table, id, code)) return true;
    return CTemplateDialog::OnCommand(id, code);
}

void CInputIdDlg::OnChangeId() { EnableDlgItem(this, IDOK, !GetDlgItemText(this, IDC_FINGERPRINT_ID).isEmpty()); }

void CInputIdDlg::OnOK() {
    const QString id = GetDlgItemText(this, IDC_FINGERPRINT_ID);
    // An empty ID names no fingerprint: OK stays disabled and Return does nothing.
    if (id.isEmpty()) return;
    m_strId = id;
    CTemplateDialog::OnOK();
}
