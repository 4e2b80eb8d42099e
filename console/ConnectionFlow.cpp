#include "console/ConnectionFlow.h"

#include <QEvent>
#include <QWidget>
#include <functional>

#include "console/AnswerTable.h"
#include "console/ConsoleMessages.h"
#include "console/SerialCommDlg.h"
#include "console/SerialSettings.h"
#include "platform/core/SerialPorts.h"
#include "platform/qt/UiOperator.h"
#include "protocol/ModuleClient.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

namespace {

QString BaudLabel(int rate) { return QString::asprintf("Baud Rate: %dbps", rate); }

QString FirmwareLabel(std::uint32_t version) {
    return QString::asprintf("Firmware Version: %x.%02x", (version >> 8) & 0xFF, version & 0xFF);
}

// Fills a widget's tooltip just before it shows, so that it tells what is
// true at that moment (an adapter may have come or gone since).
class CLiveToolTip : public QObject {
public:
    CLiveToolTip(QWidget* widget, std::function<QString()> text) : QObject(widget), m_Text(std::move(text)) {
        widget->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTip) static_cast<QWidget*>(watched)->setToolTip(m_Text());
        return false;
    }

private:
    std::function<QString()> m_Text;
};

}  // namespace

CConnectionFlow::CConnectionFlow(IConsoleContext& console) : CConsoleFlow(console) {
    const CSerialSettings& settings = console.Settings();
    m_strPortName = QString::asprintf("COM%d", settings.m_nComPort);
    m_nBaudRate = settings.m_nBaudRate;
    m_nStartBaudRate = settings.m_nBaudRate;
}

CConnectionFlow::~CConnectionFlow() {
    CancelPause();
    delete m_pPortTip.data();  // it calls back into this flow
}

void CConnectionFlow::OnFormCreated() {
    QWidget* label = GetDlgItem(m_Console.Form(), IDC_PORT_LABEL);
    if (label && !m_pPortTip) m_pPortTip = new CLiveToolTip(label, [this] { return PortDescription(); });
    ShowPortLabel();
}

void CConnectionFlow::ShowPortLabel() {
    m_Console.SetLabel(IDC_PORT_LABEL, "Serial Port: " + m_strPortName);
    if (QWidget* label = GetDlgItem(m_Console.Form(), IDC_PORT_LABEL)) label->setToolTip(PortDescription());
}

QString CConnectionFlow::PortDescription() const {
    const std::string path = m_Console.Client().Channel().m_PortMap.Resolve(m_strPortName.toStdString());
    QString text = m_strPortName + " leads to " + QString::fromStdString(path);
    const std::vector<SSerialPortInfo> ports = ListSerialPorts();
    if (const SSerialPortInfo* port = FindSerialPort(ports, path)) {
        // The by-id name once: in the path, or else in the description.
        std::string device = DescribeSerialPort(*port);
        if (path == port->byIdPath) {
            device = port->kernelName;
            if (!port->MakerAndProduct().empty()) device += ": " + port->MakerAndProduct();
        }
        return text + "\n" + QString::fromStdString(device);
    }
    struct stat node {};
    if (!StatDevice(path, node)) return text + "\nThe device is not there.";
    return text;
}

LRESULT CConnectionFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CConnectionFlow> table[] = {
        {WM_TIMER, &CConnectionFlow::OnTimer},
        {WM_PORT_CHANGED, &CConnectionFlow::OnPortChanged},
        {WM_PORT_DEVICE_CHOSEN, &CConnectionFlow::OnPortDeviceChosen},
        {WM_CHECKSUM_ERROR, &CConnectionFlow::OnChecksumError},
        {WM_BAUD_CHANGED, &CConnectionFlow::OnBaudChanged},
        {WM_COMM_PORT_LOST, &CConnectionFlow::OnPortLost},
        {WM_WRITE_STALLED, &CConnectionFlow::OnWriteStalled},
        {WM_RECEIVE_DROPPED, &CConnectionFlow::OnReceiveDropped},
        {WM_COMM_ALERT, &CConnectionFlow::OnCommAlert},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

void CConnectionFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CConnectionFlow> table[] = {
        GENERAL_REPLY(CMD_CONNECT, &CConnectionFlow::OnConnectAnswer),
        GENERAL_REPLY(CMD_SET_BAUDRATE, &CConnectionFlow::OnSetBaudRateAnswer),
        GENERAL_REPLY(CMD_GET_VERSION, &CConnectionFlow::OnVersionAnswer),
        GENERAL_REPLY(CMD_GET_VERSION_EX, &CConnectionFlow::OnVersionExAnswer),
        GENERAL_REPLY(CMD_GET_DEVICE_INFO, &CConnectionFlow::OnDeviceInfoAnswer),
        MINI_REPLY(MINI_CONNECT, &CConnectionFlow::OnMiniConnectAnswer),
        MINI_REPLY(MINI_SET_BAUDRATE, &CConnectionFlow::OnSetBaudRateAnswer),
    };
    DispatchReply(this, table, reply);
}

bool CConnectionFlow::OnCommand(int id, int code) {
    static const CommandEntry<CConnectionFlow> table[] = {
        {IDC_CONNECT, BN_CLICKED, &CConnectionFlow::OnConnect},
        {IDC_POWER, BN_CLICKED, &CConnectionFlow::OnPower},
        {ID_FILE_SERIAL_COMM, BN_CLICKED, &CConnectionFlow::OnSerialComm},
    };
    return DispatchCommand(this, table, id, code);
}

// ------------------------------------------------------ CONNECT / DISCONNECT

void CConnectionFlow::OnConnect() {
    // A press during the pause before a retry makes the retry now.
    CancelPause();
    m_nConnectStage = CONNECT_STAGE_CONNECTING;
    if (State().m_bConnected) {
        CloseLink(LINK_ENDED);
        return;
    }
    CModuleClient& client = Client();
    if (!m_bPortOpen) {
        if (client.Open(m_strPortName.toStdString(), m_nBaudRate)) {
            m_bPortOpen = true;
            State().m_bMasterMode = false;
        } else {
            m_Console.SetBusy(false);
            // The prompt says why and what to do (join the group that may use
            // the port, close the program that holds it, plug the adapter
            // in); the status line also names the device the port led to.
            const QString text = "Opening '" + m_strPortName + "' failed.";
            const std::string& reason = client.Channel().LastReason();
            const std::string& error = client.Channel().LastError();
            m_Console.ShowPrompt(MSGFORM_WARNING, reason.empty() ? text : text + " " + QString::fromStdString(reason));
            m_Console.SetStatusText(error.empty() ? text : text + " " + QString::fromStdString(error));
            return;
        }
    }
    // The search can take ten seconds: say which rate is tried.
    m_Console.SetBusy(true);
    m_Console.SetStatusText(QString::asprintf("Trying %dbps...", m_nBaudRate));
    RequestQuietly(State().IsGeneral() ? req::General(CMD_CONNECT) : req::Mini(MINI_CONNECT));
    SetTimer(CONNECT_TIMER_ID, CONNECT_TIMEOUT_MS);
}

void CConnectionFlow::CloseLink(ELinkEnd how) {
    // A port or rate change ends any connection attempt under way too: a
    // search or device-information wait left running would go on with the new
    // settings, override the rate just chosen or take the module for a ZEL12
    // because the port was closed here.
    KillTimer(CONNECT_TIMER_ID);
    CancelPause();
    m_Console.SetBusy(false);
    // Nothing is coming to wait for: a finger prompt left open would wait
    // for ever.
    m_Console.WaitDlg().Close();
    // What the status line said of the link no longer holds.
    m_Console.SetStatusText(QString());
    if (how == LINK_ENDED) m_Console.NotifyLinkClosed();
    State().m_bConnected = false;
    m_bPortOpen = false;
    Client().Close();
    m_nBaudScan = 0;
    m_Console.SetLayout(LAYOUT_DISCONNECTED);
}

void CConnectionFlow::CancelPause() {
    if (m_nPauseToken) Loop().CancelCall(m_nPauseToken);
    m_nPauseToken = 0;
}

LRESULT CConnectionFlow::OnTimer(WPARAM id, LPARAM) {
    if (id != CONNECT_TIMER_ID) return 0;
    KillTimer(CONNECT_TIMER_ID);
    if (m_nConnectStage == CONNECT_STAGE_CONNECTING) {
        // No answer at this rate: close and try the next one.
        State().m_bConnected = false;
        m_bPortOpen = false;
        Client().Close();
        ++m_nBaudScan;
        if (m_nBaudScan >= 1 && m_nBaudScan <= BAUD_SCAN_LAST) {
            m_nBaudRate = ScanRate(m_nBaudScan);
            CancelPause();
            m_nPauseToken = Loop().CallLater(this, CONNECT_PAUSE_MS, [this] {
                m_nPauseToken = 0;
                OnConnect();
            });
        } else {
            m_nBaudScan = 0;
            m_Console.SetBusy(false);
            m_Console.SetStatusText(kConnectionFailed);
            PostBox(kConnectionFailed, MB_OK);
        }
    } else if (m_nConnectStage == CONNECT_STAGE_DEVICE_INFO) {
        // The module does not say what it is: take it for a ZEL12 and ask the
        // plain version.
        CancelPause();
        m_nPauseToken = Loop().CallLater(this, CONNECT_PAUSE_MS, [this] {
            m_nPauseToken = 0;
            if (!State().IsZel12()) m_Console.SelectBoard(BOARD_ZEL12);
            RequestQuietly(req::General(CMD_GET_VERSION));
        });
    }
    return 0;
}

void CConnectionFlow::ConnectSucceeded(const QString& countLabel) {
    KillTimer(CONNECT_TIMER_ID);
    State().m_bConnected = true;
    m_Console.SetBusy(false);
    m_Console.SetStatusText("Connection succeeded.");
    m_Console.ShowPrompt(MSGFORM_CONNECTION, "Connection succeeded.");
    m_Console.SetLabel(IDC_COUNT_LABEL, countLabel);
    m_nBaudScan = 0;
    if (m_nBaudRate != m_nStartBaudRate) {
        // Found at another rate than the configured one: remember it.
        CSerialSettings& settings = m_Console.Settings();
        settings.m_nBaudRate = m_nBaudRate;
        settings.m_nBaudIndex = BaudIndexFromRate(m_nBaudRate);
        m_Console.SaveSettings();
        m_Console.SetLabel(IDC_BAUD_LABEL, BaudLabel(m_nBaudRate));
    }
    RequestQuietly(req::General(CMD_GET_DEVICE_INFO));
    m_nConnectStage = CONNECT_STAGE_DEVICE_INFO;
    SetTimer(CONNECT_TIMER_ID, DEVICE_INFO_TIMEOUT_MS);
    m_Console.SetLayout(LAYOUT_CONNECTED);
}

void CConnectionFlow::OnConnectAnswer(const CReply& reply) {
    const std::int32_t result = reply.Result();
    if (result == RES_SUCCESS) {
        ConnectSucceeded(QString::asprintf("Fingerprint Count: %d", static_cast<int>(reply.Packet().m_Param2 & 0xFFFF)));
    } else if (ShowAnswer(m_Console, result, kConnectRows)) {
        State().m_bConnected = false;
    }
}

void CConnectionFlow::OnMiniConnectAnswer(const CReply& reply) {
    if (reply.Result() == RES_SUCCESS) ConnectSucceeded("Fingerprint Count: xx");
}

// --------------------------------------------- device information and version

void CConnectionFlow::AskVersion(bool extended) {
    RequestQuietly(req::General(extended ? CMD_GET_VERSION_EX : CMD_GET_VERSION));
}

void CConnectionFlow::OnDeviceInfoAnswer(const CReply& reply) {
    KillTimer(CONNECT_TIMER_ID);
    // A late answer wins over the fallback that its time-out started.
    CancelPause();
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS) {
        const std::uint32_t type = answer.m_Param2;
        if (type == BOARD_ZEL12) {
            if (!State().IsZel12()) m_Console.SelectBoard(BOARD_ZEL12);
            AskVersion(false);
        } else if (type <= BOARD_QOR10_LV) {
            if (State().m_nBoardType != static_cast<int>(type)) m_Console.SelectBoard(static_cast<int>(type));
            AskVersion(true);
        }
    } else if (!ShowAnswer(m_Console, result, kDeviceInfoRows) && answer.m_ErrCode == ERR_UNKNOWN_COMMAND) {
        // A module that does not know the command: an old ZEL12.
        if (!State().IsZel12()) m_Console.SelectBoard(BOARD_ZEL12);
        AskVersion(false);
    }
}

void CConnectionFlow::OnVersionAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    m_Console.SetLabel(IDC_FIRMWARE_LABEL, FirmwareLabel(answer.m_Param1));
    State().m_nFirmwareLevel = static_cast<std::int32_t>(answer.m_Param1);
}

void CConnectionFlow::OnVersionExAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS) {
        m_Console.SetLabel(IDC_FIRMWARE_LABEL, FirmwareLabel(answer.m_Param2));
        // Modules that know the extended version use the new command forms.
        State().m_nFirmwareLevel = static_cast<std::int32_t>(answer.m_Param1) + FIRMWARE_LEVEL_EXTENDED;
    } else {
        ShowAnswer(m_Console, result, kVersionExRows);
    }
}

// ------------------------------------------------------------------- power

void CConnectionFlow::OnPower() {
    const bool on = !State().m_bPowerOn;
    if (Client().Channel().SetRts(on)) {
        m_Console.SetItemText(IDC_POWER, on ? "POWER OFF" : "POWER ON");
        State().m_bPowerOn = on;
    } else {
        m_Console.ShowPrompt(MSGFORM_ERROR, on ? "Power on fail!!!" : "Power off fail!!!");
    }
}

// ------------------------------------------------- Serial Communication

void CConnectionFlow::OnSerialComm() {
    // A port or rate change closes the link: not while a job owns it.
    if (Client().IsClaimed()) {
        m_Console.SetStatusText(NotSentText(ESendResult::Busy));
        return;
    }
    CSerialCommDlg dialog(*this, Client().Channel().m_PortMap, m_Console.Settings(), m_Console.Form());
    m_Console.Operator().DoModal(dialog);
}

LRESULT CConnectionFlow::OnBaudChanged(WPARAM wParam, LPARAM) {
    // The index of the rate chosen in the dialog.
    const auto index = static_cast<int>(static_cast<std::intptr_t>(wParam));
    if (index < 0 || index >= BAUD_RATE_COUNT) {
        // The dialog offers only the five rates; anything else is refused
        // before the module or the settings hear of it.
        m_Console.ShowPrompt(MSGFORM_WARNING, "Choose a baud rate from the list.");
        return 0;
    }
    m_nBaudRate = BaudRateFromIndex(index);
    // Tell the module at the current rate; with the port closed nothing is
    // sent.
    RequestQuietly(State().IsGeneral() ? req::General(CMD_SET_BAUDRATE, 0, static_cast<std::uint32_t>(index))
                                       : req::Mini(MINI_SET_BAUDRATE, static_cast<std::uint8_t>(index)));
    CSerialSettings& settings = m_Console.Settings();
    settings.m_nBaudRate = m_nBaudRate;
    settings.m_nBaudIndex = BaudIndexFromRate(m_nBaudRate);
    m_Console.SaveSettings();
    CloseLink(LINK_CHANGED);
    m_Console.SetLabel(IDC_BAUD_LABEL, BaudLabel(m_nBaudRate));
    m_Console.ShowPrompt(MSGFORM_SUCCESS, "BaudRate was changed.");
    return 0;
}

void CConnectionFlow::OnSetBaudRateAnswer(const CReply& reply) {
    ShowAnswer(m_Console, reply.Result(), kSetBaudRateRows);
}

LRESULT CConnectionFlow::OnPortChanged(WPARAM wParam, LPARAM) {
    const auto index = static_cast<int>(static_cast<std::intptr_t>(wParam));
    if (index < 0 || index >= PORT_COUNT) {
        m_Console.ShowPrompt(MSGFORM_WARNING, "Choose a serial port from the list.");
        return 0;
    }
    m_Console.Settings().m_nComPort = index + 1;
    m_Console.SaveSettings();
    CloseLink(LINK_CHANGED);
    m_strPortName = QString::asprintf("COM%d", index + 1);
    ShowPortLabel();
    m_Console.ShowPrompt(MSGFORM_SUCCESS, "COM port was changed.");
    return 0;
}

LRESULT CConnectionFlow::OnPortDeviceChosen(WPARAM, LPARAM lParam) {
    // A device from the list becomes the device of the current COM port: in
    // the port map of this run and in section Ports of the settings, so that
    // COM Port and the COM names keep their meaning.
    const auto* path = reinterpret_cast<const std::string*>(lParam);
    if (!path || path->empty()) {
        m_Console.ShowPrompt(MSGFORM_WARNING, "Choose a serial port from the list.");
        return 0;
    }
    CSerialSettings& settings = m_Console.Settings();
    int port = settings.m_nComPort;
    if (port < 1 || port > PORT_COUNT) port = 1;
    settings.m_nComPort = port;
    m_Console.SaveSettings();
    // A failed write keeps the choice for this run, like the other settings.
    settings.SavePortPath(port, *path);
    CloseLink(LINK_CHANGED);
    m_strPortName = QString::asprintf("COM%d", port);
    Client().Channel().m_PortMap.Set(m_strPortName.toStdString(), *path);
    ShowPortLabel();
    m_Console.ShowPrompt(MSGFORM_SUCCESS, "COM port was changed.");
    return 0;
}

// ------------------------------------------------------- line failures

LRESULT CConnectionFlow::OnChecksumError(WPARAM, LPARAM) {
    CWaitDlg& wait = m_Console.WaitDlg();
    if (wait.IsOpen()) wait.Close();
    if (m_Console.MsgDlg().IsOpen()) return 0;
    m_Console.ShowPrompt(MSGFORM_ERROR, "Checksum error occurred.");
    // The capture loop counts the lost image as a failure and goes on.
    m_Console.NotifyChecksumError();
    return 0;
}

LRESULT CConnectionFlow::OnPortLost(WPARAM, LPARAM) {
    // A report from a port that has been closed meanwhile is stale.
    if (!m_bPortOpen) return 0;
    m_nConnectStage = CONNECT_STAGE_CONNECTING;
    CloseLink(LINK_ENDED);
    const QString text = "Serial port '" + m_strPortName + "' was lost.";
    m_Console.ShowPrompt(MSGFORM_WARNING, text);
    m_Console.SetStatusText(text);
    return 0;
}

LRESULT CConnectionFlow::OnWriteStalled(WPARAM written, LPARAM size) {
    // The device stopped taking bytes (no progress for 10 s): the request did
    // not reach the module whole, so the operator must not wait for an answer.
    m_Console.SetStatusText(QString("Writing to '%1' stalled: %2 of %3 bytes sent.")
                                .arg(m_strPortName)
                                .arg(static_cast<qulonglong>(written))
                                .arg(static_cast<qulonglong>(size)));
    return 0;
}

LRESULT CConnectionFlow::OnCommAlert(WPARAM kind, LPARAM) {
    CSerialChannel& channel = Client().Channel();
    if (kind == COMM_ALERT_QUEUE_FULL) {
        m_Console.Operator().MessageBox("m_QueueRead FULL!", "", MB_OK);
        // The channel raises the next alert only once this box is gone; what
        // is dropped meanwhile is counted in the status line.
        channel.QueueFullAlertClosed();
    } else {
        m_Console.Operator().MessageBox("Error while creating ThreadWatchComm, " + channel.PortName(), "", MB_OK);
    }
    return 0;
}

LRESULT CConnectionFlow::OnReceiveDropped(WPARAM bytes, LPARAM) {
    // The console fell behind the module and bytes were lost: answers may be
    // missing or cut, so say how much, beside the one "m_QueueRead FULL!" box.
    m_Console.SetStatusText(QString("Receive queue full: %1 bytes from '%2' dropped.")
                                .arg(static_cast<qulonglong>(bytes))
                                .arg(m_strPortName));
    return 0;
}
