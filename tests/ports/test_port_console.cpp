// The console with USB-serial adapters faked with umockdev: the port box of
// Serial Communication lists them and follows them coming and going, a
// device chosen there becomes the current COM port's, CONNECT says why a port
// does not open, and the whole story of an adapter picked, connected, pulled
// out during a capture, plugged back and connected again, against the
// simulated module behind the adapter's tty.
#include <QComboBox>
#include <QDialog>
#include <QHelpEvent>

#include "console/ConsoleMessages.h"
#include "console/SerialSettings.h"
#include "sim/SimPty.h"
#include "tests/ports/PortsTestUtil.h"
#include "tests/ui/CaptureHelpers.h"

using namespace ports_test;
using namespace capture_test;

namespace {

const QString BRIDGE_ITEM = "ttyUSB0: Talven ZEL12 Bridge (usb-Talven_ZEL12_Bridge_A1B2C3-if00-port0)";

SFakeAdapter Dock(const std::string& kernelName, const std::string& ttyPath) {
    return Adapter(kernelName, "usb-Kestrel_QOR10_Dock_77-if00-port0", "Kestrel", "QOR10 Dock", "77", ttyPath);
}

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i) items << box.itemText(i);
    return items;
}

int ItemOf(const QComboBox& box, const std::string& kernelName) {
    for (int i = 0; i < box.count(); ++i) {
        if (box.itemText(i).startsWith(QString::fromStdString(kernelName) + ":")) return i;
    }
    return -1;
}

// File > Serial Comm, with body run while the dialog is open; then CLOSE
// and the posted choice delivered.
void WithSerialComm(CConsole& console, const std::function<void(QDialog&, QComboBox&)>& body) {
    console.op.Answer([&](QDialog& dialog) {
        body(dialog, *DlgItem<QComboBox>(&dialog, IDC_PORT_COMBO));
        return IDCANCEL;
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    console.loop.RunPending();
}

// Chooses the adapter from the list and presses SET COM PORT.
void Pick(CConsole& console, const std::string& kernelName) {
    WithSerialComm(console, [&](QDialog& dialog, QComboBox& ports) {
        ports.setCurrentIndex(ItemOf(ports, kernelName));
        ASSERT_GE(ports.currentIndex(), 0) << Items(ports).join("; ").toStdString();
        ClickDlgItem(&dialog, IDC_SET_COM_PORT);
    });
    ASSERT_EQ(console.Prompt(), "COM port was changed.");
    console.ClosePrompt();
}

// The port label's tooltip as it shows when the mouse rests on the label.
QString PortTip(CConsole& console) {
    QWidget* label = GetDlgItem(&console.View(), IDC_PORT_LABEL);
    QHelpEvent hover(QEvent::ToolTip, QPoint(2, 2), label->mapToGlobal(QPoint(2, 2)));
    QCoreApplication::sendEvent(label, &hover);
    return label->toolTip();
}

}  // namespace

TEST(SerialCommPorts, TheBoxListsTheAdaptersFollowsThemAndTheChoiceBecomesTheCurrentPortsDevice) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    CBackingPty bridgePty, dockPty, sparePty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", bridgePty.SlavePath())));
    CConsole console;
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(PortTip(console), "COM1 leads to /nonexistent/ttyS0\nThe device is not there.");

    WithSerialComm(console, [&](QDialog& dialog, QComboBox& ports) {
        // A separator line between the COM names and the ports present.
        EXPECT_EQ(Items(ports), (QStringList{"COM1", "COM2", "COM3", "COM4", "", BRIDGE_ITEM}));
        EXPECT_EQ(ports.currentText(), "COM1");  // the settings' port, as before
        EXPECT_EQ(ports.itemData(5, Qt::ToolTipRole).toString(),
                  QString(BRIDGE_BY_ID) + "  ttyUSB0  Talven ZEL12 Bridge  (serial A1B2C3, driver ftdi_sio)");

        // Plugged in while the dialog is open.
        ASSERT_TRUE(adapters.Plug(Dock("ttyUSB1", dockPty.SlavePath())));
        ASSERT_TRUE(PumpUntil([&] { return ports.count() == 7; }, 3000)) << Items(ports).join("; ").toStdString();
        EXPECT_EQ(ports.itemText(6), "ttyUSB1: Kestrel QOR10 Dock (usb-Kestrel_QOR10_Dock_77-if00-port0)");

        // The chosen adapter pulled out: the choice falls back to the port of the settings.
        ports.setCurrentIndex(ItemOf(ports, "ttyUSB0"));
        ASSERT_TRUE(adapters.Unplug("ttyUSB0"));
        ASSERT_TRUE(PumpUntil([&] { return ItemOf(ports, "ttyUSB0") < 0; }, 3000));
        EXPECT_EQ(ports.currentText(), "COM1");

        // A choice still present survives the list being made again.
        ports.setCurrentIndex(ItemOf(ports, "ttyUSB1"));
        SFakeAdapter spare = Bridge("ttyUSB2", sparePty.SlavePath());
        spare.byIdName = "usb-Talven_Spare-if00-port0";
        ASSERT_TRUE(adapters.Plug(spare));
        ASSERT_TRUE(PumpUntil([&] { return ItemOf(ports, "ttyUSB2") >= 0; }, 3000));
        EXPECT_EQ(ports.currentIndex(), ItemOf(ports, "ttyUSB1"));
        EXPECT_TRUE(ports.toolTip().startsWith("/dev/serial/by-id/usb-Kestrel_QOR10_Dock_77-if00-port0  ttyUSB1"));
        ClickDlgItem(&dialog, IDC_SET_COM_PORT);
    });
    EXPECT_EQ(console.Prompt(), "COM port was changed.");
    const std::string dock = "/dev/serial/by-id/usb-Kestrel_QOR10_Dock_77-if00-port0";
    // Stored by its link as the device of the current COM port, used at once.
    EXPECT_NE(console.Settings().find("[Ports]\nCOM1=" + dock + "\n"), std::string::npos) << console.Settings();
    EXPECT_EQ(CSerialSettings(console.SettingsPath()).PortPath(1), dock);
    EXPECT_EQ(console.View().PortMap().Resolve("COM1"), dock);
    EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM1");
    EXPECT_EQ(PortTip(console), QString::fromStdString("COM1 leads to " + dock) + "\nttyUSB1: Kestrel QOR10 Dock");
    // COM2 from the list still works as it did.
    WithSerialComm(console, [&](QDialog& dialog, QComboBox& ports) {
        ports.setCurrentIndex(ports.findText("COM2"));
        ClickDlgItem(&dialog, IDC_SET_COM_PORT);
    });
    EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM2");
    EXPECT_EQ(console.View().Connection().m_strPortName, "COM2");
}

TEST(SerialCommPorts, ConnectSaysWhenAnotherProgramHoldsThePortOrTheAdapterIsNotThere) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    CBackingPty pty;
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", pty.SlavePath())));
    CConsole console;
    ASSERT_TRUE(console.Start());
    Pick(console, "ttyUSB0");
    {
        CPortHolder holder(BRIDGE_BY_ID);
        ASSERT_TRUE(holder.Holding());
        ASSERT_TRUE(console.Click(IDC_CONNECT));
        const QString reason = QString("The port is in use by another program: sleep (process %1).").arg(holder.Pid());
        EXPECT_EQ(console.Prompt(), "Opening 'COM1' failed. " + reason);
        EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Opening 'COM1' failed. " + QString(BRIDGE_BY_ID) + ": " + reason);
        EXPECT_EQ(console.loop.NextDue(), -1);  // nothing sent, no timer
        console.ClosePrompt();
    }
    ASSERT_TRUE(adapters.Unplug("ttyUSB0"));
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    EXPECT_EQ(console.Prompt(),
              "Opening 'COM1' failed. The port is not there: the adapter is unplugged or the device does not exist.");
    EXPECT_EQ(PortTip(console), QString("COM1 leads to ") + BRIDGE_BY_ID + "\nThe device is not there.");
    EXPECT_FALSE(console.View().State().m_bConnected);
}

// Picked from the list, connected, pulled out during the capture loop,
// plugged back into another socket and connected again without a restart.
TEST(SerialCommPorts, AnAdapterPulledOutDuringACaptureIsALostPortAndWorksAgainWhenPluggedBack) {
    CFakeAdapters adapters;
    ASSERT_FAKES_WORK(adapters);
    SimOptions options;
    options.type = BOARD_PELL;
    options.baud = 115200;
    options.throttle = true;  // an image takes seconds: the pull comes mid-image
    auto sim = std::make_unique<CSimPty>();
    ASSERT_TRUE(sim->Start(options)) << sim->LastError();
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB0", sim->SlavePath())));

    CConsole console;
    console.WriteSettings("[Option]\nType=1\nCOM Port=1\nBaudrate=115200\nProtocol=0\n");
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    Pick(console, "ttyUSB0");
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_TRUE(console.WaitFor([&] { return view.State().m_bConnected && view.State().m_nFirmwareLevel != 0; }, 5000))
        << console.Text(IDC_STATUS_LINE).toStdString();
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 1.05");
    console.ClosePrompt();

    CCaptureFlow& flow = Capture(console);
    ASSERT_TRUE(console.Click(IDC_CONTINUOUS));
    ASSERT_TRUE(console.Click(IDC_START));
    EXPECT_EQ(console.Text(IDC_START), "STOP");
    const std::uint64_t before = sim->Stats().requests;
    ASSERT_TRUE(console.WaitFor([&] { return sim->Stats().requests >= before + 5; }, 5000));  // pieces flowing

    // Pulled out: the terminal hangs up and udev removes the device.
    sim->Stop();
    ASSERT_TRUE(adapters.Unplug("ttyUSB0"));
    ASSERT_TRUE(console.WaitFor([&] { return !view.Connection().m_bPortOpen; }));
    EXPECT_EQ(console.Prompt(), "Serial port 'COM1' was lost.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    EXPECT_FALSE(view.State().m_bConnected);
    EXPECT_FALSE(flow.IsLooping());
    EXPECT_EQ(console.Text(IDC_START), "START");
    EXPECT_FALSE(console.Enabled(IDC_START));
    EXPECT_EQ(flow.m_nSuccessCount + flow.m_nFailCount, 0);
    EXPECT_EQ(view.State().m_nLayout, LAYOUT_DISCONNECTED);
    // One message: no re-send, time-out or box follows, however long one waits.
    console.loop.Advance(60000);
    console.WaitFor([] { return false; }, 200);
    EXPECT_EQ(console.Prompt(), "Serial port 'COM1' was lost.");
    EXPECT_TRUE(console.op.boxes.empty()) << console.op.boxes.front().text;
    EXPECT_EQ(console.loop.NextDue(), -1);
    console.ClosePrompt();

    // Plugged back, into another socket: same link, new kernel name.
    options.throttle = false;
    sim = std::make_unique<CSimPty>();
    ASSERT_TRUE(sim->Start(options)) << sim->LastError();
    ASSERT_TRUE(adapters.Plug(Bridge("ttyUSB1", sim->SlavePath())));
    EXPECT_EQ(PortTip(console), QString("COM1 leads to ") + BRIDGE_BY_ID + "\nttyUSB1: Talven ZEL12 Bridge");
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    // Connect, device information, extended version.
    ASSERT_TRUE(console.WaitFor([&] { return view.State().m_bConnected && sim->Stats().requests >= 3; }, 5000))
        << console.Text(IDC_STATUS_LINE).toStdString() << " / " << console.Prompt().toStdString() << " / "
        << view.State().m_bConnected << " / " << sim->Stats().requests;
    EXPECT_EQ(console.Prompt(), "Connection succeeded.");
    console.ClosePrompt();
    console.op.AnswerOk();
    ASSERT_TRUE(console.Click(IDC_CAPTURE));
    const std::vector<std::uint8_t> expected = SimFingerImage(1);
    EXPECT_TRUE(console.WaitFor([&] { return Bytes(flow.Image()) == expected; }, 5000));
}
