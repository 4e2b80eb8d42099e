#pragma once
// The dialogs of master mode: how to authenticate (170), a master or device
// password (171, masked) and the device password's SET / DELETE (172). Each
// is a new object for each use, run through IUiOperator::DoModal.
#include <QString>
#include <cstdint>

#include "widgets/DialogTemplate.h"

class IUiOperator;

constexpr int IDD_ENTER_MASTER_MODE = 170;
constexpr int IDC_AUTH_MASTER_FP = 1022;
constexpr int IDC_AUTH_DEVICE_PASSWORD = 1024;
constexpr int IDC_AUTH_MASTER_PASSWORD = 1087;

constexpr int IDD_INPUT_PASSWORD = 171;
constexpr int IDC_MASTER_PASSWORD = 1025;

constexpr int IDD_MASTER_PASSWORD = 172;
constexpr int IDC_DEVICE_PASSWORD = 1015;
constexpr int IDC_SET_PASSWORD = 1055;
constexpr int IDC_DELETE_PASSWORD = 3;

// Enter Master Mode: "Master FP Verification" selected on opening; "Master
// Password Verification" enabled only when the caller allows it. OK reads the
// three choices back.
class CEnterMasterModeDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CEnterMasterModeDlg(QWidget* parent = nullptr);

    std::int32_t m_nMasterFp = 1;        // 1022
    std::int32_t m_nDevicePassword = 0;  // 1024
    std::int32_t m_nMasterPassword = 0;  // 1087
    // Set by the caller before the dialog opens.
    std::int32_t m_nEnableMasterPassword = 0;

protected:
    void OnInitDialog() override;
    void OnOK() override;
};

// Input Master Password: one masked edit of at most 15 characters, empty on
// opening; OK is enabled only while it holds text.
class CInputPasswordDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CInputPasswordDlg(QWidget* parent = nullptr);

    QString m_strPassword;

protected:
    void OnInitDialog() override;
    void OnOK() override;
};

// Device Password: SET PASSWORD takes the typed password and closes; DELETE
// PASSWORD asks first and closes on Yes. What was chosen is in m_nAction;
// the caller sends it. There is no Cancel button: Escape and the close box
// close it with nothing chosen.
class CMasterPasswordDlg : public CTemplateDialog {
    Q_OBJECT
public:
    enum EAction { ACTION_NONE, ACTION_SET, ACTION_DELETE };

    // op: asks the deletion question.
    explicit CMasterPasswordDlg(IUiOperator& op, QWidget* parent = nullptr);

    bool OnCommand(int id, int code) override;

    QString m_strPassword;
    EAction m_nAction = ACTION_NONE;

protected:
    void OnInitDialog() override;
    // Return presses SET PASSWORD, the default button.
    void OnOK() override { OnSetPassword(); }

private:
    void OnChangePassword();
    void OnSetPassword();
    void OnDeletePassword();

    IUiOperator& m_Operator;
};
