// The packet trace window under a burst: 10,000 packets added while it is
// open (it keeps the newest 1000 rows), before the window repaints.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <memory>

#include "protocol/Packet.h"
#include "protocol/CommandCatalog.h"
#include "tools/PacketTraceDlg.h"

namespace {

QApplication& App() {
    static int argc = 1;
    static char name[] = "pravik-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

void BM_PacketTraceBurst(benchmark::State& state) {
    App();
    QWidget form;
    form.resize(400, 300);
    form.show();
    auto packet = std::make_unique<CPacket>();  // 64 KiB: not on the stack
    for (auto _ : state) {
        CPacketTraceDlg trace;
        trace.Create(&form);
        for (std::uint32_t i = 0; i < 10000; ++i) {
            packet->m_Command = CMD_CONNECT + (i & 7);
            packet->m_Param1 = i;
            packet->m_Param2 = i * 3;
            packet->m_DataSize = i & 0xFFF;
            trace.AddPacket(*packet, static_cast<int>(i & 1));
        }
        state.PauseTiming();
        QCoreApplication::processEvents();
        trace.DestroyWindow();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["packets/s"] = benchmark::Counter(10000.0 * static_cast<double>(state.iterations()),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PacketTraceBurst)->Unit(benchmark::kMillisecond);

}  // namespace
