// Feeds arbitrary bytes to the packet manager's receive path, split into
// arbitrary wake-ups, interleaved with requests and virtual time.
//
// Additive checksums make almost every random frame a checksum error, so some
// operations build frames from the input and fix up both checksums: only
// those reach dispatch, the data area and the time-out logic.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"

namespace {

class CTouchingView : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::uint32_t sink = 0;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg == WM_PACKET_TRACE || (msg >= WM_RX_CONNECT && msg <= WM_RX_CHECK_VOLTAGE)) {
            // Read the whole answer as a handler would.
            const CPacket* p = reinterpret_cast<const CPacket*>(wParam);
            for (std::uint32_t i = 0; i < p->m_DataSize; ++i) sink += p->m_Data[i];
        } else if (msg >= WM_RX_MINI_CONNECT && msg <= WM_RX_MINI_STATUS) {
            const std::uint8_t* f = reinterpret_cast<const std::uint8_t*>(wParam);
            for (int i = 0; i < 6; ++i) sink += f[i];
        }
        return 0;
    }
};

class CInput {
public:
    CInput(const std::uint8_t* data, std::size_t size) : m_Data(data), m_Size(size) {}
    bool Empty() const { return m_Pos >= m_Size; }
    std::uint8_t Byte() { return Empty() ? 0 : m_Data[m_Pos++]; }
    std::uint32_t Word() { return (std::uint32_t(Byte()) << 8) | Byte(); }
    std::vector<std::uint8_t> Take(std::size_t n) {
        n = std::min(n, m_Size - std::min(m_Pos, m_Size));
        std::vector<std::uint8_t> out(m_Data + m_Pos, m_Data + m_Pos + n);
        m_Pos += n;
        return out;
    }

private:
    const std::uint8_t* m_Data;
    std::size_t m_Size;
    std::size_t m_Pos = 0;
};

void Arrive(CManualMessageLoop& loop, CPacketManagerWnd& pm, const std::vector<std::uint8_t>& bytes, CInput& in) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        std::size_t chunk = 1 + in.Byte() % 97;
        chunk = std::min(chunk, bytes.size() - i);
        if (!pm.m_Comm.m_QueueRead.PutChunk(bytes.data() + i, static_cast<int>(chunk))) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CManualMessageLoop loop;
    CScriptedOperator op;
    CTouchingView view(loop);
    CPacketManagerWnd pm(loop, op);
    pm.Create(&view);

    CInput in(data, size);
    int steps = 0;
    while (!in.Empty() && steps++ < 256) {
        switch (in.Byte() % 8) {
            case 0:
            case 1:
            case 2:
            case 3:  // raw bytes
                Arrive(loop, pm, in.Take(in.Byte()), in);
                break;
            case 4:  // virtual time
                loop.Advance(static_cast<std::int64_t>(in.Byte()) * 500);
                break;
            case 5:  // a request, guarded or not
                switch (in.Byte() % 6) {
                    case 0: pm.SendGetImage(in.Byte()); break;
                    case 1: pm.SendGetImage2(in.Byte()); break;
                    case 2: pm.SendGetLog(in.Byte()); break;
                    case 3: pm.SendCheckVoltage(); break;
                    case 4: pm.SendGetLogEx(in.Byte() % 5, in.Byte()); break;
                    default: pm.SendMiniStatus(); break;
                }
                break;
            case 6: {  // a General frame with both checksums right
                CPacket p;
                p.m_Command = in.Byte() % 128;
                p.m_Param1 = in.Byte();
                p.m_Param2 = in.Word();
                p.m_ErrCode = in.Byte() % 4;
                std::vector<std::uint8_t> body = in.Take(in.Word() % 2600);
                p.m_DataSize = static_cast<std::uint32_t>(body.size());
                if (!body.empty()) std::memcpy(p.m_Data, body.data(), body.size());
                p.PrepareForSend();
                std::vector<std::uint8_t> frame(p.FrameSize());
                p.Serialize(frame.data(), frame.size());
                if (in.Byte() % 8 == 0 && frame.size() > 25) frame[25 + in.Byte() % (frame.size() - 25)] ^= 1;
                Arrive(loop, pm, frame, in);
                break;
            }
            default: {  // a Minimized frame with its checksum right
                std::vector<std::uint8_t> frame(6);
                BuildMiniFrame(frame.data(), in.Byte(), in.Byte(), in.Byte());
                Arrive(loop, pm, frame, in);
                break;
            }
        }
        // Invariants of the machine.
        if (pm.m_RxState < 0 || pm.m_RxState > 13) __builtin_trap();
        if (pm.m_RxState == 7 && pm.m_RxPos >= pm.m_RxPacket.m_DataSize) __builtin_trap();
        if (pm.m_RetryCount < 0 || pm.m_RetryCount >= MAX_SENDS) __builtin_trap();
    }
    return 0;
}
