#pragma once
// Shared by the serial-port tests: the faked adapters (every test fails with
// the reason when umockdev cannot run), a pseudo-terminal to stand behind an
// adapter, and a process that holds a port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tests/ports/FakeAdapters.h"

namespace ports_test {

// Fails the test when the fakes cannot work here, saying why.
#define ASSERT_FAKES_WORK(adapters) ASSERT_EQ((adapters).Problem(), "") << "umockdev cannot run here"

// A pseudo-terminal whose slave end stands behind a faked adapter; the test
// keeps the master (closing it hangs the terminal up).
class CBackingPty {
public:
    CBackingPty() {
        m_nMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_nMaster >= 0 && ::grantpt(m_nMaster) == 0 && ::unlockpt(m_nMaster) == 0) m_strSlave = ::ptsname(m_nMaster);
    }
    ~CBackingPty() { HangUp(); }
    const std::string& SlavePath() const { return m_strSlave; }
    void HangUp() {
        if (m_nMaster >= 0) ::close(m_nMaster);
        m_nMaster = -1;
    }

private:
    int m_nMaster = -1;
    std::string m_strSlave;
};

// A USB-serial adapter with its names.
inline SFakeAdapter Adapter(const std::string& kernelName, const std::string& byIdName, const std::string& maker,
                            const std::string& product, const std::string& serial, const std::string& ttyPath) {
    SFakeAdapter a;
    a.kernelName = kernelName;
    a.byIdName = byIdName;
    a.maker = maker;
    a.product = product;
    a.serial = serial;
    a.ttyPath = ttyPath;
    return a;
}

// The adapter the tests plug in most.
inline SFakeAdapter Bridge(const std::string& kernelName, const std::string& ttyPath) {
    return Adapter(kernelName, "usb-Talven_ZEL12_Bridge_A1B2C3-if00-port0", "Talven", "ZEL12 Bridge", "A1B2C3", ttyPath);
}
constexpr const char* BRIDGE_BY_ID = "/dev/serial/by-id/usb-Talven_ZEL12_Bridge_A1B2C3-if00-port0";

// Another program ("sleep") holding path open with an exclusive lock, as a
// terminal program does; ended with the object. Started through a shell:
// nothing of this (threaded) program runs in the child.
class CPortHolder {
public:
    explicit CPortHolder(const std::string& path) {
        const char* argv[] = {"sh", "-c", "exec 3<>\"$0\" && flock -x -n 3 && exec sleep 60", path.c_str(), nullptr};
        if (::posix_spawnp(&m_Pid, "sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
            m_Pid = -1;
            return;
        }
        // Locked once the shell has become sleep; a failure ends the shell.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (Name() != "sleep" && std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(m_Pid, nullptr, WNOHANG) == m_Pid) {
                m_Pid = -1;  // the shell failed and is gone
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~CPortHolder() {
        if (m_Pid > 0) {
            ::kill(m_Pid, SIGKILL);
            ::waitpid(m_Pid, nullptr, 0);
        }
    }
    bool Holding() const { return m_Pid > 0 && Name() == "sleep"; }
    pid_t Pid() const { return m_Pid; }

private:
    std::string Name() const {
        std::string name;
        std::getline(std::ifstream("/proc/" + std::to_string(m_Pid) + "/comm"), name);
        return name;
    }
    pid_t m_Pid = -1;
};

}  // namespace ports_test
