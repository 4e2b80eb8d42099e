// The serial channel's times that the tests leave to the machine's load:
// BM_ClosePortJoinsTheWatchThread, how long ClosePort takes to wake and join
// a watch thread that waits for bytes (a pseudo-terminal, nothing to drain);
// BM_StalledWriteEnds, how long after its 150 ms stall limit a write to a
// peer that never reads gives up ("late_ms").
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "link/SerialChannel.h"
#include "platform/core/ManualMessageLoop.h"

namespace {

using Clock = std::chrono::steady_clock;

// The module's end of a pseudo-terminal.
struct SPtyMaster {
    SPtyMaster() : fd(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[128] = {};
        if (fd >= 0 && grantpt(fd) == 0 && unlockpt(fd) == 0 && ptsname_r(fd, name, sizeof name) == 0) slave = name;
    }
    ~SPtyMaster() { close(fd); }
    int fd;
    std::string slave;
};

class CSilentOwner : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    LRESULT WindowProc(UINT, WPARAM, LPARAM) override { return 0; }
};

void BM_ClosePortJoinsTheWatchThread(benchmark::State& state) {
    SPtyMaster pty;
    CManualMessageLoop loop;
    CSilentOwner owner(loop);
    CSerialChannel comm;
    comm.SetOwner(&owner);
    if (pty.slave.empty()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    for (auto _ : state) {
        if (!comm.OpenPort(pty.slave, 115200, 0)) {
            state.SkipWithError(comm.LastError().c_str());
            return;
        }
        // Let the watch thread reach its wait.
        state.PauseTiming();
        usleep(2000);
        state.ResumeTiming();
        const auto start = Clock::now();
        comm.ClosePort();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
}
BENCHMARK(BM_ClosePortJoinsTheWatchThread)->UseManualTime()->Iterations(200)->Unit(benchmark::kMicrosecond);

void BM_StalledWriteEnds(benchmark::State& state) {
    constexpr int kLimitMs = 150;
    double lateSum = 0;
    int runs = 0;
    for (auto _ : state) {
        SPtyMaster pty;  // never read: the terminal's buffers fill up
        CSerialDevice device;
        if (pty.slave.empty() || !device.Open(pty.slave, 9600)) {
            state.SkipWithError("no pseudo-terminal");
            return;
        }
        device.SetWriteStallLimit(kLimitMs);
        std::vector<std::uint8_t> big(1 << 20, 0x55);
        const auto start = Clock::now();
        device.Write(big.data(), big.size());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        lateSum += seconds * 1000 - kLimitMs;
        ++runs;
    }
    if (runs) state.counters["late_ms"] = lateSum / runs;
}
BENCHMARK(BM_StalledWriteEnds)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
