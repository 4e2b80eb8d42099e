#pragma once
// The main form: every control of form 101, all console state, the owner of
// the packet manager and of every dialog object. It receives every
// notification of the packet manager through one message table and every
// button and menu command through one control-ID table; the handlers are
// grouped by concern over several files:
//   PravikView.cpp      construction, tables, layouts, board and protocol, settings
//   ViewConnection.cpp  CONNECT / DISCONNECT, baud search, device information,
//                       firmware version, power, Serial Communication, checksum errors
//   ViewTrace.cpp       packet trace window and its feed
//   ViewPending.cpp     buttons and menu items whose flows are not built yet
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "app/Resource.h"
#include "console/SerialSettings.h"
#include "platform/core/MessageLoop.h"
#include "platform/qt/UiOperator.h"
#include "protocol/PacketManagerWnd.h"
#include "tools/PacketTraceDlg.h"
#include "widgets/CaptureMsg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/LiftDlg.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

class CMenuBar;
class QMenu;

// View timer 1 drives the baud-rate search and the device-information wait.
constexpr UINT CONNECT_TIMER_ID = 1;
constexpr unsigned CONNECT_TIMEOUT_MS = 2000;      // per connection attempt
constexpr unsigned DEVICE_INFO_TIMEOUT_MS = 1500;  // for the device-information answer
constexpr unsigned CONNECT_PAUSE_MS = 200;         // before a retry and before CMD_GET_VERSION
// Rates tried after the configured one, by m_nBaudScan 1..5.
constexpr int BAUD_SCAN_LAST = 5;

// m_nConnectStage
constexpr int CONNECT_STAGE_IDLE = 0;
constexpr int CONNECT_STAGE_CONNECTING = 1;
constexpr int CONNECT_STAGE_DEVICE_INFO = 2;

class CPravikView : public QWidget, public CMsgTarget, public ICommandTarget {
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

    // ---- operations offered to the other flows ----
    void SetDisconnectedLayout();
    void SetConnectedLayout();
    void SetMasterLayout();
    void SelectBoard(int boardType);
    void SelectProtocol(int protocol);
    void SaveSettings();
    void SetStatusText(const QString& text);
    QString StatusText() const;
    // Copies the six label texts into their controls.
    void UpdateLabels();
    bool IsGeneral() const { return m_nProtocol == PROTOCOL_GENERAL; }

    IUiOperator& Operator() const { return m_Operator; }
    CSerialSettings& Settings() { return m_Settings; }

    // ---- state of the form ----
    int m_nBoardType = 0;
    int m_nProtocol = 0;
    int m_nLayout = LAYOUT_DISCONNECTED;
    QString m_strModuleLabel;
    QString m_strFirmwareLabel;
    QString m_strCountLabel;
    QString m_strPortLabel;
    QString m_strBaudLabel;
    QString m_strProtocolLabel;

    // ---- link state ----
    QString m_strPortName;
    int m_nBaudRate = 9600;
    int m_nStartBaudRate = 9600;
    int m_nBaudScan = 0;
    int m_nConnectStage = CONNECT_STAGE_IDLE;
    bool m_bPortOpen = false;
    bool m_bConnected = false;
    bool m_bPowerOn = false;
    // Chooses between old and new forms of commands; from the version answers.
    std::int32_t m_nFirmwareLevel = 0;

    // ---- state of later flows that the link resets ----
    bool m_bMasterMode = false;
    bool m_bContinuous = false;
    bool m_bIgnoreNextImage = false;
    int m_nSuccessCount = 0;
    int m_nFailCount = 0;

    // ---- owned objects, in construction order ----
    CPacketManagerWnd m_PacketManager;
    CPacketTraceDlg m_PacketTraceDlg;
    CWaitDlg m_WaitDlg;
    CMsgDlg m_MsgDlg;
    // The settings record; the Serial Communication dialog reads and shows it.
    CSerialSettings m_Settings;
    CCaptureMsg m_CaptureMsg;
    CLiftDlg m_LiftDlg;

private:
    // ---- core (PravikView.cpp) ----
    void SetBoardButtons();
    void OnSelectZel12();
    void OnSelectPell();
    void OnSelectQor10Hv();
    void OnSelectQor10Lv();
    void OnSelectGeneral();
    void OnSelectMinimized();
    void OnAppExit();
    void OnAppAbout();
    void EnableItem(int id, bool enable);
    void EnableMenuItem(int command, bool enable);
    void EnableTopMenu(int position, bool enable);
    static QString ModuleLabelFor(int boardType);
    static QString ProtocolLabelFor(int protocol);

    // ---- connection, power, link settings (ViewConnection.cpp) ----
    void OnConnect();
    void OnPower();
    void OnSerialComm();
    LRESULT OnTimer(WPARAM id, LPARAM);
    LRESULT OnConnectAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniConnectAnswer(WPARAM frame, LPARAM);
    LRESULT OnDeviceInfoAnswer(WPARAM packet, LPARAM);
    LRESULT OnVersionAnswer(WPARAM packet, LPARAM);
    LRESULT OnVersionExAnswer(WPARAM packet, LPARAM);
    LRESULT OnSetBaudRateAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniSetBaudRateAnswer(WPARAM frame, LPARAM);
    LRESULT OnBaudChanged(WPARAM index, LPARAM);
    LRESULT OnPortChanged(WPARAM index, LPARAM);
    LRESULT OnChecksumError(WPARAM which, LPARAM);
    LRESULT OnPortLost(WPARAM, LPARAM);
    void ConnectSucceeded(const QString& countLabel);
    void AskVersion(bool extended);
    void ShowSetBaudRateResult(std::int32_t result);
    // Closes the link: flags, port, disconnected layout (port and rate changes).
    void DropLink();
    // What DISCONNECT does after setting the stage.
    void Disconnect();
    void CancelPause();
    // Continuous capture: reset when the connection closes; its step after a
    // checksum error belongs to the capture flow.
    void ResetContinuousCapture();
    void ContinuousCaptureChecksumStep();

    // ---- packet trace (ViewTrace.cpp) ----
    void OnViewPacketTrace();
    LRESULT OnPacketTrace(WPARAM packet, LPARAM direction);

    // ---- flows not built yet (ViewPending.cpp) ----
    void OnEnterMaster();
    void OnEnroll();
    void OnDelete();
    void OnVerify();
    void OnIdentify();
    void OnInstantMatching();
    void OnGetMinutiae();
    void OnCapture();
    void OnContinuousCapture();
    void OnStart();
    void OnStatus();
    void OnCancel();
    void OnOpenImage();
    void OnSaveImage();
    void OnViewSystemInfo();
    void OnViewDbManager();
    void OnViewLogData();
    void OnViewUserData();
    void OnUpgradeFirmware();
    void OnBoardPassword();
    void OnCheckVoltage();
    void OnBatteryTest();

    IUiOperator& m_Operator;
    CMenuBar* m_pMenu = nullptr;
    std::uint64_t m_nPauseToken = 0;  // pending 200 ms pause, 0 when none
};
