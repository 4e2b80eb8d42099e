#include "cli/ModuleRun.h"

#include "cli/ConnectJob.h"

namespace {

// Posted to the run when its job has finished: the job is destroyed and the
// next one started once the job's own handler has returned.
constexpr UINT WM_JOB_FINISHED = WM_USER + 200;

}  // namespace

CModuleRun::CModuleRun(IMessageLoop& loop, const SCliOptions& options, COutput& output, std::string port,
                       std::string device, int number)
    : CMsgTarget(loop), m_Options(options), m_Output(output), m_strDevice(std::move(device)), m_Client(loop) {
    m_Module.port = std::move(port);
    m_Module.number = number;
    m_Module.minimized = options.minimized;
    m_Client.SetLinkListener(this);
}

CModuleRun::~CModuleRun() {
    m_Job.reset();
    m_Client.Close();
}

void CModuleRun::Start() {
    m_Job = std::make_unique<CConnectJob>(*this, m_strDevice);
    m_Job->Begin();
}

void CModuleRun::JobFinished() { PostMessage(WM_JOB_FINISHED); }

LRESULT CModuleRun::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_JOB_FINISHED: OnJobFinished(); break;
        case WM_CHECKSUM_ERROR:
            if (m_Job && !m_Job->IsFinished()) m_Job->OnChecksumError();
            break;
        case WM_COMM_PORT_LOST:
            if (m_Job && !m_Job->IsFinished()) m_Job->OnPortLost();
            break;
        case WM_WRITE_STALLED:
            m_Output.Message(m_Module.port + ": writing stalled: " + std::to_string(wParam) + " of " +
                             std::to_string(lParam) + " bytes sent.");
            break;
        case WM_RECEIVE_DROPPED:
            m_Output.Message(m_Module.port + ": receive queue full: " + std::to_string(wParam) + " bytes dropped.");
            break;
        case WM_COMM_ALERT:
            if (wParam == COMM_ALERT_QUEUE_FULL) {
                m_Client.Channel().QueueFullAlertClosed();
            } else {
                m_Output.Message(m_Module.port + ": the port's watch thread could not be started.");
            }
            break;
        default: break;
    }
    return 0;
}

void CModuleRun::OnJobFinished() {
    if (!m_Job || !m_Job->IsFinished()) return;
    SResult result = m_Job->Result();
    m_Job.reset();
    const bool connecting = !m_bConnected;
    // The connection is said only when it fails; the reports list it always.
    if (!connecting || result.outcome != EOutcome::Ok) m_Output.Print(result);
    m_Results.push_back(std::move(result));
    if (m_Results.back().outcome != EOutcome::Ok) {
        SkipRest(connecting ? "No connection to the module." : "An earlier command failed.");
        return;
    }
    m_bConnected = true;
    NextJob();
}

void CModuleRun::NextJob() {
    if (m_nNext >= m_Options.commands.size()) {
        m_Client.Close();
        m_bDone = true;
        return;
    }
    m_Job = MakeJob(*this, m_Options.commands[m_nNext++]);
    m_Job->Begin();
}

void CModuleRun::SkipRest(const std::string& why) {
    for (; m_nNext < m_Options.commands.size(); ++m_nNext) {
        SResult skipped;
        skipped.port = m_Module.port;
        skipped.command = m_Options.commands[m_nNext].words;
        skipped.outcome = EOutcome::Skipped;
        skipped.text = why;
        m_Results.push_back(std::move(skipped));
    }
    m_Client.Close();
    m_bDone = true;
}

void CModuleRun::Interrupt() {
    if (m_bDone) return;
    if (m_Job && !m_Job->IsFinished()) {
        SResult result = m_Job->Result();
        m_Job.reset();
        result.outcome = EOutcome::Link;
        result.text = "Interrupted.";
        m_Output.Print(result);
        m_Results.push_back(std::move(result));
    }
    SkipRest("Interrupted.");
}
