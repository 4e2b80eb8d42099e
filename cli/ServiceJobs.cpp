// The service commands: info (what the connection learned), status, cancel
// and voltage (ServiceFlow), user-data (the user data window's flow),
// options (the system information window's flow) and ports.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "cli/Jobs.h"
#include "ops/Answers.h"
#include "ops/Connection.h"
#include "platform/core/FileAccess.h"

namespace {

class CInfoJob : public CJob {
public:
    CInfoJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override {
        const SModuleState& m = Module();
        char firmware[16];
        std::snprintf(firmware, sizeof firmware, "%x.%02x", (m.firmware >> 8) & 0xFF, m.firmware & 0xFF);
        Values().Text("board", BoardName(m.board));
        Values().Text("protocol", m.minimized ? "Minimized" : "General");
        Values().Number("baud", m.baud);
        std::string text = BoardName(m.board);
        if (!m.minimized) {
            Values().Text("firmware", firmware);
            Values().Number("firmware_level", m.firmwareLevel);
            text += std::string(", firmware ") + firmware;
        }
        if (m.fingerprints >= 0) {
            Values().Number("fingerprints", m.fingerprints);
            text += ", " + std::to_string(m.fingerprints) + (m.fingerprints == 1 ? " fingerprint" : " fingerprints");
        }
        text += ", " + std::to_string(m.baud) + " bit/s, " + (m.minimized ? "Minimized" : "General") + " protocol.";
        Finish(EOutcome::Ok, text);
    }
    void OnAnswer(const CReply&) override {}
};

class CStatusJob : public CJob {
public:
    CStatusJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override { Send(Module().minimized ? req::Mini(MINI_STATUS) : req::General(CMD_STATUS)); }
    void OnAnswer(const CReply& reply) override {
        const std::int32_t result = reply.Result();
        NoteCode(result);
        if (reply.IsMini()) return Busy(result == 0 ? 0 : 1);
        if (result == RES_SUCCESS) return Busy(reply.Packet().m_Param2);
        if (result == RES_FAIL) return Finish(EOutcome::Failed, kStatusFailed);
        Finish(EOutcome::Failed, "The module answered " + ResultText(result) + ".");
    }
    void Busy(std::uint32_t state) {
        Values().Text("status", state == 0 ? "idle" : "busy");
        Finish(EOutcome::Ok, state == 0 ? kStatusIdle : state == 1 ? kStatusBusy : kStatusBusyHard);
    }
};

class CCancelJob : public CJob {
public:
    CCancelJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override { Send(Module().minimized ? req::Mini(MINI_CANCEL) : req::General(CMD_CANCEL)); }
    void OnAnswer(const CReply& reply) override {
        const std::int32_t result = reply.Result();
        NoteCode(result);
        // A module with nothing to cancel has done what was asked.
        if (const SAnswerRow* row = FindAnswer(result, kCancelRows)) {
            return Finish(result == RES_IDLE ? EOutcome::Ok : EOutcome::Failed, AnswerSentence(row));
        }
        FinishWithAnswer(result, kCancelRows);
    }
};

class CVoltageJob : public CJob {
public:
    CVoltageJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override { Send(req::General(CMD_CHECK_VOLTAGE)); }
    void OnAnswer(const CReply& reply) override {
        // The table is by m_Param2: 1 low, 0 not low.
        const std::uint32_t low = reply.Packet().m_Param2;
        NoteCode(reply.Result());
        const SAnswerRow* row = FindAnswer(static_cast<std::int32_t>(low), kVoltageRows);
        if (!row) return Finish(EOutcome::Failed, "The module answered voltage state " + std::to_string(low) + ".");
        Values().Bool("low", low == 1);
        Finish(row->form == MSGFORM_SUCCESS ? EOutcome::Ok : EOutcome::Failed, AnswerSentence(row));
    }
    void OnExchangeEnded(const CReply& reply) override {
        // Ten checks and no answer.
        if (reply.End() == EExchangeEnd::TimedOut) return Finish(EOutcome::Link, kCommunicationError);
        CJob::OnExchangeEnded(reply);
    }
};

// Letters a-z in upper case, every other byte as it is: the user data window
// writes what it shows.
std::string AsciiUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

class CUserDataJob : public CJob {
public:
    CUserDataJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {}

private:
    void Start() override {
        const std::uint32_t address = static_cast<std::uint32_t>(m_Command.address);
        switch (m_Command.kind) {
            case ECliCommand::UserDataRead:
                Send(req::General(CMD_READ_USER_DATA, address, static_cast<std::uint32_t>(m_Command.size)));
                break;
            case ECliCommand::UserDataWrite: {
                const std::string text = AsciiUpper(m_Command.text);
                // A blank at the end of the text is not written.
                const std::size_t size = text.back() == ' ' ? text.size() - 1 : text.size();
                if (size == 0) return Finish(EOutcome::Usage, "There is nothing to write.");
                Values().Number("size", static_cast<long long>(size));
                Send(req::WriteUserData(address, static_cast<std::uint32_t>(size), text));
                break;
            }
            default: Send(req::General(CMD_ERASE_USER_DATA)); break;
        }
    }
    void OnAnswer(const CReply& reply) override {
        const std::int32_t result = reply.Result();
        switch (reply.Command()) {
            case CMD_READ_USER_DATA: return Read(reply);
            case CMD_WRITE_USER_DATA: return FinishWithAnswer(result, kUserDataWriteRows);
            default:
                NoteCode(result);
                if (result == RES_SUCCESS) return Finish(EOutcome::Ok, kEraseUserDataSucceeded);
                Finish(EOutcome::Failed, kEraseUserDataFailed);
        }
    }
    void Read(const CReply& reply) {
        const CPacket& answer = reply.Packet();
        const std::int32_t result = reply.Result();
        if (result != RES_SUCCESS) return FinishWithAnswer(result, kUserDataReadRows);
        NoteCode(result);
        // m_Param2 says how many bytes came; only bytes that did come are read.
        const std::size_t count = std::min<std::size_t>({answer.m_Param2, answer.m_DataSize, PACKET_DATA_SIZE});
        std::string text, hex;
        for (std::size_t i = 0; i < count; ++i) {
            if (answer.m_Data[i]) text += static_cast<char>(answer.m_Data[i]);
            char digits[3];
            std::snprintf(digits, sizeof digits, "%02x", answer.m_Data[i]);
            hex += digits;
        }
        Values().Number("size", static_cast<long long>(count));
        Values().Text("text", text);
        Values().Text("hex", hex);
        if (m_Command.file.empty()) {
            return Finish(EOutcome::Ok, std::to_string(count) + " bytes read: \"" + text + "\".");
        }
        const SFileResult written = ReplaceFile(m_Command.file, answer.m_Data, count);
        if (!written.Ok()) {
            return Finish(EOutcome::File, "Cannot write '" + m_Command.file + "': " + written.Why() + ".");
        }
        Values().Text("file", m_Command.file);
        Finish(EOutcome::Ok, std::to_string(count) + " bytes saved as " + m_Command.file + ".");
    }
    SCommand m_Command;
};

// options get: the read sequence of the system information window (image
// option, security levels, latent option, log option, capture period), each
// request sent by the previous answer. options set: for each group of values
// the command line names, its set request (a group named in part is read
// first, so the rest keep their values), each sent by the previous answer.
class COptionsJob : public CJob {
public:
    COptionsJob(IJobHost& host, const SCommand& c) : CJob(host, c.words), m_Command(c) {
        for (int i = 0; i < OPT_COUNT; ++i) m_Values[i] = -1;
        for (const auto& s : c.settings) m_Wanted[s.first] = s.second;
    }

private:
    // The groups: the options one request sets, its get and set commands.
    struct SGroup {
        std::uint32_t get, set;
        int first, last;  // EOptionName range
    };
    static const SGroup& Group(int g) {
        static const SGroup groups[] = {
            {CMD_GET_OPP_OPTION, CMD_SET_OPP_OPTION, OPT_GAIN, OPT_CONTRAST},
            {CMD_GET_SECURITY_LEVEL, CMD_SET_SECURITY_LEVEL, OPT_VERIFY_LEVEL, OPT_IDENTIFY_LEVEL},
            {CMD_GET_LATENT_OPTION, CMD_SET_LATENT_OPTION, OPT_LATENT, OPT_LATENT},
            {CMD_GET_LOG_OPTION, CMD_SET_LOG_OPTION, OPT_LOG, OPT_LOG},
            {CMD_GET_CAPTURE_PERIOD, CMD_SET_CAPTURE_PERIOD, OPT_CAPTURE_PERIOD, OPT_CAPTURE_PERIOD},
        };
        return groups[g];
    }
    static constexpr int GROUP_COUNT = 5;
    struct STable {
        const SAnswerRow* rows;
        std::size_t count;
    };
    bool Setting() const { return m_Command.kind == ECliCommand::OptionsSet; }
    bool Touched(int g) const {
        for (int o = Group(g).first; o <= Group(g).last; ++o) {
            if (m_Wanted.count(o)) return true;
        }
        return false;
    }
    bool Whole(int g) const {
        for (int o = Group(g).first; o <= Group(g).last; ++o) {
            if (!m_Wanted.count(o)) return false;
        }
        return true;
    }

    void Start() override { Step(); }

    // The next request: the next group to read (get) or to write (set).
    void Step() {
        while (m_nGroup < GROUP_COUNT) {
            const int g = m_nGroup;
            if (!Setting()) return (void)Send(req::General(Group(g).get));
            if (!Touched(g)) {
                ++m_nGroup;
                continue;
            }
            if (!Whole(g) && !m_bRead) return (void)Send(req::General(Group(g).get));
            return SendSet(g);
        }
        Done();
    }

    std::uint32_t Wanted(int option) const {
        const auto it = m_Wanted.find(option);
        return static_cast<std::uint32_t>(it != m_Wanted.end() ? it->second : m_Values[option]);
    }

    void SendSet(int g) {
        switch (g) {
            case 0: Send(req::SetOppOption(Wanted(OPT_GAIN), Wanted(OPT_BRIGHTNESS), Wanted(OPT_CONTRAST))); break;
            case 1: Send(req::SetSecurityLevel(Wanted(OPT_VERIFY_LEVEL), Wanted(OPT_IDENTIFY_LEVEL))); break;
            default: Send(req::General(Group(g).set, 0, Wanted(Group(g).first))); break;
        }
    }

    void OnAnswer(const CReply& reply) override {
        const CPacket& answer = reply.Packet();
        const std::int32_t result = reply.Result();
        const int g = m_nGroup;
        if (reply.Command() == Group(g).get) {
            static const STable gets[] = {{kGetOppRows, std::size(kGetOppRows)},
                                          {kGetSecurityRows, std::size(kGetSecurityRows)},
                                          {kGetLatentRows, std::size(kGetLatentRows)},
                                          {kGetLogRows, std::size(kGetLogRows)},
                                          {kGetCaptureRows, std::size(kGetCaptureRows)}};
            if (result != RES_SUCCESS) return FinishWithAnswer(result, gets[g].rows, gets[g].count);
            const std::uint32_t v = answer.m_Param2;
            switch (g) {
                case 0:
                    m_Values[OPT_GAIN] = static_cast<int>((v >> 16) & 0xFF);
                    m_Values[OPT_BRIGHTNESS] = static_cast<int>((v >> 8) & 0xFF);
                    m_Values[OPT_CONTRAST] = static_cast<int>(v & 0xFF);
                    break;
                case 1:
                    m_Values[OPT_VERIFY_LEVEL] = static_cast<int>(v >> 16);
                    m_Values[OPT_IDENTIFY_LEVEL] = static_cast<int>(v & 0xFFFF);
                    break;
                default: m_Values[Group(g).first] = static_cast<int>(v); break;
            }
            if (Setting()) {
                m_bRead = true;
            } else {
                ++m_nGroup;
            }
            return Step();
        }
        if (reply.Command() == Group(g).set) {
            static const STable sets[] = {{kSetOppRows, std::size(kSetOppRows)},
                                          {kSetSecurityRows, std::size(kSetSecurityRows)},
                                          {kSetLatentRows, std::size(kSetLatentRows)},
                                          {kSetLogRows, std::size(kSetLogRows)},
                                          {kSetCaptureRows, std::size(kSetCaptureRows)}};
            if (result != RES_SUCCESS) return FinishWithAnswer(result, sets[g].rows, sets[g].count);
            const SAnswerRow* row = FindAnswer(result, sets[g].rows, sets[g].count);
            m_Said += std::string(m_Said.empty() ? "" : " ") + AnswerSentence(row);
            for (int o = Group(g).first; o <= Group(g).last; ++o) m_Values[o] = static_cast<int>(Wanted(o));
            ++m_nGroup;
            m_bRead = false;
            Step();
        }
    }

    void Done() {
        NoteCode(RES_SUCCESS);
        std::string text;
        for (int o = 0; o < OPT_COUNT; ++o) {
            if (m_Values[o] < 0) continue;
            const std::string name = OptionRule(o).name;
            Values().Number(name, m_Values[o]);
            text += (text.empty() ? "" : " ") + name + "=" + std::to_string(m_Values[o]);
        }
        Finish(EOutcome::Ok, Setting() ? m_Said : text);
    }

    SCommand m_Command;
    std::map<int, int> m_Wanted;
    int m_Values[OPT_COUNT];
    int m_nGroup = 0;
    bool m_bRead = false;  // the group under way has been read
    std::string m_Said;
};

class CPortsJob : public CJob {
public:
    CPortsJob(IJobHost& host, const SCommand& c) : CJob(host, c.words) {}

private:
    void Start() override {
        const std::string text = DescribePortsPresent(Values());
        Finish(EOutcome::Ok, text);
    }
    void OnAnswer(const CReply&) override {}
};

}  // namespace

std::unique_ptr<CJob> MakeServiceJob(IJobHost& host, const SCommand& c) {
    switch (c.kind) {
        case ECliCommand::Status: return std::make_unique<CStatusJob>(host, c);
        case ECliCommand::Cancel: return std::make_unique<CCancelJob>(host, c);
        case ECliCommand::Voltage: return std::make_unique<CVoltageJob>(host, c);
        case ECliCommand::UserDataRead:
        case ECliCommand::UserDataWrite:
        case ECliCommand::UserDataErase: return std::make_unique<CUserDataJob>(host, c);
        case ECliCommand::OptionsGet:
        case ECliCommand::OptionsSet: return std::make_unique<COptionsJob>(host, c);
        case ECliCommand::Ports: return std::make_unique<CPortsJob>(host, c);
        default: return std::make_unique<CInfoJob>(host, c);
    }
}
