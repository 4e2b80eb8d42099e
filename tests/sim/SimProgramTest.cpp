// The pravik-sim program: the terminal's path on the first line, a console connects to it, it ends
// with its standard input or a signal; --help and bad options.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "sim/PtyHarness.h"

extern char** environ;

namespace {

// The program with pipes on its three standard streams.
struct SSimProcess {
    pid_t pid = -1;
    int fd[3] = {-1, -1, -1};  // our ends of its stdin, stdout and stderr

    explicit SSimProcess(std::vector<std::string> args) {
        int p[3][2];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(pipe2(p[i], O_CLOEXEC), 0);
            posix_spawn_file_actions_adddup2(&actions, p[i][i ? 1 : 0], i);
        }
        args.insert(args.begin(), PRAVIK_SIM_EXE);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid, PRAVIK_SIM_EXE, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 3; ++i) close(p[i][i ? 1 : 0]), fd[i] = p[i][i ? 0 : 1];
    }
    ~SSimProcess() {
        if (pid > 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        for (int f : fd)
            if (f >= 0) close(f);
    }
    // The first line of standard output, waiting up to five seconds a byte.
    std::string FirstLine() {
        std::string line;
        char c;
        for (pollfd p{fd[1], POLLIN, 0}; poll(&p, 1, 5000) > 0 && read(fd[1], &c, 1) == 1 && c != '\n';) line += c;
        return line;
    }
    std::string ReadAll(int stream) {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = read(fd[stream], buffer, sizeof buffer)) > 0;) text.append(buffer, std::size_t(n));
        return text;
    }
    // The exit code, or -1 when it did not end within five seconds.
    int Wait() {
        int status = 0;
        for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
            if (waitpid(pid, &status, WNOHANG) == pid) return pid = -1, WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return -1;
    }
};

using SimProgram = CSimLinkTest;

TEST_F(SimProgram, ServesAConsoleUntilStandardInputCloses) {
    SSimProcess p({"--baud", "57600", "--type", "1", "--firmware", "0x0210", "--finger-delay", "50"});
    std::string path = p.FirstLine();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "first line: '" << path << "'";
    ASSERT_TRUE(client.Open(path, 57600)) << client.Channel().LastError();
    EXPECT_EQ(Ask(req::General(CMD_CONNECT)).Result(), std::uint32_t(RES_SUCCESS));
    EXPECT_EQ(Ask(req::General(CMD_GET_DEVICE_INFO)).Param2(), 1u);
    EXPECT_EQ(Ask(req::General(CMD_GET_VERSION_EX)).Param2(), 0x0210u);
    // After the finger delay; nothing is enrolled.
    EXPECT_EQ(Ask(req::General(CMD_IDENTIFY)).Result(), std::uint32_t(RES_FAIL));
    client.Close();
    close(p.fd[0]);
    p.fd[0] = -1;
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_NE(p.ReadAll(2).find("stopped after"), std::string::npos);

    SSimProcess q({"--finger", "none", "--password", "pw", "--drop", "0.5", "--corrupt", "0.1", "--seed", "9",
                   "--throttle"});
    ASSERT_EQ(q.FirstLine().rfind("/dev/pts/", 0), 0u);
    kill(q.pid, SIGTERM);
    EXPECT_EQ(q.Wait(), 0) << "SIGTERM ends it cleanly";
}

TEST(SimProgramOptions, HelpExplainsEveryOptionAndBadOptionsExitWithCode2) {
    SSimProcess help({"--help"});
    EXPECT_EQ(help.Wait(), 0);
    std::string text = help.ReadAll(1);
    for (const char* option : {"--baud", "--type", "--firmware", "--finger", "--finger-delay", "--password",
                               "--throttle", "--drop", "--corrupt", "--seed", "--low-voltage", "--help"})
        EXPECT_NE(text.find(option), std::string::npos) << option;

    const std::vector<std::vector<std::string>> bad = {
        {"--baud", "12345"}, {"--type", "4"}, {"--firmware", "0x12345"}, {"--finger", "0"}, {"--finger"},
        {"--drop", "1.5"},   {"--corrupt", "x"}, {"--seed", "-1"}, {"--bogus"}, {"--password", "0123456789abcdef"},
        {"--throttle=yes"}};
    for (const auto& args : bad) {
        SSimProcess p(args);
        EXPECT_EQ(p.Wait(), 2) << args[0];
        EXPECT_TRUE(p.ReadAll(1).empty()) << "no path line for " << args[0];
        EXPECT_NE(p.ReadAll(2).find("pravik-sim: "), std::string::npos) << args[0];
    }
}

}  // namespace
