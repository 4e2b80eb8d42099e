// Feeds arbitrary bytes to the frame parser, split into arbitrary reads as
// the serial channel delivers them, and checks every frame it hands on.
//
// Additive checksums make almost every random frame a checksum error, so an
// odd first byte selects a second mode that builds frames from the input and
// fixes up both checksums: only such frames get past the checks to the
// sink, through the data area and the stop behind a data-less frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "link/Queue.h"
#include "protocol/FrameParser.h"

// The harness's own loops and branches are not what is being explored: keep
// them out of the coverage and comparison tracing, which otherwise costs more
// than the parser itself.
#define HARNESS __attribute__((no_sanitize("coverage")))

namespace {

// Whole frames are copied out, so that ASan checks every byte a reader could
// touch in one range check instead of a traced loop.
std::uint8_t g_Sink[PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4];

class CCheckingSink : public IFrameSink {
public:
    std::size_t frames = 0;
    HARNESS bool OnGeneralFrame(const CPacket& p) override {
        // Only whole frames with both checksums right, held in the data area.
        if (p.m_DataSize > PACKET_DATA_SIZE || !p.IsHeaderChecksumOK()) __builtin_trap();
        if (p.m_DataSize && !p.IsDataChecksumOK()) __builtin_trap();
        std::memcpy(g_Sink, p.m_Data, p.m_DataSize);
        ++frames;
        return stopAfter == 0 || frames % stopAfter != 0;
    }
    HARNESS bool OnMiniFrame(const std::uint8_t* frame) override {
        if (frame[0] != PACKET_START || frame[1] != MINI_MARKER || !IsMiniChecksumOK(frame)) __builtin_trap();
        std::memcpy(g_Sink, frame, MINI_FRAME_SIZE);
        ++frames;
        return true;
    }
    HARNESS bool OnBadFrame(EBadFrame why, const std::uint8_t* bytes, std::size_t size) override {
        // What arrived of it, starting with the start byte; never more than a frame.
        if (size < MINI_FRAME_SIZE || size > sizeof g_Sink || bytes[0] != PACKET_START) __builtin_trap();
        if (why == EBadFrame::MiniChecksum && (size != MINI_FRAME_SIZE || IsMiniChecksumOK(bytes))) __builtin_trap();
        std::memcpy(g_Sink, bytes, size);
        return true;
    }
    // Asks the parser to stop after every n-th General frame (0: never).
    std::size_t stopAfter = 0;
};

struct CBytes {
    const std::uint8_t* data;
    std::size_t size;
};

class CInput {
public:
    CInput(const std::uint8_t* data, std::size_t size) : m_Data(data), m_Size(size) {}
    HARNESS bool Empty() const { return m_Pos >= m_Size; }
    HARNESS std::uint8_t Byte() { return Empty() ? 0 : m_Data[m_Pos++]; }
    HARNESS std::uint32_t Word() { return (std::uint32_t(Byte()) << 8) | Byte(); }
    // Up to n of the next bytes, as a view into the input.
    HARNESS CBytes Take(std::size_t n) {
        n = std::min(n, m_Size - std::min(m_Pos, m_Size));
        CBytes out{m_Data + m_Pos, n};
        m_Pos += n;
        return out;
    }

private:
    const std::uint8_t* m_Data;
    std::size_t m_Size;
    std::size_t m_Pos = 0;
};

// Hands bytes to the parser in reads the input cuts (once it is used up, in
// reads as large as the receive queue), calling again after every stop as
// the module client does.
HARNESS void Arrive(CFrameParser& parser, CCheckingSink& sink, CBytes bytes, CInput& in) {
    std::size_t i = 0;
    while (i < bytes.size) {
        std::size_t chunk = in.Empty() ? std::size_t{CQueue::QUEUE_SIZE} : 1 + in.Byte() % 97;
        chunk = std::min(chunk, bytes.size - i);
        std::size_t used = 0;
        while (used < chunk) {
            const std::size_t n = parser.Feed(bytes.data + i + used, chunk - used, sink);
            if (n == 0 || n > chunk - used) __builtin_trap();  // always progress, never past the read
            used += n;
        }
        i += chunk;
    }
}

// Raw mode: the input is the byte stream itself, cut into reads; now and
// then a Minimized request restarts the parser.
HARNESS void RunRaw(CFrameParser& parser, CCheckingSink& sink, CInput& in) {
    while (!in.Empty()) {
        const std::uint8_t cut = in.Byte();
        if (cut >= 0xF8) {
            parser.Reset();
            continue;
        }
        if (cut >= 0xF0) {
            sink.stopAfter = cut & 0x07;
            continue;
        }
        Arrive(parser, sink, in.Take(cut), in);
    }
}

// Fix-up mode: the input describes frames field by field; both checksums of
// every frame are made right (unless the input asks to break one).
HARNESS void RunFixedUp(CFrameParser& parser, CCheckingSink& sink, CInput& in) {
    // One packet and one frame buffer for all inputs: no allocation and no
    // 64 kB stack object to poison per frame.
    static CPacket s_Packet;
    static std::uint8_t s_Frame[PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4];
    while (!in.Empty()) {
        const std::uint8_t control = in.Byte();
        if ((control & 0x18) == 0x18) parser.Reset();
        CBytes frame{s_Frame, 0};
        if (control & 0x40) {
            frame.size = MINI_FRAME_SIZE;
            const std::uint8_t command = in.Byte(), arg1 = in.Byte(), arg2 = in.Byte();
            BuildMiniFrame(s_Frame, command, arg1, arg2);
        } else {
            CPacket& p = s_Packet;
            p.Reset();
            p.m_Command = in.Byte();
            p.m_Param1 = in.Byte();
            p.m_Param2 = (std::uint32_t(in.Byte()) << 8) | in.Byte();
            p.m_ErrCode = in.Byte();
            std::size_t size = in.Byte();
            if (size == 0xFF) size = in.Word();  // large answers: image pieces, lists
            CBytes body = in.Take(size);
            p.m_DataSize = static_cast<std::uint32_t>(body.size);
            if (body.size) std::memcpy(p.m_Data, body.data, body.size);
            p.PrepareForSend();
            frame.size = p.Serialize(s_Frame, sizeof s_Frame);  // never 0: the body fits
        }
        if (control & 0x20) s_Frame[in.Byte() % frame.size] ^= 0x01;  // a broken frame now and then
        sink.stopAfter = control & 0x07;
        Arrive(parser, sink, frame, in);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // Built in place in storage that outlives the inputs: no 64 kB stack
    // frame to poison, and every input still starts from a new parser.
    static std::optional<CFrameParser> s_Parser;
    CFrameParser& parser = s_Parser.emplace();
    CCheckingSink sink;
    CInput in(data + 1, size - 1);
    if (data[0] & 1) {
        RunFixedUp(parser, sink, in);
    } else {
        RunRaw(parser, sink, in);
    }
    s_Parser.reset();
    return 0;
}
