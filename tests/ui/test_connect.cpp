// CONNECT / DISCONNECT over a pseudo-terminal the test plays byte by byte, the
// Serial Communication dialog, and the console against the simulated module.
#include <QComboBox>

#include "console/ConsoleMessages.h"
#include "console/SerialCommDlg.h"
#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

// A console whose COM1 leads to a raw pseudo-terminal.
struct CLinked {
    CRawPty pty;
    CConsole console;
    CPravikView& View() { return console.View(); }
    void Start(const std::string& settings = {}) {
        ASSERT_TRUE(pty.IsOpen());
        if (!settings.empty()) console.WriteSettings(settings);
        console.MapPort(1, pty.SlavePath());
        ASSERT_TRUE(console.Start());
    }
    // CONNECT answered at once; the device information is asked.
    void Connect() {
        ASSERT_TRUE(console.Click(IDC_CONNECT));
        ASSERT_EQ(pty.Next(), CMD_CONNECT);
        pty.Answer(CMD_CONNECT, RES_SUCCESS, 5);
        ASSERT_TRUE(console.WaitFor([&] { return View().State().m_bConnected; }));
        ASSERT_EQ(pty.Next(), CMD_GET_DEVICE_INFO);
        ASSERT_EQ(console.Prompt(), "Connection succeeded.");
        console.ClosePrompt();
    }
    // The search; the module answers only at its own rate (0: never).
    std::vector<int> Search(int moduleRate) {
        std::vector<int> rates;
        EXPECT_TRUE(console.Click(IDC_CONNECT));
        for (int attempt = 0; attempt < 6 && !View().State().m_bConnected; ++attempt) {
            EXPECT_EQ(pty.Next(), CMD_CONNECT) << "attempt " << attempt + 1;
            rates.push_back(pty.LineRate());
            if (rates.back() == moduleRate) {
                pty.Answer(CMD_CONNECT, RES_SUCCESS, 3);
                EXPECT_TRUE(console.WaitFor([&] { return View().State().m_bConnected; }));
            } else {
                console.loop.Advance(CONNECT_TIMEOUT_MS);
                EXPECT_FALSE(View().Connection().m_bPortOpen);
                if (attempt < 5) console.loop.Advance(CONNECT_PAUSE_MS);
            }
        }
        return rates;
    }
    bool Timer1() { return console.loop.IsTimerRunning(&View().Connection(), CONNECT_TIMER_ID); }
    bool Quiet(int ms = 200) { return pty.Read(1, ms).empty(); }
};

// Every frame the packet manager writes, whether or not the port is open.
struct CWriteLog {
    std::vector<std::uint8_t> bytes;
    explicit CWriteLog(CPravikView& view) {
        view.Client().Channel().m_WriteTap = [this](const std::uint8_t* b, std::size_t n) {
            bytes.insert(bytes.end(), b, b + n);
        };
    }
    // The command and PARAM2 of the General request at the start.
    std::pair<std::uint32_t, std::uint32_t> Request() const {
        if (bytes.size() < PACKET_HEADER_SIZE || bytes[0] != PACKET_START) return {0, 0};
        return {GetBE32(&bytes[1]), GetBE32(&bytes[9])};
    }
};

std::vector<std::uint8_t> Mini(std::uint8_t command, std::uint8_t arg1) {
    std::vector<std::uint8_t> frame(MINI_FRAME_SIZE);
    return BuildMiniFrame(frame.data(), command, arg1, 0), frame;
}

}  // namespace

class ConnectTest : public ::testing::Test, public CLinked {};

TEST_F(ConnectTest, ConnectsAsksTheTypeAndShowsTheExtendedVersionWithATraceRowPerPacket) {
    Start();
    View().m_PacketTraceDlg.Toggle(&View());
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(pty.LineRate(), 9600);
    EXPECT_EQ(pty.Next(), CMD_CONNECT);
    EXPECT_EQ(console.loop.NextDue(), CONNECT_TIMEOUT_MS);
    pty.Answer(CMD_CONNECT, RES_SUCCESS, 0x00070005);  // only the low 16 bits count
    ASSERT_TRUE(console.WaitFor([&] { return View().State().m_bConnected; }));
    EXPECT_EQ(console.Prompt(), "Connection succeeded.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_CONNECTION);
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 5");
    EXPECT_EQ(console.loop.NextDue(), DEVICE_INFO_TIMEOUT_MS);
    EXPECT_EQ(pty.Next(), CMD_GET_DEVICE_INFO);
    EXPECT_FALSE(FileExists(console.SettingsPath()));  // the configured rate: nothing to remember
    pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, BOARD_PELL);
    ASSERT_TRUE(console.WaitFor([&] { return View().State().m_nBoardType == BOARD_PELL && !Timer1(); }));
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: Pell");
    EXPECT_EQ(console.Settings(), "[Option]\nType=1\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(pty.Next(), CMD_GET_VERSION_EX);
    pty.Answer(CMD_GET_VERSION_EX, RES_SUCCESS, 0x0210);
    ASSERT_TRUE(console.WaitFor([&] { return View().State().m_nFirmwareLevel != 0; }));
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 2.10");
    EXPECT_EQ(View().State().m_nFirmwareLevel, 0x104);
    EXPECT_EQ(console.loop.NextDue(), -1);
    const QStringList rows[] = {{"SND", "0x1 CONNECT", "0x0", "0x0"},
                                {"RCV", "0x1 CONNECT", "0x1 SUCCESS", "0x70005"},
                                {"SND", "0x5 GET_DEVICE_INFO", "0x0", "0x0"},
                                {"RCV", "0x5 GET_DEVICE_INFO", "0x1 SUCCESS", "0x1"},
                                {"SND", "0x4 GET_VERSION_EX", "0x0", "0x0"},
                                {"RCV", "0x4 GET_VERSION_EX", "0x1 SUCCESS", "0x210"}};
    ASSERT_EQ(View().m_PacketTraceDlg.RowCount(), 6);
    for (int row = 0; row < 6; ++row) EXPECT_EQ(View().m_PacketTraceDlg.RowTexts(row).mid(1, 4), rows[row]) << row;
}

TEST(Connect, BaudSearchFindsAModuleAt57600OnTheFifthAttemptOrGivesUpAfterTheSixth) {
    for (int moduleRate : {57600, 0}) {
        SCOPED_TRACE(moduleRate);
        CLinked t;
        t.Start();
        const std::vector<int> rates = t.Search(moduleRate);
        if (moduleRate) {
            EXPECT_EQ(rates, (std::vector<int>{9600, 9600, 19200, 38400, 57600}));
            EXPECT_EQ(t.console.loop.Now(), 8800);
            EXPECT_EQ(t.console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=57600\nProtocol=0\n");
            EXPECT_EQ(t.console.Text(IDC_BAUD_LABEL), "Baud Rate: 57600bps");
            EXPECT_EQ(t.pty.Next(), CMD_GET_DEVICE_INFO);
            continue;
        }
        EXPECT_EQ(rates, (std::vector<int>{9600, 9600, 19200, 38400, 57600, 115200}));
        EXPECT_EQ(t.console.loop.Now(), 6 * 2000 + 5 * 200);
        EXPECT_EQ(t.View().Connection().m_nBaudRate, 115200);
        ASSERT_EQ(t.console.op.boxes.size(), 1u);
        EXPECT_EQ(t.console.op.boxes[0].text, "Connection is failed.");
        EXPECT_EQ(t.console.op.boxes[0].flags, MB_OK);
        // Nothing more is tried and nothing is written.
        EXPECT_EQ(t.console.loop.NextDue(), -1);
        EXPECT_FALSE(FileExists(t.console.SettingsPath()));
    }
}

TEST_F(ConnectTest, RefusalWarnsAndConnectDuringTheRetryPauseSendsOneRequest) {
    Start();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_EQ(pty.Next(), CMD_CONNECT);
    pty.Answer(CMD_CONNECT, RES_CONNECT_FAIL);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_MsgDlg.IsOpen(); }));
    EXPECT_EQ(console.Prompt(), "The connection is failed.");
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "The connection is failed.");
    console.ClosePrompt();
    console.loop.Advance(CONNECT_TIMEOUT_MS);  // the search goes on: a retry after 200 ms
    ASSERT_EQ(console.loop.NextDue(), CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(pty.Next(), CMD_CONNECT);
    console.loop.Advance(CONNECT_PAUSE_MS);
    EXPECT_TRUE(Quiet());  // none from the pause
    EXPECT_EQ(console.loop.NextDue(), 2 * CONNECT_TIMEOUT_MS);
}

TEST(Connect, DisconnectDuringTheDeviceInformationWaitStopsEverything) {
    // Before the answer, and in the pause before the fallback's version question.
    for (unsigned wait : {0u, DEVICE_INFO_TIMEOUT_MS}) {
        SCOPED_TRACE(wait);
        CLinked t;
        t.Start("[Option]\nType=1\n");
        t.Connect();
        t.console.loop.Advance(wait);
        ASSERT_TRUE(t.console.Click(IDC_CONNECT));  // DISCONNECT
        EXPECT_FALSE(t.View().State().m_bConnected || t.View().Connection().m_bPortOpen);
        EXPECT_EQ(t.View().State().m_nLayout, LAYOUT_DISCONNECTED);
        EXPECT_EQ(t.console.loop.NextDue(), -1);
        t.console.loop.Advance(20000);
        EXPECT_TRUE(t.Quiet());
        EXPECT_EQ(t.View().State().m_nBoardType, BOARD_PELL);
        EXPECT_TRUE(t.console.op.boxes.empty());
    }
}

TEST(Connect, DeviceInformationDecidesTheBoardAndTheVersionQuestion) {
    // Virtual ms before the answer (if any), the answer, the board taken and the next request (0: none).
    const struct { const char* name; int advance; bool answer; std::uint32_t result, type, err; int board, next; }
    cases[] = {
        {"silence: ZEL12 after the pause", 1700, false, 0, 0, 0, BOARD_ZEL12, CMD_GET_VERSION},
        {"error code 5", 0, true, RES_FAIL, 0, ERR_UNKNOWN_COMMAND, BOARD_ZEL12, CMD_GET_VERSION},
        {"type 0", 0, true, RES_SUCCESS, BOARD_ZEL12, 0, BOARD_ZEL12, CMD_GET_VERSION},
        {"unknown type", 0, true, RES_SUCCESS, 9, 0, BOARD_QOR10_HV, 0},
        {"answer during the fallback pause", 1500, true, RES_SUCCESS, BOARD_PELL, 0, BOARD_PELL, CMD_GET_VERSION_EX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLinked t;
        t.Start("[Option]\nType=2\n");
        t.Connect();
        const int first = std::min<int>(c.advance, DEVICE_INFO_TIMEOUT_MS);
        t.console.loop.Advance(first);
        EXPECT_EQ(t.View().State().m_nBoardType, BOARD_QOR10_HV);  // not before the pause ends
        t.console.loop.Advance(c.advance - first);
        if (c.answer) t.pty.Answer(CMD_GET_DEVICE_INFO, c.result, c.type, c.err);
        ASSERT_TRUE(t.console.WaitFor([&] { return t.View().State().m_nBoardType == c.board && !t.Timer1(); }));
        EXPECT_NE(t.console.Settings().find("Type=" + std::to_string(c.board) + "\n"), std::string::npos);
        if (c.next) {
            EXPECT_EQ(t.pty.Next(), c.next);
        }
        // No late fallback asks a second time.
        t.console.loop.Advance(5000);
        EXPECT_TRUE(t.Quiet());
        EXPECT_EQ(t.View().State().m_nBoardType, c.board);
        if (c.next == CMD_GET_VERSION) {
            t.pty.Answer(CMD_GET_VERSION, 0x0103);
            ASSERT_TRUE(t.console.WaitFor([&] { return t.View().State().m_nFirmwareLevel == 0x103; }));
            EXPECT_EQ(t.console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 1.03");
        }
    }
}

TEST_F(ConnectTest, CanceledAnswersWarnAndAChecksumErrorShowsOnce) {
    Start();
    Connect();
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Connection succeeded.");
    pty.Answer(CMD_GET_DEVICE_INFO, RES_CANCELED);
    ASSERT_TRUE(console.WaitFor([&] { return console.Text(IDC_STATUS_LINE) == "Get device infomation is canceled."; }));
    EXPECT_EQ(console.Prompt(), "The command is canceled.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    // The extended version asked (as after a device information of type 1) and canceled.
    Ask(console, FLOW_CONNECTION, req::General(CMD_GET_VERSION_EX));
    ASSERT_EQ(pty.Next(), CMD_GET_VERSION_EX);
    pty.Answer(CMD_GET_VERSION_EX, RES_CANCELED, 0x0300);
    ASSERT_TRUE(console.WaitFor([&] { return console.Text(IDC_STATUS_LINE) == "Get firmware version is canceled."; }));
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 0.00");
    console.ClosePrompt();
    View().m_WaitDlg.Popup(IDD_WAITDLG, &View());
    pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, 0, 0, true);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_MsgDlg.IsOpen(); }));
    EXPECT_FALSE(View().m_WaitDlg.IsOpen());
    EXPECT_EQ(console.Prompt(), "Checksum error occurred.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_ERROR);
    View().m_MsgDlg.SetMessage("kept");
    console.Send(WM_CHECKSUM_ERROR, 1);  // another while it is open: nothing new
    EXPECT_EQ(console.Prompt(), "kept");
}

TEST_F(ConnectTest, MinimizedProtocolConnectsWithTheSixByteFrameShownInTheTrace) {
    Start("[Option]\nProtocol=1\n");
    View().m_PacketTraceDlg.Toggle(&View());
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(pty.Read(6), Mini(MINI_CONNECT, 0));
    const auto answer = Mini(MINI_CONNECT, RES_SUCCESS);
    pty.Write(answer.data(), answer.size());
    ASSERT_TRUE(console.WaitFor([&] { return View().State().m_bConnected; }));
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: xx");
    EXPECT_EQ(console.Prompt(), "Connection succeeded.");
    EXPECT_EQ(pty.Next(), CMD_GET_DEVICE_INFO);  // the questions that follow are General
    const CPacketTraceDlg& trace = View().m_PacketTraceDlg;
    ASSERT_EQ(trace.RowCount(), 3);
    EXPECT_EQ(trace.RowTexts(0).mid(1), (QStringList{"SND", "0x1 CONNECT", "0x0", "0x0", "", "", "Minimized"}));
    EXPECT_EQ(trace.RowTexts(1).mid(1), (QStringList{"RCV", "0x1 CONNECT", "0x1 SUCCESS", "0x0", "", "", "Minimized"}));
    EXPECT_EQ(trace.RowTexts(2).mid(1, 2), (QStringList{"SND", "0x5 GET_DEVICE_INFO"}));
}

TEST(Connect, OpeningFailureNamesThePortThePathAndTheReason) {
    CConsole console;
    console.MapPort(1, "/nonexistent/ttyUSB9");
    ASSERT_TRUE(console.Start());
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    // The design's sentence first, then why; the status line also names the device.
    const QString reason = "The port is not there: the adapter is unplugged or the device does not exist.";
    EXPECT_EQ(console.Prompt(), "Opening 'COM1' failed. " + reason);
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Opening 'COM1' failed. /nonexistent/ttyUSB9: " + reason);
    EXPECT_EQ(console.loop.NextDue(), -1);
}

TEST_F(ConnectTest, PowerIsRefusedOnAPseudoTerminalAndALostPortIsNamed) {
    Start();
    Connect();
    ASSERT_TRUE(console.Click(IDC_POWER));
    EXPECT_EQ(console.Prompt(), "Power off fail!!!");  // a pseudo-terminal refuses RTS
    EXPECT_EQ(console.PromptForm(), MSGFORM_ERROR);
    EXPECT_TRUE(View().State().m_bPowerOn);
    EXPECT_EQ(console.Text(IDC_POWER), "POWER OFF");
    console.ClosePrompt();
    pty.CloseMaster();  // the adapter is pulled out
    ASSERT_TRUE(console.WaitFor([&] { return !View().Connection().m_bPortOpen; }));
    EXPECT_EQ(console.Prompt(), "Serial port 'COM1' was lost.");
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Serial port 'COM1' was lost.");
    EXPECT_EQ(View().State().m_nLayout, LAYOUT_DISCONNECTED);
    EXPECT_EQ(console.loop.NextDue(), -1);
    console.ClosePrompt();
    console.LosePort();  // a stale report after the close is ignored
    EXPECT_FALSE(View().m_MsgDlg.IsOpen());
}

TEST(SerialCommDialog, ShowsTheSettingsReadAgainWhenItOpens) {
    CConsole console;
    console.WriteSettings("[Option]\nCOM Port=3\nBaudrate=38400\n");
    ASSERT_TRUE(console.Start());
    console.WriteSettings("[Option]\nCOM Port=2\nBaudrate=19200\n");  // changed behind its back
    QStringList seen;
    console.op.Answer([&](QDialog& dialog) {
        for (int id : {IDC_PORT_COMBO, IDC_BAUD_COMBO}) seen << DlgItem<QComboBox>(&dialog, id)->currentText();
        return IDCANCEL;
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    EXPECT_EQ(seen, (QStringList{"COM2", "19200"}));
    console.loop.RunPending();
    EXPECT_EQ(console.View().Connection().m_strPortName, "COM3");  // closing changes nothing
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
}

TEST(SerialCommDialog, SetBaudRateTellsTheModuleSavesAndDisconnects) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    ASSERT_TRUE(console.OpenRawLine());
    view.SetConnectedLayout();
    CWriteLog log(view);
    bool stayedOpen = false;
    console.op.Answer([&](QDialog& dialog) {
        auto* rates = DlgItem<QComboBox>(&dialog, IDC_BAUD_COMBO);
        // Pick-only: no text can be typed that names no rate.
        EXPECT_FALSE(rates->isEditable());
        EXPECT_FALSE(DlgItem<QComboBox>(&dialog, IDC_PORT_COMBO)->isEditable());
        rates->setCurrentIndex(1);
        EXPECT_EQ(CSerialCommDlg::SelectedIndex(rates), 1);
        ClickDlgItem(&dialog, IDC_SET_BAUD_RATE);
        stayedOpen = dialog.isVisible();
        return IDCANCEL;  // CLOSE
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    EXPECT_TRUE(stayedOpen);
    console.loop.RunPending();
    EXPECT_EQ(log.Request(), (std::pair<std::uint32_t, std::uint32_t>(CMD_SET_BAUDRATE, 1)));
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=57600\nProtocol=0\n");
    EXPECT_EQ(view.State().m_nLayout, LAYOUT_DISCONNECTED);
    EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 57600bps");
    EXPECT_EQ(console.Prompt(), "BaudRate was changed.");
}

TEST(SerialCommDialog, AnIndexThatNamesNoItemIsRefusedWithoutSendingOrWriting) {
    const struct { UINT msg; const char* prompt; } cases[] = {
        {WM_BAUD_CHANGED, "Choose a baud rate from the list."},
        {WM_PORT_CHANGED, "Choose a serial port from the list."},
    };
    for (const auto& c : cases) {
        for (std::intptr_t index : {-1, 5}) {
            SCOPED_TRACE(c.prompt + std::to_string(index));
            CConsole console;
            ASSERT_TRUE(console.Start());
            CPravikView& view = console.View();
            view.SetConnectedLayout();
            CWriteLog log(view);
            console.Send(c.msg, static_cast<WPARAM>(index));
            EXPECT_TRUE(log.bytes.empty());
            EXPECT_FALSE(FileExists(console.SettingsPath()));
            EXPECT_EQ(view.State().m_nLayout, LAYOUT_CONNECTED);
            EXPECT_EQ(console.Prompt(), c.prompt);
            EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 9600bps");
            EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM1");
        }
    }
}

TEST(SerialCommDialog, PortOrRateChangeEndsTheSearch) {
    CRawPty pty;
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.PortMap().Set("COM2", pty.SlavePath());
    ASSERT_TRUE(console.Click(IDC_CONNECT));  // COM1 fails to open
    console.ClosePrompt();
    console.Send(WM_PORT_CHANGED, 1);  // COM2
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=2\nBaudrate=9600\nProtocol=0\n");
    console.ClosePrompt();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_TRUE(view.Connection().m_bPortOpen);
    // A port change closes the link at once.
    console.Send(WM_PORT_CHANGED, 1);
    EXPECT_FALSE(view.Connection().m_bPortOpen);
    EXPECT_EQ(console.loop.NextDue(), -1);
    console.ClosePrompt();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    console.loop.Advance(CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);  // silent: the search moves on
    ASSERT_EQ(view.Connection().m_nBaudScan, 1);
    console.Send(WM_BAUD_CHANGED, 1);
    EXPECT_EQ(view.Connection().m_nBaudScan, 0);
    EXPECT_EQ(console.loop.NextDue(), -1);
    console.loop.Advance(10000);  // the rate just chosen stands; no retry opens the port again
    EXPECT_EQ(view.Connection().m_nBaudRate, 57600);
    EXPECT_FALSE(view.Connection().m_bPortOpen);
}

TEST(SerialCommDialog, RateChangeGoesOutAtTheOldRateAndEndsTheDeviceInformationWait) {
    CLinked t;
    t.Start();
    t.Connect();
    t.console.Send(WM_BAUD_CHANGED, 0);
    std::uint32_t index = 9;
    EXPECT_EQ(t.pty.Next(&index), CMD_SET_BAUDRATE);  // at the old rate
    EXPECT_EQ(index, 0u);
    EXPECT_FALSE(t.View().Connection().m_bPortOpen);
    EXPECT_EQ(t.console.loop.NextDue(), -1);  // no fallback takes the module for a ZEL12
    t.console.ClosePrompt();
    ASSERT_TRUE(t.console.Click(IDC_CONNECT));
    EXPECT_EQ(t.pty.LineRate(), 115200);
    EXPECT_EQ(t.pty.Next(), CMD_CONNECT);
}

// The rate change goes out at the old rate in the protocol chosen, then the
// link closes at once: its answer can no longer come. Without a link nothing
// is sent at all, and the new rate is kept all the same.
TEST(SerialCommDialog, TheMinimizedRateFrameGoesOutOnlyOnAnOpenLink) {
    {
        CLinked t;
        t.Start("[Option]\nProtocol=1\n");
        ASSERT_TRUE(t.console.OpenRawLine(9600));
        t.console.Send(WM_BAUD_CHANGED, 3);
        EXPECT_EQ(t.console.Line().Read(6), Mini(MINI_SET_BAUDRATE, 3));
        EXPECT_FALSE(t.View().Client().IsOpen());
        EXPECT_EQ(t.View().Client().OpenExchanges(), 0u);
    }
    CConsole console;
    console.WriteSettings("[Option]\nProtocol=1\n");
    ASSERT_TRUE(console.Start());
    CWriteLog log(console.View());
    console.Send(WM_BAUD_CHANGED, 3);
    EXPECT_TRUE(log.bytes.empty());
    EXPECT_EQ(console.Settings(), "[Option]\nProtocol=1\nType=0\nCOM Port=1\nBaudrate=19200\n");
    EXPECT_EQ(console.Prompt(), "BaudRate was changed.");
}

TEST(ConsoleWithSimulator, StartConnectedReachesEachBoardInBothProtocols) {
    for (int protocol : {PROTOCOL_GENERAL, PROTOCOL_MINIMIZED}) {
        for (int board : {BOARD_ZEL12, BOARD_PELL}) {
            SCOPED_TRACE(std::to_string(protocol) + "/" + std::to_string(board));
            CConsole console;
            ASSERT_TRUE(StartConnected(console, board, protocol));
            EXPECT_EQ(console.View().State().m_nLayout, LAYOUT_CONNECTED);
            EXPECT_EQ(console.View().State().m_nBoardType, board);
            EXPECT_EQ(console.View().State().m_nFirmwareLevel, board == BOARD_ZEL12 ? 0x105 : 0x104);
        }
    }
}

TEST(ConsoleWithSimulator, SimulateMapsTheSelectedPortToAModuleAtItsOwnRate) {
    CConsole console;
    console.WriteSettings("[Option]\nCOM Port=2\nBaudrate=38400\n");
    console.Options().simulate = true;
    console.Options().simType = BOARD_QOR10_LV;
    console.Options().simBaud = 57600;
    ASSERT_TRUE(console.Start() && console.App().Simulator());
    EXPECT_EQ(console.App().Simulator()->Module().Baud(), 57600);
    EXPECT_EQ(console.View().PortMap().Resolve("COM2"), console.App().Simulator()->SlavePath());
    // 38400, 9600, 19200, 38400 go unheard (a short real wait, then the virtual 2200 ms); 57600 answers.
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    for (int attempt = 1; attempt < 5; ++attempt) {
        EXPECT_FALSE(console.WaitFor([&] { return console.View().State().m_bConnected; }, 100));
        console.loop.Advance(CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);
    }
    ASSERT_TRUE(console.WaitFor([&] { return console.View().State().m_nFirmwareLevel != 0; }));
    // The module says what it is: the board follows, the extended version is asked.
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: QOR10-LV");
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 1.05");
    EXPECT_EQ(console.Settings(), "[Option]\nCOM Port=2\nBaudrate=57600\nType=3\nProtocol=0\n");
}
