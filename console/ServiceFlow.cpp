#include "console/ServiceFlow.h"

#include "console/AnswerTable.h"
#include "console/ConsoleMessages.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

namespace {

const char* const kBatteryCanceled = "Battery life test canceled.";
const char* const kBatteryJob = "the battery life test";

}  // namespace

CServiceFlow::CServiceFlow(IConsoleContext& console) : CConsoleFlow(console) {
    // Closing the window gives the link back at once: should the answer
    // under way never come, the console must not stay busy. The test itself
    // ends on that answer.
    QObject::connect(&m_BatteryDlg, &CModelessPrompt::Closed, [this] { Client().Release(*this); });
}

CServiceFlow::~CServiceFlow() {
    QObject::disconnect(&m_BatteryDlg, nullptr, nullptr, nullptr);
    m_BatteryDlg.Close();
}

LRESULT CServiceFlow::OnMessage(UINT msg, WPARAM, LPARAM) {
    // A tool window's STATUS or CANCEL, done as the main form's.
    if (msg == WM_SERVICE_STATUS) OnStatus();
    if (msg == WM_SERVICE_CANCEL) OnCancel();
    return 0;
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

void CServiceFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CServiceFlow> table[] = {
        GENERAL_REPLY(CMD_STATUS, &CServiceFlow::OnStatusAnswer),
        MINI_REPLY(MINI_STATUS, &CServiceFlow::OnMiniStatusAnswer),
        GENERAL_REPLY(CMD_CANCEL, &CServiceFlow::OnCancelAnswer),
        MINI_REPLY(MINI_CANCEL, &CServiceFlow::OnCancelAnswer),
        GENERAL_REPLY(CMD_CHECK_VOLTAGE, &CServiceFlow::OnVoltageAnswer),
        // The battery test's own identifications (a General-only test).
        GENERAL_REPLY(CMD_IDENTIFY, &CServiceFlow::OnIdentifyAnswer),
    };
    DispatchReply(this, table, reply);
}

void CServiceFlow::OnExchangeEnded(const CReply& reply) {
    if (reply.End() == EExchangeEnd::TimedOut && reply.Command() == CMD_CHECK_VOLTAGE) {
        // Ten voltage checks and no answer.
        PostBox(kCommunicationError, MB_OK | MB_ICONSTOP);
        // The test cannot go on without the check's answer.
        if (m_bBatteryTest) StopBatteryTest();
        return;
    }
    if (m_bBatteryTest && reply.Command() == CMD_IDENTIFY && reply.End() == EExchangeEnd::Superseded) {
        // IDENTIFY on the main form took the test's place: the test is over
        // and that identification's answer is shown as usual.
        StopBatteryTest();
        return;
    }
    CConsoleFlow::OnExchangeEnded(reply);
}

// ------------------------------------------------------------------ STATUS

void CServiceFlow::OnStatus() { Request(State().IsGeneral() ? req::General(CMD_STATUS) : req::Mini(MINI_STATUS)); }

void CServiceFlow::ShowStatus(const char* text) {
    // The box waits for the operator; it is shown once this handler returns.
    PostBox(text, MB_OK);
    m_Console.SetStatusText(text);
}

void CServiceFlow::OnStatusAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    switch (static_cast<std::int32_t>(answer.m_Param1)) {
        case RES_SUCCESS:
            ShowStatus(answer.m_Param2 == 0 ? kStatusIdle : answer.m_Param2 == 1 ? kStatusBusy : kStatusBusyHard);
            break;
        case RES_FAIL: m_Console.SetStatusText(kStatusFailed); break;
        default: break;
    }
}

void CServiceFlow::OnMiniStatusAnswer(const CReply& reply) {
    ShowStatus(reply.Result() == 0 ? kStatusIdle : kStatusBusy);
}

// ------------------------------------------------------------------ CANCEL

void CServiceFlow::OnCancel() {
    if (State().IsGeneral()) {
        // An image capture under way stops asking for pieces.
        if (Request(req::General(CMD_CANCEL))) m_Console.NotifyCancelSent();
    } else {
        Request(req::Mini(MINI_CANCEL));
    }
}

void CServiceFlow::OnCancelAnswer(const CReply& reply) { ShowAnswer(m_Console, reply.Result(), kCancelRows); }

// --------------------------------------------------- voltage and battery test

void CServiceFlow::OnCheckVoltage() { Request(req::General(CMD_CHECK_VOLTAGE)); }

void CServiceFlow::OnBatteryTest() {
    // The menu bar stays usable while the window disables the form: a second
    // start would run a second loop beside the first.
    if (m_BatteryDlg.IsOpen()) {
        m_BatteryDlg.Create(m_Console.Form());  // raises the open window
        return;
    }
    if (!Client().Claim(*this, kBatteryJob)) {
        m_Console.SetStatusText(NotSentText(ESendResult::Busy));
        return;
    }
    m_bBatteryTest = true;
    m_BatteryDlg.Create(m_Console.Form());
    BatteryStep(req::General(CMD_IDENTIFY));
}

void CServiceFlow::BatteryStep(SRequest request) {
    if (Request(std::move(request))) return;
    m_BatteryDlg.Close();
    StopBatteryTest();
}

void CServiceFlow::StopBatteryTest() {
    m_bBatteryTest = false;
    Client().Release(*this);
}

void CServiceFlow::EndBatteryTest() {
    m_Console.ShowPrompt(MSGFORM_WARNING, kBatteryCanceled);
    StopBatteryTest();
}

void CServiceFlow::OnIdentifyAnswer(const CReply&) {
    if (!m_bBatteryTest) return;
    m_Console.WaitDlg().Close();
    // Whatever the identification found, the voltage is checked next.
    if (!m_BatteryDlg.IsOpen()) {
        EndBatteryTest();
    } else {
        BatteryStep(req::General(CMD_CHECK_VOLTAGE));
    }
}

void CServiceFlow::OnVoltageAnswer(const CReply& reply) {
    const std::uint32_t low = reply.Packet().m_Param2;
    if (!m_bBatteryTest) {
        ShowAnswer(m_Console, static_cast<std::int32_t>(low), kVoltageRows);
        return;
    }
    if (!m_BatteryDlg.IsOpen()) {
        EndBatteryTest();
    } else if (low == 1) {
        ++m_BatteryDlg.m_nLowCount;
        m_BatteryDlg.ShowLowCount();
        BatteryStep(req::General(CMD_IDENTIFY));
    } else if (low == 0) {
        ++m_BatteryDlg.m_nHighCount;
        m_BatteryDlg.ShowHighCount();
        BatteryStep(req::General(CMD_IDENTIFY));
    } else {
        // Any other value stops the loop; the window stays open.
        StopBatteryTest();
    }
}

void CServiceFlow::OnLinkClosed() {
    // Nothing more will answer: the test ends with the link (the connection
    // flow says why the link closed).
    m_BatteryDlg.Close();
    m_bBatteryTest = false;
}
