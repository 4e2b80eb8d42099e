// Receive-path throughput: image-piece answers from the receive queue through
// the state machine to the posted notifications and their delivery.
#include <benchmark/benchmark.h>

#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/PacketManagerWnd.h"

namespace {

class CCountingView : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    std::size_t pieces = 0;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg == WM_RX_GET_IMAGE) {
            const CPacket* p = reinterpret_cast<const CPacket*>(wParam);
            pieces += p->m_DataSize == 2048;
        }
        return 0;
    }
};

std::vector<std::uint8_t> ImageStream(int pieces) {
    std::vector<std::uint8_t> stream;
    CPacket p;
    for (int i = 0; i < pieces; ++i) {
        p.m_Command = CMD_GET_IMAGE;
        p.m_Param1 = RES_SUCCESS;
        p.m_Param2 = static_cast<std::uint32_t>(i);
        p.m_DataSize = 2048;
        for (int k = 0; k < 2048; ++k) p.m_Data[k] = static_cast<std::uint8_t>(k * 13 + i);
        p.PrepareForSend();
        std::size_t at = stream.size();
        stream.resize(at + p.FrameSize());
        p.Serialize(stream.data() + at, p.FrameSize());
    }
    return stream;
}

void BM_ReceiveImagePieces(benchmark::State& state) {
    CManualMessageLoop loop;
    CScriptedOperator op;
    CCountingView view(loop);
    CPacketManagerWnd pm(loop, op);
    pm.Create(&view);
    const std::vector<std::uint8_t> stream = ImageStream(36);

    for (auto _ : state) {
        // As the watch thread does: reads of up to 2048 bytes, one wake-up each.
        for (std::size_t i = 0; i < stream.size(); i += 2048) {
            int n = static_cast<int>(std::min<std::size_t>(2048, stream.size() - i));
            pm.m_Comm.m_QueueRead.PutChunk(stream.data() + i, n);
            loop.Post(&pm, WM_COMM_READ);
            loop.RunPending();
        }
    }
    if (view.pieces != 36 * static_cast<std::size_t>(state.iterations())) state.SkipWithError("pieces lost");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["pieces/s"] = benchmark::Counter(static_cast<double>(view.pieces), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiveImagePieces)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
