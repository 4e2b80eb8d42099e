// The jobs of the fingerprint commands, each the console's flow for the same
// button without its dialogs: identify and verify (VerifyFlow), enroll and
// delete (EnrollFlow), delete-all and list (the database manager's flow),
// master enter and leave (MasterFlow), minutiae get and match (MinutiaeFlow).
#include <string>
#include <vector>

#include "cli/Jobs.h"
#include "ops/AnswerData.h"
#include "ops/Answers.h"
#include "ops/Connection.h"
#include "ops/FpList.h"
#include "platform/core/FileAccess.h"

namespace {

class CIdentifyJob : public CJob {
public:
    CIdentifyJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override {
        Host().Progress(kPutFinger);
        Send(Module().minimized ? req::Mini(MINI_IDENTIFY) : req::General(CMD_IDENTIFY));
    }
    void OnAnswer(const CReply& reply) override {
        const std::int32_t result = reply.Result();
        if (reply.IsMini()) {
            // The Minimized answer names no ID.
            FinishWithAnswer(result, kMiniIdentifyRows);
            return;
        }
        const SAnswerRow* row = FindAnswer(result, kIdentifyRows);
        if (row && result == RES_SUCCESS) {
            const std::string id = IdentifiedIdText(reply.Packet());
            NoteCode(result);
            Values().Text("id", id);
            Finish(EOutcome::Ok, std::string(row->prompt) + "(ID: " + id + ")");
            return;
        }
        FinishWithAnswer(result, kIdentifyRows);
    }
};

class CVerifyJob : public CJob {
public:
    CVerifyJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {}

private:
    void Start() override {
        // Only the other boards can check an ID's password instead of a finger.
        if (m_Command.hasPassword && Module().IsZel12()) {
            Finish(EOutcome::Usage, "A ZEL12 verifies a finger only: --password is for the other boards.");
            return;
        }
        Values().Text("id", m_Command.id);
        Values().Text("by", m_Command.hasPassword ? "password" : "finger");
        if (!m_Command.hasPassword) Host().Progress(kPutFinger);
        Send(req::Verify(m_Command.hasPassword ? 1 : 0, m_Command.id, m_Command.password));
    }
    void OnAnswer(const CReply& reply) override { FinishWithAnswer(reply.Result(), kVerifyRows); }
    SCommand m_Command;
};

// Enrols a user (enrolment type 0) in the board's form: CMD_ENROLL then
// CMD_ENROLL2 on a ZEL12, CMD_ENROLL_EX step 0 and step 1 on the others, the
// Minimized frame twice. Between the scans the console asks the operator to
// lift the finger; here the second scan is asked for at once.
class CEnrollJob : public CJob {
public:
    CEnrollJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {}

private:
    void Start() override {
        Host().Progress(kPutFinger);
        if (Module().minimized) {
            Send(req::Mini(MINI_ENROLL, 0, 0));
            return;
        }
        Values().Text("id", m_Command.id);
        if (Module().IsZel12()) {
            // The ZEL12's enrolment takes no password.
            if (m_Command.hasPassword) {
                Finish(EOutcome::Usage, "A ZEL12 enrols without a password: --password is for the other boards.");
                return;
            }
            Send(req::Enroll(0, m_Command.id));
        } else {
            Send(req::EnrollEx(0, 0, m_Command.id, m_Command.password));
        }
    }
    void OnAnswer(const CReply& reply) override {
        const std::int32_t result = reply.Result();
        if (reply.IsMini()) {
            if (result == RES_SUCCESS && reply.Request().param2 == 0) {
                Host().Progress(kLiftFinger);
                Send(req::Mini(MINI_ENROLL, 0, 1));
                return;
            }
            FinishWithAnswer(result, kMiniEnrollRows, kMiniEnrollRowCount);
            return;
        }
        const CPacket& answer = reply.Packet();
        switch (reply.Command()) {
            case CMD_ENROLL:
                if (result == RES_SUCCESS) {
                    Host().Progress(kLiftFinger);
                    Send(req::General(CMD_ENROLL2, 0));
                    return;
                }
                FinishWithAnswer(result, kEnrollRows, kEnrollRowCount);
                break;
            case CMD_ENROLL2: Enrolled(result, answer.m_Param2, kEnroll2Rows, kEnroll2RowCount); break;
            case CMD_ENROLL_EX:
                if (result == RES_SUCCESS && answer.m_Param2 == 0) {
                    // First scan taken.
                    Host().Progress(kLiftFinger);
                    Send(req::EnrollEx(0, 1));
                    return;
                }
                Enrolled(result, answer.m_Param2, kEnrollExRows, kEnrollExRowCount);
                break;
            default: break;
        }
    }
    void Enrolled(std::int32_t result, std::uint32_t count, const SAnswerRow* rows, std::size_t n) {
        if (result == RES_SUCCESS) {
            Module().fingerprints = static_cast<int>(count);
            Values().Number("fingerprints", count);
        }
        FinishWithAnswer(result, rows, n);
    }
    SCommand m_Command;
};

class CDeleteJob : public CJob {
public:
    CDeleteJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {}

private:
    void Start() override {
        const bool all = m_Command.kind == ECliCommand::DeleteAll;
        if (Module().minimized) {
            Send(req::Mini(all ? MINI_DELETE_ALL : MINI_DELETE));
            return;
        }
        if (all) {
            static const char* const which[] = {"all", "users", "masters"};
            Values().Text("records", which[m_Command.deleteWhich]);
            Send(req::General(CMD_DELETE_ALL, m_Command.deleteWhich));
        } else {
            Values().Text("id", m_Command.id);
            Send(req::Delete(m_Command.id));
        }
    }
    void OnAnswer(const CReply& reply) override {
        const std::int32_t result = reply.Result();
        if (reply.IsMini()) {
            FinishWithAnswer(result, kMiniDeleteRows, kMiniDeleteRowCount);
            return;
        }
        if (result == RES_SUCCESS) {
            Module().fingerprints = static_cast<int>(reply.Packet().m_Param2);
            Values().Number("fingerprints", reply.Packet().m_Param2);
        }
        if (reply.Command() == CMD_DELETE_ALL) {
            FinishWithAnswer(result, kDeleteAllRows);
        } else {
            FinishWithAnswer(result, kDeleteRows, kDeleteRowCount);
        }
    }
    SCommand m_Command;
};

// The fingerprint list, then the master list (the older commands below
// firmware level 0x103), sorted and marked as the database manager shows them.
class CListJob : public CJob {
public:
    CListJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override {
        Send(req::General(Module().firmwareLevel < FIRMWARE_LEVEL_LIST_EX ? CMD_GET_FP_LIST : CMD_GET_FP_LIST_EX));
    }
    void OnAnswer(const CReply& reply) override {
        const CPacket& answer = reply.Packet();
        const std::int32_t result = reply.Result();
        switch (reply.Command()) {
            case CMD_GET_FP_LIST:
                if (result != RES_SUCCESS) return FinishWithAnswer(result, kFpListRows);
                m_List.SetFpList(answer.m_Data, OlderListCount(answer));
                Send(req::General(CMD_GET_MASTER_LIST));
                break;
            case CMD_GET_MASTER_LIST:
                if (result != RES_SUCCESS) return FinishWithAnswer(result, kFpListRows);
                m_List.SetMasterList(answer.m_Data, OlderListCount(answer));
                Listed(result);
                break;
            case CMD_GET_FP_LIST_EX:
                if (result != RES_SUCCESS) return FinishWithAnswer(result, kFpListExRows);
                m_List.SetFpList(answer.m_Data + LIST_EX_HEADER_SIZE, NewerListCount(answer));
                Send(req::General(CMD_GET_MASTER_LIST_EX));
                break;
            case CMD_GET_MASTER_LIST_EX:
                if (result != RES_SUCCESS) return FinishWithAnswer(result, kMasterListExRows);
                m_List.SetMasterList(answer.m_Data + LIST_EX_HEADER_SIZE, NewerListCount(answer));
                Listed(result);
                break;
            default: break;
        }
    }
    void Listed(std::int32_t result) {
        m_List.MarkMasters();
        std::string text, json = "[";
        for (int i = 0; i < m_List.FpCount(); ++i) {
            const std::string id = m_List.FpId(i);
            text += (i ? ", " : ": ") + id + (m_List.IsMaster(i) ? "*" : "");
            json += std::string(i ? "," : "") + "{\"id\":" + JsonString(id) + ",\"master\":" +
                    (m_List.IsMaster(i) ? "true" : "false") + "}";
        }
        Values().Number("fingerprints", m_List.FpCount());
        Values().Number("masters", m_List.MasterCount());
        Values().Raw("records", json + "]");
        NoteCode(result);
        const int n = m_List.FpCount();
        Finish(EOutcome::Ok, n == 0 ? std::string("No fingerprint is enrolled.")
                                    : std::to_string(n) + (n == 1 ? " fingerprint" : " fingerprints") + text +
                                          (m_List.MasterCount() ? " (* master)" : ""));
    }
    CFpList m_List;
};

// The two-step entry: the request without credentials, then, unless the
// module grants master mode at once, the same command with the credentials
// of the command line (the console asks for them in its dialogs).
class CMasterEnterJob : public CJob {
public:
    CMasterEnterJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {}

private:
    void Start() override {
        if (Module().minimized) {
            Send(req::Mini(MINI_ENTER_MASTER));
            return;
        }
        m_bNewForm = !Module().IsZel12() || Module().firmwareLevel >= ENTER_MASTER_EX_LEVEL;
        SendEnter(AUTH_NONE);
    }
    void SendEnter(std::uint32_t auth) {
        static const char* const names[] = {"master-finger", "master-password", "device-password", "none"};
        Values().Text("authentication", names[auth]);
        const std::string& id = m_Command.id;
        const std::string& password = m_Command.password;
        Send(m_bNewForm ? req::EnterMasterEx(auth, id, password) : req::EnterMaster(auth, id, password));
    }
    void OnAnswer(const CReply& reply) override {
        const std::int32_t result = reply.Result();
        if (reply.IsMini()) {
            FinishWithAnswer(result, kMiniEnterMasterRows);
            return;
        }
        if (reply.Packet().m_Param2 == AUTH_NONE && result != RES_SUCCESS && !m_bAsked) {
            // The module wants credentials: the second step of the entry.
            m_bAsked = true;
            NoteCode(result);
            if (m_Command.hasId && m_Command.hasPassword) {
                // A master's password exists only in the new form, and not on a ZEL12.
                if (Module().IsZel12() || !m_bNewForm) {
                    Finish(EOutcome::Usage, "A master's password (--id with --password) is not taken by this module.");
                    return;
                }
                SendEnter(AUTH_MASTER_PASSWORD);
            } else if (m_Command.hasId) {
                Host().Progress(kPutFinger);
                SendEnter(AUTH_MASTER_FP);
            } else if (m_Command.hasPassword) {
                SendEnter(AUTH_DEVICE_PASSWORD);
            } else {
                Finish(EOutcome::Failed,
                       "The module asks for credentials: give --id ID (the master's finger) or --password P (the "
                       "device password).");
            }
            return;
        }
        FinishWithAnswer(result, kEnterMasterRows);
    }
    SCommand m_Command;
    bool m_bNewForm = true;
    bool m_bAsked = false;
};

class CMasterLeaveJob : public CJob {
public:
    CMasterLeaveJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override {
        Send(Module().minimized ? req::Mini(MINI_LEAVE_MASTER) : req::General(CMD_LEAVE_MASTER));
    }
    void OnAnswer(const CReply& reply) override {
        std::int32_t result = reply.Result();
        // Every Minimized refusal means the module was not in master mode.
        if (reply.IsMini() && result != RES_SUCCESS) result = RES_NO_MASTER_MODE;
        FinishWithAnswer(result, kLeaveMasterRows);
    }
};

class CMinutiaeGetJob : public CJob {
public:
    CMinutiaeGetJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_strFile(c.file) {}

private:
    void Start() override {
        Host().Progress(kPutFinger);
        Send(req::General(CMD_GET_MINUTIAE));
    }
    void OnAnswer(const CReply& reply) override {
        const CPacket& answer = reply.Packet();
        const std::int32_t result = reply.Result();
        if (result != RES_SUCCESS) return FinishWithAnswer(result, kGetMinutiaeRows, kGetMinutiaeRowCount);
        NoteCode(result);
        if (answer.m_DataSize < static_cast<std::uint32_t>(MINUTIAE_SIZE)) {
            // Padding the record would save a file that looks real and is not.
            Finish(EOutcome::Failed, "The minutiae is incomplete: " + std::to_string(answer.m_DataSize) + " of " +
                                         std::to_string(MINUTIAE_SIZE) + " bytes received; nothing was saved.");
            return;
        }
        const SFileResult written = ReplaceFile(m_strFile, answer.m_Data, MINUTIAE_SIZE);
        if (!written.Ok()) {
            Finish(EOutcome::File, "The minutiae could not be saved as " + m_strFile + ": " + written.Why());
            return;
        }
        Values().Text("file", m_strFile);
        Finish(EOutcome::Ok, "The minutiae was saved as " + m_strFile + ".");
    }
    std::string m_strFile;
};

class CMinutiaeMatchJob : public CJob {
public:
    CMinutiaeMatchJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_strFile(c.file) {}

private:
    void Start() override {
        CInputFile file;
        SFileResult result = file.Open(m_strFile);
        if (!result.Ok()) {
            Finish(EOutcome::File, "The minutiae file could not be opened: " + m_strFile + ": " + result.Why());
            return;
        }
        std::vector<std::uint8_t> record;
        // Only the first record of a longer file is sent.
        result = file.Read(record, MINUTIAE_SIZE);
        if (!result.Ok()) {
            Finish(EOutcome::File, "The minutiae file could not be read: " + m_strFile + ": " + result.Why());
            return;
        }
        if (record.size() < static_cast<std::size_t>(MINUTIAE_SIZE)) {
            Finish(EOutcome::File, "The minutiae file is too short: " + m_strFile + " holds " +
                                       std::to_string(record.size()) + " of " + std::to_string(MINUTIAE_SIZE) +
                                       " bytes; nothing was sent.");
            return;
        }
        Values().Text("file", m_strFile);
        Host().Progress(kPutFinger);
        Send(req::InstantMatch(record.data()));
    }
    void OnAnswer(const CReply& reply) override {
        FinishWithAnswer(reply.Result(), kInstantMatchRows, kInstantMatchRowCount);
    }
    std::string m_strFile;
};

}  // namespace

std::unique_ptr<CJob> MakeFingerJob(IJobHost& host, const SCommand& c) {
    switch (c.kind) {
        case ECliCommand::Identify: return std::make_unique<CIdentifyJob>(host, c);
        case ECliCommand::Verify: return std::make_unique<CVerifyJob>(host, c);
        case ECliCommand::Enroll: return std::make_unique<CEnrollJob>(host, c);
        case ECliCommand::Delete:
        case ECliCommand::DeleteAll: return std::make_unique<CDeleteJob>(host, c);
        case ECliCommand::List: return std::make_unique<CListJob>(host, c);
        case ECliCommand::MasterEnter: return std::make_unique<CMasterEnterJob>(host, c);
        case ECliCommand::MasterLeave: return std::make_unique<CMasterLeaveJob>(host, c);
        case ECliCommand::MinutiaeGet: return std::make_unique<CMinutiaeGetJob>(host, c);
        default: return std::make_unique<CMinutiaeMatchJob>(host, c);
    }
}
