#include "console/UpgradeFlow.h"

#include "ops/Answers.h"
#include "ops/UpgradeTexts.h"
#include "platform/qt/UiOperator.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"

namespace {

const char* const kHexFilter = "INTEL HEX files(*.hex)|*.hex|All files|*.*|";
const char* const kBinFilter = "Binary files(*.bin)|*.bin|All files|*.*|";
const char* const kQuitQuestion = "Do you really want to quit upgrade process?\nThis would cause a illegal operation.";
const char* const kUpgradeJob = "the firmware upgrade";

}  // namespace

CUpgradeFlow::CUpgradeFlow(IConsoleContext& console)
    : CConsoleFlow(console), m_Session(console.Client(), *this) {}

CUpgradeFlow::~CUpgradeFlow() { m_ProgDlg.Close(); }

bool CUpgradeFlow::OnCommand(int id, int code) {
    static const CommandEntry<CUpgradeFlow> table[] = {
        {ID_TOOLS_UPGRADE_FIRMWARE, BN_CLICKED, &CUpgradeFlow::OnUpgradeFirmware},
    };
    return DispatchCommand(this, table, id, code);
}

void CUpgradeFlow::Report(const SUpgradeError& error) {
    m_Console.ShowPrompt(MSGFORM_WARNING, QString::fromStdString(UpgradeErrorText(error)));
}

void CUpgradeFlow::OnUpgradeFirmware() {
    // The menu bar stays usable while the progress window disables the form:
    // a second upgrade must not take the answers of the one under way. Once
    // the operator has closed the window (a module that stopped answering),
    // a new upgrade replaces the old one.
    if (m_Session.IsRunning() && m_ProgDlg.IsOpen()) {
        m_Console.ShowPrompt(MSGFORM_WARNING, "A firmware upgrade is already running.");
        return;
    }
    if (Client().IsClaimed() && !Client().IsClaimedBy(*this)) {
        m_Console.SetStatusText(NotSentText(ESendResult::Busy));
        return;
    }
    const bool hex = State().IsZel12();
    std::string path;
    if (!m_Console.Operator().GetOpenFileName(hex ? kHexFilter : kBinFilter, hex ? "*.HEX" : "*.BIN", path)) return;
    Finish();
    // The whole file is checked before the first request: a broken file must
    // not leave the module half written.
    if (!m_Session.Prepare(hex ? EUpgradeFormat::Hex : EUpgradeFormat::Bin, path)) {
        Report(m_Session.Error());
        return;
    }
    if (!Client().Claim(*this, kUpgradeJob)) {
        m_Console.SetStatusText(NotSentText(ESendResult::Busy));
        return;
    }
    m_ProgDlg.Create(m_Console.Form());
    m_ProgDlg.SetRange(m_Session.Range());
    m_ProgDlg.SetStep(1);
    m_ProgDlg.StepIt();
    if (!m_Session.SendFirst()) {
        Finish();
        Report(m_Session.Error());
    }
}

void CUpgradeFlow::OnUpgradeReply(const CReply& reply) {
    // A reply with no upgrade running (one abandoned, the link closed) asks nothing.
    if (!m_Session.IsRunning() || m_bAsking) return;
    if (reply.IsAnswered() && !m_ProgDlg.IsOpen()) {
        // The operator closed the progress window: only now, with the module
        // waiting for the next piece, is the upgrade abandoned or resumed.
        m_bAsking = true;
        const int choice = m_Console.Operator().MessageBox(kQuitQuestion, "", MB_YESNO | MB_ICONEXCLAMATION);
        m_bAsking = false;
        // The link may have closed while the question waited.
        if (!m_Session.IsRunning()) return;
        if (choice == IDYES) {
            Finish();
            return;
        }
        m_ProgDlg.Create(m_Console.Form());
    }
    switch (m_Session.OnReply(reply)) {
        case CUpgradeSession::ANSWER_NEXT: m_ProgDlg.StepIt(); break;
        case CUpgradeSession::ANSWER_COMPLETE:
            Finish();
            m_Console.ShowPrompt(MSGFORM_SUCCESS, m_Session.Format() == EUpgradeFormat::Hex ? kHexUpgradeComplete
                                                                                             : kBinUpgradeComplete);
            break;
        case CUpgradeSession::ANSWER_INVALID:
            Finish();
            m_Console.ShowPrompt(MSGFORM_WARNING, kUpgradeInvalid);
            break;
        case CUpgradeSession::ANSWER_CANCELED:
            Finish();
            m_Console.ShowPrompt(MSGFORM_WARNING, kUpgradeCanceled);
            break;
        case CUpgradeSession::ANSWER_LOST:
            // The window goes first, so the box is not hidden behind it.
            Finish();
            // Ten sends of a piece and no answer (or every one refused).
            PostBox(kCommunicationError, MB_OK | MB_ICONSTOP);
            break;
        case CUpgradeSession::ANSWER_FAILED:
            Finish();
            Report(m_Session.Error());
            break;
        case CUpgradeSession::ANSWER_RESENT:
        case CUpgradeSession::ANSWER_NONE:
            if (!m_Session.IsRunning()) Finish();
            break;
    }
}

void CUpgradeFlow::OnLinkClosed() {
    const bool running = m_Session.IsRunning();
    if (running || m_ProgDlg.IsOpen()) Finish();
    // The operator learns the upgrade did not finish (a lost port's own
    // message, shown after this, takes the prompt's place).
    if (running) m_Console.ShowPrompt(MSGFORM_WARNING, "F/W upgrade is canceled.");
}

void CUpgradeFlow::Finish() {
    m_Session.End();
    m_ProgDlg.Close();
    Client().Release(*this);
}
