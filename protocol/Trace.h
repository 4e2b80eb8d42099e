#pragma once
// What the module client tells a trace about every frame on the line, as it
// happens: each request written (and each re-send), each answer taken, each
// stale answer dropped, each frame rejected for its checksum, General and
// Minimized alike.
#include <cstddef>
#include <cstdint>

#include "protocol/CommandCatalog.h"
#include "protocol/FrameParser.h"
#include "protocol/Packet.h"

enum class ETraceKind : std::uint8_t {
    Request,   // written
    Resend,    // written again: the guard expired or the module refused its checksum
    Answer,    // received, and matched to the request it answers
    Stale,     // received, answering nothing open: dropped
    Rejected,  // received with a bad checksum or an impossible size: dropped
};

struct STraceEvent {
    ETraceKind kind = ETraceKind::Request;
    EFrameForm form = EFrameForm::General;
    // General frames: the packet (its data area holds m_DataSize bytes).
    const CPacket* packet = nullptr;
    // The bytes on the wire: the six of a Minimized frame, or what arrived of
    // a rejected frame. For General requests and answers: nullptr.
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    // Requests: which send this is (1 the first).
    int send = 0;
    // Rejected frames: why.
    EBadFrame bad = EBadFrame::HeaderChecksum;

    bool IsReceived() const { return kind == ETraceKind::Answer || kind == ETraceKind::Stale || kind == ETraceKind::Rejected; }
};

class ITraceSink {
public:
    virtual ~ITraceSink() = default;
    // Called on the loop thread while the frame is at hand; must not send.
    virtual void OnTrace(const STraceEvent& event) = 0;
    // The link has just been opened (times in a trace count from here).
    virtual void OnLinkOpened() {}
};
