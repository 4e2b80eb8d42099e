// Start-up of the console: the window, the form, the labels and the first
// layout, with and without a settings file.
#include <QLabel>
#include <QMenuBar>
#include <QScreen>

#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

const int DEVICE_BUTTONS[] = {IDC_ENTER_MASTER, IDC_ENROLL,  IDC_DELETE,  IDC_VERIFY,     IDC_IDENTIFY,
                              IDC_GET_MINUTIAE, IDC_INSTANT_MATCHING, IDC_CAPTURE, IDC_CONTINUOUS, IDC_CANCEL};

}  // namespace

TEST(AppStartup, FirstStartWithoutSettingsFile) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: ZEL12");
    EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 0.00");
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 0");
    EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM1");
    EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 9600bps");
    EXPECT_EQ(console.Text(IDC_PROTOCOL_LABEL), "Protocol: General");
    EXPECT_FALSE(console.Shown(IDC_STATUS));
    EXPECT_TRUE(console.Shown(IDC_POWER));
    for (int id : DEVICE_BUTTONS) EXPECT_FALSE(console.Enabled(id)) << id;
    EXPECT_FALSE(console.Enabled(IDC_START));
    EXPECT_TRUE(console.Enabled(IDC_CONNECT));
    EXPECT_EQ(console.Text(IDC_CONNECT), "CONNECT");
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_VIEW));
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_TOOLS));
    EXPECT_TRUE(console.Menu().IsTopMenuEnabled(MENU_POS_FILE));
    EXPECT_TRUE(console.Menu().IsTopMenuEnabled(MENU_POS_HELP));
    EXPECT_EQ(console.View().m_nLayout, LAYOUT_DISCONNECTED);
    EXPECT_EQ(console.View().m_strPortName, "COM1");
    EXPECT_EQ(console.View().m_nBaudRate, 9600);
    EXPECT_EQ(console.View().m_nStartBaudRate, 9600);
    EXPECT_FALSE(console.View().m_bPortOpen);
    EXPECT_EQ(console.View().m_nConnectStage, CONNECT_STAGE_IDLE);
    EXPECT_TRUE(console.Text(IDC_STATUS_LINE).isEmpty());
    // Nothing is written until the operator changes something.
    EXPECT_FALSE(FileExists(console.SettingsPath()));
}

TEST(AppStartup, SettingsWithQor10HvAndMinimizedProtocol) {
    CConsole console;
    console.WriteSettings("[Option]\nType=2\nCOM Port=3\nBaudrate=38400\nProtocol=1\n");
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: QOR10-HV");
    EXPECT_EQ(console.Text(IDC_PROTOCOL_LABEL), "Protocol: Minimized");
    EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM3");
    EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 38400bps");
    EXPECT_TRUE(console.Shown(IDC_STATUS));
    EXPECT_FALSE(console.Enabled(IDC_STATUS));
    EXPECT_FALSE(console.Shown(IDC_POWER));

    console.View().SetConnectedLayout();
    for (int id : {IDC_VERIFY, IDC_GET_MINUTIAE, IDC_INSTANT_MATCHING, IDC_CAPTURE, IDC_CONTINUOUS}) {
        EXPECT_FALSE(console.Enabled(id)) << id;
    }
    for (int id : {IDC_IDENTIFY, IDC_CANCEL, IDC_STATUS, IDC_ENTER_MASTER}) EXPECT_TRUE(console.Enabled(id)) << id;
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_VIEW));
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_TOOLS));
}

TEST(AppStartup, OutOfRangeSettingsAreUsedAsTheyAre) {
    CConsole console;
    console.WriteSettings("[Option]\nType=7\nBaudrate=12345\nProtocol=4\n");
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    EXPECT_EQ(view.m_nBoardType, 7);
    EXPECT_EQ(view.m_nProtocol, 4);
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "");
    EXPECT_EQ(console.Text(IDC_PROTOCOL_LABEL), "");
    EXPECT_EQ(console.Text(IDC_BAUD_LABEL), "Baud Rate: 12345bps");
    // A board other than type 0, a protocol that counts as Minimized.
    EXPECT_TRUE(console.Shown(IDC_STATUS));
    EXPECT_FALSE(console.Shown(IDC_POWER));
    view.SetConnectedLayout();
    EXPECT_FALSE(console.Enabled(IDC_VERIFY));
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_VIEW));
    console.OpenMenus();
    for (int command : {ID_BOARD_ZEL12, ID_BOARD_PELL, ID_BOARD_QOR10_HV, ID_BOARD_QOR10_LV, ID_PROTOCOL_GENERAL,
                        ID_PROTOCOL_MINIMIZED}) {
        EXPECT_FALSE(console.Marked(command)) << command;
    }
}

TEST(AppStartup, WindowCaptionSizeAndForm) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CMainFrame& frame = console.Frame();
    EXPECT_EQ(frame.windowTitle(), "TALVEN ZEL/QOR - Pravik");
    EXPECT_EQ(console.App().Doc().GetTitle(), "TALVEN ZEL/QOR");
    // The form: 262 x 259 dialog units.
    EXPECT_EQ(console.View().size(), QSize(459, 421));
    // Fixed size: exactly the form plus the menu bar, no maximize box.
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    EXPECT_EQ(frame.size().width(), 459);
    EXPECT_EQ(frame.size().height(), 421 + frame.menuBar()->height());
    EXPECT_FALSE(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(frame.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(frame.windowFlags() & Qt::WindowCloseButtonHint);
    // The picture area at its pixel rectangle 12,12-261,305, left of the buttons.
    QWidget* picture = GetDlgItem(&console.View(), IDC_PICTURE);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->geometry(), QRect(12, 12, 249, 293));
    EXPECT_LT(picture->geometry().right(), GetDlgItem(&console.View(), IDC_ENROLL)->geometry().left());
    // Controls without a visible label carry an accessible name.
    EXPECT_FALSE(GetDlgItem(&console.View(), IDC_STATUS_LINE)->accessibleName().isEmpty());
}

TEST(AppStartup, WindowIsCentredInTheWorkAreaOnFirstShowOnly) {
    // The rule, with a work area that does not start at the screen's corner.
    EXPECT_EQ(CMainFrame::CenteredPosition(QRect(100, 40, 1000, 700), QSize(459, 441)), QPoint(100 + 500 - 229, 40 + 350 - 220));
    EXPECT_EQ(CMainFrame::CenteredPosition(QRect(0, 0, 1023, 767), QSize(460, 441)), QPoint(511 - 230, 383 - 220));

    CConsole console;
    ASSERT_TRUE(console.Start());
    CMainFrame& frame = console.Frame();
    ASSERT_TRUE(frame.WasCentred());
    const QRect area = frame.screen()->availableGeometry();
    EXPECT_EQ(frame.frameGeometry().topLeft(), CMainFrame::CenteredPosition(area, frame.frameGeometry().size()));
    // Later shows keep the place the window has.
    frame.hide();
    frame.move(area.topLeft() + QPoint(3, 4));
    frame.show();
    EXPECT_EQ(frame.frameGeometry().topLeft(), area.topLeft() + QPoint(3, 4));
}

TEST(AppStartup, MenuBarCarriesEveryItemWithItsCommand) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CMenuBar& menu = console.Menu();
    ASSERT_EQ(menu.TopMenuCount(), 4);
    EXPECT_EQ(menu.TopMenu(MENU_POS_FILE)->title(), "&File");
    EXPECT_EQ(menu.TopMenu(MENU_POS_VIEW)->title(), "&View");
    EXPECT_EQ(menu.TopMenu(MENU_POS_TOOLS)->title(), "&Tools");
    EXPECT_EQ(menu.TopMenu(MENU_POS_HELP)->title(), "&Help");
    const std::pair<int, const char*> items[] = {
        {32780, "&Open Image..."},      {32782, "Save Image &As..."},   {32785, "&Serial Comm..."},
        {32790, "ZEL12"},               {32793, "Pell"},                {32791, "QOR10-HV"},
        {32792, "QOR10-LV"},            {32794, "General Protocol"},    {32795, "Minimized Protocol"},
        {57665, "E&xit"},               {32773, "Packet &Trace..."},    {32771, "System &Information..."},
        {32774, "Database &Manager..."}, {32775, "&Log Data..."},       {32776, "&User Data..."},
        {32772, "&Upgrade Firmware..."}, {1029, "&Board Password..."},  {32784, "&Check Low Voltage"},
        {32787, "&Battery Life Test"},  {57664, "&About Pravik..."},
    };
    for (const auto& item : items) {
        ASSERT_NE(menu.Item(item.first), nullptr) << item.first;
        EXPECT_EQ(menu.Item(item.first)->text(), item.second);
    }
    EXPECT_EQ(menu.Commands().size(), static_cast<int>(std::size(items)));
    // The submenus by their titles.
    QStringList titles;
    for (QMenu* m : menu.Menus()) titles << m->title();
    EXPECT_TRUE(titles.contains("Select &Board"));
    EXPECT_TRUE(titles.contains("Select &Protocol"));
    EXPECT_TRUE(titles.contains("Q/A Test"));
}

TEST(AppStartup, MenuTemplateErrorsAreReported) {
    EnsureApp();
    CMenuTemplate menu;
    QString error;
    EXPECT_FALSE(ParseMenuTemplate("MENU 1\nPOPUP \"&File\"\nITEM \"x\" 12\n", menu, &error));
    EXPECT_TRUE(error.contains("POPUP without END")) << error.toStdString();
    EXPECT_FALSE(ParseMenuTemplate("MENU 1\nPOPUP \"&File\"\nITEM \"x\" abc\nEND\n", menu, &error));
    EXPECT_TRUE(error.contains("line 3")) << error.toStdString();
    EXPECT_FALSE(ParseMenuTemplate("ITEM \"x\" 1\n", menu, &error));
    EXPECT_TRUE(ParseMenuTemplate("MENU 7\n# note\nPOPUP \"A\"\nITEM \"b\" 5 CHECK\nSEPARATOR\nEND\n", menu, &error));
    ASSERT_EQ(menu.popups.size(), 1);
    EXPECT_EQ(menu.popups[0].children.size(), 2);
    EXPECT_TRUE(menu.popups[0].children[0].check);
}

TEST(AppStartup, AboutBoxAndExit) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    QString version;
    console.op.Answer([&](QDialog& dialog) {
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            if (label->text().contains("Version")) version = label->text();
        }
        return IDOK;
    });
    EXPECT_TRUE(console.Choose(ID_APP_ABOUT));
    ASSERT_EQ(console.op.dialogResults.size(), 1u);
    EXPECT_EQ(version, "Pravik Version 0.441");
    EXPECT_TRUE(console.Frame().isVisible());
    EXPECT_TRUE(console.Choose(ID_APP_EXIT));
    EXPECT_FALSE(console.Frame().isVisible());
    // Nothing is saved at shutdown.
    EXPECT_FALSE(FileExists(console.SettingsPath()));
}

TEST(AppCommandLine, OptionsAndErrors) {
    SAppOptions options;
    QString error;
    ASSERT_TRUE(ParseCommandLine({"--simulate", "--sim-baud", "57600", "--sim-type=Pell", "--settings-dir", "/tmp/x",
                                  "--port", "com2=/dev/pts/7", "--port=COM1=/dev/ttyUSB0"},
                                 options, error))
        << error.toStdString();
    EXPECT_TRUE(options.simulate);
    EXPECT_EQ(options.simBaud, 57600);
    EXPECT_EQ(options.simType, 1);
    EXPECT_EQ(options.settingsDir, "/tmp/x");
    ASSERT_EQ(options.ports.size(), 2u);
    EXPECT_EQ(options.ports[0], std::make_pair(std::string("COM2"), std::string("/dev/pts/7")));
    EXPECT_EQ(options.ports[1], std::make_pair(std::string("COM1"), std::string("/dev/ttyUSB0")));

    SAppOptions screenshot;
    ASSERT_TRUE(ParseCommandLine({"--screenshot", "docs/x.png"}, screenshot, error));
    EXPECT_TRUE(screenshot.simulate);
    EXPECT_EQ(screenshot.screenshot, "docs/x.png");

    const QStringList bad[] = {{"--bogus"},          {"extra"},          {"--sim-baud", "1200"}, {"--sim-baud"},
                               {"--sim-type", "9"}, {"--port", "COM1"}, {"--port", "LPT1=/x"}, {"--simulate=1"}};
    for (const QStringList& args : bad) {
        SAppOptions o;
        QString why;
        EXPECT_FALSE(ParseCommandLine(args, o, why)) << args.join(' ').toStdString();
        EXPECT_FALSE(why.isEmpty());
    }
    SAppOptions o;
    EXPECT_FALSE(ParseCommandLine({"--bogus"}, o, error));
    EXPECT_EQ(error, "unknown option '--bogus'");

    SAppOptions help;
    ASSERT_TRUE(ParseCommandLine({"-h"}, help, error));
    EXPECT_TRUE(help.help);
    for (const char* option : {"--simulate", "--sim-baud", "--sim-type", "--settings-dir", "--port", "--screenshot",
                               "--help"}) {
        EXPECT_TRUE(UsageText().contains(option)) << option;
    }
}

TEST(AppCommandLine, PortMapFromSettingsAndCommandLine) {
    CConsole console;
    console.WriteSettings("[Ports]\nCOM2=/dev/ttyUSB5\nCOM3=/dev/ttyACM0\n");
    console.Options().ports.clear();
    console.MapPort(3, "/dev/pts/42");
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(ResolvePortName("COM1"), "/dev/ttyS0");
    EXPECT_EQ(ResolvePortName("COM2"), "/dev/ttyUSB5");
    EXPECT_EQ(ResolvePortName("COM3"), "/dev/pts/42");
    // The command line does not touch the file.
    EXPECT_EQ(console.Settings(), "[Ports]\nCOM2=/dev/ttyUSB5\nCOM3=/dev/ttyACM0\n");
}
