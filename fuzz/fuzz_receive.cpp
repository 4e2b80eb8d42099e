// Feeds arbitrary bytes to the packet manager's receive path, split into
// arbitrary wake-ups, interleaved with requests and virtual time.
//
// Additive checksums make almost every random frame a checksum error, so an
// odd first byte selects a second mode that builds frames from the input and
// fixes up both checksums: only such frames reach dispatch, the data area and
// the time-out logic.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"

// The harness's own loops and branches are not what is being explored: keep
// them out of the coverage and comparison tracing, which otherwise costs more
// than the packet manager itself.
#define HARNESS __attribute__((no_sanitize("coverage")))

namespace {

// Whole answers are copied out, so that ASan checks every byte a handler
// could read in one range check instead of a traced loop.
std::uint8_t g_Sink[PACKET_DATA_SIZE];

class CTouchingView : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    HARNESS LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg == WM_PACKET_TRACE || (msg >= WM_RX_CONNECT && msg <= WM_RX_CHECK_VOLTAGE)) {
            // Read the whole answer as a handler would.
            const CPacket* p = reinterpret_cast<const CPacket*>(wParam);
            std::memcpy(g_Sink, p->m_Data, p->m_DataSize);
        } else if (msg >= WM_RX_MINI_CONNECT && msg <= WM_RX_MINI_STATUS) {
            std::memcpy(g_Sink, reinterpret_cast<const std::uint8_t*>(wParam), MINI_FRAME_SIZE);
        }
        return 0;
    }
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

HARNESS void Arrive(CManualMessageLoop& loop, CPacketManagerWnd& pm, CBytes bytes, CInput& in) {
    std::size_t i = 0;
    while (i < bytes.size) {
        // The input decides where wake-ups fall; once it is used up, the
        // rest arrives in reads as large as the queue takes.
        std::size_t chunk = in.Empty() ? std::size_t{CQueue::QUEUE_SIZE / 2} : 1 + in.Byte() % 97;
        chunk = std::min(chunk, bytes.size - i);
        if (!pm.m_Comm.m_QueueRead.PutChunk(bytes.data + i, static_cast<int>(chunk))) {
            loop.Post(&pm, WM_COMM_READ);
            loop.RunPending();
            continue;
        }
        i += chunk;
        if (in.Byte() & 1) {
            loop.Post(&pm, WM_COMM_READ);
            loop.RunPending();
        }
    }
    loop.Post(&pm, WM_COMM_READ);
    loop.RunPending();
}

// Raw mode: the input is the byte stream itself, cut into wake-ups.
HARNESS void RunRaw(CManualMessageLoop& loop, CPacketManagerWnd& pm, CInput& in) {
    while (!in.Empty()) {
        std::uint8_t cut = in.Byte();
        if (cut >= 0xF0) {
            // Now and then something happens between the bytes.
            switch (cut & 0x0F) {
                case 0: loop.Advance(4000); break;
                case 1: pm.SendGetImage(1); break;
                case 2: pm.SendGetLog(2); break;
                case 3: pm.SendCheckVoltage(); break;
                default: loop.Advance(static_cast<std::int64_t>(cut & 0x0F) * 1000); break;
            }
            continue;
        }
        Arrive(loop, pm, in.Take(cut), in);
    }
}

// Fix-up mode: the input describes frames field by field; both checksums of
// every frame are made right (unless the input asks to break one), so the
// frames reach dispatch, the data area and the time-out logic.
HARNESS void RunFixedUp(CManualMessageLoop& loop, CPacketManagerWnd& pm, CInput& in) {
    while (!in.Empty()) {
        std::uint8_t control = in.Byte();
        if (control & 0x80) {  // a request or time passing first
            switch (control & 0x07) {
                case 0: pm.SendGetImage(in.Byte()); break;
                case 1: pm.SendGetImage2(in.Byte()); break;
                case 2: pm.SendGetLog(in.Byte()); break;
                case 3: pm.SendCheckVoltage(); break;
                case 4: pm.SendGetLogEx(in.Byte(), in.Byte()); break;
                case 5: pm.SendMiniIdentify(); break;
                default: loop.Advance(static_cast<std::int64_t>(in.Byte()) * 100); break;
            }
        }
        // One packet and one frame buffer for all inputs: no allocation and
        // no 64 kB stack object to poison per frame.
        static CPacket s_Packet;
        static std::uint8_t s_Frame[PACKET_DATA_SIZE + PACKET_HEADER_SIZE + 4];
        CBytes frame{s_Frame, 0};
        if (control & 0x40) {
            frame.size = MINI_FRAME_SIZE;
            std::uint8_t command = in.Byte(), arg1 = in.Byte(), arg2 = in.Byte();
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
        Arrive(loop, pm, frame, in);
    }
}

}  // namespace

// One console per input, built in place in storage that outlives the inputs:
// no 200 kB stack frame to poison and no fresh heap pages per input, and
// every input still starts from a newly built packet manager.
struct SConsole {
    // User-provided, so that emplace() does not zero the 200 kB first.
    SConsole() {}
    CManualMessageLoop loop;
    CScriptedOperator op;
    CTouchingView view{loop};
    CPacketManagerWnd pm{loop, op};
};

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static std::optional<SConsole> s_Console;
    SConsole& console = s_Console.emplace();
    CManualMessageLoop& loop = console.loop;
    CPacketManagerWnd& pm = console.pm;
    pm.Create(&console.view);

    CInput in(data + 1, size - 1);
    if (data[0] & 1) {
        RunFixedUp(loop, pm, in);
    } else {
        RunRaw(loop, pm, in);
    }
    loop.RunPending();

    // Invariants of the machine.
    if (pm.m_RxState < 0 || pm.m_RxState > 13) __builtin_trap();
    if (pm.m_RxState == 7 && pm.m_RxPos >= pm.m_RxPacket.m_DataSize) __builtin_trap();
    if (pm.m_RetryCount < 0 || pm.m_RetryCount >= MAX_SENDS) __builtin_trap();
    s_Console.reset();
    return 0;
}
