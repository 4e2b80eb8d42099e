// The Serial Communication dialog and the port and baud-rate changes it
// sends to the main form; the set-baud-rate answers.
#include <QComboBox>

#include "console/SerialCommDlg.h"
#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
}

// Every frame the packet manager writes, whether or not the port is open.
struct CWriteLog {
    std::vector<std::uint8_t> bytes;
    void Attach(CPravikView& view) {
        view.m_PacketManager.m_Comm.m_WriteTap = [this](const std::uint8_t* b, std::size_t n) {
            bytes.insert(bytes.end(), b, b + n);
        };
    }
    // The General request at the start of the log.
    bool Request(std::uint32_t& command, std::uint32_t& param2) const {
        if (bytes.size() < PACKET_HEADER_SIZE || bytes[0] != PACKET_START) return false;
        command = GetBE32(&bytes[1]);
        param2 = GetBE32(&bytes[9]);
        return true;
    }
};

}  // namespace

TEST(SerialCommDialog, ShowsTheSettingsReadAgainWhenItOpens) {
    CConsole console;
    console.WriteSettings("[Option]\nCOM Port=3\nBaudrate=38400\n");
    ASSERT_TRUE(console.Start());
    // Changed behind the console's back: the dialog reads the file again.
    console.WriteSettings("[Option]\nCOM Port=2\nBaudrate=19200\n");
    QStringList ports, rates;
    QString port, rate;
    console.op.Answer([&](QDialog& dialog) {
        auto* portBox = DlgItem<QComboBox>(&dialog, IDC_PORT_COMBO);
        auto* rateBox = DlgItem<QComboBox>(&dialog, IDC_BAUD_COMBO);
        if (!portBox || !rateBox) return IDCANCEL;
        ports = Items(portBox);
        rates = Items(rateBox);
        port = portBox->currentText();
        rate = rateBox->currentText();
        return IDCANCEL;
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    ASSERT_EQ(console.op.dialogTitles.size(), 1);
    EXPECT_EQ(console.op.dialogTitles[0], "Serial Communication");
    EXPECT_EQ(ports, (QStringList{"COM1", "COM2", "COM3", "COM4"}));
    EXPECT_EQ(rates, (QStringList{"115200", "57600", "38400", "19200", "9600"}));
    EXPECT_EQ(port, "COM2");
    EXPECT_EQ(rate, "19200");
    EXPECT_EQ(console.View().m_Settings.m_nBaudIndex, 3);
    // Closing changes nothing.
    console.loop.RunPending();
    EXPECT_EQ(console.View().m_strPortName, "COM3");
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
}

TEST(SerialCommDialog, SetBaudRateTellsTheModuleSavesAndDisconnects) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SetConnectedLayout();
    CWriteLog log;
    log.Attach(view);
    bool stayedOpen = false;
    console.op.Answer([&](QDialog& dialog) {
        DlgItem<QComboBox>(&dialog, IDC_BAUD_COMBO)->setCurrentIndex(1);
        ClickDlgItem(&dialog, IDC_SET_BAUD_RATE);
        stayedOpen = dialog.isVisible();
        return IDCANCEL;  // CLOSE
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    EXPECT_TRUE(stayedOpen);
    console.loop.RunPending();
    EXPECT_EQ(view.m_nBaudRate, 57600);
    std::uint32_t command = 0, index = 0;
    ASSERT_TRUE(log.Request(command, index));
    EXPECT_EQ(command, CMD_SET_BAUDRATE);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=57600\nProtocol=0\n");
    EXPECT_EQ(view.m_nLayout, LAYOUT_DISCONNECTED);
    EXPECT_FALSE(view.m_bConnected);
    EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 57600bps");
    EXPECT_EQ(console.Prompt(), "BaudRate was changed.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
}

TEST(SerialCommDialog, TypedTextMatchingNoItemGivesIndexMinusOne) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    CWriteLog log;
    log.Attach(view);
    console.op.Answer([&](QDialog& dialog) {
        auto* rates = DlgItem<QComboBox>(&dialog, IDC_BAUD_COMBO);
        auto* ports = DlgItem<QComboBox>(&dialog, IDC_PORT_COMBO);
        rates->setEditText("12345");
        EXPECT_EQ(CSerialCommDlg::SelectedIndex(rates), -1);
        ClickDlgItem(&dialog, IDC_SET_BAUD_RATE);
        ports->setEditText("COM9");
        ClickDlgItem(&dialog, IDC_SET_COM_PORT);
        // Typed text that names an item counts as that item.
        rates->setEditText("38400");
        EXPECT_EQ(CSerialCommDlg::SelectedIndex(rates), 2);
        return IDCANCEL;
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    console.loop.RunPending();
    // The rate falls back to 9600 and the index goes out as it is.
    EXPECT_EQ(view.m_nBaudRate, 9600);
    std::uint32_t command = 0, index = 0;
    ASSERT_TRUE(log.Request(command, index));
    EXPECT_EQ(command, CMD_SET_BAUDRATE);
    EXPECT_EQ(index, 0xFFFFFFFFu);
    // The port becomes COM0, which cannot be opened.
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=0\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(view.m_strPortName, "COM0");
    EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM0");
    EXPECT_EQ(console.Prompt(), "COM port was changed.");
    console.ClosePrompt();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(console.Prompt(), "Opening 'COM0' failed.");
    EXPECT_FALSE(view.m_bPortOpen);
}

TEST(SerialCommDialog, MinimizedProtocolSendsTheSixByteRateFrame) {
    CConsole console;
    console.WriteSettings("[Option]\nProtocol=1\n");
    ASSERT_TRUE(console.Start());
    CWriteLog log;
    log.Attach(console.View());
    console.loop.Post(&console.View(), WM_BAUD_CHANGED, 3, 0);
    console.loop.RunPending();
    std::uint8_t expected[6];
    BuildMiniFrame(expected, MINI_SET_BAUDRATE, 3, 0);
    EXPECT_EQ(log.bytes, std::vector<std::uint8_t>(expected, expected + 6));
    EXPECT_EQ(console.View().m_nBaudRate, 19200);
    EXPECT_EQ(console.Settings(), "[Option]\nProtocol=1\nType=0\nCOM Port=1\nBaudrate=19200\n");
}

TEST(SerialCommDialog, PortChangeDuringTheSearchEndsIt) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    CRawPty pty;
    ASSERT_TRUE(pty.IsOpen());
    SetPortOverride("COM2", pty.SlavePath());
    ASSERT_TRUE(console.Click(IDC_CONNECT));  // COM1 fails to open
    console.ClosePrompt();
    console.loop.Post(&view, WM_PORT_CHANGED, 1, 0);
    console.loop.RunPending();
    console.ClosePrompt();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_TRUE(view.m_bPortOpen);
    console.loop.Advance(CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);  // silent: the search moves on
    EXPECT_EQ(view.m_nBaudScan, 1);
    console.loop.Post(&view, WM_BAUD_CHANGED, 1, 0);
    console.loop.RunPending();
    EXPECT_EQ(view.m_nBaudScan, 0);
    EXPECT_EQ(console.loop.NextDue(), -1);
    console.loop.Advance(10000);
    // The rate just chosen stands; no retry opened the port again.
    EXPECT_EQ(view.m_nBaudRate, 57600);
    EXPECT_FALSE(view.m_bPortOpen);
    EXPECT_TRUE(console.op.boxes.empty());
}

TEST(SerialCommDialog, PortChangeClosesTheLinkAndRenamesThePort) {
    CRawPty pty;
    ASSERT_TRUE(pty.IsOpen());
    CConsole console;
    console.MapPort(1, pty.SlavePath());
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_TRUE(view.m_bPortOpen);
    console.loop.Post(&view, WM_PORT_CHANGED, 2, 0);
    console.loop.RunPending();
    EXPECT_FALSE(view.m_bPortOpen);
    EXPECT_EQ(view.m_strPortName, "COM3");
    EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM3");
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=3\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(console.Prompt(), "COM port was changed.");
    EXPECT_EQ(view.m_nLayout, LAYOUT_DISCONNECTED);
}

TEST(SerialCommDialog, RateChangeGoesOutAtTheOldRateAndTheNextConnectUsesTheNewOne) {
    CRawPty pty;
    ASSERT_TRUE(pty.IsOpen());
    CConsole console;
    console.MapPort(1, pty.SlavePath());
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    auto packet = std::make_unique<CPacket>();
    ASSERT_TRUE(pty.ReadPacket(*packet));
    pty.Answer(CMD_CONNECT, RES_SUCCESS, 0);
    ASSERT_TRUE(console.WaitFor([&] { return view.m_bConnected; }));
    ASSERT_TRUE(pty.ReadPacket(*packet));  // device information
    console.ClosePrompt();

    console.loop.Post(&view, WM_BAUD_CHANGED, 0, 0);
    console.loop.RunPending();
    ASSERT_TRUE(pty.ReadPacket(*packet));
    EXPECT_EQ(packet->m_Command, CMD_SET_BAUDRATE);
    EXPECT_EQ(packet->m_Param2, 0u);
    EXPECT_FALSE(view.m_bPortOpen);
    EXPECT_EQ(console.Text(IDC_CONNECT), "CONNECT");
    // The device-information wait ended with the link: no fallback takes the
    // module for a ZEL12 and nothing more is sent.
    EXPECT_EQ(console.loop.NextDue(), -1);
    console.Choose(ID_BOARD_PELL);
    console.loop.Advance(5000);
    EXPECT_EQ(view.m_nBoardType, BOARD_PELL);
    console.ClosePrompt();
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(pty.LineRate(), 115200);
    EXPECT_TRUE(pty.ReadPacket(*packet));
    EXPECT_EQ(packet->m_Command, CMD_CONNECT);
}

TEST(SetBaudRateAnswers, ShowTheirResultInTheStatusLine) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    auto packet = std::make_unique<CPacket>();
    packet->m_Command = CMD_SET_BAUDRATE;
    const std::pair<std::int32_t, const char*> results[] = {{RES_SUCCESS, "Set baudrate is succeeded."},
                                                            {RES_FAIL, "Set baudrate is failed."},
                                                            {RES_INVALID_PARAM, "Invalid parameter!!!"},
                                                            {RES_CANCELED, "Set baudrate is canceled"}};
    for (const auto& result : results) {
        packet->m_Param1 = static_cast<std::uint32_t>(result.first);
        console.loop.Post(&view, WM_RX_SET_BAUDRATE, reinterpret_cast<WPARAM>(packet.get()), 0);
        console.loop.RunPending();
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), result.second);
    }
    packet->m_Param1 = RES_TIMEOUT;  // not in the list: nothing changes
    console.loop.Post(&view, WM_RX_SET_BAUDRATE, reinterpret_cast<WPARAM>(packet.get()), 0);
    console.loop.RunPending();
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Set baudrate is canceled");

    std::uint8_t frame[6];
    BuildMiniFrame(frame, MINI_SET_BAUDRATE, RES_FAIL, 0);
    console.loop.Post(&view, WM_RX_MINI_SET_BAUDRATE, reinterpret_cast<WPARAM>(frame), 0);
    console.loop.RunPending();
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Set baudrate is failed.");
    EXPECT_FALSE(view.m_MsgDlg.IsOpen());
}
