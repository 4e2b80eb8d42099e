// The command-line program as a script runs it, timed from outside.
//
// BM_CliFourModulesCapture: four simulated modules paced at 115200 bit/s
// (10 bits a byte) on their own pseudo-terminals, one pravik-cli process
// capturing an image by CMD_GET_IMAGE from each of them at once (--port four
// times, one message loop). Each module's capture time (its JSON line's
// elapsed_ms, from the first piece request to the image saved) over the wire
// time of the capture's frames: "ratio_max" is the worst module of the
// iteration (the modules make their image on an untimed first run).
// "cpu_ms" is the program's processor time (user and system) for the whole
// run: connections and four captures.
//
// BM_CliStartupToFirstByte: from starting pravik-cli to the first byte of
// CMD_CONNECT arriving on a pseudo-terminal's other end.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "protocol/ImageStore.h"
#include "protocol/Packet.h"
#include "sim/SimPty.h"

extern char** environ;

namespace {

constexpr int kBaud = 115200;
constexpr int kModules = 4;

// Every frame of one CMD_GET_IMAGE capture, both ways, at 10 bits a byte.
double CaptureWireSeconds() {
    std::size_t bytes = 0;
    for (std::size_t offset = 0; offset < IMAGE_SIZE; offset += IMAGE_PIECE_SIZE) {
        const std::size_t data = std::min(IMAGE_PIECE_SIZE, IMAGE_SIZE - offset);
        bytes += PACKET_HEADER_SIZE + (PACKET_HEADER_SIZE + data + 4);
    }
    return static_cast<double>(bytes) * 10.0 / kBaud;
}

struct SProcess {
    pid_t pid = -1;
    int out = -1;  // its standard output
};

SProcess Spawn(std::vector<std::string> args) {
    SProcess p;
    int pipes[2];
    if (pipe2(pipes, O_CLOEXEC) != 0) return p;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipes[1], 1);
    args.insert(args.begin(), PRAVIK_CLI_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&p.pid, PRAVIK_CLI_EXE, &actions, nullptr, argv.data(), environ) != 0) p.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(pipes[1]);
    p.out = pipes[0];
    return p;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

struct STempFolder {
    STempFolder() {
        std::string pattern = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/bench-cli-XXXXXX";
        path = mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
    }
    ~STempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

void BM_CliFourModulesCapture(benchmark::State& state) {
    SimOptions options;
    options.baud = kBaud;
    options.throttle = true;
    options.fingerDelayMs = 0;
    std::vector<std::unique_ptr<CSimPty>> sims;
    for (int i = 0; i < kModules; ++i) {
        sims.push_back(std::make_unique<CSimPty>());
        if (!sims.back()->Start(options)) return state.SkipWithError("the simulated module did not start");
    }
    STempFolder dir;
    const double wire = CaptureWireSeconds();
    double worst = 0, sumWorst = 0, cpu = 0, wall = 0;
    std::vector<double> ratios;
    std::vector<std::string> args = {"--json", "--baud", "115200"};
    for (const auto& sim : sims) args.insert(args.end(), {"--port", sim->SlavePath()});
    args.insert(args.end(), {"capture", "--method", "1", "-o", dir.path + "/image.raw"});
    // Each simulated module makes its image once, on the first capture: not timed.
    {
        SProcess warm = Spawn(args);
        if (warm.pid < 0) return state.SkipWithError("pravik-cli did not start");
        ReadAll(warm.out);
        close(warm.out);
        waitpid(warm.pid, nullptr, 0);
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        SProcess p = Spawn(args);
        if (p.pid < 0) return state.SkipWithError("pravik-cli did not start");
        const std::string out = ReadAll(p.out);
        close(p.out);
        int status = 0;
        rusage usage{};
        wait4(p.pid, &status, 0, &usage);
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(wall);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return state.SkipWithError(("capture failed: " + out).c_str());
        cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        static const std::regex elapsed(R"("command":"capture[^\n]*"elapsed_ms":([0-9.]+))");
        ratios.clear();
        for (std::sregex_iterator it(out.begin(), out.end(), elapsed), end; it != end; ++it) {
            ratios.push_back(std::stod((*it)[1]) / 1000.0 / wire);
        }
        if (ratios.size() != kModules) return state.SkipWithError(("not four captures: " + out).c_str());
        const double iterationWorst = *std::max_element(ratios.begin(), ratios.end());
        worst = std::max(worst, iterationWorst);
        sumWorst += iterationWorst;
    }
    state.counters["wire_s"] = wire;
    // The worst module of any iteration, and of an iteration on average.
    state.counters["ratio_max"] = worst;
    state.counters["ratio_max_mean"] = sumWorst / static_cast<double>(state.iterations());
    for (int i = 0; i < kModules; ++i) state.counters["ratio_" + std::to_string(i + 1)] = ratios[i];
    state.counters["cpu_ms"] = cpu * 1000.0;
    state.SetLabel("four modules, CMD_GET_IMAGE at 115200 bit/s, one pravik-cli");
}
BENCHMARK(BM_CliFourModulesCapture)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_CliStartupToFirstByte(benchmark::State& state) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return state.SkipWithError("no pseudo-terminal");
    const std::string slave = ptsname(master);
    // Our own descriptor of the terminal keeps it alive between runs.
    const int keep = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        SProcess p = Spawn({"--port", slave, "--baud", "115200", "info"});
        if (p.pid < 0) return state.SkipWithError("pravik-cli did not start");
        pollfd fd{master, POLLIN, 0};
        const bool arrived = poll(&fd, 1, 5000) > 0;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        kill(p.pid, SIGKILL);
        waitpid(p.pid, nullptr, 0);
        close(p.out);
        char buffer[256];
        for (pollfd drain{master, POLLIN, 0}; poll(&drain, 1, 0) > 0 && read(master, buffer, sizeof buffer) > 0;) {
        }
        if (!arrived) return state.SkipWithError("no byte arrived");
        state.SetIterationTime(seconds);
        times.push_back(seconds);
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2] * 1000.0;
    state.counters["max_ms"] = times.back() * 1000.0;
    if (keep >= 0) close(keep);
    close(master);
}
BENCHMARK(BM_CliStartupToFirstByte)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
