#pragma once
// The whole console, headless, on the virtual clock: the application object
// with its frame, menu bar and main form, a scripted operator, and a private
// settings folder. Helpers for raw pseudo-terminals that play the module
// byte by byte.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QComboBox>
#include <QMenu>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/MainFrm.h"
#include "app/MenuResource.h"
#include "app/PravikApp.h"
#include "app/PravikView.h"
#include "platform/core/ManualMessageLoop.h"
#include "platform/core/ProfileFile.h"
#include "platform/core/SerialDevice.h"
#include "platform/qt/UiOperator.h"
#include "protocol/Commands.h"
#include "protocol/Packet.h"
#include "tests/ui/UiTestEnv.h"

namespace console_test {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

inline bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// A pseudo-terminal whose master side the test holds: it reads what the
// console writes and writes the module's answers.
class CRawPty {
public:
    CRawPty() {
        m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_nMaster >= 0 && grantpt(m_nMaster) == 0 && unlockpt(m_nMaster) == 0) {
            m_strSlave = ptsname(m_nMaster);
            fcntl(m_nMaster, F_SETFL, fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
        }
    }
    ~CRawPty() { CloseMaster(); }
    CRawPty(const CRawPty&) = delete;
    CRawPty& operator=(const CRawPty&) = delete;

    bool IsOpen() const { return m_nMaster >= 0 && !m_strSlave.empty(); }
    const std::string& SlavePath() const { return m_strSlave; }
    void CloseMaster() {
        if (m_nMaster >= 0) close(m_nMaster);
        m_nMaster = -1;
    }

    // The line speed the console set on its side, in bit/s (0 when unknown).
    int LineRate() const {
        termios tio{};
        if (tcgetattr(m_nMaster, &tio) != 0) return 0;
        switch (cfgetospeed(&tio)) {
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        default: return 0;
        }
    }

    // Collects what the console wrote, waiting up to waitMs (real time) for
    // at least minBytes in all.
    std::vector<std::uint8_t> Read(std::size_t minBytes = 1, int waitMs = 2000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            std::uint8_t buffer[4096];
            ssize_t n = read(m_nMaster, buffer, sizeof buffer);
            if (n > 0) m_Pending.insert(m_Pending.end(), buffer, buffer + n);
            if (m_Pending.size() >= minBytes || std::chrono::steady_clock::now() > deadline) break;
            if (n <= 0) {
                pollfd p{m_nMaster, POLLIN, 0};
                poll(&p, 1, 10);
            }
        }
        std::vector<std::uint8_t> out;
        out.swap(m_Pending);
        return out;
    }

    // Reads one whole General frame written by the console (header and, when
    // it has data, data and checksum). Returns false when none arrives.
    bool ReadPacket(CPacket& packet, int waitMs = 2000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            Fill(PACKET_HEADER_SIZE, deadline);
            if (m_Pending.size() < PACKET_HEADER_SIZE) return false;
            if (m_Pending[0] != PACKET_START) {
                m_Pending.erase(m_Pending.begin());
                continue;
            }
            const std::uint8_t* h = m_Pending.data();
            packet.m_Command = GetBE32(h + 1);
            packet.m_Param1 = GetBE32(h + 5);
            packet.m_Param2 = GetBE32(h + 9);
            packet.m_DataSize = GetBE32(h + 13);
            packet.m_ErrCode = GetBE32(h + 17);
            packet.m_HeaderChecksum = GetBE32(h + 21);
            std::size_t size = packet.FrameSize();
            Fill(size, deadline);
            if (m_Pending.size() < size) return false;
            m_Pending.erase(m_Pending.begin(), m_Pending.begin() + static_cast<long>(size));
            return true;
        }
    }

    // Writes a General answer.
    void Answer(std::uint32_t command, std::uint32_t param1, std::uint32_t param2 = 0, std::uint32_t errCode = 0) {
        auto packet = std::make_unique<CPacket>();
        packet->m_Command = command;
        packet->m_Param1 = param1;
        packet->m_Param2 = param2;
        packet->m_ErrCode = errCode;
        packet->PrepareForSend();
        std::uint8_t frame[PACKET_HEADER_SIZE + 8];
        std::size_t size = packet->Serialize(frame, sizeof frame);
        Write(frame, size);
    }

    void Write(const std::uint8_t* bytes, std::size_t size) {
        while (size > 0) {
            ssize_t n = write(m_nMaster, bytes, size);
            if (n <= 0) {
                pollfd p{m_nMaster, POLLOUT, 0};
                poll(&p, 1, 10);
                continue;
            }
            bytes += n;
            size -= static_cast<std::size_t>(n);
        }
    }

private:
    void Fill(std::size_t wanted, std::chrono::steady_clock::time_point deadline) {
        while (m_Pending.size() < wanted && std::chrono::steady_clock::now() < deadline) {
            std::uint8_t buffer[4096];
            ssize_t n = read(m_nMaster, buffer, sizeof buffer);
            if (n > 0) {
                m_Pending.insert(m_Pending.end(), buffer, buffer + n);
            } else {
                pollfd p{m_nMaster, POLLIN, 0};
                poll(&p, 1, 10);
            }
        }
    }

    int m_nMaster = -1;
    std::string m_strSlave;
    std::vector<std::uint8_t> m_Pending;
};

class CConsole {
public:
    CConsole() {
        EnsureApp();
        char name[] = "/tmp/pravik-console-XXXXXX";
        m_strDir = mkdtemp(name);
        // No test ever reaches a real serial port.
        for (int port = 1; port <= 4; ++port) {
            m_Options.ports.emplace_back("COM" + std::to_string(port), "/nonexistent/ttyS" + std::to_string(port - 1));
        }
    }
    ~CConsole() {
        m_pApp.reset();
        ClearPortOverrides();
        SetProfileDirectory("");
        std::system(("rm -rf '" + m_strDir + "'").c_str());
    }

    std::string SettingsPath() const { return m_strDir + "/VESKA.INI"; }
    void WriteSettings(const std::string& text) { WriteFile(SettingsPath(), text); }
    std::string Settings() const { return ReadFile(SettingsPath()); }

    // COMn leads to path in this run.
    void MapPort(int port, const std::string& path) {
        m_Options.ports.emplace_back("COM" + std::to_string(port), path);
    }
    SAppOptions& Options() { return m_Options; }

    // Start-up up to the shown window.
    bool Start(bool show = true) {
        m_Options.settingsDir = m_strDir;
        m_pApp = std::make_unique<CPravikApp>(loop, op, m_Options);
        if (!m_pApp->InitInstance()) return false;
        if (show) m_pApp->ShowMainWindow();
        return true;
    }

    CPravikApp& App() { return *m_pApp; }
    CPravikView& View() { return *m_pApp->View(); }
    CMainFrame& Frame() { return *m_pApp->MainFrame(); }
    CMenuBar& Menu() { return m_pApp->MainFrame()->Menu(); }

    bool Click(int id) { return ClickDlgItem(&View(), id); }
    bool Choose(int command) { return Menu().Choose(command); }
    // The control's own state, whether or not an open prompt disables the form.
    bool Enabled(int id) {
        QWidget* item = GetDlgItem(&View(), id);
        return item && item->isEnabledTo(&View());
    }
    bool Shown(int id) {
        QWidget* item = GetDlgItem(&View(), id);
        return item && !item->isHidden();
    }
    QString Text(int id) { return GetDlgItemText(&View(), id); }
    // Opens every menu as the operator would, so the marks are computed.
    void OpenMenus() {
        for (QMenu* menu : Menu().Menus()) emit menu->aboutToShow();
    }
    bool Marked(int command) { return Menu().IsItemChecked(command); }
    // The message prompt's text, empty when it is not open.
    QString Prompt() { return View().m_MsgDlg.IsOpen() ? View().m_MsgDlg.Message() : QString(); }
    int PromptForm() { return View().m_MsgDlg.Form(); }
    void ClosePrompt() { View().m_MsgDlg.Close(); }

    // Pumps messages from the serial watch thread (real time, virtual clock
    // still) until done.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) { return loop.RunUntil(done, timeoutMs); }

    CManualMessageLoop loop;
    CScriptedUiOperator op;

private:
    std::string m_strDir;
    SAppOptions m_Options;
    std::unique_ptr<CPravikApp> m_pApp;
};

}  // namespace console_test
