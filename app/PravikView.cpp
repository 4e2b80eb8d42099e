// The main form's core: construction, the route table that forwards every
// button and menu command to its flow, and the console interface the flows
// see.
#include "app/PravikView.h"

#include <QDebug>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "app/AboutDlg.h"
#include "app/MenuResource.h"
#include "console/CaptureFlow.h"
#include "console/ConsoleMessages.h"
#include "console/EnrollFlow.h"
#include "console/MasterFlow.h"
#include "console/MinutiaeFlow.h"
#include "console/VerifyFlow.h"
#include "tools/LogDataFlow.h"
#include "tools/UserDataFlow.h"
#include "tools/DbMgrFlow.h"
#include "tools/SysInfoFlow.h"
#include "console/ServiceFlow.h"
#include "console/UpgradeFlow.h"

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

// Which flow owns each button and menu command.
const SFlowRoute kCommandRoutes[] = {
    {IDC_CONNECT, FLOW_CONNECTION},
    {IDC_POWER, FLOW_CONNECTION},
    {ID_FILE_SERIAL_COMM, FLOW_CONNECTION},
    {IDC_VERIFY, FLOW_VERIFY},
    {IDC_IDENTIFY, FLOW_VERIFY},
    {IDC_ENTER_MASTER, FLOW_MASTER},
    {ID_TOOLS_BOARD_PASSWORD, FLOW_MASTER},
    {IDC_ENROLL, FLOW_ENROLL},
    {IDC_DELETE, FLOW_ENROLL},
    {IDC_GET_MINUTIAE, FLOW_MINUTIAE},
    {IDC_INSTANT_MATCHING, FLOW_MINUTIAE},
    {IDC_CAPTURE, FLOW_CAPTURE},
    {IDC_CONTINUOUS, FLOW_CAPTURE},
    {IDC_START, FLOW_CAPTURE},
    {ID_FILE_OPEN_IMAGE, FLOW_CAPTURE},
    {ID_FILE_SAVE_IMAGE, FLOW_CAPTURE},
    {ID_TOOLS_UPGRADE_FIRMWARE, FLOW_UPGRADE},
    {IDC_STATUS, FLOW_SERVICE},
    {IDC_CANCEL, FLOW_SERVICE},
    {ID_TOOLS_CHECK_VOLTAGE, FLOW_SERVICE},
    {ID_TOOLS_BATTERY_TEST, FLOW_SERVICE},
    {ID_VIEW_DB_MANAGER, FLOW_DB_MANAGER},
    {ID_VIEW_SYSTEM_INFO, FLOW_SYSTEM_INFO},
    {ID_VIEW_LOG_DATA, FLOW_LOG_DATA},
    {ID_VIEW_USER_DATA, FLOW_USER_DATA},
};

}  // namespace

CPravikView::CPravikView(IMessageLoop& loop, IUiOperator& op, const std::string& settingsFile, QWidget* parent)
    : QWidget(parent),
      CMsgTarget(loop),
      m_TraceHistory(loop),
      m_Client(loop),
      m_PacketTraceDlg(m_TraceHistory),
      m_Settings(settingsFile),
      m_Operator(op) {
    EnsureAppResources();
    m_Settings.LoadSettings();
    m_State.m_nBoardType = m_Settings.m_nType;
    m_State.m_nProtocol = m_Settings.m_nProtocol;
    CreateFlows();
}

CPravikView::~CPravikView() {
    // The flows go first: they may still hold timers or dialogs of the form.
    for (auto& flow : m_Flows) flow.reset();
}

void CPravikView::CreateFlows() {
    m_Flows[FLOW_CONNECTION] = std::make_unique<CConnectionFlow>(*this);
    m_Flows[FLOW_ENROLL] = std::make_unique<CEnrollFlow>(*this);
    m_Flows[FLOW_MINUTIAE] = std::make_unique<CMinutiaeFlow>(*this);
    m_Flows[FLOW_LOG_DATA] = std::make_unique<CLogDataFlow>(*this);
    m_Flows[FLOW_USER_DATA] = std::make_unique<CUserDataFlow>(*this);
    m_Flows[FLOW_DB_MANAGER] = std::make_unique<CDbMgrFlow>(*this);
    m_Flows[FLOW_SYSTEM_INFO] = std::make_unique<CSysInfoFlow>(*this);
    m_Flows[FLOW_UPGRADE] = std::make_unique<CUpgradeFlow>(*this);
    m_Flows[FLOW_SERVICE] = std::make_unique<CServiceFlow>(*this);
    m_Flows[FLOW_VERIFY] = std::make_unique<CVerifyFlow>(*this);
    m_Flows[FLOW_MASTER] = std::make_unique<CMasterFlow>(*this);
    m_Flows[FLOW_CAPTURE] = std::make_unique<CCaptureFlow>(*this);
}

bool CPravikView::Create() {
    EnsureAppResources();
    return BuildFromTemplate(this, IDD_PRAVIK_FORM);
}

void CPravikView::OnInitialUpdate() {
    if (QWidget* picture = GetDlgItem(this, IDC_PICTURE)) {
        picture->setGeometry(PICTURE_LEFT, PICTURE_TOP, PICTURE_RIGHT - PICTURE_LEFT, PICTURE_BOTTOM - PICTURE_TOP);
    }
    // The link's own events go to the connection flow; every frame to the trace.
    m_Client.SetLinkListener(m_Flows[FLOW_CONNECTION].get());
    m_Client.SetTraceSink(&m_TraceHistory);
    connect(&m_PacketTraceDlg, &CPacketTraceDlg::SaveRequested, this, [this] { OnFileSaveTrace(); });
    SetLabel(IDC_MODULE_LABEL, ModuleLabelFor(m_State.m_nBoardType));
    SetLabel(IDC_FIRMWARE_LABEL, "Firmware Version: 0.00");
    SetLabel(IDC_COUNT_LABEL, "Fingerprint Count: 0");
    SetLabel(IDC_PORT_LABEL, "Serial Port: " + Connection().m_strPortName);
    SetLabel(IDC_BAUD_LABEL, QString::asprintf("Baud Rate: %dbps", Connection().m_nBaudRate));
    SetLabel(IDC_PROTOCOL_LABEL, ProtocolLabelFor(m_State.m_nProtocol));
    SetDisconnectedLayout();
    for (auto& flow : m_Flows) {
        if (flow) flow->OnFormCreated();
    }
}

// ------------------------------------------------------------------ tables

LRESULT CPravikView::WindowProc(UINT, WPARAM, LPARAM) {
    // Replies go to the flows that asked, the link's events to the
    // connection flow: nothing comes to the form itself.
    return 0;
}

bool CPravikView::OnCommand(int id, int code) {
    static const CommandEntry<CPravikView> table[] = {
        {ID_BOARD_ZEL12, BN_CLICKED, &CPravikView::OnSelectZel12},
        {ID_BOARD_PELL, BN_CLICKED, &CPravikView::OnSelectPell},
        {ID_BOARD_QOR10_HV, BN_CLICKED, &CPravikView::OnSelectQor10Hv},
        {ID_BOARD_QOR10_LV, BN_CLICKED, &CPravikView::OnSelectQor10Lv},
        {ID_PROTOCOL_GENERAL, BN_CLICKED, &CPravikView::OnSelectGeneral},
        {ID_PROTOCOL_MINIMIZED, BN_CLICKED, &CPravikView::OnSelectMinimized},
        {ID_APP_EXIT, BN_CLICKED, &CPravikView::OnAppExit},
        {ID_VIEW_PACKET_TRACE, BN_CLICKED, &CPravikView::OnViewPacketTrace},
        {ID_FILE_SAVE_TRACE, BN_CLICKED, &CPravikView::OnFileSaveTrace},
        {ID_APP_ABOUT, BN_CLICKED, &CPravikView::OnAppAbout},
    };
    if (DispatchCommand(this, table, id, code)) return true;
    const SFlowRoute* route = FindRoute(kCommandRoutes, static_cast<UINT>(id));
    if (!route) return false;
    // A command of a flow not built in is taken and does nothing.
    if (CConsoleFlow* flow = Flow(route->flow)) flow->OnCommand(id, code);
    return true;
}

// ------------------------------------------------------ console interface

void CPravikView::ShowPrompt(int form, const QString& text) {
    switch (form) {
    case MSGFORM_WARNING: m_MsgDlg.ShowWarning(this, text); break;
    case MSGFORM_ERROR: m_MsgDlg.ShowError(this, text); break;
    case MSGFORM_CONNECTION: m_MsgDlg.ShowConnection(this, text); break;
    case MSGFORM_SUCCESS: m_MsgDlg.ShowSuccess(this, text); break;
    default: break;
    }
}

void CPravikView::SetStatusText(const QString& text) {
    SetDlgItemText(this, IDC_STATUS_LINE, text);
    // A text longer than the line shows its beginning, where the news is.
    if (auto* line = DlgItem<QLineEdit>(this, IDC_STATUS_LINE)) line->setCursorPosition(0);
}

QString CPravikView::StatusText() const { return GetDlgItemText(this, IDC_STATUS_LINE); }

void CPravikView::SetLabel(int labelId, const QString& text) { SetDlgItemText(this, labelId, text); }

QString CPravikView::Label(int labelId) const { return GetDlgItemText(this, labelId); }

void CPravikView::SetItemText(int id, const QString& text) { SetDlgItemText(this, id, text); }

QString CPravikView::ItemText(int id) const { return GetDlgItemText(this, id); }

void CPravikView::EnableItem(int id, bool enable) { EnableDlgItem(this, id, enable); }

bool CPravikView::IsItemEnabled(int id) const {
    const QWidget* item = GetDlgItem(this, id);
    return item && item->isEnabledTo(this);
}

void CPravikView::SaveSettings() {
    // A failed write is not reported: the settings stay in effect for this run.
    m_Settings.SaveSettings();
}

LRESULT CPravikView::ForwardTo(int flow, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (flow < 0 || flow >= FLOW_COUNT || !m_Flows[flow]) return 0;
    return m_Flows[flow]->WindowProc(msg, wParam, lParam);
}

void CPravikView::NotifyLinkClosed() {
    for (auto& flow : m_Flows) {
        if (flow) flow->OnLinkClosed();
    }
}

void CPravikView::NotifyChecksumError() {
    for (auto& flow : m_Flows) {
        if (flow) flow->OnChecksumError();
    }
}

void CPravikView::NotifyCancelSent() {
    for (auto& flow : m_Flows) {
        if (flow) flow->OnCancelSent();
    }
}

void CPravikView::SetBusy(bool busy) {
    if (busy) {
        setCursor(Qt::BusyCursor);
    } else {
        unsetCursor();
    }
}

void CPravikView::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QWidget::keyPressEvent(event);
        return;
    }
    auto* button = qobject_cast<QPushButton*>(focusWidget());
    if (!button || !button->isEnabled() || !button->isVisible()) {
        button = nullptr;
        for (QPushButton* candidate : findChildren<QPushButton*>()) {
            if (candidate->isDefault()) button = candidate;
        }
    }
    if (button && button->isEnabled() && button->isVisible()) {
        button->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CPravikView::OnAppExit() {
    if (QWidget* frame = window()) frame->close();
}

void CPravikView::OnAppAbout() {
    CAboutDlg dialog(this);
    m_Operator.DoModal(dialog);
}
