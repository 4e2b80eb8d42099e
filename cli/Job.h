#pragma once
// One command of the command line on one module: a message target that
// drives the module client exactly as the console's flow for the same
// button does (the same requests in the same order, answered from the same
// tables), without a window: where the console asks the operator, the job
// takes the answer from the command line.
//
// A job starts with Begin, sends its requests with Send (the replies come
// back to OnAnswer, or to OnExchangeEnded when the exchange ended without an
// answer) and ends once with one of the Finish calls; the module run then
// starts the next command. A request the protocol does not guard by
// re-sending is watched for --answer-timeout: a module that never answers
// ends the job as a link error instead of holding the script for ever.
#include <cstdint>
#include <string>

#include "cli/CliOptions.h"
#include "cli/Result.h"
#include "ops/AnswerTable.h"
#include "platform/core/MessageLoop.h"
#include "protocol/ModuleClient.h"

// What the connection learned of the module, and what the commands change.
struct SModuleState {
    std::string port;
    int number = 0;  // 1, 2, ... when several modules run (their files are told apart by it), else 0
    int baud = 0;
    int board = 0;  // BOARD_* as ops/Connection.h names them
    bool minimized = false;
    std::uint32_t firmware = 0;      // 0xMMmm
    std::int32_t firmwareLevel = 0;  // chooses the request forms
    int fingerprints = -1;           // -1: not known (the Minimized answer names none)
    bool IsZel12() const { return board == 0; }
};

// The module run that owns the jobs.
class IJobHost {
public:
    virtual ~IJobHost() = default;
    virtual CModuleClient& Client() = 0;
    virtual SModuleState& Module() = 0;
    virtual const SCliOptions& Options() const = 0;
    // What the job is doing (a finger wanted, a piece received), shown
    // while stderr is a terminal. frequent: one of many like it (pieces,
    // records, blocks), shown at most ten times a second.
    virtual void Progress(const std::string& what, bool frequent = false) = 0;
    // The job has finished (called once, from inside the job's handler).
    virtual void JobFinished() = 0;
};

class CJob : public CMsgTarget {
public:
    CJob(IJobHost& host, std::string command);
    ~CJob() override;

    void Begin();
    bool IsFinished() const { return m_bFinished; }
    const SResult& Result() const { return m_Result; }
    SResult& Result() { return m_Result; }

    // The line's own events, passed on by the module run.
    // A frame was rejected for its checksum: an answer may be lost. By
    // default a job waiting on an unguarded request ends (nothing would
    // re-send it); a guarded one is re-sent by the client.
    virtual void OnChecksumError();
    // The port hung up: the client has ended every exchange.
    void OnPortLost();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) final;

protected:
    virtual void Start() = 0;
    virtual void OnAnswer(const CReply& reply) = 0;
    // Default: ten sends without an answer, a refused checksum and a closed
    // link end the job as a link error; a superseded exchange is ignored.
    virtual void OnExchangeEnded(const CReply& reply);
    virtual void OnTimer(UINT id) {}

    // Sends request; false (and the job finished as a link error) when it
    // was not sent.
    bool Send(SRequest request);
    // Ends the job.
    void Finish(EOutcome outcome, const std::string& text);
    // Ends the job with the module's result code: its row's sentence, Ok
    // when the row is a success (the success form, or a row without a prompt
    // for RES_SUCCESS), Failed otherwise; an unlisted code says its name.
    void FinishWithAnswer(std::int32_t code, const SAnswerRow* rows, std::size_t count);
    template <std::size_t N>
    void FinishWithAnswer(std::int32_t code, const SAnswerRow (&rows)[N]) {
        FinishWithAnswer(code, rows, N);
    }
    // Records the module's result code in the result without ending the job.
    void NoteCode(std::int32_t code);

    IJobHost& Host() { return m_Host; }
    CModuleClient& Client() { return m_Host.Client(); }
    SModuleState& Module() { return m_Host.Module(); }
    const SCliOptions& Options() const { return m_Host.Options(); }
    CValues& Values() { return m_Result.values; }

private:
    void Unwatch();

    IJobHost& m_Host;
    SResult m_Result;
    std::int64_t m_nStartUs = 0;
    bool m_bFinished = false;
    // The unguarded exchange under watch, and its watchdog.
    std::uint64_t m_nWatched = 0;
    std::uint64_t m_nWatchdog = 0;
};
