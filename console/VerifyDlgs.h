#pragma once
// The dialogs of verification: the kind of verification (dialog 165) and the
// fingerprint ID with its password (dialog 164, password masked). Each is a
// new object for each use, run through IUiOperator::DoModal.
#include <QString>
#include <cstdint>

#include "widgets/DialogTemplate.h"

constexpr int IDD_VERIFY_TYPE = 165;
constexpr int IDC_VERIFY_FINGERPRINT = 1090;
constexpr int IDC_VERIFY_PASSWORD = 1091;

constexpr int IDD_INPUT_ID_PASSWORD = 164;
constexpr int IDC_ID_PASSWORD_ID = 1088;
constexpr int IDC_ID_PASSWORD_PASSWORD = 1089;

// m_nVerifyType
constexpr std::int32_t VERIFY_BY_FINGERPRINT = 0;
constexpr std::int32_t VERIFY_BY_PASSWORD = 1;

// Select type of verification: fingerprint (selected on opening) or password.
class CVerifyType : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CVerifyType(QWidget* parent = nullptr);

    // The radio button checked when OK closes the dialog.
    std::int32_t m_nVerifyType = VERIFY_BY_FINGERPRINT;

protected:
    void OnInitDialog() override;
    void OnOK() override;
};

// Input Fingerprint ID & Password: OK is enabled only while both edits hold
// text; the password is masked.
class CInputIdPassword : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CInputIdPassword(QWidget* parent = nullptr);

    // Read from the edits when OK closes the dialog.
    QString m_strId;
    QString m_strPassword;

protected:
    void OnInitDialog() override;
    void OnOK() override;
};
