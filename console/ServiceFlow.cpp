#include "console/ServiceFlow.h"

#include "console/AnswerTable.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

namespace {

const SAnswerRow kCancelRows[] = {
    {RES_IDLE, MSGFORM_WARNING, "ZEL status is idle.", "ZEL status is idle. (Cancel command is useless)"},
};

// The voltage check outside the battery test, by m_Param2.
const SAnswerRow kVoltageRows[] = {
    {1, MSGFORM_WARNING, "Supply voltage is low. Check battery voltage.", nullptr},
    {0, MSGFORM_SUCCESS, "Supply voltage is not low.", nullptr},
};

const char* const kBatteryCanceled = "Battery life test canceled.";

}  // namespace

CServiceFlow::CServiceFlow(IConsoleContext& console) : CConsoleFlow(console) {}

CServiceFlow::~CServiceFlow() { m_BatteryDlg.Close(); }

LRESULT CServiceFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CServiceFlow> table[] = {
        {WM_RX_STATUS, &CServiceFlow::OnStatusAnswer},
        {WM_RX_MINI_STATUS, &CServiceFlow::OnMiniStatusAnswer},
        {WM_RX_CANCEL, &CServiceFlow::OnCancelAnswer},
        {WM_RX_MINI_CANCEL, &CServiceFlow::OnMiniCancelAnswer},
        {WM_RX_CHECK_VOLTAGE, &CServiceFlow::OnVoltageAnswer},
        // Handed over by the verification flow while the battery test runs
        // (a General-only test).
        {WM_RX_IDENTIFY, &CServiceFlow::OnIdentifyAnswer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

bool CServiceFlow::OnCommand(int id, int code) {
    static const CommandEntry<CServiceFlow> table[] = {
        {IDC_STATUS, BN_CLICKED, &CServiceFlow::OnStatus},
        {IDC_CANCEL, BN_CLICKED, &CServiceFlow::OnCancel},
        {ID_TOOLS_CHECK_VOLTAGE, BN_CLICKED, &CServiceFlow::OnCheckVoltage},
        {ID_TOOLS_BATTERY_TEST, BN_CLICKED, &CServiceFlow::OnBatteryTest},
    };
    return DispatchCommand(this, table, id, code);
}

// ------------------------------------------------------------------ STATUS

void CServiceFlow::OnStatus() {
    if (State().IsGeneral()) {
        m_Console.Device().SendStatus();
    } else {
        m_Console.Device().SendMiniStatus();
    }
}

void CServiceFlow::ShowStatus(const char* text) {
    // The box waits for the operator; it is shown once this handler returns.
    PostBox(text, MB_OK);
    m_Console.SetStatusText(text);
}

LRESULT CServiceFlow::OnStatusAnswer(WPARAM wParam, LPARAM) {
    const CPacket& answer = PacketOf(wParam);
    switch (static_cast<std::int32_t>(answer.m_Param1)) {
        case RES_SUCCESS:
            ShowStatus(answer.m_Param2 == 0   ? "Status = Idle"
                       : answer.m_Param2 == 1 ? "Status = busy"
                                              : "Status = busy!!!");
            break;
        case RES_FAIL: m_Console.SetStatusText("Status check is failed"); break;
        default: break;
    }
    return 0;
}

LRESULT CServiceFlow::OnMiniStatusAnswer(WPARAM wParam, LPARAM) {
    ShowStatus(FrameOf(wParam)[3] == 0 ? "Status = Idle" : "Status = busy");
    return 0;
}

// ------------------------------------------------------------------ CANCEL

void CServiceFlow::OnCancel() {
    if (State().IsGeneral()) {
        // An image capture under way stops asking for pieces.
        State().m_bCaptureCancel = true;
        m_Console.Device().SendCancel();
    } else {
        m_Console.Device().SendMiniCancel();
    }
}

void CServiceFlow::ShowCancelResult(std::int32_t result) { ShowAnswer(m_Console, result, kCancelRows); }

LRESULT CServiceFlow::OnCancelAnswer(WPARAM wParam, LPARAM) {
    ShowCancelResult(static_cast<std::int32_t>(PacketOf(wParam).m_Param1));
    return 0;
}

LRESULT CServiceFlow::OnMiniCancelAnswer(WPARAM wParam, LPARAM) {
    ShowCancelResult(FrameOf(wParam)[3]);
    return 0;
}

// --------------------------------------------------- voltage and battery test

void CServiceFlow::OnCheckVoltage() { m_Console.Device().SendCheckVoltage(); }

void CServiceFlow::OnBatteryTest() {
    // The menu bar stays usable while the window disables the form: a second
    // start would run a second loop beside the first.
    if (m_BatteryDlg.IsOpen()) {
        m_BatteryDlg.Create(m_Console.Form(), &m_Console.Device());  // raises the open window
        return;
    }
    State().m_bBatteryTest = true;
    m_BatteryDlg.Create(m_Console.Form(), &m_Console.Device());
    m_Console.Device().SendIdentify();
}

void CServiceFlow::EndBatteryTest() {
    m_Console.ShowPrompt(MSGFORM_WARNING, kBatteryCanceled);
    State().m_bBatteryTest = false;
}

LRESULT CServiceFlow::OnIdentifyAnswer(WPARAM, LPARAM) {
    if (!State().m_bBatteryTest) return 0;
    m_Console.WaitDlg().Close();
    // Whatever the identification found, the voltage is checked next.
    if (!m_BatteryDlg.IsOpen()) {
        EndBatteryTest();
    } else {
        m_Console.Device().SendCheckVoltage();
    }
    return 0;
}

LRESULT CServiceFlow::OnVoltageAnswer(WPARAM wParam, LPARAM) {
    const std::uint32_t low = PacketOf(wParam).m_Param2;
    if (!State().m_bBatteryTest) {
        ShowAnswer(m_Console, static_cast<std::int32_t>(low), kVoltageRows);
        return 0;
    }
    if (!m_BatteryDlg.IsOpen()) {
        EndBatteryTest();
    } else if (low == 1) {
        ++m_BatteryDlg.m_nLowCount;
        m_BatteryDlg.ShowLowCount();
        m_Console.Device().SendIdentify();
    } else if (low == 0) {
        ++m_BatteryDlg.m_nHighCount;
        m_BatteryDlg.ShowHighCount();
        m_Console.Device().SendIdentify();
    }
    // Any other value stops the loop; the window stays open.
    return 0;
}

void CServiceFlow::OnLinkClosed() {
    // Nothing more will answer: the test ends with the link.
    if (State().m_bBatteryTest || m_BatteryDlg.IsOpen()) {
        m_BatteryDlg.Close();
        State().m_bBatteryTest = false;
    }
}
