#pragma once
// One module of a run: its own module client on its own port, the
// connection, then the commands of the command line one job after the
// other, stopping at the first that does not succeed (the rest are recorded
// as skipped). Several module runs share one message loop and run at once,
// each handler in turn on the loop's thread.
//
// The client's link listener is the run: a rejected frame and a lost port
// go to the job under way; a stalled write, dropped bytes and the watch
// thread's alerts are said on stderr.
#include <memory>
#include <string>
#include <vector>

#include "cli/Job.h"
#include "cli/Output.h"

class CModuleRun : public CMsgTarget, public IJobHost {
public:
    // port: as given (it names the module in every output); device: the
    // path to open.
    // number: 1, 2, ... when several modules run, else 0.
    CModuleRun(IMessageLoop& loop, const SCliOptions& options, COutput& output, std::string port,
               std::string device, int number);
    ~CModuleRun() override;

    void Start();
    bool IsDone() const { return m_bDone; }
    // The connection's result, then one per command (skipped ones included).
    const std::vector<SResult>& Results() const { return m_Results; }
    // Ctrl-C: the job under way ends, the rest are skipped.
    void Interrupt();

    // IJobHost
    CModuleClient& Client() override { return m_Client; }
    SModuleState& Module() override { return m_Module; }
    const SCliOptions& Options() const override { return m_Options; }
    void Progress(const std::string& what, bool frequent) override { m_Output.Progress(m_Module.port, what, frequent); }
    void JobFinished() override;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void NextJob();
    void OnJobFinished();
    void SkipRest(const std::string& why);

    const SCliOptions& m_Options;
    COutput& m_Output;
    std::string m_strDevice;
    CModuleClient m_Client;
    SModuleState m_Module;
    std::unique_ptr<CJob> m_Job;
    std::size_t m_nNext = 0;  // the next command to run
    bool m_bConnected = false;
    bool m_bDone = false;
    std::vector<SResult> m_Results;
};

// The job of one command of the command line.
std::unique_ptr<CJob> MakeJob(IJobHost& host, const SCommand& command);
