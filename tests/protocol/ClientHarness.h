#pragma once
// A module client on the virtual clock with its link open on a pseudo-
// terminal (nothing plays the module: the test hands the client the bytes
// that "arrive"), two requesters that record their replies, a link listener
// that records the link's events, a trace that records every frame, and
// every write captured.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/ModuleClient.h"

using Bytes = std::vector<std::uint8_t>;

struct SRecordedReply {
    EExchangeEnd end = EExchangeEnd::Answered;
    SRequest request;
    int sends = 0;
    std::uint64_t id = 0;
    bool general = false;  // a General answer came with it
    CPacket packet;
    std::array<std::uint8_t, 6> mini{};
};

// A flow as far as the client can tell: it asks, and records what comes back.
class CRecordingRequester : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::vector<SRecordedReply> replies;
    // Runs after a reply was recorded, as a flow's handler would.
    std::function<void(const SRecordedReply&)> react;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg != WM_EXCHANGE_ENDED) return 0;
        const CReply& reply = *reinterpret_cast<const CReply*>(wParam);
        SRecordedReply r;
        r.end = reply.End();
        r.request = reply.Request();
        r.sends = reply.Sends();
        r.id = reply.Id();
        if (reply.IsAnswered() && !reply.IsMini()) {
            r.general = true;
            r.packet.CopyUsedFrom(reply.Packet());
        } else if (reply.IsAnswered()) {
            std::memcpy(r.mini.data(), reply.Frame(), 6);
        }
        replies.push_back(std::move(r));
        if (react) react(replies.back());
        return 0;
    }
    std::vector<const SRecordedReply*> Ended(EExchangeEnd end) const {
        std::vector<const SRecordedReply*> out;
        for (const auto& r : replies)
            if (r.end == end) out.push_back(&r);
        return out;
    }
};

struct SLinkEvent {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class CRecordingListener : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::vector<SLinkEvent> events;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        events.push_back({msg, wParam, lParam});
        return 0;
    }
    std::vector<SLinkEvent> Only(UINT msg) const {
        std::vector<SLinkEvent> out;
        for (const auto& e : events)
            if (e.msg == msg) out.push_back(e);
        return out;
    }
};

struct STracedFrame {
    ETraceKind kind = ETraceKind::Request;
    EFrameForm form = EFrameForm::General;
    std::uint32_t command = 0, param1 = 0, param2 = 0, dataSize = 0, errCode = 0;
    Bytes bytes;  // Minimized and rejected frames
    int send = 0;
    EBadFrame bad = EBadFrame::HeaderChecksum;
};

class CRecordingTrace : public ITraceSink {
public:
    std::vector<STracedFrame> frames;
    void OnTrace(const STraceEvent& e) override {
        STracedFrame f;
        f.kind = e.kind;
        f.form = e.form;
        if (e.packet) {
            f.command = e.packet->m_Command;
            f.param1 = e.packet->m_Param1;
            f.param2 = e.packet->m_Param2;
            f.dataSize = e.packet->m_DataSize;
            f.errCode = e.packet->m_ErrCode;
        }
        if (e.bytes) f.bytes.assign(e.bytes, e.bytes + e.size);
        f.send = e.send;
        f.bad = e.bad;
        frames.push_back(std::move(f));
    }
    std::vector<const STracedFrame*> Only(ETraceKind kind) const {
        std::vector<const STracedFrame*> out;
        for (const auto& f : frames)
            if (f.kind == kind) out.push_back(&f);
        return out;
    }
};

// The wire bytes of a General frame.
inline Bytes GeneralFrame(std::uint32_t command, std::uint32_t param1, std::uint32_t param2 = 0,
                          const Bytes& data = {}, std::uint32_t errCode = 0) {
    CPacket p;
    p.m_Command = command;
    p.m_Param1 = param1;
    p.m_Param2 = param2;
    p.m_ErrCode = errCode;
    p.m_DataSize = static_cast<std::uint32_t>(data.size());
    if (!data.empty()) std::memcpy(p.m_Data, data.data(), data.size());
    p.PrepareForSend();
    Bytes out(p.FrameSize());
    p.Serialize(out.data(), out.size());
    return out;
}

inline Bytes MiniFrame(std::uint8_t command, std::uint8_t arg1, std::uint8_t arg2 = 0) {
    Bytes out(6);
    BuildMiniFrame(out.data(), command, arg1, arg2);
    return out;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Parses General frames out of a byte string (test-side reference parser).
inline std::vector<CPacket> ParseFrames(const Bytes& bytes) {
    std::vector<CPacket> out;
    std::size_t i = 0;
    while (i + 25 <= bytes.size()) {
        if (bytes[i] != 0x7E) {
            ++i;
            continue;
        }
        CPacket p;
        p.m_Command = GetBE32(&bytes[i + 1]);
        p.m_Param1 = GetBE32(&bytes[i + 5]);
        p.m_Param2 = GetBE32(&bytes[i + 9]);
        p.m_DataSize = GetBE32(&bytes[i + 13]);
        p.m_ErrCode = GetBE32(&bytes[i + 17]);
        p.m_HeaderChecksum = GetBE32(&bytes[i + 21]);
        std::size_t size = p.m_DataSize ? p.m_DataSize + 29 : 25;
        if (i + size > bytes.size()) break;
        if (p.m_DataSize) {
            std::memcpy(p.m_Data, &bytes[i + 25], p.m_DataSize);
            p.m_DataChecksum = GetBE32(&bytes[i + 25 + p.m_DataSize]);
        }
        out.push_back(p);
        i += size;
    }
    return out;
}

struct ClientHarness {
    CManualMessageLoop loop;
    CRecordingRequester flow{loop};
    CRecordingRequester other{loop};
    CRecordingListener link{loop};
    CRecordingTrace trace;
    CModuleClient client{loop};
    std::vector<Bytes> writes;  // one entry per WriteComm call
    int master = -1;
    std::string slave;

    ClientHarness() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
            slave = ptsname(master);
            fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        }
        client.SetLinkListener(&link);
        client.SetTraceSink(&trace);
        client.Channel().m_WriteTap = [this](const std::uint8_t* p, std::size_t n) {
            writes.emplace_back(p, p + n);
            Drain();
        };
        Open();
    }
    ~ClientHarness() {
        client.Close();
        if (master >= 0) close(master);
    }
    bool Open() { return client.Open(slave, 115200); }
    // Nothing reads the other end: empty it so that writes never stall.
    void Drain() {
        std::uint8_t buffer[4096];
        while (master >= 0 && read(master, buffer, sizeof buffer) > 0) {
        }
    }

    ESendResult Send(SRequest request, CMsgTarget* requester = nullptr) {
        return client.Send(requester ? *requester : flow, std::move(request));
    }
    // Queues bytes as the watch thread would, wakes the client and runs what
    // that posts.
    void Arrive(const Bytes& bytes) {
        client.Channel().m_QueueRead.PutChunk(bytes.data(), static_cast<int>(bytes.size()));
        loop.Post(&client, WM_COMM_READ, 0, 0);
        loop.RunPending();
    }
    Bytes TakeWritten() {
        Bytes out;
        for (auto& w : writes) out.insert(out.end(), w.begin(), w.end());
        writes.clear();
        return out;
    }
    std::vector<CPacket> TakeRequests() { return ParseFrames(TakeWritten()); }
};
