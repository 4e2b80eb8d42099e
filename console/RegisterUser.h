#pragma once
// Register Fingerprint (dialog 162): the ID (at most 9 characters), the
// password (at most 15, shown in clear; disabled on a "ZEL12" board, whose
// enrolment request has no password field) and User or Master. OK is enabled
// only while an ID is typed. A new object for each enrolment, run through
// IUiOperator::DoModal; it opens empty every time.
#include <QString>

#include "widgets/DialogTemplate.h"

constexpr int IDD_REGISTER_USER = 162;
constexpr int IDC_REGISTER_ID = 1079;
constexpr int IDC_REGISTER_USER = 1080;
constexpr int IDC_REGISTER_MASTER = 1081;
constexpr int IDC_REGISTER_PASSWORD = 1085;
constexpr int IDC_REGISTER_PASSWORD_LABEL = 1086;

// m_nUserType
constexpr int ENROLL_TYPE_USER = 0;
constexpr int ENROLL_TYPE_MASTER = 1;

class CRegisterUser : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CRegisterUser(QWidget* parent = nullptr);

    QString m_strId;
    QString m_strPassword;
    // The radio button checked when OK closes the dialog.
    int m_nUserType = ENROLL_TYPE_USER;
    // Copied in before the dialog runs: "ZEL12" (0) disables the password.
    int m_nBoardType = 0;

protected:
    void OnInitDialog() override;
    void OnOK() override;
};
