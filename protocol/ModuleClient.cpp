#include "protocol/ModuleClient.h"

#include <cstring>
#include <optional>

namespace {

// The piece, record or chunk a request asks for.
std::uint32_t RequestKey(EAnswerKey key, const SRequest& request) {
    switch (key) {
        case KEY_IMAGE_PIECE:
        case KEY_IMAGE2_PIECE:
        case KEY_HEX_RECORD: return request.param2;
        case KEY_BIN_CHUNK: return request.param2 >> 8;
        case KEY_COMMAND: break;
    }
    return 0;
}

// The piece, record or chunk an answer names, when it names one.
std::optional<std::uint32_t> AnswerKey(EAnswerKey key, const CPacket& answer) {
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    switch (key) {
        case KEY_IMAGE_PIECE:
            if (result != RES_TIMEOUT) return answer.m_Param2;
            break;
        case KEY_IMAGE2_PIECE:
            if (result == RES_SUCCESS) return (answer.m_Param2 >> 8) & 0xFF;
            break;
        case KEY_HEX_RECORD:
            // A record taken: the answer asks for the next one.
            if (result == 0) return answer.m_Param2 - 1;
            break;
        case KEY_BIN_CHUNK:
            if (result == RES_SUCCESS) return answer.m_Param2 >> 8;
            break;
        case KEY_COMMAND: break;
    }
    return std::nullopt;
}

}  // namespace

const char* ExchangeEndName(EExchangeEnd end) {
    switch (end) {
        case EExchangeEnd::Answered: return "ANSWERED";
        case EExchangeEnd::TimedOut: return "TIMED_OUT";
        case EExchangeEnd::ChecksumRefused: return "CHECKSUM_REFUSED";
        case EExchangeEnd::LinkClosed: return "LINK_CLOSED";
        case EExchangeEnd::Superseded: return "SUPERSEDED";
    }
    return "";
}

CModuleClient::CModuleClient(IMessageLoop& loop) : CMsgTarget(loop) { m_Channel.SetOwner(this); }

CModuleClient::~CModuleClient() {
    for (const SExchange& ex : m_Open) {
        if (ex.timer) Loop().CancelCall(ex.timer);
    }
    m_Channel.ClosePort();
}

LRESULT CModuleClient::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CModuleClient> table[] = {
        {WM_COMM_READ, &CModuleClient::OnCommRead},
        {WM_COMM_PORT_LOST, &CModuleClient::OnPortLost},
        {WM_COMM_ALERT, &CModuleClient::OnCommAlert},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

// ---------------------------------------------------------------- the link

bool CModuleClient::Open(const std::string& portName, int baudRate) {
    if (IsOpen()) Close();
    // A frame cut off on the last connection must not swallow the first
    // bytes of this one.
    m_Parser.Reset();
    m_Channel.m_QueueRead.ClearQueue();
    m_ReportedDrops = 0;
    if (!m_Channel.OpenPort(portName, baudRate, 0)) return false;
    if (m_pTrace) m_pTrace->OnLinkOpened();
    return true;
}

void CModuleClient::Close() {
    EndAll(EExchangeEnd::LinkClosed);
    m_nClaimant = 0;
    m_strClaimJob.clear();
    m_Channel.ClosePort();
}

void CModuleClient::PostToListener(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_pListener) Loop().Post(m_pListener, msg, wParam, lParam);
}

LRESULT CModuleClient::OnPortLost(WPARAM wParam, LPARAM lParam) {
    // Nothing more can come: every exchange ends now, not after its guard.
    EndAll(EExchangeEnd::LinkClosed);
    m_nClaimant = 0;
    m_strClaimJob.clear();
    PostToListener(WM_COMM_PORT_LOST, wParam, lParam);
    return 0;
}

LRESULT CModuleClient::OnCommAlert(WPARAM kind, LPARAM) {
    ReportDroppedBytes();
    PostToListener(WM_COMM_ALERT, kind);
    return 0;
}

void CModuleClient::ReportDroppedBytes() {
    const std::uint64_t dropped = m_Channel.DroppedBytes();
    if (dropped == m_ReportedDrops) return;
    const bool grown = dropped > m_ReportedDrops;  // the count restarts with each open
    m_ReportedDrops = dropped;
    if (grown) PostToListener(WM_RECEIVE_DROPPED, static_cast<WPARAM>(dropped));
}

// ---------------------------------------------------------------- claims

bool CModuleClient::Claim(const CMsgTarget& owner, std::string job) {
    if (m_nClaimant != 0 && m_nClaimant != owner.Handle()) return false;
    m_nClaimant = owner.Handle();
    m_strClaimJob = std::move(job);
    return true;
}

void CModuleClient::Release(const CMsgTarget& owner) {
    if (m_nClaimant != owner.Handle()) return;
    m_nClaimant = 0;
    m_strClaimJob.clear();
}

// ---------------------------------------------------------------- sending

ESendResult CModuleClient::Send(CMsgTarget& requester, SRequest request, std::uint64_t* id) {
    if (id) *id = 0;
    if (!IsOpen()) return ESendResult::NotOpen;
    const SCommandInfo* info = FindCommand(request.form, request.command);
    if (!info) return ESendResult::Unknown;
    if (m_nClaimant != 0 && m_nClaimant != requester.Handle() && !info->control) return ESendResult::Busy;
    if (!request.IsMini() && request.data.size() > PACKET_MAX_TX_DATA) return ESendResult::TooLarge;

    // The module answers a command once: a newer request of it takes the
    // place of one still open.
    for (std::size_t i = m_Open.size(); i-- > 0;) {
        if (m_Open[i].request.form == request.form && m_Open[i].request.command == request.command) {
            End(i, EExchangeEnd::Superseded);
        }
    }

    SExchange ex;
    ex.id = m_nNextId++;
    ex.requester = requester.Handle();
    ex.info = info;
    ex.key = RequestKey(info->key, request);
    ex.request = std::move(request);
    ex.sends = 1;
    Write(ex, ETraceKind::Request);
    Arm(ex);
    if (id) *id = ex.id;
    m_Open.push_back(std::move(ex));
    return ESendResult::Sent;
}

bool CModuleClient::Write(const SExchange& ex, ETraceKind kind) {
    // The receive queue is left as it is: bytes still arriving may be a late
    // answer (to this request's earlier send, or to one it replaced), and
    // cutting a frame in half would leave the parser hunting through its data
    // for frames that are not there. Whole late answers are matched to
    // nothing and dropped as stale.
    const SRequest& rq = ex.request;
    STraceEvent event;
    event.kind = kind;
    event.form = rq.form;
    event.send = ex.sends;
    std::size_t size = 0, written = 0;
    if (rq.IsMini()) {
        // Minimized requests are never re-sent, so nothing of theirs is in
        // flight; a General frame the module broke off (it was switched to
        // the Minimized protocol meanwhile) must not swallow the answer.
        if (kind == ETraceKind::Request) m_Parser.Reset();
        std::uint8_t frame[MINI_FRAME_SIZE];
        BuildMiniFrame(frame, static_cast<std::uint8_t>(rq.command), static_cast<std::uint8_t>(rq.param1),
                       static_cast<std::uint8_t>(rq.param2));
        size = MINI_FRAME_SIZE;
        // A byte a write, as the module expects them.
        for (std::size_t i = 0; i < MINI_FRAME_SIZE; ++i) written += m_Channel.WriteComm(frame + i, 1);
        event.bytes = frame;
        event.size = MINI_FRAME_SIZE;
        Trace(event);
    } else {
        CPacket& p = m_TxPacket;
        p.m_Command = rq.command;
        p.m_Param1 = rq.param1;
        p.m_Param2 = rq.param2;
        p.m_DataSize = static_cast<std::uint32_t>(rq.data.size());
        p.m_ErrCode = 0;
        if (!rq.data.empty()) std::memcpy(p.m_Data, rq.data.data(), rq.data.size());
        p.PrepareForSend();
        std::uint8_t frame[PACKET_TX_BUFFER];
        size = p.Serialize(frame, sizeof frame);
        written = m_Channel.WriteComm(frame, size);
        event.packet = &p;
        Trace(event);
    }
    if (written == size) return true;
    // The device stopped taking bytes: the request did not reach the module whole.
    if (m_Channel.IsOpen()) PostToListener(WM_WRITE_STALLED, written, static_cast<LPARAM>(size));
    return false;
}

void CModuleClient::Arm(SExchange& ex) {
    if (!ex.info->IsGuarded()) return;
    if (ex.timer) Loop().CancelCall(ex.timer);
    const std::uint64_t id = ex.id;
    ex.timer = Loop().CallLater(this, ex.info->timeoutMs, [this, id] { OnGuardExpired(id); });
}

void CModuleClient::OnGuardExpired(std::uint64_t id) {
    const std::size_t index = Find(id);
    if (index == m_Open.size()) return;
    SExchange& ex = m_Open[index];
    ex.timer = 0;
    if (!Resend(ex)) End(index, EExchangeEnd::TimedOut);
}

bool CModuleClient::Resend(SExchange& ex) {
    if (ex.sends >= MAX_SENDS) return false;
    ++ex.sends;
    Write(ex, ETraceKind::Resend);
    Arm(ex);
    return true;
}

// ---------------------------------------------------------------- ending

std::size_t CModuleClient::Find(std::uint64_t id) const {
    for (std::size_t i = 0; i < m_Open.size(); ++i) {
        if (m_Open[i].id == id) return i;
    }
    return m_Open.size();
}

void CModuleClient::End(std::size_t index, EExchangeEnd end, const CPacket* packet, const std::uint8_t* frame) {
    SExchange ex = std::move(m_Open[index]);
    m_Open.erase(m_Open.begin() + static_cast<long>(index));
    if (ex.timer) Loop().CancelCall(ex.timer);
    auto reply = std::make_shared<CReply>();
    reply->m_End = end;
    reply->m_Request = std::move(ex.request);
    reply->m_nSends = ex.sends;
    reply->m_nId = ex.id;
    if (packet) {
        reply->m_pPacket = std::make_unique<CPacket>();
        reply->m_pPacket->CopyUsedFrom(*packet);
    }
    if (frame) std::memcpy(reply->m_Frame, frame, MINI_FRAME_SIZE);
    const CReply* raw = reply.get();
    Loop().PostTo(ex.requester, WM_EXCHANGE_ENDED, reinterpret_cast<WPARAM>(raw), 0, std::move(reply));
}

void CModuleClient::EndAll(EExchangeEnd end) {
    while (!m_Open.empty()) End(0, end);
}

void CModuleClient::Abandon(const CMsgTarget& requester, std::uint32_t command) {
    for (std::size_t i = m_Open.size(); i-- > 0;) {
        const SExchange& ex = m_Open[i];
        if (ex.requester == requester.Handle() && (command == 0 || ex.request.command == command)) {
            End(i, EExchangeEnd::Superseded);
        }
    }
}

std::size_t CModuleClient::OpenExchanges(const CMsgTarget* requester) const {
    if (!requester) return m_Open.size();
    std::size_t n = 0;
    for (const SExchange& ex : m_Open) n += ex.requester == requester->Handle();
    return n;
}

bool CModuleClient::IsWaiting(EFrameForm form, std::uint32_t command) const {
    for (const SExchange& ex : m_Open) {
        if (ex.request.form == form && ex.request.command == command) return true;
    }
    return false;
}

// ---------------------------------------------------------------- receiving

LRESULT CModuleClient::OnCommRead(WPARAM, LPARAM) {
    ReportDroppedBytes();
    CQueue& queue = m_Channel.m_QueueRead;
    const int count = queue.Peek(m_RxScratch, CQueue::QUEUE_SIZE, m_RxGeneration);
    if (count == 0) return 0;
    const std::size_t used = m_Parser.Feed(m_RxScratch, static_cast<std::size_t>(count), *this);
    // A handler that reopened the link meanwhile has emptied the queue;
    // Discard then leaves the new bytes alone.
    queue.Discard(static_cast<int>(used), m_RxGeneration);
    // Parsing stops behind a data-less answer. Bytes that arrived in the same
    // read (a second answer) are parsed on a wake-up of their own at once.
    if (used < static_cast<std::size_t>(count) && queue.Generation() == m_RxGeneration) {
        Loop().Post(this, WM_COMM_READ, 0, 0);
    }
    return 0;
}

int CModuleClient::Match(EFrameForm form, std::uint32_t command, const CPacket* packet) const {
    for (std::size_t i = 0; i < m_Open.size(); ++i) {
        const SExchange& ex = m_Open[i];
        if (ex.request.form != form || ex.request.command != command) continue;
        // A refusal of the checksum names no piece: it is the open request's.
        if (packet && packet->m_ErrCode != ERR_CHECKSUM) {
            const std::optional<std::uint32_t> key = AnswerKey(ex.info->key, *packet);
            if (key && *key != ex.key) continue;
        }
        return static_cast<int>(i);
    }
    return -1;
}

int CModuleClient::TraceAnswer(STraceEvent& event, std::uint32_t command) {
    const int index = Match(event.form, command, event.packet);
    if (index < 0) ++m_nStaleAnswers;
    event.kind = index < 0 ? ETraceKind::Stale : ETraceKind::Answer;
    Trace(event);
    return index;
}

bool CModuleClient::OnGeneralFrame(const CPacket& frame) {
    STraceEvent event;
    event.form = EFrameForm::General;
    event.packet = &frame;
    const int index = TraceAnswer(event, frame.m_Command);
    if (index < 0) return true;
    SExchange& ex = m_Open[static_cast<std::size_t>(index)];
    if (frame.m_ErrCode == ERR_CHECKSUM) {
        // The module refused our checksum. A firmware piece goes out again
        // at once, counted with its other sends.
        if (ex.info->resendOnRefusal && Resend(ex)) {
            return true;
        }
        End(static_cast<std::size_t>(index), EExchangeEnd::ChecksumRefused);
        return true;
    }
    End(static_cast<std::size_t>(index), EExchangeEnd::Answered, &frame);
    return true;
}

bool CModuleClient::OnMiniFrame(const std::uint8_t* frame) {
    STraceEvent event;
    event.form = EFrameForm::Minimized;
    event.bytes = frame;
    event.size = MINI_FRAME_SIZE;
    const int index = TraceAnswer(event, frame[2]);
    if (index < 0) return true;
    End(static_cast<std::size_t>(index), EExchangeEnd::Answered, nullptr, frame);
    return true;
}

bool CModuleClient::OnBadFrame(EBadFrame why, const std::uint8_t* bytes, std::size_t size) {
    STraceEvent event;
    event.kind = ETraceKind::Rejected;
    event.form = why == EBadFrame::MiniChecksum ? EFrameForm::Minimized : EFrameForm::General;
    event.bytes = bytes;
    event.size = size;
    event.bad = why;
    Trace(event);
    PostToListener(WM_CHECKSUM_ERROR, why == EBadFrame::DataChecksum ? 1 : 0);
    return true;
}
