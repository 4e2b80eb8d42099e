// CONNECT / DISCONNECT over a pseudo-terminal whose other end the test plays
// byte by byte: the baud-rate search on the virtual clock, the device
// information and version questions, refusals and a lost port.
#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

// A console whose COM1 leads to a raw pseudo-terminal.
class ConnectTest : public ::testing::Test {
protected:
    void StartConsole(const std::string& settings = {}) {
        ASSERT_TRUE(pty.IsOpen());
        if (!settings.empty()) console.WriteSettings(settings);
        console.MapPort(1, pty.SlavePath());
        ASSERT_TRUE(console.Start());
    }
    CPravikView& View() { return console.View(); }

    // The next request the console writes; fails the test when none comes.
    CPacket Next() {
        auto packet = std::make_unique<CPacket>();
        EXPECT_TRUE(pty.ReadPacket(*packet)) << "no request written";
        return *packet;
    }

    // CONNECT answered at once: the console is connected and has asked for
    // the device information; the operator has closed "Connection succeeded.".
    void Connect(std::uint32_t fingerprints = 5) {
        ASSERT_TRUE(console.Click(IDC_CONNECT));
        ASSERT_EQ(Next().m_Command, CMD_CONNECT);
        pty.Answer(CMD_CONNECT, RES_SUCCESS, fingerprints);
        ASSERT_TRUE(console.WaitFor([&] { return View().m_bConnected; }));
        ASSERT_EQ(Next().m_Command, CMD_GET_DEVICE_INFO);
        ASSERT_EQ(console.Prompt(), "Connection succeeded.");
        console.ClosePrompt();
    }

    bool Timer1() { return console.loop.IsTimerRunning(&View(), CONNECT_TIMER_ID); }

    CRawPty pty;
    CConsole console;
};

}  // namespace

TEST_F(ConnectTest, ConnectsAsksTheTypeAndShowsTheVersion) {
    StartConsole();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_TRUE(View().m_bPortOpen);
    EXPECT_EQ(View().m_nConnectStage, CONNECT_STAGE_CONNECTING);
    EXPECT_EQ(pty.LineRate(), 9600);
    EXPECT_EQ(Next().m_Command, CMD_CONNECT);
    EXPECT_TRUE(Timer1());
    EXPECT_EQ(console.loop.NextDue(), 2000);

    pty.Answer(CMD_CONNECT, RES_SUCCESS, 0x00070005);  // only the low 16 bits count
    ASSERT_TRUE(console.WaitFor([&] { return View().m_bConnected; }));
    EXPECT_EQ(console.Prompt(), "Connection succeeded.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_CONNECTION);
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 5");
    EXPECT_EQ(View().m_nConnectStage, CONNECT_STAGE_DEVICE_INFO);
    EXPECT_EQ(View().m_nLayout, LAYOUT_CONNECTED);
    EXPECT_EQ(console.Text(IDC_CONNECT), "DISCONNECT");
    EXPECT_EQ(console.loop.NextDue(), 1500);
    EXPECT_EQ(Next().m_Command, CMD_GET_DEVICE_INFO);
    // Connected at the configured rate: nothing to remember.
    EXPECT_FALSE(FileExists(console.SettingsPath()));

    pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, BOARD_PELL);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_nBoardType == BOARD_PELL; }));
    EXPECT_FALSE(Timer1());
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: Pell");
    EXPECT_TRUE(console.Shown(IDC_STATUS));
    EXPECT_EQ(console.Settings(), "[Option]\nType=1\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(Next().m_Command, CMD_GET_VERSION_EX);

    pty.Answer(CMD_GET_VERSION_EX, RES_SUCCESS, 0x0210);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_nFirmwareLevel != 0; }));
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 2.10");
    EXPECT_EQ(View().m_nFirmwareLevel, 0x104);
    EXPECT_EQ(console.loop.NextDue(), -1);
}

TEST_F(ConnectTest, ModuleAt57600IsFoundOnTheFifthAttempt) {
    StartConsole();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    std::vector<int> rates;
    for (int attempt = 0; attempt < 6 && !View().m_bConnected; ++attempt) {
        ASSERT_EQ(Next().m_Command, CMD_CONNECT) << "attempt " << attempt + 1;
        rates.push_back(pty.LineRate());
        if (pty.LineRate() == 57600) {
            // The module hears only its own rate.
            pty.Answer(CMD_CONNECT, RES_SUCCESS, 3);
            ASSERT_TRUE(console.WaitFor([&] { return View().m_bConnected; }));
        } else {
            console.loop.Advance(CONNECT_TIMEOUT_MS);
            EXPECT_FALSE(View().m_bPortOpen);
            console.loop.Advance(CONNECT_PAUSE_MS);
        }
    }
    EXPECT_EQ(rates, (std::vector<int>{9600, 9600, 19200, 38400, 57600}));
    EXPECT_EQ(console.loop.Now(), 4 * 2000 + 4 * 200);
    EXPECT_EQ(View().m_nBaudRate, 57600);
    EXPECT_EQ(View().m_nBaudScan, 0);
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=57600\nProtocol=0\n");
    EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 57600bps");
    EXPECT_EQ(Next().m_Command, CMD_GET_DEVICE_INFO);
}

TEST_F(ConnectTest, SilenceAtEveryRateEndsWithConnectionIsFailed) {
    StartConsole();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    std::vector<int> rates;
    for (int attempt = 0; attempt < 6; ++attempt) {
        ASSERT_EQ(Next().m_Command, CMD_CONNECT) << "attempt " << attempt + 1;
        rates.push_back(pty.LineRate());
        EXPECT_TRUE(console.op.boxes.empty());
        console.loop.Advance(CONNECT_TIMEOUT_MS);
        if (attempt < 5) console.loop.Advance(CONNECT_PAUSE_MS);
    }
    EXPECT_EQ(rates, (std::vector<int>{9600, 9600, 19200, 38400, 57600, 115200}));
    ASSERT_EQ(console.op.boxes.size(), 1u);
    EXPECT_EQ(console.op.boxes[0].text, "Connection is failed.");
    EXPECT_EQ(console.op.boxes[0].flags, MB_OK);
    EXPECT_EQ(console.loop.Now(), 6 * 2000 + 5 * 200);
    EXPECT_EQ(View().m_nBaudRate, 115200);
    EXPECT_EQ(View().m_nBaudScan, 0);
    EXPECT_FALSE(View().m_bPortOpen);
    EXPECT_FALSE(View().m_bConnected);
    EXPECT_EQ(console.loop.NextDue(), -1);
    // Nothing more is tried and nothing is written.
    console.loop.Advance(10000);
    EXPECT_EQ(console.op.boxes.size(), 1u);
    EXPECT_FALSE(FileExists(console.SettingsPath()));
    EXPECT_EQ(console.Text(IDC_CONNECT), "CONNECT");
}

TEST_F(ConnectTest, RefusedConnectionKeepsTheSearchGoing) {
    StartConsole();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_EQ(Next().m_Command, CMD_CONNECT);
    pty.Answer(CMD_CONNECT, RES_CONNECT_FAIL);
    ASSERT_TRUE(console.WaitFor([&] { return console.View().m_MsgDlg.IsOpen(); }));
    EXPECT_EQ(console.Prompt(), "The connection is failed.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "The connection is failed.");
    EXPECT_TRUE(Timer1());
    console.loop.Advance(CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);
    EXPECT_EQ(Next().m_Command, CMD_CONNECT);
    EXPECT_EQ(View().m_nBaudScan, 1);
}

TEST_F(ConnectTest, DisconnectBeforeTheDeviceInformationAnswerStopsEverything) {
    StartConsole();
    Connect();
    ASSERT_EQ(console.loop.Now(), 0);
    ASSERT_TRUE(Timer1());
    ASSERT_TRUE(console.Click(IDC_CONNECT));  // DISCONNECT
    EXPECT_FALSE(View().m_bConnected);
    EXPECT_FALSE(View().m_bPortOpen);
    EXPECT_EQ(View().m_nConnectStage, CONNECT_STAGE_CONNECTING);
    EXPECT_EQ(View().m_nBaudScan, 0);
    EXPECT_EQ(View().m_nLayout, LAYOUT_DISCONNECTED);
    EXPECT_EQ(console.Text(IDC_CONNECT), "CONNECT");
    EXPECT_FALSE(Timer1());
    console.loop.Advance(20000);
    EXPECT_TRUE(pty.Read(1, 200).empty());
    EXPECT_FALSE(View().m_bPortOpen);
    EXPECT_TRUE(console.op.boxes.empty());
}

TEST_F(ConnectTest, DisconnectDuringThePauseBeforeGetVersionCancelsIt) {
    StartConsole("[Option]\nType=1\n");
    Connect();
    console.loop.Advance(DEVICE_INFO_TIMEOUT_MS);  // no device information: the fallback waits 200 ms
    ASSERT_EQ(console.loop.NextDue(), DEVICE_INFO_TIMEOUT_MS + CONNECT_PAUSE_MS);
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    console.loop.Advance(1000);
    EXPECT_TRUE(pty.Read(1, 200).empty());
    EXPECT_EQ(View().m_nBoardType, BOARD_PELL);
    EXPECT_EQ(console.loop.NextDue(), -1);
}

TEST_F(ConnectTest, NoDeviceInformationMeansZel12AndThePlainVersion) {
    StartConsole("[Option]\nType=2\n");
    Connect();
    console.loop.Advance(DEVICE_INFO_TIMEOUT_MS);
    EXPECT_FALSE(Timer1());
    EXPECT_EQ(View().m_nBoardType, BOARD_QOR10_HV);  // not before the pause
    console.loop.Advance(CONNECT_PAUSE_MS);
    EXPECT_EQ(View().m_nBoardType, BOARD_ZEL12);
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: ZEL12");
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(Next().m_Command, CMD_GET_VERSION);
    EXPECT_FALSE(Timer1());
    pty.Answer(CMD_GET_VERSION, 0x0103);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_nFirmwareLevel != 0; }));
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 1.03");
    EXPECT_EQ(View().m_nFirmwareLevel, 0x103);
}

TEST_F(ConnectTest, ErrorCode5OnTheDeviceInformationMeansZel12) {
    StartConsole("[Option]\nType=3\n");
    Connect();
    pty.Answer(CMD_GET_DEVICE_INFO, RES_FAIL, 0, ERR_UNKNOWN_COMMAND);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_nBoardType == BOARD_ZEL12; }));
    EXPECT_FALSE(Timer1());
    EXPECT_EQ(Next().m_Command, CMD_GET_VERSION);
    // A late fallback does not ask a second time.
    console.loop.Advance(5000);
    EXPECT_TRUE(pty.Read(1, 100).empty());
}

TEST_F(ConnectTest, DeviceTypeZeroAsksThePlainVersionAndUnknownTypesNothing) {
    StartConsole("[Option]\nType=1\n");
    Connect();
    pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, 9);
    ASSERT_TRUE(console.WaitFor([&] { return !Timer1(); }));
    EXPECT_TRUE(pty.Read(1, 200).empty());
    EXPECT_EQ(View().m_nBoardType, BOARD_PELL);
    pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, BOARD_ZEL12);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_nBoardType == BOARD_ZEL12; }));
    EXPECT_EQ(Next().m_Command, CMD_GET_VERSION);
}

TEST_F(ConnectTest, CanceledAnswersWarn) {
    StartConsole();
    Connect();
    pty.Answer(CMD_GET_DEVICE_INFO, RES_CANCELED);
    ASSERT_TRUE(console.WaitFor([&] { return !console.Text(IDC_STATUS_LINE).isEmpty(); }));
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Get device infomation is canceled.");
    EXPECT_EQ(console.Prompt(), "The command is canceled.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    pty.Answer(CMD_GET_VERSION_EX, RES_CANCELED, 0x0300);
    ASSERT_TRUE(console.WaitFor([&] { return console.Text(IDC_STATUS_LINE) == "Get firmware version is canceled."; }));
    EXPECT_EQ(View().m_nFirmwareLevel, 0);
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 0.00");
}

TEST_F(ConnectTest, MinimizedProtocolConnectsWithTheSixByteFrame) {
    StartConsole("[Option]\nProtocol=1\n");
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    std::vector<std::uint8_t> frame = pty.Read(6);
    std::uint8_t expected[6];
    BuildMiniFrame(expected, MINI_CONNECT, 0, 0);
    EXPECT_EQ(frame, std::vector<std::uint8_t>(expected, expected + 6));
    std::uint8_t answer[6];
    BuildMiniFrame(answer, MINI_CONNECT, RES_SUCCESS, 0);
    pty.Write(answer, 6);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_bConnected; }));
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: xx");
    EXPECT_EQ(console.Prompt(), "Connection succeeded.");
    // The questions that follow are General ones.
    EXPECT_EQ(Next().m_Command, CMD_GET_DEVICE_INFO);
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_VIEW));
    EXPECT_FALSE(console.Enabled(IDC_VERIFY));
    EXPECT_TRUE(console.Enabled(IDC_IDENTIFY));
}

TEST_F(ConnectTest, OpeningFailureNamesThePortThePathAndTheReason) {
    console.MapPort(1, "/nonexistent/ttyUSB9");
    ASSERT_TRUE(console.Start());
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(console.Prompt(), "Opening 'COM1' failed.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    const QString status = console.Text(IDC_STATUS_LINE);
    EXPECT_TRUE(status.startsWith("Opening 'COM1' failed.")) << status.toStdString();
    EXPECT_TRUE(status.contains("/nonexistent/ttyUSB9")) << status.toStdString();
    EXPECT_TRUE(status.contains("No such file or directory")) << status.toStdString();
    EXPECT_FALSE(View().m_bPortOpen);
    EXPECT_EQ(View().m_nConnectStage, CONNECT_STAGE_CONNECTING);
    EXPECT_EQ(console.loop.NextDue(), -1);
}

TEST_F(ConnectTest, LostPortDisconnectsAndSaysWhichPort) {
    StartConsole();
    Connect();
    pty.CloseMaster();  // the adapter is pulled out
    ASSERT_TRUE(console.WaitFor([&] { return !View().m_bPortOpen; }));
    EXPECT_EQ(console.Prompt(), "Serial port 'COM1' was lost.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Serial port 'COM1' was lost.");
    EXPECT_FALSE(View().m_bConnected);
    EXPECT_EQ(View().m_nLayout, LAYOUT_DISCONNECTED);
    EXPECT_EQ(console.Text(IDC_CONNECT), "CONNECT");
    EXPECT_FALSE(Timer1());
    EXPECT_EQ(console.loop.NextDue(), -1);
}

TEST_F(ConnectTest, PowerSwitchRefusedOnAPseudoTerminal) {
    StartConsole();
    Connect();
    ASSERT_TRUE(console.Shown(IDC_POWER));
    EXPECT_TRUE(View().m_bPowerOn);
    ASSERT_TRUE(console.Click(IDC_POWER));
    EXPECT_EQ(console.Prompt(), "Power off fail!!!");
    EXPECT_EQ(console.PromptForm(), MSGFORM_ERROR);
    EXPECT_TRUE(View().m_bPowerOn);
    EXPECT_EQ(console.Text(IDC_POWER), "POWER OFF");
    // The other way round after the operator closed the prompt.
    console.ClosePrompt();
    View().m_bPowerOn = false;
    ASSERT_TRUE(console.Click(IDC_POWER));
    EXPECT_EQ(console.Prompt(), "Power on fail!!!");
    EXPECT_FALSE(View().m_bPowerOn);
}

TEST_F(ConnectTest, ChecksumErrorShowsOnceAndClosesTheWaitingPrompt) {
    StartConsole();
    Connect();
    View().m_WaitDlg.Popup(IDD_WAITDLG, &View(), &View().m_PacketManager);
    ASSERT_TRUE(View().m_WaitDlg.IsOpen());
    // A device-information answer with a broken header checksum.
    auto packet = std::make_unique<CPacket>();
    packet->m_Command = CMD_GET_DEVICE_INFO;
    packet->m_Param1 = RES_SUCCESS;
    packet->PrepareForSend();
    packet->m_HeaderChecksum += 1;
    std::uint8_t frame[PACKET_HEADER_SIZE];
    packet->Serialize(frame, sizeof frame);
    pty.Write(frame, sizeof frame);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_MsgDlg.IsOpen(); }));
    EXPECT_FALSE(View().m_WaitDlg.IsOpen());
    EXPECT_EQ(console.Prompt(), "Checksum error occurred.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_ERROR);
    // Another one while the prompt is open shows nothing new.
    View().m_MsgDlg.SetMessage("kept");
    console.loop.Post(&View(), WM_CHECKSUM_ERROR, 1, 0);
    console.loop.RunPending();
    EXPECT_EQ(console.Prompt(), "kept");
}

TEST_F(ConnectTest, DeviceInformationDuringThePauseWinsOverTheFallback) {
    StartConsole("[Option]\nType=1\n");
    Connect();
    console.loop.Advance(DEVICE_INFO_TIMEOUT_MS);
    ASSERT_EQ(console.loop.NextDue(), DEVICE_INFO_TIMEOUT_MS + CONNECT_PAUSE_MS);
    pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, BOARD_QOR10_HV);
    ASSERT_TRUE(console.WaitFor([&] { return View().m_nBoardType == BOARD_QOR10_HV; }));
    EXPECT_EQ(Next().m_Command, CMD_GET_VERSION_EX);
    console.loop.Advance(1000);
    EXPECT_TRUE(pty.Read(1, 200).empty());
    EXPECT_EQ(View().m_nBoardType, BOARD_QOR10_HV);
}

TEST_F(ConnectTest, LostPortReportAfterTheCloseIsIgnored) {
    StartConsole();
    console.loop.Post(&View(), WM_COMM_PORT_LOST, 0, 0);
    console.loop.RunPending();
    EXPECT_FALSE(View().m_MsgDlg.IsOpen());
    EXPECT_TRUE(console.Text(IDC_STATUS_LINE).isEmpty());
    EXPECT_EQ(View().m_nConnectStage, CONNECT_STAGE_IDLE);
}

TEST_F(ConnectTest, ConnectPressedDuringTheRetryPauseRetriesOnce) {
    StartConsole();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_EQ(Next().m_Command, CMD_CONNECT);
    console.loop.Advance(CONNECT_TIMEOUT_MS);  // silent: the retry waits 200 ms
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(Next().m_Command, CMD_CONNECT);
    console.loop.Advance(CONNECT_PAUSE_MS);
    EXPECT_TRUE(pty.Read(1, 200).empty());  // no second request from the pause
    EXPECT_EQ(console.loop.NextDue(), CONNECT_TIMEOUT_MS + CONNECT_TIMEOUT_MS);
}
