#include "cli/Job.h"

#include "ops/Answers.h"
#include "platform/core/PosixMessageLoop.h"

CJob::CJob(IJobHost& host, std::string command) : CMsgTarget(host.Client().Loop()), m_Host(host) {
    m_Result.port = host.Module().port;
    m_Result.command = std::move(command);
}

CJob::~CJob() {
    // Nothing of this job may answer into a later one.
    Client().Abandon(*this);
    Client().Release(*this);
}

void CJob::Begin() {
    m_nStartUs = CPosixMessageLoop::MonotonicMicros();
    Start();
}

LRESULT CJob::WindowProc(UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_TIMER) {
        if (!m_bFinished) OnTimer(static_cast<UINT>(wParam));
        return 0;
    }
    if (msg != WM_EXCHANGE_ENDED) return 0;
    const CReply& reply = *reinterpret_cast<const CReply*>(wParam);
    if (reply.Id() == m_nWatched) Unwatch();
    if (m_bFinished) return 0;
    if (reply.IsAnswered()) {
        OnAnswer(reply);
    } else {
        OnExchangeEnded(reply);
    }
    return 0;
}

bool CJob::Send(SRequest request) {
    std::uint64_t id = 0;
    const SCommandInfo* info = FindCommand(request.form, request.command);
    const ESendResult sent = Client().Send(*this, std::move(request), &id);
    if (sent != ESendResult::Sent) {
        Finish(EOutcome::Link, sent == ESendResult::TooLarge ? "The request is too large for the module."
                                                             : "The request could not be sent: the link is closed.");
        return false;
    }
    if (info && !info->IsGuarded()) {
        Unwatch();
        m_nWatched = id;
        const int seconds = Options().answerTimeoutMs / 1000;
        m_nWatchdog = Loop().CallLater(this, static_cast<unsigned>(Options().answerTimeoutMs), [this, seconds] {
            m_nWatchdog = 0;
            m_nWatched = 0;
            Client().Abandon(*this);
            Finish(EOutcome::Link, "No answer from the module within " + std::to_string(seconds) + " s.");
        });
    }
    return true;
}

void CJob::Unwatch() {
    if (m_nWatchdog) Loop().CancelCall(m_nWatchdog);
    m_nWatchdog = 0;
    m_nWatched = 0;
}

void CJob::OnExchangeEnded(const CReply& reply) {
    switch (reply.End()) {
        case EExchangeEnd::TimedOut:
            Finish(EOutcome::Link, "No answer from the module after " + std::to_string(reply.Sends()) + " sends.");
            break;
        case EExchangeEnd::ChecksumRefused: Finish(EOutcome::Link, "Checksum error occurred!!!"); break;
        case EExchangeEnd::LinkClosed: Finish(EOutcome::Link, "The link to the module was lost."); break;
        case EExchangeEnd::Answered:
        case EExchangeEnd::Superseded: break;
    }
}

void CJob::OnChecksumError() {
    // The answer of the request under watch may be the one rejected.
    if (m_nWatched) Finish(EOutcome::Link, "Checksum error occurred.");
}

void CJob::OnPortLost() {
    if (!m_bFinished) Finish(EOutcome::Link, "Serial port '" + Module().port + "' was lost.");
}

void CJob::NoteCode(std::int32_t code) {
    m_Result.hasCode = true;
    m_Result.code = code;
}

void CJob::Finish(EOutcome outcome, const std::string& text) {
    if (m_bFinished) return;
    m_bFinished = true;
    Unwatch();
    Client().Abandon(*this);
    Client().Release(*this);
    m_Result.outcome = outcome;
    m_Result.text = text;
    m_Result.elapsedMs = static_cast<double>(CPosixMessageLoop::MonotonicMicros() - m_nStartUs) / 1000.0;
    m_Host.JobFinished();
}

void CJob::FinishWithAnswer(std::int32_t code, const SAnswerRow* rows, std::size_t count) {
    NoteCode(code);
    const SAnswerRow* row = FindAnswer(code, rows, count);
    if (!row) {
        Finish(code == RES_SUCCESS ? EOutcome::Ok : EOutcome::Failed, "The module answered " + ResultText(code) + ".");
        return;
    }
    const bool ok = row->form == MSGFORM_SUCCESS || (row->form == PROMPT_NONE && code == RES_SUCCESS);
    Finish(ok ? EOutcome::Ok : EOutcome::Failed, AnswerSentence(row));
}
