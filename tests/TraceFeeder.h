#pragma once
// Hands a trace history frames as the module client does: General packets
// (requests, re-sends, answers, stale answers) and bytes (Minimized frames,
// rejected frames).
#include <cstring>
#include <memory>
#include <vector>

#include "protocol/TraceHistory.h"

class CTraceFeeder {
public:
    using Bytes = std::vector<std::uint8_t>;
    explicit CTraceFeeder(CTraceHistory& history) : m_History(history) {}

    void General(ETraceKind kind, std::uint32_t command, std::uint32_t p1, std::uint32_t p2 = 0, const Bytes& data = {},
                 std::uint32_t err = 0, int send = 1) {
        m_Packet->m_Command = command;
        m_Packet->m_Param1 = p1;
        m_Packet->m_Param2 = p2;
        m_Packet->m_ErrCode = err;
        m_Packet->m_DataSize = static_cast<std::uint32_t>(data.size());
        if (!data.empty()) std::memcpy(m_Packet->m_Data, data.data(), data.size());
        m_Packet->PrepareForSend();
        STraceEvent e;
        e.kind = kind;
        e.packet = m_Packet.get();
        e.send = kind == ETraceKind::Request || kind == ETraceKind::Resend ? send : 0;
        m_History.OnTrace(e);
    }
    void Raw(ETraceKind kind, EFrameForm form, const Bytes& bytes, EBadFrame bad = EBadFrame::HeaderChecksum) {
        STraceEvent e;
        e.kind = kind;
        e.form = form;
        e.bytes = bytes.data();
        e.size = bytes.size();
        e.bad = bad;
        e.send = kind == ETraceKind::Request ? 1 : 0;
        m_History.OnTrace(e);
    }
    static Bytes Mini(std::uint8_t command, std::uint8_t arg1, std::uint8_t arg2 = 0) {
        Bytes frame(MINI_FRAME_SIZE);
        BuildMiniFrame(frame.data(), command, arg1, arg2);
        return frame;
    }

private:
    CTraceHistory& m_History;
    std::unique_ptr<CPacket> m_Packet = std::make_unique<CPacket>();  // 64 KiB: not on the stack
};
