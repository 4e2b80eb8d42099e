// Each exit code of pravik-cli provoked: bad usage (2), a module that
// answers with a failure (1, the rest skipped), a port that cannot be opened,
// no answer at any rate, a link lost mid-capture and a module that goes
// silent (3), and files that cannot be read or written (4); with the
// messages on stderr and the CSV and JUnit reports.
#include <stdlib.h>

#include "CliProcess.h"
#include "sim/SimPty.h"

TEST(CliUsage, BadCommandLinesAreRefusedBeforeAnythingIsOpened) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"--sim"}, "no command given"},
        {{"info"}, "no module: give --port PORT or --sim"},
        {{"--sim", "frobnicate"}, "unknown command 'frobnicate'"},
        {{"--sim", "master"}, "'master' needs enter or leave"},
        {{"--sim", "--baud", "12345", "info"}, "--baud must be auto, 115200, 57600, 38400, 19200 or 9600, not '12345'"},
        {{"--sim", "--board", "Q", "info"}, "--board must be auto, ZEL12, Pell, QOR10-HV or QOR10-LV, not 'Q'"},
        {{"--sim", "verify"}, "verify needs an ID"},
        {{"--sim", "verify", "1234567890"}, "the ID '1234567890': Please enter no more than 9 characters."},
        {{"--sim", "enroll", "1", "--password", "0123456789abcdef"},
         "the password '0123456789abcdef': Please enter no more than 15 characters."},
        {{"--sim", "options", "set", "gain=64"}, "gain '64': Please enter an integer between 1 and 63."},
        {{"--sim", "options", "set", "gain=x"}, "gain 'x': Please enter an integer."},
        {{"--sim", "options", "set", "shine=1"}, "unknown option name 'shine'"},
        {{"--sim", "user-data", "read", "8192", "1"}, "the address '8192': Please enter an integer between 0 and 8191."},
        {{"--sim", "log", "-o", "x.log", "--search", "nth", "2048"},
         "the log search's N '2048': Please enter an integer between 0 and 2047."},
        {{"--sim", "capture"}, "capture needs -o FILE"},
        {{"--sim", "capture", "-o", "a.raw", "--method", "3"}, "--method '3': Please enter an integer between 1 and 2."},
        {{"--sim", "--minimized", "capture", "-o", "a.raw"}, "is not in the Minimized protocol"},
        {{"--sim", "--minimized", "delete", "4"}, "the Minimized delete carries no ID"},
        {{"--sim", "--port", "/dev/null", "info"}, "--sim and --port exclude each other"},
        {{"--sim", "-o", "x", "info"}, "-o belongs to a command"},
        {{"--sim", "--count", "3", "info"}, "unknown option '--count'"},
        {{"--sim", "--json=yes", "info"}, "option --json takes no value"},
    };
    for (const auto& c : cases) {
        const SCliRun run = RunCli(c.args);
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(run.exitCode, 2) << joined;
        EXPECT_TRUE(Contains(run.err, c.message)) << joined << "\n" << run.err;
        EXPECT_TRUE(Contains(run.err, "Try 'pravik-cli --help' for more information.")) << joined;
        EXPECT_EQ(run.out, "") << joined;
    }
}

TEST(CliUsage, HelpNamesTheCommandsAndTheExitCodes) {
    const SCliRun run = RunCli({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* part : {"Usage: pravik-cli", "capture -o FILE.png|FILE.raw", "--report FILE.csv",
                             "  0  every command succeeded", "  1  the module answered with a failure",
                             "  2  usage error", "  3  link error", "  4  a file could not be read or written"}) {
        EXPECT_TRUE(Contains(run.out, part)) << part;
    }
}

TEST(CliUsage, AModuleThatDoesNotFitTheCommandIsAUsageError) {
    // Only the other boards verify by password; a ZEL12 takes Intel HEX.
    CTestFolder dir;
    std::ofstream(dir.File("fw.bin")) << "firmware";
    SCliRun run = RunCli({"--sim", "verify", "1", "--password", "pw"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "verify 1 --password ***: A ZEL12 verifies a finger only: --password is for the other boards.\n");
    run = RunCli({"--sim", "upgrade", dir.File("fw.bin")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Contains(run.out, "This module takes an Intel HEX firmware file")) << run.out;
}

TEST(CliFailures, AModuleFailureEndsTheRunAndTheReportsSaySo) {
    CTestFolder dir;
    const SCliRun run = RunCli({"--sim", "--json", "--report", dir.File("r.csv"), "--junit", dir.File("j.xml"),
                                "status", "verify", "9", "status"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "");  // the module's refusal is a result, not an error message
    ASSERT_EQ(run.Lines().size(), 2u) << run.out;
    EXPECT_TRUE(Contains(run.Lines()[1], R"("command":"verify 9")")) << run.out;
    EXPECT_TRUE(Contains(run.Lines()[1], R"("result":"failed","code":5,"name":"INVALID_ID","text":"Invalid ID!!!")"));

    const std::string csv = ReadText(dir.File("r.csv"));
    EXPECT_EQ(csv.rfind("port,command,result,code,name,text,elapsed_ms,values\r\n", 0), 0u) << csv;
    EXPECT_TRUE(Contains(csv, ",connect,ok,,,Connection succeeded.,"));
    EXPECT_TRUE(Contains(csv, ",status,ok,1,SUCCESS,Status = Idle,"));
    EXPECT_TRUE(Contains(csv, ",verify 9,failed,5,INVALID_ID,Invalid ID!!!,"));
    EXPECT_TRUE(Contains(csv, ",status,skipped,,,An earlier command failed.,0.000,{}\r\n"));

    const std::string xml = ReadText(dir.File("j.xml"));
    EXPECT_TRUE(Contains(xml, R"(<testsuites name="pravik-cli" tests="4" failures="1" errors="0" skipped="1")")) << xml;
    EXPECT_TRUE(Contains(xml, R"(name="02 verify 9")"));
    EXPECT_TRUE(Contains(xml, R"(<failure message="Invalid ID!!!" type="INVALID_ID">Invalid ID!!!</failure>)"));
    EXPECT_TRUE(Contains(xml, R"(<skipped message="An earlier command failed."/>)"));
}

TEST(CliFailures, APortThatCannotBeOpenedIsALinkError) {
    CTestFolder dir;
    const SCliRun run = RunCli({"--port", dir.File("no-such-port"), "--junit", dir.File("j.xml"), "info", "status"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(Contains(run.out, "connect: Opening '" + dir.File("no-such-port") + "' failed.")) << run.out;
    EXPECT_TRUE(Contains(run.out, "failed. The port is not there: the adapter is unplugged")) << run.out;
    EXPECT_TRUE(Contains(run.err, "pravik-cli: " + dir.File("no-such-port") + ": connect: Opening")) << run.err;
    const std::string xml = ReadText(dir.File("j.xml"));
    EXPECT_TRUE(Contains(xml, R"(tests="3" failures="0" errors="1" skipped="2")")) << xml;
    EXPECT_TRUE(Contains(xml, R"(type="link-error")"));
}

TEST(CliFailures, ATerminalWithNoModuleOnItAnswersAtNoRate) {
    // A pseudo-terminal whose other end nobody serves.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    const SCliRun run = RunCli({"--port", slave, "--baud", "9600", "info"});
    close(master);
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "connect: Connection is failed. No answer at 9600 bit/s.\n");
}

TEST(CliFailures, ALinkLostMidCaptureIsALinkError) {
    SimOptions options;
    options.throttle = true;  // 6.5 s for an image at 115200 bit/s
    options.fingerDelayMs = 0;
    CSimPty sim;
    ASSERT_TRUE(sim.Start(options)) << sim.LastError();
    CTestFolder dir;
    bool stopped = false;
    std::uint64_t requestsWhenStopped = 0;
    const SCliRun run = RunCli({"--port", sim.SlavePath(), "--baud", "115200", "capture", "-o", dir.File("a.raw")}, -1,
                               [&] {
                                   // Connect, device information, version, then three pieces.
                                   if (!stopped && sim.Stats().requests >= 6) {
                                       requestsWhenStopped = sim.Stats().requests;
                                       sim.Stop();
                                       stopped = true;
                                   }
                               });
    ASSERT_TRUE(stopped);
    EXPECT_LT(requestsWhenStopped, 3u + 36u);  // the image was not complete
    EXPECT_EQ(run.exitCode, 3) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "capture -o " + dir.File("a.raw") + ": ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "lost")) << run.out;
    EXPECT_FALSE(Exists(dir.File("a.raw")));
}

TEST(CliFailures, AModuleThatGoesSilentIsALinkErrorAfterTheAnswerTimeout) {
    SimOptions options;
    options.finger = 0;               // no finger: the scan waits
    options.scanTimeoutMs = 600000;   // and does not give up
    CSimPty sim;
    ASSERT_TRUE(sim.Start(options)) << sim.LastError();
    const SCliRun run = RunCli({"--port", sim.SlavePath(), "--answer-timeout", "1", "identify"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.out, "identify: No answer from the module within 1 s.\n");
}

TEST(CliFailures, FilesThatCannotBeReadOrWrittenAreFileErrors) {
    CTestFolder dir;
    // Output in a folder that does not exist: refused before the port is opened.
    SCliRun run = RunCli({"--sim", "capture", "-o", dir.File("no/such/a.png")});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Contains(run.err, "Cannot write '" + dir.File("no/such/a.png") + "': the folder")) << run.err;
    // A folder where a file should go.
    run = RunCli({"--sim", "--report", dir.Path(), "info"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(Contains(run.err, "it is a folder")) << run.err;
    // An input that is missing.
    run = RunCli({"--sim", "minutiae", "match", dir.File("none.min")});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(Contains(run.err, "Cannot open '" + dir.File("none.min") + "': No such file or directory.")) << run.err;
    // Found too short once the module is connected: nothing is sent.
    std::ofstream(dir.File("short.min")) << std::string(100, 'x');
    run = RunCli({"--sim", "minutiae", "match", dir.File("short.min")});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_EQ(run.out, "minutiae match " + dir.File("short.min") + ": The minutiae file is too short: " +
                           dir.File("short.min") + " holds 100 of 400 bytes; nothing was sent.\n");
    // A firmware file the upgrade session refuses before the first record.
    std::ofstream(dir.File("bad.hex")) << ":0200000\r\n";
    run = RunCli({"--sim", "upgrade", dir.File("bad.hex")});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_TRUE(Contains(run.out, "has a malformed record (record 1, line 1: not hexadecimal).")) << run.out;
}
