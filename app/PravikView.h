#pragma once
// The main form: the controls of form 101, the owner of the module client,
// the prompts, the tool windows and the flows, and the console that the
// flows see (IConsoleContext).
//
// Every button and menu command arrives in OnCommand and goes through one
// route table to the flow that owns it (console/: CConnectionFlow and the
// rest), which keeps its own state, tables and dialogs and receives the
// replies to its own requests from the module client. The form itself keeps
// only what belongs to the form: layouts, the board and protocol choices,
// labels, status line, menus and the packet trace.
//
//   PravikView.cpp  construction, the route tables, the console interface
//   ViewLayout.cpp  layouts (as tables), board and protocol, menu marks
//   ViewTrace.cpp   packet trace window and its feed
//
// A new flow: a CConsoleFlow subclass in console/ with its own reply and
// command tables, an EFlow slot, its buttons in the route table of
// PravikView.cpp, and one line in CreateFlows.
#include <QString>
#include <QWidget>
#include <memory>
#include <string>

#include "console/ConnectionFlow.h"
#include "console/ConsoleContext.h"
#include "console/ConsoleFlow.h"
#include "console/ControlIds.h"
#include "console/SerialSettings.h"
#include "platform/core/MessageLoop.h"
#include "platform/qt/UiOperator.h"
#include "protocol/ModuleClient.h"
#include "protocol/TraceHistory.h"
#include "tools/PacketTraceDlg.h"
#include "widgets/CaptureMsg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/LiftDlg.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

class CMenuBar;
class QMenu;

class CPravikView : public QWidget,
                    public CMsgTarget,
                    public ICommandTarget,
                    public IConsoleContext {
    Q_OBJECT
public:
    // settingsFile: "VESKA.INI" (resolved in the profile directory) or a path.
    // Reads the settings; the window is made by Create.
    CPravikView(IMessageLoop& loop, IUiOperator& op, const std::string& settingsFile = SETTINGS_FILE_NAME,
                QWidget* parent = nullptr);
    ~CPravikView() override;

    // Builds the form from template 101. Returns false when it is missing.
    bool Create();
    // The menu bar the layouts enable and grey (the frame's).
    void SetMenu(CMenuBar* menu) { m_pMenu = menu; }
    CMenuBar* Menu() const { return m_pMenu; }
    // Initial update: picture area, packet manager, labels, disconnected layout.
    void OnInitialUpdate();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    // Menu commands from the frame.
    void OnMenuCommand(int command) { OnCommand(command, BN_CLICKED); }
    // Sets the radio and check marks of a menu about to open.
    void OnUpdateMenu(QMenu* menu);

    // Where the port names lead for this form's serial channel.
    CPortMap& PortMap() { return m_Client.Channel().m_PortMap; }

    // ---- layouts, board and protocol ----
    void SetDisconnectedLayout();
    void SetConnectedLayout();
    void SetMasterLayout();
    void SelectProtocol(int protocol);

    // ---- IConsoleContext ----
    CModuleClient& Client() override { return m_Client; }
    QWidget* Form() override { return this; }
    CMsgDlg& MsgDlg() override { return m_MsgDlg; }
    CWaitDlg& WaitDlg() override { return m_WaitDlg; }
    CCaptureMsg& CaptureMsg() override { return m_CaptureMsg; }
    CLiftDlg& LiftDlg() override { return m_LiftDlg; }
    void ShowPrompt(int form, const QString& text) override;
    void SetStatusText(const QString& text) override;
    QString StatusText() const override;
    void SetLabel(int labelId, const QString& text) override;
    QString Label(int labelId) const override;
    void SetItemText(int id, const QString& text) override;
    QString ItemText(int id) const override;
    void EnableItem(int id, bool enable) override;
    bool IsItemEnabled(int id) const override;
    SConsoleState& State() override { return m_State; }
    void SetLayout(int layout) override;
    void SelectBoard(int boardType) override;
    IUiOperator& Operator() override { return m_Operator; }
    IMessageLoop& MessageLoop() override { return Loop(); }
    CSerialSettings& Settings() override { return m_Settings; }
    void SaveSettings() override;
    LRESULT ForwardTo(int flow, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) override;
    void NotifyLinkClosed() override;
    void NotifyChecksumError() override;
    void NotifyCancelSent() override;
    void SetBusy(bool busy) override;

    // ---- the flows ----
    CConsoleFlow* Flow(EFlow flow) const { return m_Flows[flow].get(); }
    CConnectionFlow& Connection() const { return static_cast<CConnectionFlow&>(*m_Flows[FLOW_CONNECTION]); }

    // ---- owned objects, in construction order ----
    // Every frame on the line, kept whether or not the trace window is open.
    CTraceHistory m_TraceHistory;
    CModuleClient m_Client;
    CPacketTraceDlg m_PacketTraceDlg;
    CWaitDlg m_WaitDlg;
    CMsgDlg m_MsgDlg;
    // The settings record; the Serial Communication dialog reads and shows it.
    CSerialSettings m_Settings;
    CCaptureMsg m_CaptureMsg;
    CLiftDlg m_LiftDlg;

protected:
    // Return and Enter press the focused button, else the form's default
    // button (CONNECT).
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateFlows();
    // Applies one column of the layout tables (ViewLayout.cpp).
    void ApplyLayoutTables(int layout);
    void SetBoardButtons();
    void OnSelectZel12();
    void OnSelectPell();
    void OnSelectQor10Hv();
    void OnSelectQor10Lv();
    void OnSelectGeneral();
    void OnSelectMinimized();
    void OnAppExit();
    void OnAppAbout();
    void EnableMenuItem(int command, bool enable);
    void EnableTopMenu(int position, bool enable);
    static QString ModuleLabelFor(int boardType);
    static QString ProtocolLabelFor(int protocol);

    // ---- packet trace (ViewTrace.cpp) ----
    void OnViewPacketTrace();
    void OnFileSaveTrace();

    IUiOperator& m_Operator;
    CMenuBar* m_pMenu = nullptr;
    SConsoleState m_State;
    std::unique_ptr<CConsoleFlow> m_Flows[FLOW_COUNT];
};
