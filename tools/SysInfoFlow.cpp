#include "tools/SysInfoFlow.h"

#include <iterator>

#include "console/AnswerTable.h"
#include "console/ConsoleMessages.h"
#include "platform/qt/UiOperator.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"

namespace {

std::int32_t ResultOf(const CPacket& answer) { return static_cast<std::int32_t>(answer.m_Param1); }
std::uint32_t U(std::int32_t value) { return static_cast<std::uint32_t>(value); }

}  // namespace

CSysInfoFlow::CSysInfoFlow(IConsoleContext& console) : CConsoleFlow(console) {}

// The window goes with m_Dlg, at once.
CSysInfoFlow::~CSysInfoFlow() = default;

LRESULT CSysInfoFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CSysInfoFlow> table[] = {
        {WM_SYSINFO_BUTTON, &CSysInfoFlow::OnButton},
        {WM_SYSINFO_READ, &CSysInfoFlow::OnRead},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

void CSysInfoFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CSysInfoFlow> table[] = {
        GENERAL_REPLY(CMD_SET_OPP_OPTION, &CSysInfoFlow::OnSetOppOption),
        GENERAL_REPLY(CMD_GET_OPP_OPTION, &CSysInfoFlow::OnGetOppOption),
        GENERAL_REPLY(CMD_SET_SECURITY_LEVEL, &CSysInfoFlow::OnSetSecurityLevel),
        GENERAL_REPLY(CMD_GET_SECURITY_LEVEL, &CSysInfoFlow::OnGetSecurityLevel),
        GENERAL_REPLY(CMD_SET_LATENT_OPTION, &CSysInfoFlow::OnSetLatentOption),
        GENERAL_REPLY(CMD_GET_LATENT_OPTION, &CSysInfoFlow::OnGetLatentOption),
        GENERAL_REPLY(CMD_SET_DB_INIT_OPTION, &CSysInfoFlow::OnSetDbInitOption),
        GENERAL_REPLY(CMD_GET_DB_INIT_OPTION, &CSysInfoFlow::OnGetDbInitOption),
        GENERAL_REPLY(CMD_SET_LOG_OPTION, &CSysInfoFlow::OnSetLogOption),
        GENERAL_REPLY(CMD_GET_LOG_OPTION, &CSysInfoFlow::OnGetLogOption),
        GENERAL_REPLY(CMD_SET_CAPTURE_PERIOD, &CSysInfoFlow::OnSetCapturePeriod),
        GENERAL_REPLY(CMD_GET_CAPTURE_PERIOD, &CSysInfoFlow::OnGetCapturePeriod),
    };
    DispatchReply(this, table, reply);
}

void CSysInfoFlow::OnExchangeEnded(const CReply& reply) {
    // A step of a default run that was not answered ends the run.
    m_Dlg.m_bDefaultRun = false;
    CConsoleFlow::OnExchangeEnded(reply);
}

bool CSysInfoFlow::OnCommand(int id, int code) {
    static const CommandEntry<CSysInfoFlow> table[] = {
        {ID_VIEW_SYSTEM_INFO, BN_CLICKED, &CSysInfoFlow::OnViewSystemInfo},
    };
    return DispatchCommand(this, table, id, code);
}

bool CSysInfoFlow::IsMenuChecked(int command) const { return command == ID_VIEW_SYSTEM_INFO && m_Dlg.IsOpen(); }

void CSysInfoFlow::OnBoardChanged() { m_Dlg.SetModuleType(State().m_nBoardType); }

void CSysInfoFlow::OnViewSystemInfo() {
    m_Dlg.m_nModuleType = State().m_nBoardType;
    if (m_Dlg.IsOpen()) {
        m_Dlg.DestroyWindow();
    } else {
        m_Dlg.Create(m_Console.Form(), this);
    }
}

// ------------------------------------------------------------- the buttons

LRESULT CSysInfoFlow::OnButton(WPARAM id, LPARAM) {
    // A press still queued when the window closed does nothing.
    if (!m_Dlg.IsOpen()) return 0;
    IOperator& op = m_Console.Operator();
    // Another button ends a default run still waiting for an answer: its
    // answers must not go on with the run.
    m_Dlg.m_bDefaultRun = false;
    switch (static_cast<int>(id)) {
    case IDC_SI_GET_INFO: PostMessage(WM_SYSINFO_READ); break;
    case IDC_SI_SET_IMAGE:
        if (m_Dlg.ReadForm(op)) Request(req::SetOppOption(U(m_Dlg.m_nGain), U(m_Dlg.m_nBrightness), U(m_Dlg.m_nContrast)));
        break;
    case IDC_SI_SET_SECURITY:
        if (m_Dlg.ReadForm(op)) Request(req::SetSecurityLevel(U(m_Dlg.m_nVerifyLevel), U(m_Dlg.m_nIdentifyLevel)));
        break;
    case IDC_SI_SET_CAPTURE_PERIOD:
        if (m_Dlg.ReadForm(op)) Request(req::General(CMD_SET_CAPTURE_PERIOD, 0, U(m_Dlg.m_nCapturePeriod)));
        break;
    // A check box is never invalid: it is sent as shown, whatever another
    // field says (the operator is told of that field all the same).
    case IDC_SI_SET_LATENT:
        m_Dlg.ReadForm(op);
        m_Dlg.m_nLatentOption = m_Dlg.IsLatentChecked() ? 1 : 0;
        Request(req::General(CMD_SET_LATENT_OPTION, 0, U(m_Dlg.m_nLatentOption)));
        break;
    case IDC_SI_SET_LOG:
        m_Dlg.ReadForm(op);
        m_Dlg.m_nLogOption = m_Dlg.IsLogChecked() ? 1 : 0;
        Request(req::General(CMD_SET_LOG_OPTION, 0, U(m_Dlg.m_nLogOption)));
        break;
    case IDC_SI_SET_DEFAULT: {
        // The defaults of the board connected now, not of the one the window
        // was opened for.
        m_Dlg.SetModuleType(State().m_nBoardType);
        m_Dlg.ChooseDefaults();
        const SSysInfoDefaults& d = m_Dlg.m_Defaults;
        m_Dlg.m_bDefaultRun = Request(req::SetOppOption(U(d.m_nGain), U(d.m_nBrightness), U(d.m_nContrast)));
        break;
    }
    default: break;
    }
    return 0;
}

// ---------------------------------------------------------- the set answers

bool CSysInfoFlow::SetAnswer(const CPacket& answer, const SAnswerRow* rows, std::size_t count) {
    const std::int32_t result = ResultOf(answer);
    if (m_Dlg.m_bDefaultRun) {
        if (result == RES_SUCCESS) return true;
        // A step that failed ends the run: a later set must not finish it and
        // report defaults that were never written.
        m_Dlg.m_bDefaultRun = false;
    }
    ShowAnswer(m_Console, result, rows, count);
    return false;
}

void CSysInfoFlow::OnSetOppOption(const CReply& reply) {
    if (SetAnswer(reply.Packet(), kSetOppRows, std::size(kSetOppRows))) {
        const SSysInfoDefaults& d = m_Dlg.m_Defaults;
        DefaultStep(req::SetSecurityLevel(U(d.m_nVerifyLevel), U(d.m_nIdentifyLevel)));
    }
}

void CSysInfoFlow::OnSetSecurityLevel(const CReply& reply) {
    if (SetAnswer(reply.Packet(), kSetSecurityRows, std::size(kSetSecurityRows))) {
        DefaultStep(req::General(CMD_SET_LATENT_OPTION, 0, U(m_Dlg.m_Defaults.m_nLatentOption)));
    }
}

void CSysInfoFlow::OnSetLatentOption(const CReply& reply) {
    if (SetAnswer(reply.Packet(), kSetLatentRows, std::size(kSetLatentRows))) {
        DefaultStep(req::General(CMD_SET_LOG_OPTION, 0, U(m_Dlg.m_Defaults.m_nLogOption)));
    }
}

void CSysInfoFlow::OnSetLogOption(const CReply& reply) {
    if (SetAnswer(reply.Packet(), kSetLogRows, std::size(kSetLogRows))) {
        DefaultStep(req::General(CMD_SET_CAPTURE_PERIOD, 0, U(m_Dlg.m_Defaults.m_nCapturePeriod)));
    }
}

void CSysInfoFlow::OnSetCapturePeriod(const CReply& reply) {
    // The last write of a default run: read everything back.
    if (SetAnswer(reply.Packet(), kSetCaptureRows, std::size(kSetCaptureRows))) PostMessage(WM_SYSINFO_READ);
}

void CSysInfoFlow::OnSetDbInitOption(const CReply& reply) {
    switch (ResultOf(reply.Packet())) {
    case RES_SUCCESS: PostBox("To set DB init option succeeded.", MB_OK | MB_ICONINFORMATION); break;
    case RES_NO_MASTER_MODE: PostBox("To set DB init option failed. (Not master mode)", MB_OK | MB_ICONSTOP); break;
    default: break;
    }
}

// ------------------------------------------------------- the read sequence

bool CSysInfoFlow::GetAnswer(const CPacket& answer, const SAnswerRow* rows, std::size_t count) {
    if (ResultOf(answer) == RES_SUCCESS) return true;
    // The read-back failed: a default run cannot be reported as done.
    m_Dlg.m_bDefaultRun = false;
    ShowAnswer(m_Console, ResultOf(answer), rows, count);
    return false;
}

void CSysInfoFlow::DefaultStep(SRequest request) {
    if (!Request(std::move(request))) m_Dlg.m_bDefaultRun = false;
}

void CSysInfoFlow::ReadStep(std::uint32_t command) {
    if (!Request(req::General(command))) m_Dlg.m_bDefaultRun = false;
}

LRESULT CSysInfoFlow::OnRead(WPARAM, LPARAM) {
    ReadStep(CMD_GET_OPP_OPTION);
    return 0;
}

void CSysInfoFlow::OnGetOppOption(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (!GetAnswer(answer, kGetOppRows, std::size(kGetOppRows))) return;
    m_Record.m_nGain = static_cast<std::int32_t>((answer.m_Param2 >> 16) & 0xFF);
    m_Record.m_nBrightness = static_cast<std::int32_t>((answer.m_Param2 >> 8) & 0xFF);
    m_Record.m_nContrast = static_cast<std::int32_t>(answer.m_Param2 & 0xFF);
    ReadStep(CMD_GET_SECURITY_LEVEL);
}

void CSysInfoFlow::OnGetSecurityLevel(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (!GetAnswer(answer, kGetSecurityRows, std::size(kGetSecurityRows))) return;
    m_Record.m_nVerifyLevel = static_cast<std::int32_t>(answer.m_Param2 >> 16);
    m_Record.m_nIdentifyLevel = static_cast<std::int32_t>(answer.m_Param2 & 0xFFFF);
    ReadStep(CMD_GET_LATENT_OPTION);
}

void CSysInfoFlow::OnGetLatentOption(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (!GetAnswer(answer, kGetLatentRows, std::size(kGetLatentRows))) return;
    m_Record.m_nLatentOption = static_cast<std::int32_t>(answer.m_Param2);
    ReadStep(CMD_GET_LOG_OPTION);
}

void CSysInfoFlow::OnGetDbInitOption(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (!GetAnswer(answer, kGetDbInitRows, std::size(kGetDbInitRows))) return;
    m_Record.m_nDbInitOption = static_cast<std::int32_t>(answer.m_Param2);
    ReadStep(CMD_GET_LOG_OPTION);
}

void CSysInfoFlow::OnGetLogOption(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (!GetAnswer(answer, kGetLogRows, std::size(kGetLogRows))) return;
    m_Record.m_nLogOption = static_cast<std::int32_t>(answer.m_Param2);
    ReadStep(CMD_GET_CAPTURE_PERIOD);
}

void CSysInfoFlow::OnGetCapturePeriod(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    if (!GetAnswer(answer, kGetCaptureRows, std::size(kGetCaptureRows))) return;
    m_Record.m_nCapturePeriod = static_cast<std::int32_t>(answer.m_Param2);
    if (m_Dlg.m_bDefaultRun) {
        m_Dlg.m_bDefaultRun = false;
        m_Console.ShowPrompt(MSGFORM_SUCCESS, "To set default option is succeeded.");
    }
    if (m_Dlg.IsOpen()) m_Dlg.WindowProc(WM_SYSINFO_FORWARD, reinterpret_cast<WPARAM>(&m_Record), 0);
}
