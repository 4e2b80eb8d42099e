#pragma once
// Runs the built pravik-cli as a process, its output collected from pipes
// (or its stderr on a terminal of the test's), and a folder for the files a
// run writes, removed with everything in it at the end of the test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

struct SCliRun {
    int exitCode = -1;  // -1: killed, or it did not end
    std::string out, err;
    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

// A run of pravik-cli with args. stderrFd, when given, becomes its standard
// error (a terminal of the test's) instead of a pipe. whileRunning is called
// each time output arrives and at least every 20 ms, until the program ends;
// it gives up after limitMs (the program is then killed and exitCode -1).
inline SCliRun RunCli(std::vector<std::string> args, int stderrFd = -1,
                      const std::function<void()>& whileRunning = {}, int limitMs = 60000) {
    SCliRun run;
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, stderrFd >= 0 ? stderrFd : err[1], 2);
    args.insert(args.begin(), PRAVIK_CLI_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, PRAVIK_CLI_EXE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        return run;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&run.out, &run.err};
    int open = 2;
    int waited = 0;
    while (open > 0 && waited < limitMs) {
        const int n = poll(fds, 2, 20);
        if (n == 0) waited += 20;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            char buffer[4096];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
        if (whileRunning) whileRunning();
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) close(p.fd);
    }
    if (open > 0) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = open == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A folder of its own under the test programs' TMPDIR.
class CTestFolder {
public:
    CTestFolder() {
        std::string pattern = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/cli-XXXXXX";
        m_strPath = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~CTestFolder() {
        std::error_code ec;
        std::filesystem::permissions(m_strPath, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(m_strPath, ec);
    }
    std::string File(const std::string& name) const { return m_strPath + "/" + name; }
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}
inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline bool Exists(const std::string& path) { return std::filesystem::exists(path); }
inline bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
