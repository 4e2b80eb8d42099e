#pragma once
// What a flow of the console sees of it.
//
// Every flow behind a button of the main form (connection, enrolment,
// verification, master mode, capture, ...) is a CConsoleFlow that owns its
// own state and dialogs and reaches the rest of the console only through
// IConsoleContext: the module client (requests and their replies), the prompts, the
// status line and the information labels, the layouts and the board choice,
// the operator seam for dialogs and files, the message loop for timers and
// delayed calls, and the settings record. The main form implements the
// interface and forwards each notification and each button to the flow that
// owns it; a test can drive one flow with a context of its own.
#include <QString>
#include <cstdint>

#include "console/ControlIds.h"
#include "platform/core/MessageLoop.h"

class CCaptureMsg;
class CLiftDlg;
class CMsgDlg;
class CModuleClient;
class CSerialSettings;
class CWaitDlg;
class IUiOperator;
class QWidget;

// Console state that several flows read and write.
struct SConsoleState {
    int m_nBoardType = BOARD_ZEL12;
    int m_nProtocol = PROTOCOL_GENERAL;
    int m_nLayout = LAYOUT_DISCONNECTED;
    bool m_bConnected = false;
    bool m_bMasterMode = false;
    // POWER OFF shown (the connected layout switches it on).
    bool m_bPowerOn = false;
    // Chooses between old and new forms of commands; from the version answers.
    std::int32_t m_nFirmwareLevel = 0;

    bool IsGeneral() const { return m_nProtocol == PROTOCOL_GENERAL; }
    bool IsZel12() const { return m_nBoardType == BOARD_ZEL12; }
};

class IConsoleContext {
public:
    virtual ~IConsoleContext() = default;

    // ---- the module: the link and every exchange on it ----
    virtual CModuleClient& Client() = 0;

    // ---- prompts; Form() is the parent of prompts and dialogs ----
    virtual QWidget* Form() = 0;
    virtual CMsgDlg& MsgDlg() = 0;
    virtual CWaitDlg& WaitDlg() = 0;
    virtual CCaptureMsg& CaptureMsg() = 0;
    virtual CLiftDlg& LiftDlg() = 0;
    // The message prompt in one of its forms (MSGFORM_*).
    virtual void ShowPrompt(int form, const QString& text) = 0;

    // ---- status line, labels and captions of the form ----
    virtual void SetStatusText(const QString& text) = 0;
    virtual QString StatusText() const = 0;
    // One of the six information labels (IDC_*_LABEL), shown at once.
    virtual void SetLabel(int labelId, const QString& text) = 0;
    virtual QString Label(int labelId) const = 0;
    // A caption, enabled state or visibility of a control of the form.
    virtual void SetItemText(int id, const QString& text) = 0;
    virtual QString ItemText(int id) const = 0;
    virtual void EnableItem(int id, bool enable) = 0;
    virtual bool IsItemEnabled(int id) const = 0;

    // ---- shared state, layouts and the board choice ----
    virtual SConsoleState& State() = 0;
    virtual void SetLayout(int layout) = 0;
    // Stores the board, writes the settings, shows the board's buttons and label.
    virtual void SelectBoard(int boardType) = 0;

    // ---- operator, loop, settings ----
    virtual IUiOperator& Operator() = 0;
    virtual IMessageLoop& MessageLoop() = 0;
    virtual CSerialSettings& Settings() = 0;
    // Writes the settings record; a failed write keeps the values for this run.
    virtual void SaveSettings() = 0;

    // ---- flows ----
    // Hands a message to the flow of another slot (for example the database
    // manager's STATUS to the service flow); 0 when that flow is not built in.
    virtual LRESULT ForwardTo(int flow, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) = 0;

    // A busy cursor over the form while a long exchange runs (the baud search).
    virtual void SetBusy(bool busy) = 0;

    // ---- console-wide events, passed to every flow ----
    // The link was closed (DISCONNECT, a port or rate change, a lost port).
    virtual void NotifyLinkClosed() = 0;
    // A checksum error was reported to the operator.
    virtual void NotifyChecksumError() = 0;
    // CANCEL was sent to the module (an image capture under way stops asking
    // for pieces).
    virtual void NotifyCancelSent() = 0;
};
