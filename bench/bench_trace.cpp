// The kept trace: what adding one frame to the console's history costs (the
// module client hands it every frame written or read, whether or not the
// trace window is open), in its steady state, once the rings have wrapped;
// and the trace window under a burst of 10,000 frames while it is open.
//   Arg 0: a data-less General request (25 bytes)
//   Arg 1: a 2048-byte image-piece answer (2077 bytes)
//   Arg 2: a Minimized answer (6 bytes)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <memory>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/TraceHistory.h"
#include "tools/PacketTraceDlg.h"

namespace {

void BM_TraceHistoryAdd(benchmark::State& state) {
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    auto packet = std::make_unique<CPacket>();
    std::uint8_t mini[MINI_FRAME_SIZE];
    BuildMiniFrame(mini, MINI_IDENTIFY, RES_SUCCESS, 0);
    STraceEvent event;
    switch (state.range(0)) {
        case 0:
            packet->m_Command = CMD_GET_IMAGE;
            event.kind = ETraceKind::Request;
            event.packet = packet.get();
            event.send = 1;
            break;
        case 1:
            packet->m_Command = CMD_GET_IMAGE;
            packet->m_Param1 = RES_SUCCESS;
            packet->m_DataSize = 2048;
            for (std::uint32_t i = 0; i < 2048; ++i) packet->m_Data[i] = static_cast<std::uint8_t>(i * 7);
            event.kind = ETraceKind::Answer;
            event.packet = packet.get();
            break;
        default:
            event.kind = ETraceKind::Answer;
            event.form = EFrameForm::Minimized;
            event.bytes = mini;
            event.size = MINI_FRAME_SIZE;
            break;
    }
    packet->PrepareForSend();
    // Past the first laps of both rings: the steady state.
    for (int i = 0; i < 40000; ++i) history.OnTrace(event);
    for (auto _ : state) {
        history.OnTrace(event);
        benchmark::ClobberMemory();
    }
    if (history.Size() == 0 || history.Total() < 40000) state.SkipWithError("frames were not kept");
    state.counters["kept"] = static_cast<double>(history.Size());
    state.SetLabel(state.range(0) == 0 ? "25-byte request" : state.range(0) == 1 ? "2077-byte answer" : "Minimized");
}
BENCHMARK(BM_TraceHistoryAdd)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kNanosecond);

QApplication& App() {
    static int argc = 1;
    static char name[] = "pravik-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// 10,000 frames reach the history while the window is open, then the window
// catches up (one repaint's worth of events).
void BM_PacketTraceBurst(benchmark::State& state) {
    App();
    QWidget form;
    form.resize(400, 300);
    form.show();
    CManualMessageLoop loop;
    CTraceHistory history(loop);
    auto packet = std::make_unique<CPacket>();  // 64 KiB: not on the stack
    STraceEvent event;
    event.packet = packet.get();
    CPacketTraceDlg trace(history);
    trace.Create(&form);
    for (auto _ : state) {
        for (std::uint32_t i = 0; i < 10000; ++i) {
            packet->m_Command = CMD_CONNECT + (i & 7);
            packet->m_Param1 = i;
            packet->m_Param2 = i * 3;
            packet->m_DataSize = i & 0xFFF;
            packet->PrepareForSend();
            event.kind = (i & 1) ? ETraceKind::Answer : ETraceKind::Request;
            history.OnTrace(event);
        }
        QCoreApplication::processEvents();
    }
    if (trace.RowCount() == 0) state.SkipWithError("the window lists nothing");
    trace.DestroyWindow();
    state.counters["frames/s"] = benchmark::Counter(10000.0 * static_cast<double>(state.iterations()),
                                                    benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PacketTraceBurst)->Unit(benchmark::kMillisecond);

}  // namespace
