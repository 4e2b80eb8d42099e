// The main form's side of the link: CONNECT / DISCONNECT with the baud-rate
// search, the questions asked right after connecting (device information and
// firmware version), POWER OFF / POWER ON through RTS, the Serial
// Communication dialog with its port and rate changes, checksum errors and a
// lost port.
#include "app/PravikView.h"

#include "console/SerialCommDlg.h"
#include "protocol/Commands.h"

namespace {

const CPacket& PacketOf(WPARAM wParam) { return *reinterpret_cast<const CPacket*>(wParam); }
const std::uint8_t* FrameOf(WPARAM wParam) { return reinterpret_cast<const std::uint8_t*>(wParam); }

// Rates of the search after the configured one, by m_nBaudScan 1..5.
int ScanRate(int scan) {
    static const int rates[BAUD_SCAN_LAST] = {9600, 19200, 38400, 57600, 115200};
    return rates[scan - 1];
}

QString BaudLabel(int rate) { return QString::asprintf("Baud Rate: %dbps", rate); }

QString FirmwareLabel(std::uint32_t version) {
    return QString::asprintf("Firmware Version: %x.%02x", (version >> 8) & 0xFF, version & 0xFF);
}

}  // namespace

// ------------------------------------------------------ CONNECT / DISCONNECT

void CPravikView::OnConnect() {
    // A press during the pause before a retry makes the retry now.
    CancelPause();
    m_nConnectStage = CONNECT_STAGE_CONNECTING;
    if (m_bConnected) {
        Disconnect();
        return;
    }
    if (!m_bPortOpen) {
        if (m_PacketManager.OpenCommPort(m_strPortName.toStdString(), m_nBaudRate)) {
            m_bPortOpen = true;
            m_bMasterMode = false;
        } else {
            QString text = "Opening '" + m_strPortName + "' failed.";
            m_MsgDlg.ShowWarning(this, text);
            // The status line says where the name led and why it failed.
            const std::string& reason = m_PacketManager.m_Comm.LastError();
            if (!reason.empty()) text += " " + QString::fromStdString(reason);
            SetStatusText(text);
            return;
        }
    }
    if (IsGeneral()) {
        m_PacketManager.SendConnect();
    } else {
        m_PacketManager.SendMiniConnect();
    }
    SetTimer(CONNECT_TIMER_ID, CONNECT_TIMEOUT_MS);
}

void CPravikView::Disconnect() {
    KillTimer(CONNECT_TIMER_ID);
    CancelPause();
    ResetContinuousCapture();
    m_bConnected = false;
    m_bPortOpen = false;
    m_PacketManager.m_Comm.ClosePort();
    m_nBaudScan = 0;
    SetDisconnectedLayout();
}

void CPravikView::DropLink() {
    // A port or rate change ends any connection attempt under way: a search
    // or device-information wait left running would go on with the new
    // settings, override the rate just chosen or take the module for a ZEL12
    // because the port was closed here.
    KillTimer(CONNECT_TIMER_ID);
    CancelPause();
    m_nBaudScan = 0;
    m_bConnected = false;
    m_bPortOpen = false;
    m_PacketManager.m_Comm.ClosePort();
    SetDisconnectedLayout();
}

void CPravikView::CancelPause() {
    if (m_nPauseToken) Loop().CancelCall(m_nPauseToken);
    m_nPauseToken = 0;
}

void CPravikView::ResetContinuousCapture() {
    m_bContinuous = false;
    m_bIgnoreNextImage = false;
    m_nSuccessCount = 0;
    m_nFailCount = 0;
}

LRESULT CPravikView::OnTimer(WPARAM id, LPARAM) {
    if (id != CONNECT_TIMER_ID) return 0;
    KillTimer(CONNECT_TIMER_ID);
    if (m_nConnectStage == CONNECT_STAGE_CONNECTING) {
        // No answer at this rate: close and try the next one.
        m_bConnected = false;
        m_bPortOpen = false;
        m_PacketManager.m_Comm.ClosePort();
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
            m_Operator.MessageBox("Connection is failed.", "", MB_OK);
        }
    } else if (m_nConnectStage == CONNECT_STAGE_DEVICE_INFO) {
        // The module does not say what it is: take it for a ZEL12 and ask the
        // plain version.
        CancelPause();
        m_nPauseToken = Loop().CallLater(this, CONNECT_PAUSE_MS, [this] {
            m_nPauseToken = 0;
            if (m_nBoardType != BOARD_ZEL12) SelectBoard(BOARD_ZEL12);
            m_PacketManager.SendGetVersion();
        });
    }
    return 0;
}

void CPravikView::ConnectSucceeded(const QString& countLabel) {
    KillTimer(CONNECT_TIMER_ID);
    m_bConnected = true;
    m_MsgDlg.ShowConnection(this, "Connection succeeded.");
    m_strCountLabel = countLabel;
    UpdateLabels();
    m_nBaudScan = 0;
    if (m_nBaudRate != m_nStartBaudRate) {
        // Found at another rate than the configured one: remember it.
        m_Settings.m_nBaudRate = m_nBaudRate;
        m_Settings.m_nBaudIndex = BaudIndexFromRate(m_nBaudRate);
        SaveSettings();
        m_strBaudLabel = BaudLabel(m_nBaudRate);
        UpdateLabels();
    }
    m_PacketManager.SendGetDeviceInfo();
    m_nConnectStage = CONNECT_STAGE_DEVICE_INFO;
    SetTimer(CONNECT_TIMER_ID, DEVICE_INFO_TIMEOUT_MS);
    SetConnectedLayout();
}

LRESULT CPravikView::OnConnectAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS) {
        ConnectSucceeded(QString::asprintf("Fingerprint Count: %d", static_cast<int>(answer.m_Param2 & 0xFFFF)));
    } else if (result == RES_CONNECT_FAIL) {
        // The search goes on: timer 1 keeps running.
        m_bConnected = false;
        m_MsgDlg.ShowWarning(this, "The connection is failed.");
        SetStatusText("The connection is failed.");
    }
    return 0;
}

LRESULT CPravikView::OnMiniConnectAnswer(WPARAM wParam, LPARAM) {
    const std::uint8_t* frame = FrameOf(wParam);
    if (frame[3] == RES_SUCCESS) ConnectSucceeded("Fingerprint Count: xx");
    return 0;
}

// --------------------------------------------- device information and version

void CPravikView::AskVersion(bool extended) {
    if (extended) {
        m_PacketManager.SendGetVersionEx();
    } else {
        m_PacketManager.SendGetVersion();
    }
}

LRESULT CPravikView::OnDeviceInfoAnswer(WPARAM wParam, LPARAM) {
    KillTimer(CONNECT_TIMER_ID);
    // A late answer wins over the fallback that its time-out started.
    CancelPause();
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS) {
        const std::uint32_t type = answer.m_Param2;
        if (type == BOARD_ZEL12) {
            if (m_nBoardType != BOARD_ZEL12) SelectBoard(BOARD_ZEL12);
            AskVersion(false);
        } else if (type <= BOARD_QOR10_LV) {
            if (m_nBoardType != static_cast<int>(type)) SelectBoard(static_cast<int>(type));
            AskVersion(true);
        }
    } else if (result == RES_CANCELED) {
        m_MsgDlg.ShowWarning(this, "The command is canceled.");
        SetStatusText("Get device infomation is canceled.");
    } else if (answer.m_ErrCode == ERR_UNKNOWN_COMMAND) {
        // A module that does not know the command: an old ZEL12.
        if (m_nBoardType != BOARD_ZEL12) SelectBoard(BOARD_ZEL12);
        AskVersion(false);
    }
    return 0;
}

LRESULT CPravikView::OnVersionAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    m_strFirmwareLabel = FirmwareLabel(answer.m_Param1);
    UpdateLabels();
    m_nFirmwareLevel = static_cast<std::int32_t>(answer.m_Param1);
    return 0;
}

LRESULT CPravikView::OnVersionExAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS) {
        m_strFirmwareLabel = FirmwareLabel(answer.m_Param2);
        // Modules that know the extended version use the new command forms.
        m_nFirmwareLevel = static_cast<std::int32_t>(answer.m_Param1 + 0x103);
        UpdateLabels();
    } else if (result == RES_CANCELED) {
        m_MsgDlg.ShowWarning(this, "The command is canceled.");
        SetStatusText("Get firmware version is canceled.");
    }
    return 0;
}

// ------------------------------------------------------------------- power

void CPravikView::OnPower() {
    if (m_bPowerOn) {
        if (m_PacketManager.m_Comm.SetRts(false)) {
            SetDlgItemText(this, IDC_POWER, "POWER ON");
            m_bPowerOn = false;
        } else {
            m_MsgDlg.ShowError(this, "Power off fail!!!");
        }
    } else {
        if (m_PacketManager.m_Comm.SetRts(true)) {
            SetDlgItemText(this, IDC_POWER, "POWER OFF");
            m_bPowerOn = true;
        } else {
            m_MsgDlg.ShowError(this, "Power on fail!!!");
        }
    }
}

// ------------------------------------------------- Serial Communication

void CPravikView::OnSerialComm() {
    CSerialCommDlg dialog(*this, m_PacketManager, m_Settings, this);
    m_Operator.DoModal(dialog);
}

LRESULT CPravikView::OnBaudChanged(WPARAM wParam, LPARAM) {
    // The index exactly as the dialog sent it (-1 when the typed text matched
    // no rate); the rate falls back to 9600.
    const auto index = static_cast<int>(static_cast<std::intptr_t>(wParam));
    m_nBaudRate = BaudRateFromIndex(index);
    // Tell the module at the current rate; with the port closed the write
    // goes nowhere.
    if (IsGeneral()) {
        m_PacketManager.SendSetBaudRate(static_cast<std::uint32_t>(index));
    } else {
        m_PacketManager.SendMiniSetBaudRate(static_cast<std::uint8_t>(index));
    }
    m_Settings.m_nBaudRate = m_nBaudRate;
    m_Settings.m_nBaudIndex = BaudIndexFromRate(m_nBaudRate);
    SaveSettings();
    DropLink();
    m_strBaudLabel = BaudLabel(m_nBaudRate);
    UpdateLabels();
    m_MsgDlg.ShowSuccess(this, "BaudRate was changed.");
    return 0;
}

void CPravikView::ShowSetBaudRateResult(std::int32_t result) {
    switch (result) {
    case RES_SUCCESS: SetStatusText("Set baudrate is succeeded."); break;
    case RES_FAIL: SetStatusText("Set baudrate is failed."); break;
    case RES_INVALID_PARAM: SetStatusText("Invalid parameter!!!"); break;
    case RES_CANCELED: SetStatusText("Set baudrate is canceled"); break;
    default: return;
    }
    UpdateLabels();
}

LRESULT CPravikView::OnSetBaudRateAnswer(WPARAM wParam, LPARAM) {
    ShowSetBaudRateResult(static_cast<std::int32_t>(PacketOf(wParam).m_Param1));
    return 0;
}

LRESULT CPravikView::OnMiniSetBaudRateAnswer(WPARAM wParam, LPARAM) {
    ShowSetBaudRateResult(FrameOf(wParam)[3]);
    return 0;
}

LRESULT CPravikView::OnPortChanged(WPARAM wParam, LPARAM) {
    const auto index = static_cast<int>(static_cast<std::intptr_t>(wParam));
    m_Settings.m_nComPort = index + 1;
    SaveSettings();
    DropLink();
    m_strPortName = QString::asprintf("COM%d", index + 1);
    m_strPortLabel = "Serial Port: " + m_strPortName;
    UpdateLabels();
    m_MsgDlg.ShowSuccess(this, "COM port was changed.");
    return 0;
}

// ------------------------------------------------------- line failures

LRESULT CPravikView::OnChecksumError(WPARAM, LPARAM) {
    if (m_WaitDlg.IsOpen()) m_WaitDlg.Close();
    if (m_MsgDlg.IsOpen()) return 0;
    m_MsgDlg.ShowError(this, "Checksum error occurred.");
    if (m_bContinuous) ContinuousCaptureChecksumStep();
    return 0;
}

void CPravikView::ContinuousCaptureChecksumStep() {
    // The capture loop counts the lost image as a failure and goes on; that
    // step lives with the capture flow.
}

LRESULT CPravikView::OnPortLost(WPARAM, LPARAM) {
    // A report from a port that has been closed meanwhile is stale.
    if (!m_bPortOpen) return 0;
    m_nConnectStage = CONNECT_STAGE_CONNECTING;
    Disconnect();
    const QString text = "Serial port '" + m_strPortName + "' was lost.";
    m_MsgDlg.ShowWarning(this, text);
    SetStatusText(text);
    return 0;
}
