#pragma once
// Input Fingerprint ID (dialog 135): one edit of at most 9 characters, used by
// verification, deletion and master-mode entry. A new object for each use,
// run through IUiOperator::DoModal. OK is enabled only while the edit holds
// an ID.
#include <QString>

#include "widgets/DialogTemplate.h"

constexpr int IDD_INPUT_ID = 135;
constexpr int IDC_FINGERPRINT_ID = 1019;
constexpr int FINGERPRINT_ID_LIMIT = 9;

class CInputIdDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CInputIdDlg(QWidget* parent = nullptr);

    // The ID as typed; read back from the edit when OK closes the dialog.
    QString m_strId;

protected:
    void OnInitDialog() override;
    void OnOK() override;
};
