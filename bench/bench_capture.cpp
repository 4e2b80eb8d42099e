// Image capture against the simulated module on a pseudo-terminal, through
// the real module client and serial channel: each piece answer is stored in
// the image and the next piece asked for from its reply, as the console's
// capture does.
//
// BM_CaptureAtLineSpeed: the module paced at 115200 bit/s (10 bits a byte);
// "ratio" is the measured time over the wire time of every byte that crossed
// the line (requests and answers). BM_CaptureUnpaced: the same without
// pacing, per piece: the round trip through both ends and two pty hops.
// BM_ConsoleTurnaround: the console's own share of one piece: the answer's
// bytes from the receive queue through the parser, the matching to its
// request, the reply, the store, and the next request framed and written to
// a pseudo-terminal.
//
// The second argument of BM_CaptureAtLineSpeed and BM_ConsoleTurnaround: 1
// keeps every frame in a trace history as the console does, 0 traces nothing
// (the figures before the history existed). The unpaced capture is traced.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/ImageStore.h"
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include "protocol/ModuleClient.h"
#include "protocol/TraceHistory.h"
#include "sim/SimPty.h"

namespace {

constexpr int BENCH_BAUD = 115200;

// Stores each piece and asks for the next one; done after the last.
class CCaptureDriver : public CMsgTarget {
public:
    CCaptureDriver(IMessageLoop& loop, CModuleClient& client) : CMsgTarget(loop), m_Client(client) {}
    // After the last piece, start again with the first (for the turnaround).
    bool m_bEndless = false;

    void Start(std::uint32_t command) {
        m_nCommand = command;
        m_bDone = false;
        m_bFailed = false;
        m_nPieces = 0;
        m_Arrivals.clear();
        m_Image.Clear();
        Request(0);
    }
    bool Done() const { return m_bDone; }
    bool Failed() const { return m_bFailed; }
    int Pieces() const { return m_nPieces; }
    const CImageStore& Image() const { return m_Image; }
    // When each piece answer reached the driver (seconds, steady clock).
    const std::vector<double>& Arrivals() const { return m_Arrivals; }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg == WM_CHECKSUM_ERROR) {
            m_bFailed = m_bDone = true;
            return 0;
        }
        if (msg != WM_EXCHANGE_ENDED) return 0;
        const CReply& reply = *reinterpret_cast<const CReply*>(wParam);
        if (!reply.IsAnswered() || reply.Packet().m_Param1 != RES_SUCCESS) {
            m_bFailed = m_bDone = true;
            return 0;
        }
        const CPacket& answer = reply.Packet();
        ++m_nPieces;
        if (!m_bEndless) m_Arrivals.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
        if (m_nCommand == CMD_GET_IMAGE) {
            const std::size_t offset = answer.m_Param2 * IMAGE_PIECE_SIZE;
            m_Image.StorePiece(offset, answer.m_Data, answer.m_DataSize);
            if (offset + answer.m_DataSize < IMAGE_SIZE) return Request(answer.m_Param2 + 1), 0;
        } else {
            const std::uint32_t index = (answer.m_Param2 >> 8) & 0xFF, last = answer.m_Param2 & 0xFF;
            m_Image.StorePiece(index * IMAGE2_PIECE_SIZE, answer.m_Data, answer.m_DataSize);
            if (index < last) return Request(index + 1), 0;
        }
        if (m_bEndless) return Request(0), 0;
        m_bDone = true;
        return 0;
    }

private:
    void Request(std::uint32_t piece) {
        if (m_Client.Send(*this, req::General(m_nCommand, 0, piece)) != ESendResult::Sent) m_bFailed = m_bDone = true;
    }
    CModuleClient& m_Client;
    CImageStore m_Image;
    std::uint32_t m_nCommand = CMD_GET_IMAGE;
    bool m_bDone = false;
    bool m_bFailed = false;
    int m_nPieces = 0;
    std::vector<double> m_Arrivals;
};

// One capture against a fresh simulated module; false when it broke.
struct SCaptureRun {
    double seconds = 0;
    std::uint64_t lineBytes = 0;
    int pieces = 0;
    // Median over the full pieces of the time between two answers beyond the
    // wire time of one request and one answer: what the two ends add.
    double medianGapSeconds = 0;
};

bool RunCapture(int board, bool paced, bool traced, SCaptureRun& run) {
    SimOptions options;
    options.baud = BENCH_BAUD;
    options.type = board;
    options.throttle = paced;
    options.fingerDelayMs = 0;
    CSimPty sim;
    if (!sim.Start(options)) return false;
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    CModuleClient client(loop);
    CCaptureDriver driver(loop, client);
    client.SetLinkListener(&driver);
    // As the console has it: every frame kept in the trace history.
    if (traced) client.SetTraceSink(&history);
    if (!client.Open(sim.SlavePath(), BENCH_BAUD)) return false;
    const std::uint32_t command = board == 0 ? CMD_GET_IMAGE : CMD_GET_IMAGE2;
    // The first image the module takes is cached; take it once before timing.
    driver.Start(command);
    if (!loop.RunUntil([&] { return driver.Done(); }, 60000) || driver.Failed()) return false;
    const SimLineStats before = sim.LineStats();
    const auto start = std::chrono::steady_clock::now();
    driver.Start(command);
    const bool done = loop.RunUntil([&] { return driver.Done(); }, 60000);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const SimLineStats after = sim.LineStats();
    run.lineBytes = after.bytesIn + after.bytesOut - before.bytesIn - before.bytesOut;
    run.pieces = driver.Pieces();
    const std::size_t pieceSize = command == CMD_GET_IMAGE ? IMAGE_PIECE_SIZE : IMAGE2_PIECE_SIZE;
    const double pieceWire = (2.0 * PACKET_HEADER_SIZE + pieceSize + 4) * 10.0 / BENCH_BAUD;
    std::vector<double> gaps;
    const std::vector<double>& at = driver.Arrivals();
    for (std::size_t i = 1; i + 1 < at.size(); ++i) gaps.push_back(at[i] - at[i - 1] - (paced ? pieceWire : 0));
    if (!gaps.empty()) {
        std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2), gaps.end());
        run.medianGapSeconds = gaps[gaps.size() / 2];
    }
    client.Close();
    sim.Stop();
    return done && !driver.Failed();
}

void BM_CaptureAtLineSpeed(benchmark::State& state) {
    const int board = static_cast<int>(state.range(0));
    const bool traced = state.range(1) != 0;
    SCaptureRun run;
    double ratioSum = 0, ratioBest = 1e9, gapSum = 0;
    for (auto _ : state) {
        if (!RunCapture(board, true, traced, run)) {
            state.SkipWithError("capture failed");
            return;
        }
        state.SetIterationTime(run.seconds);
        const double ratio = run.seconds / (run.lineBytes * 10.0 / BENCH_BAUD);
        ratioSum += ratio;
        ratioBest = std::min(ratioBest, ratio);
        gapSum += run.medianGapSeconds;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["wire_s"] = run.lineBytes * 10.0 / BENCH_BAUD;
    state.counters["ratio"] = ratioSum / n;
    state.counters["ratio_best"] = ratioBest;
    // Beyond the wire time, per piece, in the typical round trip.
    state.counters["extra_us_median"] = gapSum / n * 1e6;
    state.counters["pieces"] = run.pieces;
    state.SetLabel(std::string(board == 0 ? "CMD_GET_IMAGE, 2048-byte pieces" : "CMD_GET_IMAGE2, 512-byte pieces") +
                   (traced ? ", traced" : ""));
}
BENCHMARK(BM_CaptureAtLineSpeed)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

void BM_CaptureUnpaced(benchmark::State& state) {
    const int board = static_cast<int>(state.range(0));
    SCaptureRun run;
    for (auto _ : state) {
        if (!RunCapture(board, false, true, run)) {
            state.SkipWithError("capture failed");
            return;
        }
        state.SetIterationTime(run.seconds);
    }
    state.counters["us_per_piece"] = run.seconds * 1e6 / run.pieces;
    state.counters["us_per_piece_median"] = run.medianGapSeconds * 1e6;
    state.SetLabel(board == 0 ? "CMD_GET_IMAGE" : "CMD_GET_IMAGE2");
}
BENCHMARK(BM_CaptureUnpaced)->Arg(0)->Arg(1)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// The answer to piece n of command as the module sends it.
std::vector<std::uint8_t> PieceFrame(std::uint32_t command, std::uint32_t n, std::uint32_t last) {
    const std::size_t size = command == CMD_GET_IMAGE ? IMAGE_PIECE_SIZE : IMAGE2_PIECE_SIZE;
    auto p = std::make_unique<CPacket>();
    p->m_Command = command;
    p->m_Param1 = RES_SUCCESS;
    p->m_Param2 = command == CMD_GET_IMAGE ? n : (n << 8 | last);
    p->m_DataSize = static_cast<std::uint32_t>(std::min(size, IMAGE_SIZE - n * size));
    for (std::uint32_t k = 0; k < p->m_DataSize; ++k) p->m_Data[k] = static_cast<std::uint8_t>(k * 7);
    p->PrepareForSend();
    std::vector<std::uint8_t> frame(p->FrameSize());
    p->Serialize(frame.data(), frame.size());
    return frame;
}

void BM_ConsoleTurnaround(benchmark::State& state) {
    const std::uint32_t command = state.range(0) == 0 ? CMD_GET_IMAGE : CMD_GET_IMAGE2;
    // Pieces 0..n-1, each answering the request the driver has out.
    const std::uint32_t pieces = command == CMD_GET_IMAGE ? 36 : 142;
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::uint32_t n = 0; n < pieces; ++n) frames.push_back(PieceFrame(command, n, pieces - 1));
    // The requests go to a pseudo-terminal nobody reads; it is emptied
    // now and then so that writes never wait.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    auto client = std::make_unique<CModuleClient>(loop);
    CCaptureDriver driver(loop, *client);
    driver.m_bEndless = true;
    const bool traced = state.range(1) != 0;
    if (traced) client->SetTraceSink(&history);
    std::size_t written = 0;
    client->Channel().m_WriteTap = [&](const std::uint8_t*, std::size_t n) {
        written += n;
        if (written % (64 * PACKET_HEADER_SIZE) == 0) {
            std::uint8_t sink[4096];
            while (read(master, sink, sizeof sink) > 0) {
            }
        }
    };
    if (!client->Open(ptsname(master), BENCH_BAUD)) {
        state.SkipWithError("cannot open the pseudo-terminal");
        close(master);
        return;
    }
    driver.Start(command);
    std::size_t next = 0;
    CQueue& queue = client->Channel().m_QueueRead;
    for (auto _ : state) {
        const std::vector<std::uint8_t>& frame = frames[next];
        next = (next + 1) % pieces;
        queue.PutChunk(frame.data(), static_cast<int>(frame.size()));
        loop.Post(client.get(), WM_COMM_READ);
        loop.RunPending();
    }
    if (written != PACKET_HEADER_SIZE * (static_cast<std::size_t>(state.iterations()) + 1) || driver.Failed())
        state.SkipWithError("a request was not written");
    client->Close();
    client.reset();
    close(master);
    state.SetLabel(std::string(command == CMD_GET_IMAGE ? "CMD_GET_IMAGE" : "CMD_GET_IMAGE2") + (traced ? ", traced" : ""));
}
BENCHMARK(BM_ConsoleTurnaround)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMicrosecond);

}  // namespace
