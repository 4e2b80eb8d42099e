// Receive-path throughput: image-piece answers, in reads of up to 2048 bytes
// as the watch thread delivers them, through the frame parser to whole,
// checked frames.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "protocol/CommandCatalog.h"
#include "protocol/FrameParser.h"

namespace {

class CCountingSink : public IFrameSink {
public:
    std::size_t pieces = 0;
    bool OnGeneralFrame(const CPacket& frame) override {
        pieces += frame.m_Command == CMD_GET_IMAGE && frame.m_DataSize == 2048;
        return true;
    }
    bool OnMiniFrame(const std::uint8_t*) override { return true; }
    bool OnBadFrame(EBadFrame, const std::uint8_t*, std::size_t) override { return true; }
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
    CFrameParser parser;
    CCountingSink sink;
    const std::vector<std::uint8_t> stream = ImageStream(36);
    for (auto _ : state) {
        for (std::size_t i = 0; i < stream.size();) {
            const std::size_t n = std::min<std::size_t>(2048, stream.size() - i);
            i += parser.Feed(stream.data() + i, n, sink);
        }
    }
    if (sink.pieces != 36 * static_cast<std::size_t>(state.iterations())) state.SkipWithError("pieces lost");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["pieces/s"] = benchmark::Counter(static_cast<double>(sink.pieces), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiveImagePieces)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
