#include "cli/ConnectJob.h"

#include <cstdio>

#include "ops/Answers.h"
#include "ops/Connection.h"

namespace {

constexpr UINT CONNECT_TIMER = 1;

std::string FirmwareText(std::uint32_t version) {
    char text[16];
    std::snprintf(text, sizeof text, "%x.%02x", (version >> 8) & 0xFF, version & 0xFF);
    return text;
}

}  // namespace

CConnectJob::CConnectJob(IJobHost& host, std::string device) : CJob(host, "connect"), m_strDevice(std::move(device)) {
    const int baud = Options().baud;
    if (baud != 0) {
        m_Rates.push_back(baud);
        return;
    }
    m_Rates.push_back(115200);
    for (int position = 1; position <= BAUD_SCAN_LAST; ++position) {
        if (ScanRate(position) != 115200) m_Rates.push_back(ScanRate(position));
    }
}

CConnectJob::~CConnectJob() { CancelPause(); }

void CConnectJob::Start() { TryRate(); }

void CConnectJob::Pause(std::function<void()> then) {
    CancelPause();
    m_nPause = Loop().CallLater(this, CONNECT_PAUSE_MS, [this, then] {
        m_nPause = 0;
        then();
    });
}

void CConnectJob::CancelPause() {
    if (m_nPause) Loop().CancelCall(m_nPause);
    m_nPause = 0;
}

void CConnectJob::TryRate() {
    const int rate = m_Rates[m_nRate];
    if (!Client().Open(m_strDevice, rate)) {
        std::string text = "Opening '" + Module().port + "' failed.";
        // The reason names the device too when the port was given by
        // another name (COMn, a by-id link).
        const CSerialChannel& channel = Client().Channel();
        const std::string& reason = Module().port == m_strDevice ? channel.LastReason() : channel.LastError();
        if (!reason.empty()) text += " " + reason;
        Finish(EOutcome::Link, text);
        return;
    }
    Host().Progress("trying " + std::to_string(rate) + " bit/s");
    Module().baud = rate;
    m_eStage = CONNECTING;
    if (!Send(Module().minimized ? req::Mini(MINI_CONNECT) : req::General(CMD_CONNECT))) return;
    SetTimer(CONNECT_TIMER, CONNECT_TIMEOUT_MS);
}

void CConnectJob::OnTimer(UINT id) {
    if (id != CONNECT_TIMER) return;
    KillTimer(CONNECT_TIMER);
    if (m_eStage == CONNECTING) {
        // No answer at this rate: close and try the next one.
        Client().Close();
        if (++m_nRate >= m_Rates.size()) {
            Finish(EOutcome::Link, std::string(kConnectionFailed) + " No answer at " +
                                       (m_Rates.size() == 1 ? std::to_string(m_Rates[0]) + " bit/s."
                                                            : std::string("any rate.")));
            return;
        }
        Pause([this] { TryRate(); });
    } else if (m_eStage == DEVICE_INFO) {
        // The module does not say what it is: a ZEL12, asked its plain version.
        Pause([this] { AskVersion(0); });
    }
}

void CConnectJob::OnAnswer(const CReply& reply) {
    switch (reply.Command()) {
        case CMD_CONNECT:  // MINI_CONNECT has the same number
            if (reply.Result() == RES_SUCCESS) {
                Connected(reply.IsMini() ? -1 : static_cast<int>(reply.Packet().m_Param2 & 0xFFFF));
            } else if (const SAnswerRow* row = FindAnswer(reply.Result(), kConnectRows)) {
                // The search goes on: the timer keeps running.
                Host().Progress(AnswerSentence(row));
            }
            break;
        case CMD_GET_DEVICE_INFO: OnDeviceInfo(reply); break;
        case CMD_GET_VERSION:
            Module().firmware = reply.Packet().m_Param1;
            Module().firmwareLevel = static_cast<std::int32_t>(reply.Packet().m_Param1);
            Done();
            break;
        case CMD_GET_VERSION_EX:
            if (reply.Result() == RES_SUCCESS) {
                Module().firmware = reply.Packet().m_Param2;
                Module().firmwareLevel = reply.Result() + FIRMWARE_LEVEL_EXTENDED;
                Done();
            } else {
                FinishWithAnswer(reply.Result(), kVersionExRows);
            }
            break;
        default: break;
    }
}

void CConnectJob::OnExchangeEnded(const CReply& reply) {
    // A connect request cut off by closing the port for the next rate is no failure.
    if (reply.End() == EExchangeEnd::LinkClosed && m_eStage == CONNECTING && reply.Command() == CMD_CONNECT) return;
    CJob::OnExchangeEnded(reply);
}

void CConnectJob::Connected(int fingerprints) {
    KillTimer(CONNECT_TIMER);
    Module().fingerprints = fingerprints;
    if (Module().minimized) {
        UseBoard(Options().board >= 0 ? Options().board : 0);
        Done();
        return;
    }
    m_eStage = DEVICE_INFO;
    if (!Send(req::General(CMD_GET_DEVICE_INFO))) return;
    SetTimer(CONNECT_TIMER, DEVICE_INFO_TIMEOUT_MS);
}

void CConnectJob::OnDeviceInfo(const CReply& reply) {
    KillTimer(CONNECT_TIMER);
    // A late answer wins over the fallback its time-out started.
    CancelPause();
    const CPacket& answer = reply.Packet();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_SUCCESS && answer.m_Param2 < static_cast<std::uint32_t>(BOARD_TYPE_COUNT)) {
        AskVersion(static_cast<int>(answer.m_Param2));
    } else if (result != RES_SUCCESS && FindAnswer(result, kDeviceInfoRows)) {
        FinishWithAnswer(result, kDeviceInfoRows);
    } else if (answer.m_ErrCode == ERR_UNKNOWN_COMMAND) {
        // A module that does not know the command: an old ZEL12.
        AskVersion(0);
    } else {
        NoteCode(result);
        Finish(EOutcome::Failed, "The device information answer says " + ResultText(result) + ", type " +
                                     std::to_string(answer.m_Param2) + ".");
    }
}

void CConnectJob::UseBoard(int reportedBoard) {
    const int chosen = Options().board;
    if (chosen >= 0 && chosen != reportedBoard && !Module().minimized) {
        // The command line wins; the difference is worth a word.
        Host().Progress(std::string("the module reports a ") + BoardName(reportedBoard) + "; --board " +
                        BoardName(chosen) + " is used");
    }
    Module().board = chosen >= 0 ? chosen : reportedBoard;
}

void CConnectJob::AskVersion(int reportedBoard) {
    UseBoard(reportedBoard);
    m_eStage = VERSION;
    // The version request the module knows: the plain one on a ZEL12.
    Send(req::General(reportedBoard == 0 ? CMD_GET_VERSION : CMD_GET_VERSION_EX));
}

void CConnectJob::Done() {
    SModuleState& m = Module();
    Values().Text("board", BoardName(m.board));
    Values().Text("protocol", m.minimized ? "Minimized" : "General");
    Values().Number("baud", m.baud);
    if (!m.minimized) Values().Text("firmware", FirmwareText(m.firmware));
    if (m.fingerprints >= 0) Values().Number("fingerprints", m.fingerprints);
    Finish(EOutcome::Ok, "Connection succeeded.");
}
