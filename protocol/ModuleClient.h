#pragma once
// The one owner of the link to the module and of every exchange on it.
//
// A flow hands the client a request (SRequest) and names itself as the
// requester. The client frames and writes it, keeps a copy when the catalogue
// guards the command, re-sends that copy when its time-out expires (ten sends
// in all), matches each answer to the request it answers (by command and,
// where the answer carries one, by piece, record or chunk number), drops
// answers that answer nothing open (stale answers: counted and traced), and
// ends every exchange exactly once. The requester then receives
// WM_EXCHANGE_ENDED with a CReply: the decoded answer, or how the exchange
// ended without one (timed out after the last send, refused by the module's
// checksum check, link closed, superseded). Replies are posted through the
// message loop, so a virtual clock drives the whole exchange in tests.
//
// Closing the link, a lost port included, ends every open exchange at once
// (LinkClosed); nothing is re-sent afterwards and nothing is shown: what the
// operator reads is the flows' business. A flow with a long job (an upgrade,
// a battery test, a capture) may claim the link; while it holds it, requests
// of other flows are refused (ESendResult::Busy), control commands (CANCEL,
// STATUS) excepted.
//
// What happens on the line as a whole (a frame rejected for its checksum,
// the port lost, a write that stalled, received bytes dropped, the watch
// thread's alerts) is posted to the link listener; every frame written or
// read is handed to the trace sink at once.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/CommMessages.h"
#include "link/SerialChannel.h"
#include "platform/core/MessageLoop.h"
#include "protocol/CommandCatalog.h"
#include "protocol/FrameParser.h"
#include "protocol/Packet.h"
#include "protocol/Requests.h"
#include "protocol/Trace.h"

// ---------------------------------------------------------------- messages

// To the requester: an exchange ended. wParam: const CReply*, valid while
// the handler runs.
constexpr UINT WM_EXCHANGE_ENDED = 1136;

// To the link listener. The channel's WM_COMM_PORT_LOST (1120) and
// WM_COMM_ALERT (1121) are passed on with their numbers.
constexpr UINT WM_CHECKSUM_ERROR = 1030;   // a frame was rejected; wParam: 0 header or Minimized, 1 data
constexpr UINT WM_WRITE_STALLED = 1123;    // wParam: bytes written, lParam: frame size
constexpr UINT WM_RECEIVE_DROPPED = 1134;  // wParam: bytes dropped since the port was opened

// ---------------------------------------------------------------- replies

enum class EExchangeEnd : std::uint8_t {
    Answered,         // the module answered
    TimedOut,         // no answer to the last of the request's sends
    ChecksumRefused,  // the module refused the request's checksum (a firmware piece: on its last send)
    LinkClosed,       // the link closed before an answer came
    Superseded,       // abandoned by its requester, or replaced by a newer request of the same command
};

// "ANSWERED", "TIMED_OUT", ...: for traces and machine-read output.
const char* ExchangeEndName(EExchangeEnd end);

class CReply {
public:
    EExchangeEnd End() const { return m_End; }
    bool IsAnswered() const { return m_End == EExchangeEnd::Answered; }
    // The request as it was sent.
    const SRequest& Request() const { return m_Request; }
    std::uint32_t Command() const { return m_Request.command; }
    bool IsMini() const { return m_Request.IsMini(); }
    // How many times the request went out.
    int Sends() const { return m_nSends; }
    std::uint64_t Id() const { return m_nId; }

    // The answer: a General packet, or the six bytes of a Minimized frame.
    // Only when IsAnswered().
    const CPacket& Packet() const { return *m_pPacket; }
    const std::uint8_t* Frame() const { return m_Frame; }
    // The result code: m_Param1 of a General answer (as signed), byte 3 of a
    // Minimized one.
    // 0 when the exchange ended without an answer.
    std::int32_t Result() const {
        if (IsMini()) return IsAnswered() ? m_Frame[3] : 0;
        return m_pPacket ? static_cast<std::int32_t>(m_pPacket->m_Param1) : 0;
    }

private:
    friend class CModuleClient;
    EExchangeEnd m_End = EExchangeEnd::Answered;
    SRequest m_Request;
    int m_nSends = 0;
    std::uint64_t m_nId = 0;
    std::unique_ptr<CPacket> m_pPacket;
    std::uint8_t m_Frame[MINI_FRAME_SIZE] = {};
};

// Why a request was not sent.
enum class ESendResult : std::uint8_t {
    Sent,
    NotOpen,   // no link: nothing was written
    Busy,      // another requester owns the link
    TooLarge,  // no frame the module takes can carry it
    Unknown,   // not a command of the catalogue
};

// ---------------------------------------------------------------- the client

class CModuleClient : public CMsgTarget, private IFrameSink {
public:
    explicit CModuleClient(IMessageLoop& loop);
    ~CModuleClient() override;

    // Where the link's own events go (posted), and the trace (called at once).
    void SetLinkListener(CMsgTarget* listener) { m_pListener = listener; }
    void SetTraceSink(ITraceSink* sink) { m_pTrace = sink; }

    // ---- the link ----
    // Opens the port ("COM1".."COM4" through the port map, or a path).
    bool Open(const std::string& portName, int baudRate);
    // Ends every open exchange (LinkClosed), lets go of a claim and closes
    // the port. Does nothing more when closed.
    void Close();
    bool IsOpen() const { return m_Channel.IsOpen(); }
    CSerialChannel& Channel() { return m_Channel; }
    const CSerialChannel& Channel() const { return m_Channel; }

    // ---- exchanges ----
    // Sends request for requester; the reply comes back to it as
    // WM_EXCHANGE_ENDED. An open exchange of the same command is superseded.
    ESendResult Send(CMsgTarget& requester, SRequest request, std::uint64_t* id = nullptr);
    // Ends the requester's open exchanges (of one command, or all with 0):
    // Superseded. A late answer to them is stale.
    void Abandon(const CMsgTarget& requester, std::uint32_t command = 0);
    // Open exchanges of requester (all requesters with nullptr).
    std::size_t OpenExchanges(const CMsgTarget* requester = nullptr) const;
    // An exchange of this command is open.
    bool IsWaiting(EFrameForm form, std::uint32_t command) const;
    // Answers that answered no open exchange, since the client was made.
    std::uint64_t StaleAnswers() const { return m_nStaleAnswers; }

    // ---- owning the link for a long job ----
    // False when another requester holds it. job: a name for the job, handed
    // back by ClaimJob() to whoever is refused.
    bool Claim(const CMsgTarget& owner, std::string job);
    void Release(const CMsgTarget& owner);
    bool IsClaimed() const { return m_nClaimant != 0; }
    bool IsClaimedBy(const CMsgTarget& owner) const { return m_nClaimant == owner.Handle(); }
    const std::string& ClaimJob() const { return m_strClaimJob; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct SExchange {
        std::uint64_t id = 0;
        std::uint64_t requester = 0;  // the requester's handle
        const SCommandInfo* info = nullptr;
        SRequest request;
        std::uint32_t key = 0;  // the piece, record or chunk it asks for
        int sends = 0;
        std::uint64_t timer = 0;  // token of the guard's delayed call, 0 none
        std::vector<std::uint8_t> frame;  // the bytes written, for re-sends
    };

    // IFrameSink
    bool OnGeneralFrame(const CPacket& frame) override;
    bool OnMiniFrame(const std::uint8_t* frame) override;
    bool OnBadFrame(EBadFrame why, const std::uint8_t* bytes, std::size_t size) override;

    LRESULT OnCommRead(WPARAM, LPARAM);
    LRESULT OnPortLost(WPARAM, LPARAM);
    LRESULT OnCommAlert(WPARAM, LPARAM);

    // Writes a frame and traces it; what is arriving is left to the parser.
    // False when it was not written whole.
    bool Write(const SExchange& exchange, ETraceKind kind);
    void Arm(SExchange& exchange);
    void OnGuardExpired(std::uint64_t id);
    // Sends the exchange again; false when it has had all its sends.
    bool Resend(SExchange& exchange);
    // Removes the exchange and posts its reply.
    void End(std::size_t index, EExchangeEnd end, const CPacket* packet = nullptr,
             const std::uint8_t* frame = nullptr);
    void EndAll(EExchangeEnd end);
    // The open exchange an answer belongs to, or -1.
    int Match(EFrameForm form, std::uint32_t command, const CPacket* packet) const;
    // Matches the answer event describes (its form and packet set) and traces
    // it as an answer or, when it answers nothing open, as stale (counted).
    // The index of its exchange, or -1.
    int TraceAnswer(STraceEvent& event, std::uint32_t command);
    std::size_t Find(std::uint64_t id) const;
    void Trace(const STraceEvent& event) {
        if (m_pTrace) m_pTrace->OnTrace(event);
    }
    void PostToListener(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
    void ReportDroppedBytes();

    CSerialChannel m_Channel;
    CFrameParser m_Parser;
    CPacket m_TxPacket;
    std::vector<SExchange> m_Open;
    std::uint64_t m_nNextId = 1;
    std::uint64_t m_nStaleAnswers = 0;
    std::uint64_t m_nClaimant = 0;
    std::string m_strClaimJob;
    CMsgTarget* m_pListener = nullptr;
    ITraceSink* m_pTrace = nullptr;
    std::uint64_t m_ReportedDrops = 0;
    std::uint32_t m_RxGeneration = 0;  // queue generation of the bytes being parsed
    std::uint8_t m_RxScratch[CQueue::QUEUE_SIZE];
};
