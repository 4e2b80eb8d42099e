#pragma once
// The whole console, headless, on the virtual clock: the application with its
// frame, menu bar and main form, a scripted operator and a private settings
// folder; and a raw pseudo-terminal whose master side plays the module.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QMenu>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "app/MainFrm.h"
#include "app/MenuResource.h"
#include "app/PravikApp.h"
#include "app/PravikView.h"
#include "platform/core/ManualMessageLoop.h"
#include "platform/core/ProfileFile.h"
#include "platform/core/SerialDevice.h"
#include "protocol/CommandCatalog.h"
#include "protocol/ModuleClient.h"
#include "protocol/Packet.h"
#include "sim/SimPty.h"
#include "tests/ui/UiTestEnv.h"

namespace console_test {

inline std::string ReadFile(const std::string& path) {
    std::stringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}
inline void WriteFile(const std::string& path, const std::string& s) { std::ofstream(path, std::ios::binary) << s; }
inline bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

// While it lives, a file this process writes cannot grow beyond maxBytes: a
// write past the limit fails part-way (EFBIG, "File too large"), as on a
// disk that fills up.
class CFileSizeLimit {
public:
    explicit CFileSizeLimit(rlim_t maxBytes) {
        getrlimit(RLIMIT_FSIZE, &m_Old);
        // The signal would end the process; the failed write is what counts.
        m_OldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_Old;
        limit.rlim_cur = maxBytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~CFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_Old);
        signal(SIGXFSZ, m_OldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

private:
    rlimit m_Old{};
    sighandler_t m_OldHandler = SIG_DFL;
};

// The names of the entries of a folder, sorted.
inline std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A private folder, removed with everything in it.
class CTempDir {
public:
    ~CTempDir() { std::filesystem::remove_all(m_strPath); }
    const std::string& Path() const { return m_strPath; }
    std::string File(const std::string& name = "VESKA.INI") const { return m_strPath + "/" + name; }

private:
    // Under TMPDIR (the build tree's test folder under ctest), else /tmp.
    static std::string Make() {
        const char* root = std::getenv("TMPDIR");
        std::string name = std::string(root && *root ? root : "/tmp") + "/pravik-ui-XXXXXX";
        return mkdtemp(name.data()) ? name : std::string();
    }
    std::string m_strPath = Make();
};

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
    bool IsOpen() const { return m_nMaster >= 0 && !m_strSlave.empty(); }
    const std::string& SlavePath() const { return m_strSlave; }
    void CloseMaster() { close(std::exchange(m_nMaster, -1)); }

    // The line speed the console set, in bit/s (0 when unknown).
    int LineRate() const {
        termios tio{};
        if (tcgetattr(m_nMaster, &tio) != 0) return 0;
        const std::pair<speed_t, int> rates[] = {
            {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
        for (const auto& rate : rates) if (cfgetospeed(&tio) == rate.first) return rate.second;
        return 0;
    }

    // What the console wrote: waits up to waitMs (real time) for minBytes.
    std::vector<std::uint8_t> Read(std::size_t minBytes = 1, int waitMs = 2000) {
        Fill(minBytes, waitMs);
        return std::exchange(m_Pending, {});
    }

    // The command of the next whole General frame the console writes (its
    // PARAM2 to param2), 0 when none comes.
    std::uint32_t Next(std::uint32_t* param2 = nullptr) {
        Fill(PACKET_HEADER_SIZE, 2000);
        if (m_Pending.size() < PACKET_HEADER_SIZE || m_Pending[0] != PACKET_START) return 0;
        const std::uint32_t command = GetBE32(&m_Pending[1]), dataSize = GetBE32(&m_Pending[13]);
        if (param2) *param2 = GetBE32(&m_Pending[9]);
        const std::size_t size = PACKET_HEADER_SIZE + (dataSize ? dataSize + 4 : 0);
        Fill(size, 2000);
        if (m_Pending.size() < size) return 0;
        m_Pending.erase(m_Pending.begin(), m_Pending.begin() + static_cast<long>(size));
        return command;
    }

    // Writes a General answer, optionally with a broken header checksum.
    void Answer(std::uint32_t command, std::uint32_t param1, std::uint32_t param2 = 0, std::uint32_t errCode = 0,
                bool badChecksum = false) {
        auto packet = std::make_unique<CPacket>();
        packet->m_Command = command;
        packet->m_Param1 = param1;
        packet->m_Param2 = param2;
        packet->m_ErrCode = errCode;
        packet->PrepareForSend();
        packet->m_HeaderChecksum += badChecksum;
        std::uint8_t frame[PACKET_HEADER_SIZE + 8];
        Write(frame, packet->Serialize(frame, sizeof frame));
    }
    void Write(const std::uint8_t* bytes, std::size_t size) {
        for (ssize_t n = 0; size > 0; bytes += n, size -= static_cast<std::size_t>(n)) {
            n = std::max<ssize_t>(write(m_nMaster, bytes, size), 0);
            if (n == 0) poll(nullptr, 0, 5);
        }
    }

private:
    void Fill(std::size_t wanted, int waitMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (m_Pending.size() < wanted && std::chrono::steady_clock::now() < deadline) {
            std::uint8_t buffer[4096];
            ssize_t n = read(m_nMaster, buffer, sizeof buffer);
            pollfd p{m_nMaster, POLLIN, 0};
            if (n > 0) m_Pending.insert(m_Pending.end(), buffer, buffer + n);
            else poll(&p, 1, 10);
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
        // No test ever reaches a real serial port.
        for (int port = 1; port <= 4; ++port) MapPort(port, "/nonexistent/ttyS" + std::to_string(port - 1));
    }
    ~CConsole() {
        m_pApp.reset();
        SetProfileDirectory("");
    }
    std::string SettingsPath() const { return m_Dir.File(); }
    void WriteSettings(const std::string& text) { WriteFile(SettingsPath(), text); }
    std::string Settings() const { return ReadFile(SettingsPath()); }
    // COMn leads to path in this run.
    void MapPort(int n, const std::string& path) { m_Options.ports.emplace_back("COM" + std::to_string(n), path); }
    SAppOptions& Options() { return m_Options; }

    // Start-up up to the shown window.
    bool Start(bool show = true) {
        m_Options.settingsDir = m_Dir.Path();
        m_pApp = std::make_unique<CPravikApp>(loop, op, m_Options);
        if (!m_pApp->InitInstance()) return false;
        if (show) m_pApp->ShowMainWindow();
        return true;
    }
    CPravikApp& App() { return *m_pApp; }
    CPravikView& View() { return *m_pApp->View(); }
    CMainFrame& Frame() { return *m_pApp->MainFrame(); }
    CMenuBar& Menu() { return Frame().Menu(); }
    bool Click(int id) { return ClickDlgItem(&View(), id); }
    bool Choose(int command) { return Menu().Choose(command); }
    // The control's own state, whether or not an open prompt disables the form.
    bool Enabled(int id) { return GetDlgItem(&View(), id) && GetDlgItem(&View(), id)->isEnabledTo(&View()); }
    bool Shown(int id) { return GetDlgItem(&View(), id) && !GetDlgItem(&View(), id)->isHidden(); }
    QString Text(int id) { return GetDlgItemText(&View(), id); }
    bool ItemOn(int command) { return Menu().IsItemEnabled(command); }
    bool TopOn(int pos) { return Menu().IsTopMenuEnabled(pos); }
    // Opens every menu as the operator would, so the marks are computed.
    void OpenMenus() {
        for (QMenu* menu : Menu().Menus()) emit menu->aboutToShow();
    }
    bool Marked(int command) { return Menu().IsItemChecked(command); }
    // The message prompt's text, empty when it is not open.
    QString Prompt() { return View().m_MsgDlg.IsOpen() ? View().m_MsgDlg.Message() : QString(); }
    int PromptForm() { return View().m_MsgDlg.Form(); }
    void ClosePrompt() { View().m_MsgDlg.Close(); }
    // Delivers one message of the link (a rejected frame, a stalled write,
    // dropped bytes) or of the Serial Communication dialog to the connection
    // flow, which takes them, now.
    void Send(UINT msg, WPARAM w = 0) {
        loop.Post(View().Flow(FLOW_CONNECTION), msg, w, 0);
        loop.RunPending();
    }
    // The serial channel reports the port lost (an adapter pulled out) to
    // the module client, which passes it on; everything it causes runs now.
    void LosePort() {
        loop.Post(&View().Client(), WM_COMM_PORT_LOST);
        loop.RunPending();
    }
    // Pumps messages from the serial watch thread (real time; the virtual
    // clock stands still) until done.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) { return loop.RunUntil(done, timeoutMs); }

    // Opens the module client's link on a pseudo-terminal of the test's own,
    // with nothing behind it: requests are written there (the test reads
    // them back from the write tap or from Line()), and answers are handed
    // to the client as arriving bytes (Arrive, Deliver).
    bool OpenRawLine(int rate = 115200) { return m_Line.IsOpen() && View().Client().Open(m_Line.SlavePath(), rate); }
    CRawPty& Line() { return m_Line; }
    // Bytes handed to the module client as if they had just arrived on the
    // line; everything they cause runs now.
    void Arrive(const std::vector<std::uint8_t>& bytes) {
        CModuleClient& client = View().Client();
        // In reads the receive queue holds, as the watch thread delivers them.
        for (std::size_t at = 0; at < bytes.size(); at += 4096) {
            const std::size_t n = std::min<std::size_t>(4096, bytes.size() - at);
            client.Channel().m_QueueRead.PutChunk(bytes.data() + at, static_cast<int>(n));
            loop.Post(&client, WM_COMM_READ);
            loop.RunPending();
        }
    }

    CManualMessageLoop loop;
    CScriptedUiOperator op;

private:
    CRawPty m_Line;
    CTempDir m_Dir;
    SAppOptions m_Options;
    std::unique_ptr<CPravikApp> m_pApp;
};

// The wire bytes of a General answer.
inline std::vector<std::uint8_t> GeneralAnswer(std::uint32_t command, std::uint32_t param1, std::uint32_t param2 = 0,
                                               const std::vector<std::uint8_t>& data = {}, std::uint32_t errCode = 0) {
    auto packet = std::make_unique<CPacket>();
    packet->m_Command = command;
    packet->m_Param1 = param1;
    packet->m_Param2 = param2;
    packet->m_ErrCode = errCode;
    packet->m_DataSize = static_cast<std::uint32_t>(data.size());
    std::copy(data.begin(), data.end(), packet->m_Data);
    packet->PrepareForSend();
    std::vector<std::uint8_t> frame(packet->FrameSize());
    packet->Serialize(frame.data(), frame.size());
    return frame;
}

// The request flow has out for request's command, or, when it has none, this
// one sent for it now, as if its button had been pressed.
inline void Ask(CConsole& console, EFlow flow, const SRequest& request) {
    CModuleClient& client = console.View().Client();
    if (client.IsWaiting(request.form, request.command)) return;
    EXPECT_EQ(client.Send(*console.View().Flow(flow), request), ESendResult::Sent)
        << "is the link open (CConsole::OpenRawLine)?";
}

// An answer to the request of command that flow has out, arriving now on the
// console's open link. A flow that has none out asks for it first (a plain
// request of command), as if its button had been pressed: the module client
// gives answers only to requests.
inline void Deliver(CConsole& console, EFlow flow, std::uint32_t command, std::uint32_t param1,
                    std::uint32_t param2 = 0, const std::vector<std::uint8_t>& data = {}, std::uint32_t errCode = 0) {
    Ask(console, flow, req::General(command));
    console.Arrive(GeneralAnswer(command, param1, param2, data, errCode));
}
inline void Deliver(CConsole& console, EFlow flow, std::uint32_t command, std::uint32_t param1, std::uint32_t param2,
                    const std::string& data) {
    Deliver(console, flow, command, param1, param2, std::vector<std::uint8_t>(data.begin(), data.end()));
}

// A Minimized answer (result in byte 3, value in byte 4), the same way.
inline void DeliverMini(CConsole& console, EFlow flow, std::uint8_t command, std::uint8_t result,
                        std::uint8_t value = 0) {
    Ask(console, flow, req::Mini(command));
    std::vector<std::uint8_t> frame(MINI_FRAME_SIZE);
    BuildMiniFrame(frame.data(), command, result, value);
    console.Arrive(frame);
}

// The console started with board and protocol chosen and the connected
// layout shown, its link open on a raw line with nothing behind it.
inline void StartOnRawLine(CConsole& console, int board, int protocol = PROTOCOL_GENERAL) {
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SelectBoard(board);
    view.SelectProtocol(protocol);
    ASSERT_TRUE(console.OpenRawLine());
    view.State().m_bConnected = true;
    view.SetLayout(LAYOUT_CONNECTED);
    console.ClosePrompt();  // "Packet type is changed!!!"
    view.SetStatusText("before");
}

// The console with its simulated module (in-process, on a pseudo-terminal)
// of boardType, at the settings' rate, connected, with the device
// information and the version answered and the prompt closed. The module is
// console.App().Simulator() (RunLocked, SetFinger, ...).
inline bool StartConnected(CConsole& console, int boardType = BOARD_ZEL12, int protocol = PROTOCOL_GENERAL) {
    console.WriteSettings("[Option]\nType=" + std::to_string(boardType) + "\nCOM Port=1\nBaudrate=115200\nProtocol=" +
                          std::to_string(protocol) + "\n");
    console.Options().simulate = true;
    console.Options().simType = boardType;
    if (!console.Start() || !console.App().Simulator() || !console.Click(IDC_CONNECT)) return false;
    CPravikView& view = console.View();
    const bool connected =
        console.WaitFor([&] { return view.State().m_bConnected && view.State().m_nFirmwareLevel != 0; });
    console.ClosePrompt();
    return connected;
}

// The operator unplugs the module and plugs module in its place: DISCONNECT,
// COM1 now leads to module, CONNECT. Waits until the form has taken the new
// board (boardType) and its firmware version.
inline bool ReconnectTo(CConsole& console, CSimPty& module, int boardType) {
    CPravikView& view = console.View();
    if (!view.State().m_bConnected || !console.Click(IDC_CONNECT)) return false;
    view.PortMap().Set("COM1", module.SlavePath());
    view.SetLabel(IDC_FIRMWARE_LABEL, QString());
    if (!console.Click(IDC_CONNECT)) return false;
    const bool connected = console.WaitFor([&] {
        return view.State().m_bConnected && view.State().m_nBoardType == boardType &&
               !view.Label(IDC_FIRMWARE_LABEL).isEmpty();
    });
    console.ClosePrompt();
    return connected;
}

// Enters master mode through the form's ENTER MASTER, as the operator does (a
// fresh simulated module grants it without credentials), and waits until the
// form has taken the answer and shows the master layout. module: the
// simulated module at the other end, when it is not the console's own. False
// when the module did not grant it.
inline bool EnterMasterMode(CConsole& console, CSimPty* module = nullptr) {
    CSimPty* sim = module ? module : console.App().Simulator();
    CPravikView& view = console.View();
    if (!sim || !console.Click(IDC_ENTER_MASTER)) return false;
    const bool answered = console.WaitFor([&] { return view.State().m_bMasterMode; });
    console.loop.RunPending();
    console.ClosePrompt();
    bool master = false;
    sim->RunLocked([&](CSimModule& m) { master = m.IsMasterMode(); });
    return answered && master && view.State().m_nLayout == LAYOUT_MASTER;
}

}  // namespace console_test
