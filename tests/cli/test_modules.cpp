// Several modules at once, progress on a terminal, the serial ports, and
// what pravik-cli is linked with.
#include <pty.h>

#include <cstdio>
#include <memory>

#include "CliProcess.h"
#include "sim/SimPty.h"

namespace {


std::unique_ptr<CSimPty> StartSim(int finger) {
    SimOptions options;
    options.finger = finger;
    options.fingerDelayMs = 0;
    options.imageTimeoutMs = 100;  // no finger: the capture is answered "not in time" soon
    auto sim = std::make_unique<CSimPty>();
    EXPECT_TRUE(sim->Start(options)) << sim->LastError();
    return sim;
}

}  // namespace

TEST(CliModules, SeveralModulesRunTheSameCommandsAtOnceWithOneResultEach) {
    auto a = StartSim(1);
    auto b = StartSim(0);  // no finger on this one
    CTestFolder dir;
    const SCliRun run = RunCli({"--port", a->SlavePath(), "--port", b->SlavePath(), "--report", dir.File("r.csv"),
                                "--junit", dir.File("j.xml"), "status", "capture", "-o", dir.File("img.png"), "status"});
    // The worst of the two: the module without a finger failed its capture.
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    const std::string pa = a->SlavePath(), pb = b->SlavePath();
    const std::string capture = "capture -o " + dir.File("img.png") + ": ";
    EXPECT_TRUE(Contains(run.out, pa + ": status: Status = Idle\n")) << run.out;
    EXPECT_TRUE(Contains(run.out, pb + ": status: Status = Idle\n"));
    // Each module's files carry its number.
    EXPECT_TRUE(Contains(run.out, pa + ": " + capture + "The image was saved as " + dir.File("img-m1.png") + ".\n"));
    EXPECT_TRUE(Contains(run.out, pb + ": " + capture + "To get a fingerprint image failed. (Not in time)\n"));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 5);  // the failed module stopped
    EXPECT_TRUE(Exists(dir.File("img-m1.png")));
    EXPECT_FALSE(Exists(dir.File("img-m2.png")));
    EXPECT_FALSE(Exists(dir.File("img.png")));

    const std::string csv = ReadText(dir.File("r.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 2 * 4) << csv;
    EXPECT_TRUE(Contains(csv, pb + ",status,skipped,,,An earlier command failed.,"));
    const std::string xml = ReadText(dir.File("j.xml"));
    EXPECT_TRUE(Contains(xml, R"(<testsuites name="pravik-cli" tests="8" failures="1" errors="0" skipped="1")")) << xml;
    EXPECT_TRUE(Contains(xml, "<testsuite name=\"" + pa + "\" tests=\"4\" failures=\"0\""));
    EXPECT_TRUE(Contains(xml, "<testsuite name=\"" + pb + "\" tests=\"4\" failures=\"1\""));
}

TEST(CliModules, ProgressGoesToStderrOnlyWhenItIsATerminal) {
    CTestFolder dir;
    // A pipe: nothing but the results.
    SCliRun run = RunCli({"--sim", "capture", "-o", dir.File("a.raw")});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    // A terminal: what the job is doing, line over line.
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::string shown;
    auto drain = [&] {
        char buffer[4096];
        for (pollfd p{master, POLLIN, 0}; poll(&p, 1, 0) > 0;) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            shown.append(buffer, static_cast<std::size_t>(n));
        }
    };
    run = RunCli({"--sim", "master", "enter", "enroll", "4", "capture", "-o", dir.File("b.raw")}, slave, drain);
    close(slave);
    drain();
    close(master);
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(Contains(shown, "Put your fingertip on the reader")) << shown;
    EXPECT_TRUE(Contains(shown, "Lift your fingertip")) << shown;
    EXPECT_TRUE(Contains(shown, "capture: piece ")) << shown;
    EXPECT_TRUE(Contains(shown, "\r\033[K")) << shown;
    // The results themselves stay on stdout.
    EXPECT_FALSE(Contains(shown, "Enrollment succeeded."));
    EXPECT_TRUE(Contains(run.out, "enroll 4: Enrollment succeeded.\n"));
}

TEST(CliModules, PortsListsTheSerialDevicesWithoutAModule) {
    const SCliRun run = RunCli({"--json", "ports"});
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.Lines().size(), 1u) << run.out;
    EXPECT_EQ(run.Lines()[0].rfind(R"({"command":"ports","port":"","result":"ok")", 0), 0u) << run.out;
    EXPECT_TRUE(Contains(run.out, R"("values":{"ports":[)"));
}

TEST(CliBinary, LinksNoQtLibrary) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("readelf -d '" + std::string(PRAVIK_CLI_EXE) + "'").c_str(), "r"),
                                               &pclose);
    ASSERT_TRUE(pipe);
    std::string dynamic;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) dynamic.append(buffer, n);
    std::vector<std::string> needed;
    std::istringstream in(dynamic);
    for (std::string line; std::getline(in, line);) {
        if (Contains(line, "(NEEDED)")) needed.push_back(line.substr(line.find('[') + 1));
    }
    // The check reads something real: the C library at least.
    ASSERT_TRUE(std::any_of(needed.begin(), needed.end(), [](const std::string& l) { return Contains(l, "libc.so"); }))
        << dynamic;
    for (const std::string& library : needed) {
        EXPECT_FALSE(Contains(library, "Qt6Widgets")) << library;
        EXPECT_FALSE(Contains(library, "libQt")) << library;
    }
}
