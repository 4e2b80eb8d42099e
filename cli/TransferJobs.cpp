// The long transfers: log (the log window's read, LogDataFlow) and upgrade
// (Tools > Upgrade Firmware, UpgradeFlow, on the shared upgrade session).
#include <string>

#include "cli/Jobs.h"
#include "ops/AnswerData.h"
#include "ops/Answers.h"
#include "ops/LogData.h"
#include "ops/UpgradeTexts.h"
#include "platform/core/FileAccess.h"
#include "protocol/UpgradeSession.h"

namespace {

// The event log, block after block, into the log text file: CMD_GET_LOG from
// block 0 to the last block (0xFFFF) on a ZEL12, CMD_GET_LOG_EX with the
// search type on the others (only "all" and "unread-to-last" come in several
// blocks). A block is stored whole or not at all; one that does not fit its
// data or the store ends the read. The file has one line per record, each
// ending in CR LF, as the log window saves it.
class CLogJob : public CJob {
public:
    CLogJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {}

private:
    void Start() override {
        m_Store.Clear();
        if (Module().IsZel12()) {
            if (m_Command.hasSearch) {
                Finish(EOutcome::Usage, "A ZEL12 reads its whole log: --search is for the other boards.");
                return;
            }
            Send(req::General(CMD_GET_LOG, 0));
        } else {
            Send(req::General(CMD_GET_LOG_EX, static_cast<std::uint32_t>(m_Command.searchType), m_Command.searchValue));
        }
    }

    void OnAnswer(const CReply& reply) override {
        const CPacket& answer = reply.Packet();
        if (reply.Command() == CMD_GET_LOG_EX) {
            const auto result = static_cast<std::int32_t>(answer.m_Param1);
            NoteCode(result);
            if (result != RES_SUCCESS) return FinishWithAnswer(result, kLogExFailRows);
            return OnBlock(DecodeLogExBlock(answer));
        }
        OnBlock(DecodeLogBlock(answer));
    }

    void OnExchangeEnded(const CReply& reply) override {
        // Ten sends of a block request and no answer.
        if (reply.End() == EExchangeEnd::TimedOut) return Finish(EOutcome::Link, kCommunicationError);
        CJob::OnExchangeEnded(reply);
    }

    void OnBlock(const SLogBlock& b) {
        if (b.kind == SLogBlock::NO_DATA) return Save(kNoLogData);
        if (b.kind == SLogBlock::BAD_DATA) return Finish(EOutcome::Failed, kPacketDataError);
        if (!m_Store.Append(b.records, b.count)) {
            Finish(EOutcome::Failed, "The log data store is full: at most " + std::to_string(LOG_MAX_RECORDS) +
                                         " records can be read.");
            return;
        }
        Host().Progress("log: block " + std::to_string(b.block) + ", " + std::to_string(m_Store.Count()) + " records", true);
        if (b.block == b.lastBlock) return Save("");
        if (Module().IsZel12()) return (void)Send(req::General(CMD_GET_LOG, b.block + 1));
        const int type = m_Command.searchType;
        if (type == LOG_SEARCH_ALL || type == LOG_SEARCH_UNREAD_TO_LAST) {
            Send(req::General(CMD_GET_LOG_EX, static_cast<std::uint32_t>(type), b.block + 1));
            return;
        }
        // The other search types answer in one block: what came is the log.
        Save("");
    }

    void Save(const std::string& note) {
        std::string text, line;
        for (bool more = m_Store.GetFirst(line); more; more = m_Store.GetNext(line)) text += line + "\r\n";
        const SFileResult written = ReplaceFile(m_Command.file, text);
        if (!written.Ok()) {
            Finish(EOutcome::File, "The log file '" + m_Command.file + "' could not be written: " + written.Why() + ".");
            return;
        }
        const std::size_t n = m_Store.Count();
        Values().Text("file", m_Command.file);
        Values().Number("records", static_cast<long long>(n));
        Finish(EOutcome::Ok, !note.empty() && n == 0
                                 ? note
                                 : std::to_string(n) + (n == 1 ? " log record" : " log records") + " saved as " +
                                       m_Command.file + ".");
    }

    SCommand m_Command;
    CLogData m_Store;
};

bool EndsWithNoCase(const std::string& name, const char* end) {
    const std::size_t n = std::char_traits<char>::length(end);
    if (name.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != end[i]) return false;
    }
    return true;
}

// The firmware upgrade: Intel HEX records on a ZEL12, BIN chunks on the
// others. The whole file is checked before the first request; the session
// decides what goes next from each reply; the upgrade owns the link.
class CUpgradeJob : public CJob {
public:
    CUpgradeJob(IJobHost& host, const SCommand& c)
        : CJob(host, c.words), m_strFile(c.file), m_Session(host.Client(), *this) {}

private:
    void Start() override {
        const bool hex = Module().IsZel12();
        // A file named for the other format is a mistake, not something to send.
        if (EndsWithNoCase(m_strFile, hex ? ".bin" : ".hex")) {
            Finish(EOutcome::Usage, std::string("This module takes ") + (hex ? "an Intel HEX" : "a BIN") +
                                        " firmware file, not '" + m_strFile + "'.");
            return;
        }
        Values().Text("file", m_strFile);
        Values().Text("format", hex ? "HEX" : "BIN");
        if (!m_Session.Prepare(hex ? EUpgradeFormat::Hex : EUpgradeFormat::Bin, m_strFile)) return Failed();
        Values().Number("pieces", m_Session.Range());
        if (!Client().Claim(*this, "the firmware upgrade")) {
            Finish(EOutcome::Link, "The module is busy with " + Client().ClaimJob() + ".");
            return;
        }
        if (!m_Session.SendFirst()) Failed();
    }

    void OnAnswer(const CReply& reply) override { OnReply(reply); }
    void OnExchangeEnded(const CReply& reply) override { OnReply(reply); }

    void OnReply(const CReply& reply) {
        if (!m_Session.IsRunning()) return;
        switch (m_Session.OnReply(reply)) {
            case CUpgradeSession::ANSWER_NEXT:
                Host().Progress("upgrade: " + std::string(m_Session.Format() == EUpgradeFormat::Hex ? "record " : "chunk ") +
                                std::to_string(m_Session.Piece()) + " of " + std::to_string(m_Session.Range()), true);
                break;
            case CUpgradeSession::ANSWER_COMPLETE:
                End(EOutcome::Ok, m_Session.Format() == EUpgradeFormat::Hex ? kHexUpgradeComplete : kBinUpgradeComplete);
                break;
            case CUpgradeSession::ANSWER_INVALID: End(EOutcome::Failed, kUpgradeInvalid, RES_INVALID_PARAM); break;
            case CUpgradeSession::ANSWER_CANCELED: End(EOutcome::Failed, kUpgradeCanceled, RES_CANCELED); break;
            // Ten sends of a piece and no answer (or every one refused).
            case CUpgradeSession::ANSWER_LOST: End(EOutcome::Link, kCommunicationError); break;
            case CUpgradeSession::ANSWER_FAILED: Failed(); break;
            case CUpgradeSession::ANSWER_RESENT:
            case CUpgradeSession::ANSWER_NONE:
                if (!m_Session.IsRunning()) End(EOutcome::Link, "The link to the module was lost.");
                break;
        }
    }

    void End(EOutcome outcome, const std::string& text, std::int32_t result = 0) {
        m_Session.End();
        if (result) NoteCode(result);
        Finish(outcome, text);
    }

    // The session stopped for the reason its error gives.
    void Failed() {
        const SUpgradeError& e = m_Session.Error();
        EOutcome outcome = EOutcome::File;
        switch (e.code) {
            case SUpgradeError::PIECE_REFUSED:
            case SUpgradeError::REFUSED_TOO_OFTEN:
                outcome = EOutcome::Failed;
                if (e.result) NoteCode(e.result);
                break;
            case SUpgradeError::NOT_SENT: outcome = EOutcome::Link; break;
            default: break;
        }
        End(outcome, UpgradeErrorText(e));
    }

    std::string m_strFile;
    CUpgradeSession m_Session;
};

}  // namespace

std::unique_ptr<CJob> MakeTransferJob(IJobHost& host, const SCommand& c) {
    if (c.kind == ECliCommand::Log) return std::make_unique<CLogJob>(host, c);
    return std::make_unique<CUpgradeJob>(host, c);
}
