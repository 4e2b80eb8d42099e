// Firmware upgrade over the real serial path: a 512 KiB BIN image sent chunk
// by chunk by the module client (serial channel, watch thread, frame parser,
// exchanges) and CUpgradeSession, against the simulated module on a
// pseudo-terminal. Paced at 115200 bit/s the measured time is compared with
// the wire time of every frame at 10 bits a byte; unpaced, the time per chunk
// is the console's own turnaround (plus the pseudo-terminal's).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/core/ManualMessageLoop.h"
#include "protocol/ModuleClient.h"
#include "protocol/UpgradeSession.h"
#include "sim/SimPty.h"

namespace {

constexpr std::size_t kImageSize = 512 * 1024;
constexpr int kBaud = 115200;

// The upgrade flow's part: every reply to a chunk goes to the session.
class CUpgradeDriver : public CMsgTarget {
public:
    CUpgradeDriver(IMessageLoop& loop, CModuleClient& client) : CMsgTarget(loop), session(client, *this) {}
    CUpgradeSession session;
    CUpgradeSession::EAnswer last = CUpgradeSession::ANSWER_NONE;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM) override {
        if (msg == WM_EXCHANGE_ENDED) last = session.OnReply(*reinterpret_cast<const CReply*>(wParam));
        return 0;
    }
};

// The firmware image, written once under TMPDIR and removed when the
// program ends.
struct SImageFile {
    SImageFile() {
        const char* root = std::getenv("TMPDIR");
        path = std::string(root && *root ? root : "/tmp") + "/pravik-bench-XXXXXX";
        const int fd = mkstemp(path.data());
        std::vector<unsigned char> bytes(kImageSize);
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + (i >> 11));
        if (fd >= 0) {
            (void)!write(fd, bytes.data(), bytes.size());
            close(fd);
        }
    }
    ~SImageFile() { std::remove(path.c_str()); }
    std::string path;
};

std::string ImageFile() {
    static const SImageFile file;
    return file.path;
}

// Wire time of the whole upgrade: each chunk request (header, 2052 data
// bytes, data checksum) and its data-less answer, 10 bits a byte.
double WireSeconds() {
    const double chunks = kImageSize / FW_BIN_CHUNK;
    const double bytes = chunks * ((PACKET_HEADER_SIZE + 4 + FW_BIN_CHUNK + 4) + PACKET_HEADER_SIZE);
    return bytes * 10.0 / kBaud;
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One whole upgrade; returns the seconds it took, or a negative value when it
// failed. cpu: the console thread's processor time meanwhile (reading the
// chunk, framing, writing, parsing the answer, deciding).
double RunUpgrade(bool paced, std::string& error, double* cpu = nullptr) {
    CSimPty sim;
    SimOptions options;
    options.type = 1;  // Pell: BIN
    options.baud = kBaud;
    options.throttle = paced;
    if (!sim.Start(options)) {
        error = sim.LastError();
        return -1;
    }
    CManualMessageLoop loop;
    CModuleClient client(loop);
    CUpgradeDriver driver(loop, client);
    CUpgradeSession& session = driver.session;
    if (!client.Open(sim.SlavePath(), kBaud)) {
        error = "cannot open " + sim.SlavePath();
        return -1;
    }
    if (!session.Prepare(EUpgradeFormat::Bin, ImageFile())) {
        error = "the image file was refused (error " + std::to_string(session.Error().code) + ")";
        return -1;
    }
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuSeconds();
    if (!session.SendFirst()) {
        error = "the first chunk was not sent (error " + std::to_string(session.Error().code) + ")";
        return -1;
    }
    loop.RunUntil([&] { return !session.IsRunning(); }, 120000);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (cpu) *cpu = ThreadCpuSeconds() - cpuStart;
    client.Close();
    bool received = false;
    sim.RunLocked([&](CSimModule& module) { received = module.FirmwareReceiver().BinComplete(); });
    if (driver.last != CUpgradeSession::ANSWER_COMPLETE || !received) {
        error = "the upgrade did not complete";
        return -1;
    }
    return seconds;
}

void BM_UpgradeBin512KiBPaced(benchmark::State& state) {
    for (auto _ : state) {
        std::string error;
        const double seconds = RunUpgrade(true, error);
        if (seconds < 0) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.SetIterationTime(seconds);
        state.counters["measured_s"] = seconds;
        state.counters["wire_s"] = WireSeconds();
        state.counters["ratio"] = seconds / WireSeconds();
    }
}
BENCHMARK(BM_UpgradeBin512KiBPaced)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_UpgradeBin512KiBUnpaced(benchmark::State& state) {
    for (auto _ : state) {
        std::string error;
        double cpu = 0;
        const double seconds = RunUpgrade(false, error, &cpu);
        if (seconds < 0) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.SetIterationTime(seconds);
        // Answer to next request through the pseudo-terminal and the module ...
        state.counters["per_chunk_us"] = seconds * 1e6 / (kImageSize / FW_BIN_CHUNK);
        // ... of which the console's own work.
        state.counters["console_cpu_per_chunk_us"] = cpu * 1e6 / (kImageSize / FW_BIN_CHUNK);
    }
}
BENCHMARK(BM_UpgradeBin512KiBUnpaced)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
