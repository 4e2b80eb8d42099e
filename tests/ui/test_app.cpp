// The console's window: start-up states, the three layouts against every
// board and protocol, board and protocol choices, menu marks, command line.
#include <signal.h>

#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>

#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

const int GENERAL_ONLY[] = {IDC_VERIFY, IDC_GET_MINUTIAE, IDC_INSTANT_MATCHING, IDC_CAPTURE, IDC_CONTINUOUS};
const int MASTER_ITEMS[] = {ID_VIEW_SYSTEM_INFO, ID_VIEW_DB_MANAGER, ID_VIEW_LOG_DATA, ID_VIEW_USER_DATA,
                            ID_TOOLS_BOARD_PASSWORD};
// Never greyed by a layout (the last two follow only their whole menu).
const int ALWAYS_ON[] = {ID_FILE_OPEN_IMAGE,    ID_FILE_SAVE_IMAGE, ID_FILE_SERIAL_COMM, ID_BOARD_ZEL12,
                         ID_BOARD_PELL,         ID_BOARD_QOR10_HV,  ID_BOARD_QOR10_LV,   ID_PROTOCOL_GENERAL,
                         ID_PROTOCOL_MINIMIZED, ID_APP_EXIT,        ID_APP_ABOUT,        ID_VIEW_PACKET_TRACE,
                         ID_TOOLS_UPGRADE_FIRMWARE};

// The layout tables for one board and protocol; setItems: the previous layout fixed the items this one leaves.
void ExpectLayout(CConsole& c, int layout, int board, int protocol, bool setItems = true) {
    SCOPED_TRACE("layout " + std::to_string(layout) + ", board " + std::to_string(board) + ", protocol " +
                 std::to_string(protocol));
    const bool general = protocol == PROTOCOL_GENERAL, zel12 = board == BOARD_ZEL12;
    const bool up = layout != LAYOUT_DISCONNECTED, master = layout == LAYOUT_MASTER;
    EXPECT_EQ(c.View().State().m_nLayout, layout);
    // View stays open in every layout, for the packet trace; its windows follow the layouts.
    EXPECT_TRUE(c.TopOn(MENU_POS_VIEW));
    EXPECT_EQ(c.TopOn(MENU_POS_TOOLS), up && general);
    EXPECT_TRUE(c.TopOn(MENU_POS_FILE) && c.TopOn(MENU_POS_HELP));
    for (int command : ALWAYS_ON) EXPECT_TRUE(c.ItemOn(command)) << command;
    if (setItems) {
        for (int command : MASTER_ITEMS) {
            const bool viewItem = command != ID_TOOLS_BOARD_PASSWORD;
            EXPECT_EQ(c.ItemOn(command), master && (general || !viewItem)) << command;
        }
        for (int command : {ID_TOOLS_CHECK_VOLTAGE, ID_TOOLS_BATTERY_TEST}) EXPECT_EQ(c.ItemOn(command), zel12);
    }
    EXPECT_EQ(c.Enabled(IDC_ENTER_MASTER), up);
    EXPECT_EQ(c.Text(IDC_ENTER_MASTER), master ? "LEAVE MASTER" : "ENTER MASTER");
    for (int id : {IDC_ENROLL, IDC_DELETE}) EXPECT_EQ(c.Enabled(id), master) << id;
    for (int id : {IDC_IDENTIFY, IDC_CANCEL}) EXPECT_EQ(c.Enabled(id), up) << id;
    for (int id : GENERAL_ONLY) EXPECT_EQ(c.Enabled(id), up && general) << id;
    EXPECT_EQ(c.Text(IDC_CONNECT), up ? "DISCONNECT" : "CONNECT");
    EXPECT_EQ(c.Shown(IDC_STATUS), !zel12);
    EXPECT_EQ(c.Shown(IDC_POWER), zel12);
    if (!zel12) { EXPECT_EQ(c.Enabled(IDC_STATUS), up); }
    // Power is switched through the open port: offered only while connected.
    if (zel12 && layout != LAYOUT_MASTER) {
        EXPECT_EQ(c.Enabled(IDC_POWER), up);
    }
    if (zel12 && up) {
        EXPECT_EQ(c.Text(IDC_POWER), "POWER OFF");
        EXPECT_TRUE(c.View().State().m_bPowerOn);
    }
    // No layout touches START or the labels.
    EXPECT_FALSE(c.Enabled(IDC_START));
    EXPECT_EQ(c.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 0.00");
}

}  // namespace

TEST(AppStartup, LabelsAndControlsFromTheSettingsFile) {
    const char* cases[][5] = {  // settings; module, protocol, port and rate labels
        {"", "Module Type: ZEL12", "Protocol: General", "Serial Port: COM1", "Baud Rate: 9600bps"},
        {"[Option]\nType=2\nCOM Port=3\nBaudrate=38400\nProtocol=1\n", "Module Type: QOR10-HV", "Protocol: Minimized",
         "Serial Port: COM3", "Baud Rate: 38400bps"},
        // Out of range: used as they are, no label, shown like a non-ZEL12 board.
        {"[Option]\nType=7\nBaudrate=12345\nProtocol=4\n", "", "", "Serial Port: COM1", "Baud Rate: 12345bps"},
    };
    const int labels[] = {IDC_MODULE_LABEL, IDC_PROTOCOL_LABEL, IDC_PORT_LABEL, IDC_BAUD_LABEL};
    for (const auto& t : cases) {
        SCOPED_TRACE(t[1]);
        CConsole console;
        if (*t[0]) console.WriteSettings(t[0]);
        ASSERT_TRUE(console.Start());
        for (int i = 0; i < 4; ++i) EXPECT_EQ(console.Text(labels[i]), t[i + 1]);
        EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 0");
        EXPECT_TRUE(console.Enabled(IDC_CONNECT));
        const int board = console.View().State().m_nBoardType;
        ExpectLayout(console, LAYOUT_DISCONNECTED, board, console.View().State().m_nProtocol, false);
        if (!*t[0]) {
            EXPECT_EQ(board, BOARD_ZEL12);
            EXPECT_EQ(console.Text(IDC_POWER), "POWER OFF");
            EXPECT_EQ(console.View().Connection().m_nConnectStage, CONNECT_STAGE_IDLE);
            // Nothing is written until the operator changes something.
            EXPECT_FALSE(FileExists(console.SettingsPath()));
        }
    }
}

TEST(AppStartup, FixedSizeWindowCentredOnFirstShowAboutAndExit) {
    EXPECT_EQ(CMainFrame::CenteredPosition(QRect(100, 40, 1000, 700), QSize(459, 441)), QPoint(371, 170));  // work area
    CConsole console;
    ASSERT_TRUE(console.Start());
    CMainFrame& frame = console.Frame();
    EXPECT_EQ(frame.windowTitle(), "TALVEN ZEL/QOR - Pravik");
    EXPECT_EQ(console.View().size(), QSize(459, 421));  // the form's 262 x 259 dialog units
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    EXPECT_EQ(frame.size(), QSize(459, 421 + frame.menuBar()->height()));
    EXPECT_FALSE(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
    const QRect area = frame.screen()->availableGeometry();
    EXPECT_EQ(frame.frameGeometry().topLeft(), CMainFrame::CenteredPosition(area, frame.frameGeometry().size()));
    frame.move(area.topLeft() + QPoint(3, 4));
    frame.hide();
    frame.show();  // later shows keep the place the window has
    EXPECT_EQ(frame.frameGeometry().topLeft(), area.topLeft() + QPoint(3, 4));
    QStringList labels;
    console.op.Answer([&](QDialog& dialog) {
        for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
        return IDOK;
    });
    EXPECT_TRUE(console.Choose(ID_APP_ABOUT));
    EXPECT_TRUE(labels.contains("Pravik Version 0.441"));
    EXPECT_TRUE(console.Choose(ID_APP_EXIT));
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(FileExists(console.SettingsPath()));  // nothing saved at shutdown
}

TEST(AppLayouts, EveryLayoutAgainstEveryBoardAndProtocol) {
    for (int board : {0, 1, 2, 3, 7}) {
        for (int protocol : {0, 1, 4}) {
            CConsole console;
            console.WriteSettings("[Option]\nType=" + std::to_string(board) + "\nProtocol=" + std::to_string(protocol) +
                                  "\n");
            ASSERT_TRUE(console.Start(false));
            CPravikView& view = console.View();
            ExpectLayout(console, LAYOUT_DISCONNECTED, board, protocol, false);
            view.SetConnectedLayout();
            ExpectLayout(console, LAYOUT_CONNECTED, board, protocol);
            view.SetMasterLayout();
            ExpectLayout(console, LAYOUT_MASTER, board, protocol);
            view.SetConnectedLayout();
            ExpectLayout(console, LAYOUT_CONNECTED, board, protocol);
            // Disconnected leaves what it does not name as connected set it.
            view.SetDisconnectedLayout();
            ExpectLayout(console, LAYOUT_DISCONNECTED, board, protocol);
            // Master straight from disconnected: CONNECT, ENTER MASTER's state and STATUS stay.
            view.SetMasterLayout();
            EXPECT_EQ(console.Text(IDC_CONNECT), "CONNECT");
            EXPECT_FALSE(console.Enabled(IDC_ENTER_MASTER));
            EXPECT_EQ(console.Text(IDC_ENTER_MASTER), "LEAVE MASTER");
            if (board != BOARD_ZEL12) { EXPECT_FALSE(console.Enabled(IDC_STATUS)); }
        }
    }
}

TEST(AppBoard, ChoiceWritesTheFileEveryTimeAndShowsStatusOrPower) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    const std::tuple<int, int, const char*> boards[] = {
        {ID_BOARD_PELL, 1, "Pell"}, {ID_BOARD_PELL, 1, "Pell"},  // again: written again
        {ID_BOARD_QOR10_HV, 2, "QOR10-HV"}, {ID_BOARD_QOR10_LV, 3, "QOR10-LV"}, {ID_BOARD_ZEL12, 0, "ZEL12"}};
    for (const auto& [command, type, label] : boards) {
        SCOPED_TRACE(label);
        std::remove(console.SettingsPath().c_str());
        ASSERT_TRUE(console.Choose(command));
        EXPECT_EQ(console.Settings(),
                  "[Option]\nType=" + std::to_string(type) + "\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
        EXPECT_EQ(console.Text(IDC_MODULE_LABEL), QString("Module Type: ") + label);
        EXPECT_EQ(console.Shown(IDC_STATUS), type != 0);
        EXPECT_EQ(console.Shown(IDC_POWER), type == 0);
        EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());  // no prompt
    }
}

TEST(AppProtocol, ChoiceWritesPromptsEveryTimeAndReappliesTheLayout) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));  // disconnected: stays so
    ExpectLayout(console, LAYOUT_DISCONNECTED, BOARD_ZEL12, PROTOCOL_MINIMIZED, false);
    EXPECT_EQ(console.Prompt(), "Packet type is changed!!!");
    console.ClosePrompt();
    view.SetConnectedLayout();
    for (int round = 0; round < 2; ++round) {  // the same choice again: written and prompted again
        std::remove(console.SettingsPath().c_str());
        ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));
        EXPECT_EQ(view.State().m_nProtocol, PROTOCOL_MINIMIZED);
        EXPECT_EQ(console.Text(IDC_PROTOCOL_LABEL), "Protocol: Minimized");
        EXPECT_EQ(console.Prompt(), "Packet type is changed!!!");
        EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
        EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=9600\nProtocol=1\n");
        ExpectLayout(console, LAYOUT_CONNECTED, BOARD_ZEL12, PROTOCOL_MINIMIZED);
        EXPECT_FALSE(console.Click(IDC_IDENTIFY));  // the open prompt holds the form
        console.ClosePrompt();
    }
    // Minimized in master mode: ENROLL and DELETE stay, VERIFY and the
    // others go, View and Tools grey.
    view.SetMasterLayout();
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));
    ExpectLayout(console, LAYOUT_MASTER, BOARD_ZEL12, PROTOCOL_MINIMIZED);
    // The menu bar works while the prompt is open.
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_GENERAL));
    ExpectLayout(console, LAYOUT_MASTER, BOARD_ZEL12, PROTOCOL_GENERAL);
    EXPECT_FALSE(view.Connection().m_bPortOpen);
}

TEST(AppMenus, MarksFollowTheStateWhenTheMenuOpensAndGreyedItemsCannotBeChosen) {
    CConsole console;
    console.WriteSettings("[Option]\nType=2\nProtocol=1\n");
    ASSERT_TRUE(console.Start());
    const int marked[] = {ID_BOARD_ZEL12, ID_BOARD_PELL, ID_BOARD_QOR10_HV, ID_BOARD_QOR10_LV, ID_PROTOCOL_GENERAL,
                          ID_PROTOCOL_MINIMIZED, ID_VIEW_PACKET_TRACE};
    auto expectMarks = [&](std::vector<int> on) {
        console.OpenMenus();
        for (int command : marked) {
            EXPECT_EQ(console.Marked(command), std::find(on.begin(), on.end(), command) != on.end()) << command;
        }
    };
    expectMarks({ID_BOARD_QOR10_HV, ID_PROTOCOL_MINIMIZED});
    // A change from elsewhere (the module reports its type) shows at the next opening.
    console.View().SelectBoard(BOARD_PELL);
    console.View().State().m_nProtocol = PROTOCOL_GENERAL;
    expectMarks({ID_BOARD_PELL, ID_PROTOCOL_GENERAL});
    // Values out of range mark nothing.
    console.View().SelectBoard(7);
    console.View().State().m_nProtocol = 4;
    expectMarks({});
    console.View().State().m_nProtocol = PROTOCOL_GENERAL;
    // The trace can watch the first connection: open while disconnected too.
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    expectMarks({ID_VIEW_PACKET_TRACE, ID_PROTOCOL_GENERAL});
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    console.View().SetConnectedLayout();
    EXPECT_FALSE(console.Choose(ID_VIEW_DB_MANAGER));  // greyed item
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    expectMarks({ID_VIEW_PACKET_TRACE, ID_PROTOCOL_GENERAL});
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    // Choosing flips a mark in passing; the next opening corrects it.
    console.Menu().Item(ID_BOARD_QOR10_LV)->trigger();
    console.View().SelectBoard(BOARD_PELL);
    expectMarks({ID_BOARD_PELL, ID_PROTOCOL_GENERAL});
    // Buttons of flows not built yet are wired and do nothing.
    EXPECT_TRUE(console.Click(IDC_IDENTIFY));
    EXPECT_EQ(console.loop.PendingCount(), 0u);
}

TEST(AppCommandLine, OptionsAndMistakes) {
    SAppOptions options;
    QString error;
    ASSERT_TRUE(ParseCommandLine({"--simulate", "--sim-baud", "57600", "--sim-type=Pell", "--settings-dir", "/tmp/x",
                                  "--port", "com2=/dev/pts/7", "--port=COM1=/dev/ttyUSB0", "--screenshot", "a.png"},
                                 options, error))
        << error.toStdString();
    EXPECT_TRUE(options.simulate && options.simBaud == 57600 && options.simType == 1);
    EXPECT_EQ(options.settingsDir + options.screenshot, "/tmp/xa.png");
    const std::vector<std::pair<std::string, std::string>> ports = {{"COM2", "/dev/pts/7"}, {"COM1", "/dev/ttyUSB0"}};
    EXPECT_EQ(options.ports, ports);
    const QStringList bad[] = {{"extra"},          {"--sim-baud", "1200"}, {"--sim-baud"},    {"--sim-type", "9"},
                               {"--port", "COM1"}, {"--port", "LPT1=/x"},  {"--simulate=1"}};
    for (const QStringList& args : bad) {
        SAppOptions o;
        EXPECT_FALSE(ParseCommandLine(args, o, error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

#ifdef PRAVIK_EXE  // the pravik program is built with the tests
TEST(AppCommandLine, ProgramPrintsHelpAndExitsWith2OnAnUnknownOption) {
    auto run = [](const QStringList& args, QString& out) {
        QProcess program;
        program.start(PRAVIK_EXE, args);
        EXPECT_TRUE(program.waitForFinished(10000));
        out = program.readAllStandardOutput() + program.readAllStandardError();
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    };
    QString out;
    EXPECT_EQ(run({"--bogus"}, out), 2);
    EXPECT_TRUE(out.contains("unknown option '--bogus'")) << out.toStdString();
    EXPECT_EQ(run({"--help"}, out), 0);
    for (const char* option : {"--simulate", "--sim-baud", "--sim-type", "--settings-dir", "--port", "--screenshot"})
        EXPECT_TRUE(out.contains(option)) << option;
}

// The program in an environment of the test's choosing, with a private
// temporary folder.
class CProgramRun {
public:
    CProgramRun() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", QString::fromStdString(m_Tmp.Path()));
        m_Program.setProcessEnvironment(env);
    }
    ~CProgramRun() {
        if (m_Program.state() != QProcess::NotRunning) {
            m_Program.kill();
            m_Program.waitForFinished(5000);
        }
    }
    QProcessEnvironment Env() const { return m_Program.processEnvironment(); }
    void SetEnv(const QProcessEnvironment& env) { m_Program.setProcessEnvironment(env); }
    void Start(const QStringList& args) {
        m_Program.start(PRAVIK_EXE, args);
        ASSERT_TRUE(m_Program.waitForStarted(10000));
    }
    // Exit code, -1 when it crashed or did not end within ten seconds.
    int Finish() {
        if (!m_Program.waitForFinished(10000)) return -1;
        m_strOutput = m_Program.readAllStandardOutput() + m_Program.readAllStandardError();
        return m_Program.exitStatus() == QProcess::NormalExit ? m_Program.exitCode() : -1;
    }
    // Whether the program holds a descriptor of this file.
    bool HasOpened(const std::string& file) const {
        std::error_code error;
        const std::string fds = "/proc/" + std::to_string(m_Program.processId()) + "/fd";
        for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
            if (std::filesystem::read_symlink(entry.path(), error) == file) return true;
        }
        return false;
    }
    bool Terminate() { return ::kill(static_cast<pid_t>(m_Program.processId()), SIGTERM) == 0; }
    // What the program left in its temporary folder.
    std::vector<std::string> TempEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_Tmp.Path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
    const QString& Output() const { return m_strOutput; }
    const console_test::CTempDir& Settings() const { return m_Settings; }

private:
    console_test::CTempDir m_Tmp;
    console_test::CTempDir m_Settings;
    QProcess m_Program;
    QString m_strOutput;
};

TEST(AppCommandLine, WithoutADisplayTheProgramSaysWhatToDoInOneLineAndExitsWith2) {
    CProgramRun run;
    QProcessEnvironment env = run.Env();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) env.remove(name);
    run.SetEnv(env);
    run.Start({"--simulate"});
    EXPECT_EQ(run.Finish(), 2);
    EXPECT_TRUE(run.Output().startsWith("pravik: no display: run it in a desktop session")) << run.Output().toStdString();
    EXPECT_TRUE(run.Output().contains("QT_QPA_PLATFORM=offscreen"));
    EXPECT_EQ(run.Output().count('\n'), 1) << run.Output().toStdString();
    EXPECT_TRUE(run.TempEntries().empty());
}

TEST(AppCommandLine, SigtermEndsTheConsoleCleanlyWithoutATemporaryFolder) {
    CProgramRun run;
    QProcessEnvironment env = run.Env();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    run.SetEnv(env);
    run.Start({"--simulate", "--settings-dir", QString::fromStdString(run.Settings().Path())});
    // Up and running once it has opened its simulated module's terminal.
    ASSERT_TRUE(PumpUntil([&] { return run.HasOpened("/dev/ptmx"); }, 10000));
    EXPECT_TRUE(run.TempEntries().empty()) << run.TempEntries().front();
    ASSERT_TRUE(run.Terminate());
    EXPECT_EQ(run.Finish(), 0) << run.Output().toStdString();
}

TEST(AppCommandLine, SigtermDuringAScreenshotRemovesItsTemporarySettingsFolder) {
    CProgramRun run;
    QProcessEnvironment env = run.Env();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    run.SetEnv(env);
    run.Start({"--simulate", "--screenshot", QString::fromStdString(run.Settings().File("shot.png"))});
    ASSERT_TRUE(PumpUntil([&] { return !run.TempEntries().empty(); }, 10000)) << "no temporary settings folder";
    ASSERT_TRUE(run.Terminate());
    EXPECT_NE(run.Finish(), -1) << "crashed or hung";
    EXPECT_TRUE(run.TempEntries().empty()) << run.TempEntries().front();
}
#endif

TEST(AppCommandLine, PortMapFromSettingsOverriddenByTheCommandLine) {
    CConsole console;
    console.WriteSettings("[Ports]\nCOM2=/dev/ttyUSB5\nCOM3=/dev/ttyACM0\nCOM4=\n");
    console.Options().ports.clear();
    console.MapPort(3, "/dev/pts/42");
    ASSERT_TRUE(console.Start());
    EXPECT_EQ(console.View().PortMap().Resolve("COM1"), "/dev/ttyS0");
    EXPECT_EQ(console.View().PortMap().Resolve("COM2"), "/dev/ttyUSB5");
    EXPECT_EQ(console.View().PortMap().Resolve("COM3"), "/dev/pts/42");
    EXPECT_EQ(console.View().PortMap().Resolve("COM4"), "/dev/ttyS3");  // an empty value keeps the default
    EXPECT_EQ(console.Settings(), "[Ports]\nCOM2=/dev/ttyUSB5\nCOM3=/dev/ttyACM0\nCOM4=\n");  // untouched
}
