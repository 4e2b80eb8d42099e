#pragma once
// A packet manager on the virtual clock, wired to a view that records every
// message, with the serial writes captured and the operator scripted.
#include <array>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"

struct RecordedMessage {
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    CPacket packet;                           // General notifications and traces
    std::array<std::uint8_t, 6> mini{};       // Minimized notifications
};

inline bool IsGeneralNotification(UINT msg) { return msg >= WM_RX_CONNECT && msg <= WM_RX_CHECK_VOLTAGE; }
inline bool IsMiniNotification(UINT msg) { return msg >= WM_RX_MINI_CONNECT && msg <= WM_RX_MINI_STATUS; }

class CRecordingView : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::vector<RecordedMessage> messages;
    // Runs after a message was recorded, as a handler of the console would.
    std::function<void(const RecordedMessage&)> react;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        RecordedMessage m;
        m.msg = msg;
        m.wParam = wParam;
        m.lParam = lParam;
        if (msg == WM_PACKET_TRACE || IsGeneralNotification(msg)) {
            m.packet.CopyUsedFrom(*reinterpret_cast<const CPacket*>(wParam));
        } else if (IsMiniNotification(msg)) {
            std::memcpy(m.mini.data(), reinterpret_cast<const std::uint8_t*>(wParam), 6);
        }
        messages.push_back(std::move(m));
        if (react) react(messages.back());
        return 0;
    }

    std::vector<const RecordedMessage*> Only(UINT msg) const {
        std::vector<const RecordedMessage*> out;
        for (const auto& m : messages)
            if (m.msg == msg) out.push_back(&m);
        return out;
    }
    // Every message but the traces.
    std::vector<const RecordedMessage*> Notifications() const {
        std::vector<const RecordedMessage*> out;
        for (const auto& m : messages)
            if (m.msg != WM_PACKET_TRACE) out.push_back(&m);
        return out;
    }
};

using Bytes = std::vector<std::uint8_t>;

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

struct PmHarness {
    CManualMessageLoop loop;
    CScriptedOperator op;
    CRecordingView view{loop};
    CPacketManagerWnd pm{loop, op};
    std::vector<Bytes> writes;  // one entry per WriteComm call

    PmHarness() {
        pm.Create(&view);
        pm.m_Comm.m_WriteTap = [this](const std::uint8_t* p, std::size_t n) { writes.emplace_back(p, p + n); };
    }

    // Queues bytes as the watch thread would and delivers one wake-up.
    void Arrive(const Bytes& bytes) {
        pm.m_Comm.m_QueueRead.PutChunk(bytes.data(), static_cast<int>(bytes.size()));
        Wake();
    }
    void Wake() {
        loop.Post(&pm, WM_COMM_READ, 0, 0);
        loop.RunPending();
    }
    // Bytes of all writes since the last call, joined.
    Bytes TakeWritten() {
        Bytes out;
        for (auto& w : writes) out.insert(out.end(), w.begin(), w.end());
        writes.clear();
        return out;
    }
    // The General requests written since the last call, parsed back.
    std::vector<CPacket> TakeRequests();
};

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

inline std::vector<CPacket> PmHarness::TakeRequests() { return ParseFrames(TakeWritten()); }
