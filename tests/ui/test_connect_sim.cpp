// The console against the simulated module on a pseudo-terminal: the baud
// search finding it, --simulate, the trace rows of a connection and the power
// switch. The virtual clock stands still while the module answers in real
// time (RunUntil) and moves for the attempts it does not hear (Advance).
#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"
#include "tools/PacketTraceDlg.h"

using namespace console_test;

namespace {

// Presses CONNECT and runs the search until connected or given up: each
// attempt gets a real wait for the module's answer (long at the module's own
// rate, short at the others, which it does not hear), then the virtual
// 2000 ms and 200 ms. Returns the number of attempts made.
int ConnectBySearch(CConsole& console, int moduleBaud = 9600) {
    CPravikView& view = console.View();
    EXPECT_TRUE(console.Click(IDC_CONNECT));
    for (int attempt = 1; attempt <= 6; ++attempt) {
        const int waitMs = view.m_nBaudRate == moduleBaud ? 3000 : 100;
        if (console.WaitFor([&] { return view.m_bConnected; }, waitMs)) return attempt;
        console.loop.Advance(CONNECT_TIMEOUT_MS);
        if (attempt < 6) console.loop.Advance(CONNECT_PAUSE_MS);
    }
    return 7;
}

// The module's type and version have arrived.
bool WaitForVersion(CConsole& console) {
    return console.WaitFor([&] { return console.View().m_nFirmwareLevel != 0; });
}

}  // namespace

TEST(ConsoleWithSimulator, FindsAModuleAt57600FromSettingsAt9600) {
    CSimPty sim;
    SimOptions options;
    options.baud = 57600;
    options.firmware = 0x0107;
    ASSERT_TRUE(sim.Start(options)) << sim.LastError();
    CConsole console;
    console.MapPort(1, sim.SlavePath());
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(ConnectBySearch(console, 57600), 5);
    EXPECT_EQ(console.loop.Now(), 8800);
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=57600\nProtocol=0\n");
    ASSERT_TRUE(WaitForVersion(console));
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: ZEL12");
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 1.07");
    EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 57600bps");
    EXPECT_EQ(console.View().m_nFirmwareLevel, 0x0107);
    EXPECT_EQ(console.Prompt(), "Connection succeeded.");
    EXPECT_GT(sim.Stats().discardedBytes, 0u);  // the four attempts it did not hear
}

TEST(ConsoleWithSimulator, SimulateOptionMapsTheSelectedPortToTheModule) {
    CConsole console;
    console.WriteSettings("[Option]\nCOM Port=2\nBaudrate=38400\n");
    console.Options().simulate = true;
    console.Options().simType = BOARD_QOR10_LV;
    ASSERT_TRUE(console.Start());
    ASSERT_NE(console.App().Simulator(), nullptr);
    EXPECT_EQ(console.App().Simulator()->Module().Baud(), 38400);
    EXPECT_EQ(ResolvePortName("COM2"), console.App().Simulator()->SlavePath());
    EXPECT_EQ(ConnectBySearch(console, 38400), 1);
    ASSERT_TRUE(WaitForVersion(console));
    // The module says what it is: the board follows, the extended version is asked.
    EXPECT_EQ(console.View().m_nBoardType, BOARD_QOR10_LV);
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: QOR10-LV");
    EXPECT_EQ(console.View().m_nFirmwareLevel, 0x104);
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 1.05");
    EXPECT_EQ(console.Settings(), "[Option]\nCOM Port=2\nBaudrate=38400\nType=3\nProtocol=0\n");
    EXPECT_TRUE(console.Shown(IDC_STATUS));
    EXPECT_FALSE(console.Shown(IDC_POWER));
}

TEST(ConsoleWithSimulator, SimBaudDiffersFromTheSettings) {
    CConsole console;
    console.Options().simBaud = 115200;
    console.Options().simulate = true;
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(console.App().Simulator()->Module().Baud(), 115200);
    EXPECT_EQ(ConnectBySearch(console, 115200), 6);
    EXPECT_EQ(console.View().m_nBaudRate, 115200);
}

TEST(ConsoleWithSimulator, OldZel12AnswersDeviceInformationWithErrorCode5) {
    CSimPty sim;
    SimOptions options;
    options.baud = 9600;
    options.firmware = 0x0102;  // older than the device-information command
    ASSERT_TRUE(sim.Start(options)) << sim.LastError();
    CConsole console;
    console.WriteSettings("[Option]\nType=1\n");
    console.MapPort(1, sim.SlavePath());
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(ConnectBySearch(console), 1);
    ASSERT_TRUE(WaitForVersion(console));
    EXPECT_EQ(console.View().m_nBoardType, BOARD_ZEL12);
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 1.02");
    EXPECT_EQ(console.View().m_nFirmwareLevel, 0x0102);
}

TEST(ConsoleWithSimulator, TraceRowsForSentAndReceivedPacketsNoneForMinimizedFrames) {
    CConsole console;
    console.Options().simulate = true;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    CPacketTraceDlg& trace = view.m_PacketTraceDlg;
    ASSERT_EQ(ConnectBySearch(console), 1);
    ASSERT_TRUE(WaitForVersion(console));
    console.ClosePrompt();
    // Closed: the traffic so far left no rows anywhere.
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    ASSERT_TRUE(trace.IsOpen());
    EXPECT_EQ(trace.RowCount(), 0);

    // Reconnect with the window open: every request and answer of the General exchange.
    ASSERT_TRUE(console.Click(IDC_CONNECT));  // DISCONNECT
    EXPECT_TRUE(trace.IsOpen());              // the window stays while its menu is greyed
    view.m_nFirmwareLevel = 0;
    ASSERT_EQ(ConnectBySearch(console), 1);
    ASSERT_TRUE(WaitForVersion(console));
    ASSERT_EQ(trace.RowCount(), 6);
    EXPECT_EQ(trace.RowTexts(0), (QStringList{"SND", "0x1", "0x0", "0x0", "0x0", "0x0"}));
    EXPECT_EQ(trace.RowTexts(1)[0], "RCV");
    EXPECT_EQ(trace.RowTexts(1)[1], "0x1");
    EXPECT_EQ(trace.RowTexts(1)[2], "0x1");  // RES_SUCCESS
    EXPECT_EQ(trace.RowTexts(2), (QStringList{"SND", "0x5", "0x0", "0x0", "0x0", "0x0"}));
    EXPECT_EQ(trace.RowTexts(3).mid(0, 2), (QStringList{"RCV", "0x5"}));
    EXPECT_EQ(trace.RowTexts(4), (QStringList{"SND", "0x3", "0x0", "0x0", "0x0", "0x0"}));
    EXPECT_EQ(trace.RowTexts(5), (QStringList{"RCV", "0x3", "0x105", "0x0", "0x0", "0x0"}));

    // Minimized: the connect frames leave no row; the General questions that
    // follow do.
    console.ClosePrompt();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));
    console.ClosePrompt();
    view.m_nFirmwareLevel = 0;
    ASSERT_EQ(ConnectBySearch(console), 1);
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: xx");
    ASSERT_TRUE(WaitForVersion(console));
    ASSERT_EQ(trace.RowCount(), 10);
    EXPECT_EQ(trace.RowTexts(6).mid(0, 2), (QStringList{"SND", "0x5"}));
    EXPECT_EQ(trace.RowTexts(7).mid(0, 2), (QStringList{"RCV", "0x5"}));
    EXPECT_EQ(trace.RowTexts(8).mid(0, 2), (QStringList{"SND", "0x3"}));
    EXPECT_EQ(trace.RowTexts(9).mid(0, 2), (QStringList{"RCV", "0x3"}));

    // Closed again from the menu (the View menu is greyed for Minimized, so
    // switch back): the next traffic adds nothing and reopening starts empty.
    console.ClosePrompt();
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_GENERAL));
    console.ClosePrompt();
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    EXPECT_FALSE(trace.IsOpen());
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    view.m_nFirmwareLevel = 0;
    ASSERT_EQ(ConnectBySearch(console), 1);
    ASSERT_TRUE(WaitForVersion(console));
    console.ClosePrompt();
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    EXPECT_EQ(trace.RowCount(), 0);
}

TEST(ConsoleWithSimulator, PowerButtonOnThePseudoTerminalIsRefused) {
    CConsole console;
    console.Options().simulate = true;
    ASSERT_TRUE(console.Start());
    ASSERT_EQ(ConnectBySearch(console), 1);
    ASSERT_TRUE(WaitForVersion(console));
    console.ClosePrompt();
    ASSERT_TRUE(console.Shown(IDC_POWER));
    ASSERT_TRUE(console.Click(IDC_POWER));
    EXPECT_EQ(console.Prompt(), "Power off fail!!!");
    EXPECT_EQ(console.PromptForm(), MSGFORM_ERROR);
    EXPECT_TRUE(console.View().m_bPowerOn);
    EXPECT_EQ(console.Text(IDC_POWER), "POWER OFF");
}
