// The main form's core: construction, the message and control-ID tables, the
// three layouts, the board and protocol choices, the settings and the bound
// label fields.
#include "app/PravikView.h"

#include <QDebug>
#include <QMenu>

#include "app/AboutDlg.h"
#include "app/MenuResource.h"

// The form and menu templates are compiled into this static library: make
// sure their registration is linked in and has run.
static void EnsureAppResources() {
    static const bool s_bDone = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)s_bDone;
}

namespace {

// Pixel rectangle of the picture area: left 12, top 12, right 261, bottom 305.
constexpr int PICTURE_LEFT = 12;
constexpr int PICTURE_TOP = 12;
constexpr int PICTURE_RIGHT = 261;
constexpr int PICTURE_BOTTOM = 305;

}  // namespace

CPravikView::CPravikView(IMessageLoop& loop, IUiOperator& op, const std::string& settingsFile, QWidget* parent)
    : QWidget(parent),
      CMsgTarget(loop),
      m_PacketManager(loop, op),
      m_Settings(settingsFile),
      m_Operator(op) {
    EnsureAppResources();
    m_Settings.LoadSettings();
    m_strPortName = QString::asprintf("COM%d", m_Settings.m_nComPort);
    m_nBaudRate = m_Settings.m_nBaudRate;
    m_nStartBaudRate = m_Settings.m_nBaudRate;
    m_nBoardType = m_Settings.m_nType;
    m_nProtocol = m_Settings.m_nProtocol;
}

CPravikView::~CPravikView() {
    // The owned objects go with the form; the packet manager closes the port.
    CancelPause();
}

bool CPravikView::Create() {
    EnsureAppResources();
    return BuildFromTemplate(this, IDD_PRAVIK_FORM);
}

void CPravikView::OnInitialUpdate() {
    if (QWidget* picture = GetDlgItem(this, IDC_PICTURE)) {
        picture->setGeometry(PICTURE_LEFT, PICTURE_TOP, PICTURE_RIGHT - PICTURE_LEFT, PICTURE_BOTTOM - PICTURE_TOP);
    }
    if (!m_PacketManager.Create(this)) qDebug("Failed to create a window.");
    m_strModuleLabel = ModuleLabelFor(m_nBoardType);
    m_strFirmwareLabel = "Firmware Version: 0.00";
    m_strCountLabel = "Fingerprint Count: 0";
    m_strPortLabel = "Serial Port: " + m_strPortName;
    m_strBaudLabel = QString::asprintf("Baud Rate: %dbps", m_nBaudRate);
    m_strProtocolLabel = ProtocolLabelFor(m_nProtocol);
    UpdateLabels();
    SetDisconnectedLayout();
}

// ------------------------------------------------------------------ tables

LRESULT CPravikView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CPravikView> table[] = {
        {WM_TIMER, &CPravikView::OnTimer},
        {WM_PACKET_TRACE, &CPravikView::OnPacketTrace},
        {WM_PORT_CHANGED, &CPravikView::OnPortChanged},
        {WM_CHECKSUM_ERROR, &CPravikView::OnChecksumError},
        {WM_BAUD_CHANGED, &CPravikView::OnBaudChanged},
        {WM_RX_CONNECT, &CPravikView::OnConnectAnswer},
        {WM_RX_SET_BAUDRATE, &CPravikView::OnSetBaudRateAnswer},
        {WM_RX_GET_VERSION, &CPravikView::OnVersionAnswer},
        {WM_RX_GET_VERSION_EX, &CPravikView::OnVersionExAnswer},
        {WM_RX_GET_DEVICE_INFO, &CPravikView::OnDeviceInfoAnswer},
        {WM_COMM_PORT_LOST, &CPravikView::OnPortLost},
        {WM_RX_MINI_CONNECT, &CPravikView::OnMiniConnectAnswer},
        {WM_RX_MINI_SET_BAUDRATE, &CPravikView::OnMiniSetBaudRateAnswer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

bool CPravikView::OnCommand(int id, int code) {
    static const CommandEntry<CPravikView> table[] = {
        // Form buttons.
        {IDC_ENTER_MASTER, BN_CLICKED, &CPravikView::OnEnterMaster},
        {IDC_ENROLL, BN_CLICKED, &CPravikView::OnEnroll},
        {IDC_DELETE, BN_CLICKED, &CPravikView::OnDelete},
        {IDC_VERIFY, BN_CLICKED, &CPravikView::OnVerify},
        {IDC_IDENTIFY, BN_CLICKED, &CPravikView::OnIdentify},
        {IDC_INSTANT_MATCHING, BN_CLICKED, &CPravikView::OnInstantMatching},
        {IDC_GET_MINUTIAE, BN_CLICKED, &CPravikView::OnGetMinutiae},
        {IDC_CAPTURE, BN_CLICKED, &CPravikView::OnCapture},
        {IDC_CONNECT, BN_CLICKED, &CPravikView::OnConnect},
        {IDC_CONTINUOUS, BN_CLICKED, &CPravikView::OnContinuousCapture},
        {IDC_CANCEL, BN_CLICKED, &CPravikView::OnCancel},
        {IDC_POWER, BN_CLICKED, &CPravikView::OnPower},
        {IDC_START, BN_CLICKED, &CPravikView::OnStart},
        {IDC_STATUS, BN_CLICKED, &CPravikView::OnStatus},
        // Menu commands.
        {ID_FILE_OPEN_IMAGE, BN_CLICKED, &CPravikView::OnOpenImage},
        {ID_FILE_SAVE_IMAGE, BN_CLICKED, &CPravikView::OnSaveImage},
        {ID_FILE_SERIAL_COMM, BN_CLICKED, &CPravikView::OnSerialComm},
        {ID_BOARD_ZEL12, BN_CLICKED, &CPravikView::OnSelectZel12},
        {ID_BOARD_PELL, BN_CLICKED, &CPravikView::OnSelectPell},
        {ID_BOARD_QOR10_HV, BN_CLICKED, &CPravikView::OnSelectQor10Hv},
        {ID_BOARD_QOR10_LV, BN_CLICKED, &CPravikView::OnSelectQor10Lv},
        {ID_PROTOCOL_GENERAL, BN_CLICKED, &CPravikView::OnSelectGeneral},
        {ID_PROTOCOL_MINIMIZED, BN_CLICKED, &CPravikView::OnSelectMinimized},
        {ID_APP_EXIT, BN_CLICKED, &CPravikView::OnAppExit},
        {ID_VIEW_PACKET_TRACE, BN_CLICKED, &CPravikView::OnViewPacketTrace},
        {ID_VIEW_SYSTEM_INFO, BN_CLICKED, &CPravikView::OnViewSystemInfo},
        {ID_VIEW_DB_MANAGER, BN_CLICKED, &CPravikView::OnViewDbManager},
        {ID_VIEW_LOG_DATA, BN_CLICKED, &CPravikView::OnViewLogData},
        {ID_VIEW_USER_DATA, BN_CLICKED, &CPravikView::OnViewUserData},
        {ID_TOOLS_UPGRADE_FIRMWARE, BN_CLICKED, &CPravikView::OnUpgradeFirmware},
        {ID_TOOLS_BOARD_PASSWORD, BN_CLICKED, &CPravikView::OnBoardPassword},
        {ID_TOOLS_CHECK_VOLTAGE, BN_CLICKED, &CPravikView::OnCheckVoltage},
        {ID_TOOLS_BATTERY_TEST, BN_CLICKED, &CPravikView::OnBatteryTest},
        {ID_APP_ABOUT, BN_CLICKED, &CPravikView::OnAppAbout},
    };
    return DispatchCommand(this, table, id, code);
}

// ----------------------------------------------------------------- helpers

void CPravikView::EnableItem(int id, bool enable) { EnableDlgItem(this, id, enable); }

void CPravikView::EnableMenuItem(int command, bool enable) {
    if (m_pMenu) m_pMenu->EnableItem(command, enable);
}

void CPravikView::EnableTopMenu(int position, bool enable) {
    if (m_pMenu) m_pMenu->EnableTopMenu(position, enable);
}

QString CPravikView::ModuleLabelFor(int boardType) {
    switch (boardType) {
    case BOARD_ZEL12: return "Module Type: ZEL12";
    case BOARD_PELL: return "Module Type: Pell";
    case BOARD_QOR10_HV: return "Module Type: QOR10-HV";
    case BOARD_QOR10_LV: return "Module Type: QOR10-LV";
    default: return QString();
    }
}

QString CPravikView::ProtocolLabelFor(int protocol) {
    switch (protocol) {
    case PROTOCOL_GENERAL: return "Protocol: General";
    case PROTOCOL_MINIMIZED: return "Protocol: Minimized";
    default: return QString();
    }
}

void CPravikView::UpdateLabels() {
    SetDlgItemText(this, IDC_MODULE_LABEL, m_strModuleLabel);
    SetDlgItemText(this, IDC_FIRMWARE_LABEL, m_strFirmwareLabel);
    SetDlgItemText(this, IDC_COUNT_LABEL, m_strCountLabel);
    SetDlgItemText(this, IDC_PORT_LABEL, m_strPortLabel);
    SetDlgItemText(this, IDC_BAUD_LABEL, m_strBaudLabel);
    SetDlgItemText(this, IDC_PROTOCOL_LABEL, m_strProtocolLabel);
}

void CPravikView::SetStatusText(const QString& text) { SetDlgItemText(this, IDC_STATUS_LINE, text); }

QString CPravikView::StatusText() const { return GetDlgItemText(this, IDC_STATUS_LINE); }

void CPravikView::SaveSettings() {
    // A failed write is not reported: the settings stay in effect for this run.
    m_Settings.SaveSettings();
}

// ----------------------------------------------------------------- layouts

void CPravikView::SetDisconnectedLayout() {
    m_nLayout = LAYOUT_DISCONNECTED;
    EnableTopMenu(MENU_POS_VIEW, false);
    EnableTopMenu(MENU_POS_TOOLS, false);

    EnableItem(IDC_ENTER_MASTER, false);
    EnableItem(IDC_ENROLL, false);
    EnableItem(IDC_DELETE, false);
    EnableItem(IDC_IDENTIFY, false);
    EnableItem(IDC_CANCEL, false);
    EnableItem(IDC_VERIFY, false);
    EnableItem(IDC_GET_MINUTIAE, false);
    EnableItem(IDC_INSTANT_MATCHING, false);
    EnableItem(IDC_CAPTURE, false);
    EnableItem(IDC_CONTINUOUS, false);
    SetDlgItemText(this, IDC_CONNECT, "CONNECT");
    if (m_nBoardType == BOARD_ZEL12) {
        ShowDlgItem(this, IDC_STATUS, false);
        ShowDlgItem(this, IDC_POWER, true);
    } else {
        ShowDlgItem(this, IDC_STATUS, true);
        EnableItem(IDC_STATUS, false);
        ShowDlgItem(this, IDC_POWER, false);
    }
}

void CPravikView::SetConnectedLayout() {
    m_nLayout = LAYOUT_CONNECTED;
    const bool general = IsGeneral();
    const bool zel12 = m_nBoardType == BOARD_ZEL12;
    EnableTopMenu(MENU_POS_VIEW, general);
    EnableTopMenu(MENU_POS_TOOLS, general);
    EnableMenuItem(ID_VIEW_SYSTEM_INFO, false);
    EnableMenuItem(ID_VIEW_DB_MANAGER, false);
    EnableMenuItem(ID_VIEW_LOG_DATA, false);
    EnableMenuItem(ID_VIEW_USER_DATA, false);
    EnableMenuItem(ID_TOOLS_BOARD_PASSWORD, false);
    EnableMenuItem(ID_TOOLS_CHECK_VOLTAGE, zel12);
    EnableMenuItem(ID_TOOLS_BATTERY_TEST, zel12);

    EnableItem(IDC_ENTER_MASTER, true);
    SetDlgItemText(this, IDC_ENTER_MASTER, "ENTER MASTER");
    EnableItem(IDC_ENROLL, false);
    EnableItem(IDC_DELETE, false);
    EnableItem(IDC_IDENTIFY, true);
    EnableItem(IDC_CANCEL, true);
    EnableItem(IDC_VERIFY, general);
    EnableItem(IDC_GET_MINUTIAE, general);
    EnableItem(IDC_INSTANT_MATCHING, general);
    EnableItem(IDC_CAPTURE, general);
    EnableItem(IDC_CONTINUOUS, general);
    SetDlgItemText(this, IDC_CONNECT, "DISCONNECT");
    if (zel12) {
        ShowDlgItem(this, IDC_STATUS, false);
        ShowDlgItem(this, IDC_POWER, true);
        SetDlgItemText(this, IDC_POWER, "POWER OFF");
        m_bPowerOn = true;
    } else {
        ShowDlgItem(this, IDC_STATUS, true);
        EnableItem(IDC_STATUS, true);
        ShowDlgItem(this, IDC_POWER, false);
    }
}

void CPravikView::SetMasterLayout() {
    m_nLayout = LAYOUT_MASTER;
    const bool general = IsGeneral();
    EnableTopMenu(MENU_POS_VIEW, general);
    EnableTopMenu(MENU_POS_TOOLS, general);
    EnableMenuItem(ID_VIEW_SYSTEM_INFO, true);
    EnableMenuItem(ID_VIEW_DB_MANAGER, true);
    EnableMenuItem(ID_VIEW_LOG_DATA, true);
    EnableMenuItem(ID_VIEW_USER_DATA, true);
    EnableMenuItem(ID_TOOLS_BOARD_PASSWORD, true);

    SetDlgItemText(this, IDC_ENTER_MASTER, "LEAVE MASTER");
    EnableItem(IDC_ENROLL, true);
    EnableItem(IDC_DELETE, true);
    EnableItem(IDC_IDENTIFY, true);
    EnableItem(IDC_CANCEL, true);
    EnableItem(IDC_VERIFY, general);
    EnableItem(IDC_GET_MINUTIAE, general);
    EnableItem(IDC_INSTANT_MATCHING, general);
    EnableItem(IDC_CAPTURE, general);
    EnableItem(IDC_CONTINUOUS, general);
}

// ----------------------------------------------------- board and protocol

void CPravikView::SetBoardButtons() {
    const bool zel12 = m_nBoardType == BOARD_ZEL12;
    ShowDlgItem(this, IDC_STATUS, !zel12);
    ShowDlgItem(this, IDC_POWER, zel12);
}

void CPravikView::SelectBoard(int boardType) {
    m_nBoardType = boardType;
    m_Settings.m_nType = boardType;
    SaveSettings();
    // Only shown or hidden: enabling and captions wait for the next layout.
    SetBoardButtons();
    m_strModuleLabel = ModuleLabelFor(boardType);
    UpdateLabels();
}

void CPravikView::SelectProtocol(int protocol) {
    m_nProtocol = protocol;
    m_Settings.m_nProtocol = protocol;
    SaveSettings();
    if (m_nLayout == LAYOUT_DISCONNECTED) {
        SetDisconnectedLayout();
    } else if (m_nLayout == LAYOUT_CONNECTED) {
        SetConnectedLayout();
    } else {
        SetMasterLayout();
    }
    m_strProtocolLabel = ProtocolLabelFor(protocol);
    m_MsgDlg.ShowSuccess(this, "Packet type is changed!!!");
    UpdateLabels();
}

void CPravikView::OnSelectZel12() { SelectBoard(BOARD_ZEL12); }
void CPravikView::OnSelectPell() { SelectBoard(BOARD_PELL); }
void CPravikView::OnSelectQor10Hv() { SelectBoard(BOARD_QOR10_HV); }
void CPravikView::OnSelectQor10Lv() { SelectBoard(BOARD_QOR10_LV); }
void CPravikView::OnSelectGeneral() { SelectProtocol(PROTOCOL_GENERAL); }
void CPravikView::OnSelectMinimized() { SelectProtocol(PROTOCOL_MINIMIZED); }

// ------------------------------------------------------------------ menus

void CPravikView::OnUpdateMenu(QMenu*) {
    if (!m_pMenu) return;
    static const int boards[][2] = {{ID_BOARD_ZEL12, BOARD_ZEL12},
                                    {ID_BOARD_PELL, BOARD_PELL},
                                    {ID_BOARD_QOR10_HV, BOARD_QOR10_HV},
                                    {ID_BOARD_QOR10_LV, BOARD_QOR10_LV}};
    for (const auto& board : boards) m_pMenu->CheckItem(board[0], m_nBoardType == board[1]);
    m_pMenu->CheckItem(ID_PROTOCOL_GENERAL, m_nProtocol == PROTOCOL_GENERAL);
    m_pMenu->CheckItem(ID_PROTOCOL_MINIMIZED, m_nProtocol == PROTOCOL_MINIMIZED);
    // View items are marked while their tool window is open.
    m_pMenu->CheckItem(ID_VIEW_PACKET_TRACE, m_PacketTraceDlg.IsOpen());
    m_pMenu->CheckItem(ID_VIEW_SYSTEM_INFO, false);
    m_pMenu->CheckItem(ID_VIEW_DB_MANAGER, false);
    m_pMenu->CheckItem(ID_VIEW_LOG_DATA, false);
    m_pMenu->CheckItem(ID_VIEW_USER_DATA, false);
}

void CPravikView::OnAppExit() {
    if (QWidget* frame = window()) frame->close();
}

void CPravikView::OnAppAbout() {
    CAboutDlg dialog(this);
    m_Operator.DoModal(dialog);
}
