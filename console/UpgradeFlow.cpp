#include "console/UpgradeFlow.h"

#include "platform/core/FileAccess.h"
#include "platform/qt/UiOperator.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"

namespace {

const char* const kHexFilter = "INTEL HEX files(*.hex)|*.hex|All files|*.*|";
const char* const kBinFilter = "Binary files(*.bin)|*.bin|All files|*.*|";
const char* const kQuitQuestion = "Do you really want to quit upgrade process?\nThis would cause a illegal operation.";

// An Intel HEX image is read whole before the upgrade starts; a module's
// firmware in HEX text takes a few megabytes at the most.
constexpr std::uint64_t FW_HEX_MAX_FILE_SIZE = 16u << 20;

// The chosen file must be a regular file (a named pipe or a device would
// hold the console up while it is read) of a size the upgrade can take,
// judged from its metadata. Empty when it is; otherwise why not.
QString FirmwareFileProblem(const std::string& path, bool hex) {
    const QString name = QString::fromStdString(path);
    CInputFile file;
    const SFileResult result = file.Open(path);
    if (!result.Ok()) {
        return QString("Cannot open the firmware file '%1': %2.").arg(name, QString::fromStdString(result.Why()));
    }
    if (hex && file.Size() > FW_HEX_MAX_FILE_SIZE) {
        return QString("The firmware file '%1' is too large: %2 bytes (an Intel HEX image has at most %3).")
            .arg(name, QString::number(file.Size()), QString::number(FW_HEX_MAX_FILE_SIZE));
    }
    // A BIN file's size is checked against the chunk count by the session.
    return QString();
}

}  // namespace

CUpgradeFlow::CUpgradeFlow(IConsoleContext& console) : CConsoleFlow(console), m_Session(console.Device()) {}

CUpgradeFlow::~CUpgradeFlow() { m_ProgDlg.Close(); }

LRESULT CUpgradeFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CUpgradeFlow> table[] = {
        {WM_RX_UPGRADE, &CUpgradeFlow::OnUpgradeAnswer},
        {WM_FW_TRANSFER_ENDED, &CUpgradeFlow::OnTransferEnded},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

bool CUpgradeFlow::OnCommand(int id, int code) {
    static const CommandEntry<CUpgradeFlow> table[] = {
        {ID_TOOLS_UPGRADE_FIRMWARE, BN_CLICKED, &CUpgradeFlow::OnUpgradeFirmware},
    };
    return DispatchCommand(this, table, id, code);
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
    const bool hex = State().IsZel12();
    std::string path;
    if (!m_Console.Operator().GetOpenFileName(hex ? kHexFilter : kBinFilter, hex ? "*.HEX" : "*.BIN", path)) return;
    Finish();
    const QString problem = FirmwareFileProblem(path, hex);
    if (!problem.isEmpty()) {
        m_Console.ShowPrompt(MSGFORM_WARNING, problem);
        return;
    }
    // The whole file is checked before the first request: a broken file must
    // not leave the module half written.
    if (!m_Session.Prepare(hex ? EUpgradeFormat::Hex : EUpgradeFormat::Bin, path)) {
        m_Console.ShowPrompt(MSGFORM_WARNING, QString::fromStdString(m_Session.Error()));
        return;
    }
    m_ProgDlg.Create(m_Console.Form());
    m_ProgDlg.SetRange(m_Session.Range());
    m_ProgDlg.SetStep(1);
    m_ProgDlg.StepIt();
    if (!m_Session.SendFirst()) {
        Finish();
        m_Console.ShowPrompt(MSGFORM_WARNING, QString::fromStdString(m_Session.Error()));
    }
}

LRESULT CUpgradeFlow::OnUpgradeAnswer(WPARAM wParam, LPARAM) {
    // An answer with no upgrade running (one abandoned, a late duplicate) asks nothing.
    if (!m_Session.IsRunning()) return 0;
    const CPacket& answer = *reinterpret_cast<const CPacket*>(wParam);
    // A duplicate answer delivered while the question below waits is not a
    // second piece taken: only one request is ever under way.
    if (m_bAsking) return 0;
    if (!m_ProgDlg.IsOpen()) {
        // The operator closed the progress window: only now, with the module
        // waiting for the next piece, is the upgrade abandoned or resumed.
        m_bAsking = true;
        const int choice =
            m_Console.Operator().MessageBox(kQuitQuestion, "", MB_YESNO | MB_ICONEXCLAMATION);
        m_bAsking = false;
        // The link may have closed while the question waited.
        if (!m_Session.IsRunning()) return 0;
        if (choice == IDYES) {
            Finish();
            return 0;
        }
        m_ProgDlg.Create(m_Console.Form());
    }
    switch (m_Session.OnAnswer(answer)) {
        case CUpgradeSession::ANSWER_NEXT: m_ProgDlg.StepIt(); break;
        case CUpgradeSession::ANSWER_COMPLETE:
            Finish();
            m_Console.ShowPrompt(MSGFORM_SUCCESS, m_Session.Format() == EUpgradeFormat::Hex
                                                      ? "Upgrading complete."
                                                      : "F/W upgrade is complete.");
            break;
        case CUpgradeSession::ANSWER_INVALID:
            Finish();
            m_Console.ShowPrompt(MSGFORM_WARNING, "Invalid parameter!!!");
            break;
        case CUpgradeSession::ANSWER_CANCELED:
            Finish();
            m_Console.ShowPrompt(MSGFORM_WARNING, "F/W upgrade is canceled.");
            break;
        case CUpgradeSession::ANSWER_FAILED:
            Finish();
            m_Console.ShowPrompt(MSGFORM_WARNING, QString::fromStdString(m_Session.Error()));
            break;
        case CUpgradeSession::ANSWER_RESENT:
        case CUpgradeSession::ANSWER_NONE: break;
    }
    return 0;
}

LRESULT CUpgradeFlow::OnTransferEnded(WPARAM, LPARAM) {
    // The packet manager gave up and shows its own box; the window must go
    // with the upgrade, or the form would stay disabled.
    if (m_Session.IsRunning()) Finish();
    return 0;
}

void CUpgradeFlow::OnLinkClosed() {
    if (m_Session.IsRunning()) Finish();
}

void CUpgradeFlow::Finish() {
    m_Session.End();
    m_ProgDlg.Close();
}
