// The pravik-sim program: path on the first line, a console connects to it,
// it ends with its standard input or a signal; --help and bad options.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/PtyHarness.h"

extern char** environ;

namespace {

// A child process with pipes on its three standard streams.
class CSimProcess {
public:
    ~CSimProcess() {
        if (m_Pid > 0) {
            kill(m_Pid, SIGKILL);
            waitpid(m_Pid, nullptr, 0);
        }
        CloseInput();
        if (m_Out >= 0) close(m_Out);
        if (m_Err >= 0) close(m_Err);
    }

    bool Start(const std::vector<std::string>& args) {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        std::vector<std::string> all{PRAVIK_SIM_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        int rc = posix_spawn(&m_Pid, PRAVIK_SIM_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        close(err[1]);
        m_In = in[1];
        m_Out = out[0];
        m_Err = err[0];
        return rc == 0;
    }

    // The first line of standard output, waiting up to timeoutMs.
    std::string ReadLine(int timeoutMs = 5000) {
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{m_Out, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char c;
            if (read(m_Out, &c, 1) != 1) break;
            if (c == '\n') return line;
            line += c;
        }
        return line;
    }
    std::string ReadAll(int fd) {
        std::string text;
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }
    std::string Out() { return ReadAll(m_Out); }
    std::string Err() { return ReadAll(m_Err); }

    void CloseInput() {
        if (m_In >= 0) close(m_In);
        m_In = -1;
    }
    void Signal(int sig) { kill(m_Pid, sig); }

    // Exit code, or -1 when it did not end in time (or died by a signal).
    int Wait(int timeoutMs = 5000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            pid_t r = waitpid(m_Pid, &status, WNOHANG);
            if (r == m_Pid) {
                m_Pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }

private:
    pid_t m_Pid = -1;
    int m_In = -1, m_Out = -1, m_Err = -1;
};

class SimProgram : public CSimLinkTest {};

TEST_F(SimProgram, ServesAConsoleUntilStandardInputCloses) {
    CSimProcess p;
    ASSERT_TRUE(p.Start({"--baud", "57600", "--type", "1", "--finger", "3", "--firmware", "0x0210", "--finger-delay", "50"}));
    std::string path = p.ReadLine();
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << "first line: '" << path << "'";

    pm.Create(&view);
    ASSERT_TRUE(pm.OpenCommPort(path, 57600)) << pm.m_Comm.LastError();
    pm.SendConnect();
    EXPECT_EQ(Next(WM_RX_CONNECT).Result(), std::uint32_t(RES_SUCCESS));
    pm.SendGetDeviceInfo();
    EXPECT_EQ(Next(WM_RX_GET_DEVICE_INFO).Param2(), 1u);
    pm.SendGetVersionEx();
    EXPECT_EQ(Next(WM_RX_GET_VERSION_EX).Param2(), 0x0210u);
    pm.SendEnterMasterEx(3);
    EXPECT_EQ(Next(WM_RX_ENTER_MASTER_EX).Result(), std::uint32_t(RES_SUCCESS));
    pm.SendEnrollEx(0, 0, "1", "");
    EXPECT_EQ(Next(WM_RX_ENROLL_EX).Result(), std::uint32_t(RES_SUCCESS));  // after the finger delay
    pm.SendEnrollEx(0, 1);
    EXPECT_EQ(Next(WM_RX_ENROLL_EX).Param2(), 1u);
    pm.SendIdentify();
    SViewMessage id = Next(WM_RX_IDENTIFY);
    EXPECT_EQ(id.Result(), std::uint32_t(RES_SUCCESS));
    EXPECT_STREQ(reinterpret_cast<const char*>(id.packet->m_Data), "1");
    pm.m_Comm.ClosePort();

    p.CloseInput();
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_NE(p.Err().find("stopped after"), std::string::npos);
}

TEST_F(SimProgram, EndsOnSigterm) {
    CSimProcess p;
    ASSERT_TRUE(p.Start({"--finger", "none", "--password", "pw", "--drop", "0.5", "--corrupt", "0.1", "--seed", "9",
                         "--throttle"}));
    ASSERT_EQ(p.ReadLine().rfind("/dev/pts/", 0), 0u);
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
}

TEST_F(SimProgram, HelpExplainsEveryOption) {
    CSimProcess p;
    ASSERT_TRUE(p.Start({"--help"}));
    EXPECT_EQ(p.Wait(), 0);
    std::string help = p.Out();
    for (const char* option : {"--baud", "--type", "--firmware", "--finger", "--password", "--throttle", "--drop",
                               "--corrupt", "--seed", "--help"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST_F(SimProgram, BadOptionsExitWithCode2) {
    const std::vector<std::vector<std::string>> bad = {
        {"--baud", "12345"}, {"--type", "4"},      {"--firmware", "0x12345"}, {"--finger", "0"},
        {"--finger"},        {"--drop", "1.5"},    {"--corrupt", "x"},        {"--seed", "-1"},
        {"--bogus"},         {"--password", "0123456789abcdef"},           {"--throttle=yes"},
    };
    for (const auto& args : bad) {
        CSimProcess p;
        ASSERT_TRUE(p.Start(args));
        EXPECT_EQ(p.Wait(), 2) << args[0];
        EXPECT_TRUE(p.Out().empty()) << "no path line for " << args[0];
        EXPECT_NE(p.Err().find("pravik-sim: "), std::string::npos) << args[0];
    }
}

}  // namespace
