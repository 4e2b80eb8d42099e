// System information and options: the read sequence when the window opens,
// each SET with the form's validation, SET DEFAULT OPTION with its chain and
// read-back against the simulated module over a pseudo-terminal, chains
// broken by a failure answer and by closing the window, and every text.
#include <QCheckBox>

#include "console/ConsoleMessages.h"
#include "tests/ui/ToolTestUtil.h"
#include "tools/SysInfoFlow.h"

using namespace console_test;

namespace {

const std::vector<std::uint32_t> kReadSequence = {CMD_GET_OPP_OPTION, CMD_GET_SECURITY_LEVEL, CMD_GET_LATENT_OPTION,
                                                  CMD_GET_LOG_OPTION, CMD_GET_CAPTURE_PERIOD};

// The form as the operator sees it: gain, brightness, contrast, verification,
// identification, capture period, latent, log.
using Form = std::vector<QString>;

struct CSysRig {
    CConsole console;
    std::unique_ptr<CRequestLog> log;

    CSysInfoFlow& Flow() { return static_cast<CSysInfoFlow&>(*console.View().Flow(FLOW_SYSTEM_INFO)); }
    CSysInfoDlg& Dlg() { return Flow().m_Dlg; }
    QWidget* Wnd() { return Dlg().Window(); }
    void Open() {
        ASSERT_TRUE(console.Choose(ID_VIEW_SYSTEM_INFO));
        ASSERT_TRUE(Dlg().IsOpen());
    }
    void Press(int id) {
        ASSERT_TRUE(ClickDlgItem(Wnd(), id));
        console.loop.RunPending();
    }
    Form Shown() {
        Form form;
        for (int id : {IDC_SI_GAIN, IDC_SI_BRIGHTNESS, IDC_SI_CONTRAST, IDC_SI_VERIFY, IDC_SI_IDENTIFY,
                       IDC_SI_CAPTURE_PERIOD}) {
            form.push_back(GetDlgItemText(Wnd(), id));
        }
        form.push_back(IsDlgButtonChecked(Wnd(), IDC_SI_LATENT) ? "1" : "0");
        form.push_back(IsDlgButtonChecked(Wnd(), IDC_SI_LOG) ? "1" : "0");
        return form;
    }
    // Fills the form: gain, brightness, contrast, verification, identification, capture period.
    void Fill(const Form& values) {
        const int ids[] = {IDC_SI_GAIN, IDC_SI_BRIGHTNESS, IDC_SI_CONTRAST, IDC_SI_VERIFY, IDC_SI_IDENTIFY,
                           IDC_SI_CAPTURE_PERIOD};
        for (std::size_t i = 0; i < values.size() && i < 6; ++i) SetDlgItemText(Wnd(), ids[i], values[i]);
    }
};

std::string Join(const Form& form) { return QStringList(form.begin(), form.end()).join(' ').toStdString(); }

// Against the simulated module of a board type, in master mode.
struct CSimRig : CSysRig {
    bool Start(int board = BOARD_ZEL12, bool master = true) {
        if (!StartConnected(console, board)) return false;
        if (master && !EnterMasterMode(console)) return false;
        if (!master) console.View().SetLayout(LAYOUT_MASTER);
        log = std::make_unique<CRequestLog>(console.View());
        return true;
    }
    SimModuleOptions SimOptions() {
        SimModuleOptions options;
        console.App().Simulator()->RunLocked([&](CSimModule& m) { options = m.Options(); });
        return options;
    }
};

class SysInfoTest : public ::testing::Test, public CSimRig {};

// On a raw line without a module: the test delivers the answers; requests
// are recorded.
class SysAnswersTest : public ::testing::Test, public CSysRig {
protected:
    void SetUp() override {
        ASSERT_TRUE(console.Start());
        ASSERT_TRUE(console.OpenRawLine());
        console.View().SetLayout(LAYOUT_MASTER);
        log = std::make_unique<CRequestLog>(console.View());
        Open();
        console.loop.RunPending();
        log->Clear();
    }
};

}  // namespace

TEST_F(SysInfoTest, OpeningReadsTheFiveGroupsInOrderAndFillsTheForm) {
    ASSERT_TRUE(Start());
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_SYSTEM_INFO));
    Open();
    EXPECT_EQ(Wnd()->windowTitle(), "System Information");
    EXPECT_EQ(GetDlgItemText(Wnd(), IDC_SI_MODULE_LABEL), "Module Type: ZEL12");
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_VIEW_SYSTEM_INFO));
    // The module's values: 15/100/3, levels 5 and 8, capture period 5, latent and log on.
    const Form expected = {"15", "100", "3", "5", "8", "5", "1", "1"};
    ASSERT_TRUE(console.WaitFor([&] { return Shown() == expected; }));
    EXPECT_EQ(log->Commands(), kReadSequence);
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
    // GET SYSTEM INFORMATION reads again.
    log->Clear();
    Press(IDC_SI_GET_INFO);
    ASSERT_TRUE(console.WaitFor([&] { return log->Commands().size() == 5; }));
    EXPECT_EQ(log->Commands(), kReadSequence);
    // The View command closes it again; Escape too.
    ASSERT_TRUE(console.Choose(ID_VIEW_SYSTEM_INFO));
    EXPECT_FALSE(Dlg().IsOpen());
    Open();
    ::Press(Wnd(), Qt::Key_Escape);
    EXPECT_FALSE(Dlg().IsOpen());
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_SYSTEM_INFO));
}

TEST(SysInfo, SetDefaultOptionWritesTheBoardsDefaultsInOrderReadsThemBackAndSaysSoOnce) {
    const struct { int board; Form form; } cases[] = {
        {BOARD_ZEL12, {"15", "100", "3", "5", "8", "5", "1", "0"}},
        {BOARD_PELL, {"2", "40", "20", "5", "8", "5", "1", "0"}},
        {BOARD_QOR10_HV, {"2", "40", "20", "5", "8", "5", "1", "0"}},
        {BOARD_QOR10_LV, {"20", "40", "20", "5", "8", "5", "1", "0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.board);
        CSimRig rig;
        auto& console = rig.console;
        auto& log = rig.log;
        auto Press = [&](int id) { rig.Press(id); };
        auto Shown = [&] { return rig.Shown(); };
        ASSERT_TRUE(rig.Start(c.board));
        rig.Open();
        ASSERT_TRUE(console.WaitFor([&] { return log->Commands().size() == 5 && Shown()[7] == "1"; }));
        // Change the module first: gain 30, verification 9.
        rig.Fill({"30", "50", "60", "9", "7", "200"});
        Press(IDC_SI_SET_IMAGE);
        ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set OPP option is succeeded."; }));
        EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
        Press(IDC_SI_SET_SECURITY);
        ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set security level is succeeded."; }));
        Press(IDC_SI_SET_CAPTURE_PERIOD);
        ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set capture period is succeeded."; }));
        EXPECT_EQ(rig.SimOptions().gain, 30u);
        EXPECT_EQ(rig.SimOptions().verifyLevel, 9u);
        EXPECT_EQ(rig.SimOptions().capturePeriod, 200u);
        console.ClosePrompt();
        log->Clear();

        Press(IDC_SI_SET_DEFAULT);
        ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set default option is succeeded."; }));
        EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
        ASSERT_TRUE(console.WaitFor([&] { return Shown() == c.form; }));
        std::vector<std::uint32_t> expected = {CMD_SET_OPP_OPTION, CMD_SET_SECURITY_LEVEL, CMD_SET_LATENT_OPTION,
                                               CMD_SET_LOG_OPTION, CMD_SET_CAPTURE_PERIOD};
        expected.insert(expected.end(), kReadSequence.begin(), kReadSequence.end());
        EXPECT_EQ(log->Commands(), expected);
        const SimModuleOptions options = rig.SimOptions();
        EXPECT_EQ(Form({QString::number(options.gain), QString::number(options.brightness),
                        QString::number(options.contrast), QString::number(options.verifyLevel),
                        QString::number(options.identifyLevel), QString::number(options.capturePeriod),
                        QString::number(options.latent), QString::number(options.log)}),
                  c.form);
        EXPECT_FALSE(rig.Dlg().m_bDefaultRun);
    }
}

// A window opened for a ZEL12 stays open while the operator connects a
// QOR10-LV in its place: its label names the new board and SET DEFAULT
// OPTION writes the new board's defaults (20/40/20, not ZEL12's 15/100/3).
TEST_F(SysInfoTest, AnOpenWindowFollowsTheBoardOfAModuleConnectedLater) {
    ASSERT_TRUE(Start(BOARD_ZEL12));
    Open();
    ASSERT_TRUE(console.WaitFor([&] { return log->Commands().size() == 5; }));
    EXPECT_EQ(GetDlgItemText(Wnd(), IDC_SI_MODULE_LABEL), "Module Type: ZEL12");

    CSimPty qor10;
    ::SimOptions options;
    options.type = BOARD_QOR10_LV;
    ASSERT_TRUE(qor10.Start(options));
    ASSERT_TRUE(ReconnectTo(console, qor10, BOARD_QOR10_LV));
    ASSERT_TRUE(EnterMasterMode(console, &qor10));
    ASSERT_TRUE(Dlg().IsOpen());
    EXPECT_EQ(GetDlgItemText(Wnd(), IDC_SI_MODULE_LABEL), "Module Type: QOR10-LV");
    // Away from the defaults first.
    Fill({"30", "50", "60", "9", "7", "200"});
    Press(IDC_SI_SET_IMAGE);
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set OPP option is succeeded."; }));
    console.ClosePrompt();

    Press(IDC_SI_SET_DEFAULT);
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set default option is succeeded."; }));
    SimModuleOptions written;
    qor10.RunLocked([&](CSimModule& m) { written = m.Options(); });
    EXPECT_EQ(written.gain, 20u);
    EXPECT_EQ(written.brightness, 40u);
    EXPECT_EQ(written.contrast, 20u);
    ASSERT_TRUE(console.WaitFor([&] { return Shown() == Form({"20", "40", "20", "5", "8", "5", "1", "0"}); }));
}

TEST_F(SysInfoTest, ADefaultRunRefusedOutOfMasterModeEndsAndALaterSetDoesNotFinishIt) {
    ASSERT_TRUE(Start(BOARD_PELL, false));
    Open();
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To get OPP option is failed. (Not master mode)"; }));
    EXPECT_EQ(log->Commands(), std::vector<std::uint32_t>{CMD_GET_OPP_OPTION});  // the read stops there
    EXPECT_EQ(Shown(), Form({"2", "40", "20", "5", "8", "5", "1", "0"}));        // the form keeps its values
    console.ClosePrompt();
    log->Clear();
    Press(IDC_SI_SET_DEFAULT);
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set OPP option is failed. (Not master mode)"; }));
    EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
    EXPECT_FALSE(Dlg().m_bDefaultRun);
    console.ClosePrompt();
    ASSERT_TRUE(EnterMasterMode(console));
    log->Clear();
    Press(IDC_SI_SET_LOG);
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set log option is succeeded."; }));
    console.loop.RunPending();
    EXPECT_EQ(log->Commands(), std::vector<std::uint32_t>{CMD_SET_LOG_OPTION});
}

TEST_F(SysInfoTest, ClosingTheWindowMidChainFinishesTheChainWithoutTheForm) {
    ASSERT_TRUE(Start(BOARD_QOR10_LV));
    Open();
    ASSERT_TRUE(console.Choose(ID_VIEW_SYSTEM_INFO));  // before any answer
    ASSERT_TRUE(console.WaitFor([&] { return log->Commands().size() == 5 && Flow().m_Record.m_nCapturePeriod == 5; }));
    EXPECT_EQ(Flow().m_Record.m_nGain, 20);
    EXPECT_EQ(Flow().m_Record.m_nLogOption, 1);
    EXPECT_EQ(Dlg().m_nGain, 2);  // the form values were not touched
    // A default run whose window closes half-way still ends with its text.
    Open();
    ASSERT_TRUE(console.WaitFor([&] { return Shown()[0] == "20"; }));
    log->Clear();
    Press(IDC_SI_SET_DEFAULT);
    Dlg().DestroyWindow();
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To set default option is succeeded."; }));
    EXPECT_EQ(log->Commands().size(), 10u);
    EXPECT_EQ(SimOptions().log, 0u);
}

TEST_F(SysAnswersTest, ModuleTypeLabelFollowsTheBoardEachTimeTheWindowOpens) {
    const struct { int board; const char* label; } cases[] = {
        {BOARD_ZEL12, "Module Type: ZEL12"}, {BOARD_PELL, "Module Type: Pell"},
        {BOARD_QOR10_HV, "Module Type: QOR10-HV"}, {BOARD_QOR10_LV, "Module Type: QOR10-LV"},
        {7, ""},  // an unknown type leaves the new window's label empty
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(console.Choose(ID_VIEW_SYSTEM_INFO));  // close
        console.View().State().m_nBoardType = c.board;
        Open();
        EXPECT_EQ(GetDlgItemText(Wnd(), IDC_SI_MODULE_LABEL), c.label);
        EXPECT_EQ(Dlg().m_nModuleType, c.board);
    }
    // An unknown type keeps the first defaults (gain 2, brightness 40, contrast 20).
    console.loop.RunPending();
    log->Clear();
    Press(IDC_SI_SET_DEFAULT);
    ASSERT_EQ(log->Requests().size(), 1u);
    EXPECT_EQ(log->Requests()[0].param2, 0x00022814u);
}

TEST_F(SysAnswersTest, TheFormIsFilledOnlyAfterTheLastAnswerOfTheSequence) {
    const Form initial = {"2", "40", "20", "5", "8", "5", "1", "0"};
    EXPECT_EQ(Shown(), initial);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_OPP_OPTION, RES_SUCCESS, 0x00112233);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_SECURITY_LEVEL, RES_SUCCESS, 0x00030007);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_LATENT_OPTION, RES_SUCCESS, 0);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_LOG_OPTION, RES_SUCCESS, 1);
    EXPECT_EQ(Shown(), initial);
    EXPECT_EQ(log->Commands(), std::vector<std::uint32_t>(kReadSequence.begin() + 1, kReadSequence.end()));
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_CAPTURE_PERIOD, RES_SUCCESS, 77);
    EXPECT_EQ(Shown(), Form({"17", "34", "51", "3", "7", "77", "0", "1"}));
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
}

TEST_F(SysAnswersTest, AFailedGetEndsTheSequenceAndKeepsTheFormAndWhatWasStored) {
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_OPP_OPTION, RES_SUCCESS, 0x00010203);
    log->Clear();
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_SECURITY_LEVEL, RES_FAIL);
    EXPECT_EQ(console.Prompt(), "To get security level is failed.");
    EXPECT_TRUE(log->Commands().empty());
    EXPECT_EQ(Shown()[0], "2");
    EXPECT_EQ(Flow().m_Record.m_nGain, 1);
    EXPECT_EQ(Flow().m_Record.m_nContrast, 3);
    // The DB init answer stores its value and goes on with the log option.
    Ask(console, FLOW_SYSTEM_INFO, req::General(CMD_GET_DB_INIT_OPTION));
    log->Clear();
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_DB_INIT_OPTION, RES_SUCCESS, 1);
    EXPECT_EQ(Flow().m_Record.m_nDbInitOption, 1);
    EXPECT_EQ(log->Commands(), std::vector<std::uint32_t>{CMD_GET_LOG_OPTION});
}

TEST_F(SysAnswersTest, SetRequestsCarryTheFormsValuesInTheirFields) {
    Fill({"15", "100", "3", "5", "8", "255"});
    Press(IDC_SI_SET_IMAGE);
    Press(IDC_SI_SET_SECURITY);
    Press(IDC_SI_SET_CAPTURE_PERIOD);
    CheckDlgButton(Wnd(), IDC_SI_LATENT, false);
    Press(IDC_SI_SET_LATENT);
    CheckDlgButton(Wnd(), IDC_SI_LOG, true);
    Press(IDC_SI_SET_LOG);
    const std::vector<SWritten> requests = log->Requests();
    ASSERT_EQ(requests.size(), 5u);
    const struct { std::uint32_t command, param2; } expected[] = {
        {CMD_SET_OPP_OPTION, 0x000F6403}, {CMD_SET_SECURITY_LEVEL, 0x00050008}, {CMD_SET_CAPTURE_PERIOD, 255},
        {CMD_SET_LATENT_OPTION, 0},       {CMD_SET_LOG_OPTION, 1},
    };
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].command, expected[i].command);
        EXPECT_EQ(requests[i].param1, 0u);
        EXPECT_EQ(requests[i].param2, expected[i].param2);
    }
    EXPECT_TRUE(console.op.boxes.empty());
}

TEST_F(SysAnswersTest, ValidationStopsAtTheFirstBadFieldInTheFormsOrder) {
    const Form good = {"15", "100", "3", "5", "8", "5"};
    const struct { Form form; const char* message; } cases[] = {
        {{"0", "100", "3", "5", "8", "5"}, "Please enter an integer between 1 and 63."},
        {{"64", "100", "3", "5", "8", "5"}, "Please enter an integer between 1 and 63."},
        {{"15", "101", "3", "5", "8", "5"}, "Please enter an integer between 0 and 100."},
        {{"15", "100", "-1", "5", "8", "5"}, "Please enter an integer between 0 and 100."},
        {{"15", "100", "3", "0", "8", "5"}, "Please enter an integer between 1 and 9."},
        {{"15", "100", "3", "5", "10", "5"}, "Please enter an integer between 1 and 9."},
        {{"15", "100", "3", "5", "8", "0"}, "Please enter an integer between 1 and 255."},
        {{"15", "100", "3", "5", "8", "256"}, "Please enter an integer between 1 and 255."},
        {{"abc", "100", "3", "5", "8", "5"}, "Please enter an integer."},
        {{"15", "100", "3", "5", "8", ""}, "Please enter an integer."},
        {{"15", "100", "3", "5", "8", "4.5"}, "Please enter an integer."},
        // Order: gain before contrast, contrast before brightness,
        // identification before verification and the capture period.
        {{"64", "100", "101", "5", "8", "5"}, "Please enter an integer between 1 and 63."},
        {{"15", "x", "101", "5", "8", "5"}, "Please enter an integer between 0 and 100."},
        {{"15", "101", "x", "5", "8", "5"}, "Please enter an integer."},
        {{"15", "100", "3", "5", "10", "0"}, "Please enter an integer between 1 and 9."},
        {{"15", "100", "3", "x", "8", "300"}, "Please enter an integer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Join(c.form));
        for (int button : {IDC_SI_SET_IMAGE, IDC_SI_SET_SECURITY, IDC_SI_SET_CAPTURE_PERIOD, IDC_SI_SET_LATENT,
                           IDC_SI_SET_LOG}) {
            SCOPED_TRACE(button);
            Fill(c.form);
            log->Clear();
            console.op.boxes.clear();
            Press(button);
            ASSERT_EQ(console.op.boxes.size(), 1u);
            EXPECT_EQ(console.op.boxes[0].text, c.message);
            EXPECT_EQ(console.op.boxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
            // The check-box buttons still send; the others send nothing.
            const bool checkBox = button == IDC_SI_SET_LATENT || button == IDC_SI_SET_LOG;
            EXPECT_EQ(log->Commands().size(), checkBox ? 1u : 0u);
        }
    }
    // The focus goes to the failing field.
    Fill({"15", "101", "3", "5", "8", "5"});
    Press(IDC_SI_SET_IMAGE);
    EXPECT_EQ(Wnd()->focusWidget(), GetDlgItem(Wnd(), IDC_SI_BRIGHTNESS));
    // A whole number out of range is taken; the fields after it keep theirs.
    Fill(good);
    Press(IDC_SI_SET_IMAGE);
    Fill({"15", "100", "3", "5", "10", "77"});
    Press(IDC_SI_SET_IMAGE);
    EXPECT_EQ(Dlg().m_nIdentifyLevel, 10);
    EXPECT_EQ(Dlg().m_nCapturePeriod, 5);
}

TEST_F(SysAnswersTest, ACheckBoxIsSentAsShownEvenWhenAnEarlierFieldIsBad) {
    Fill({"15", "100", "3", "5", "8", "5"});
    CheckDlgButton(Wnd(), IDC_SI_LATENT, true);
    Press(IDC_SI_SET_LATENT);
    // The operator clears the box while the gain is out of range.
    Fill({"99", "100", "3", "5", "8", "5"});
    CheckDlgButton(Wnd(), IDC_SI_LATENT, false);
    log->Clear();
    Press(IDC_SI_SET_LATENT);
    EXPECT_EQ(console.op.boxes.back().text, "Please enter an integer between 1 and 63.");
    ASSERT_EQ(log->Requests().size(), 1u);
    EXPECT_EQ(log->Requests()[0].param2, 0u);
}

TEST_F(SysAnswersTest, EveryAnswerTextOfTheOptionCommands) {
    constexpr int W = MSGFORM_WARNING, S = MSGFORM_SUCCESS;
    const struct { UINT answer; std::int32_t code; const char* text; int form; } cases[] = {
        {CMD_SET_OPP_OPTION, RES_SUCCESS, "To set OPP option is succeeded.", S},
        {CMD_SET_OPP_OPTION, RES_FAIL, nullptr, 0},
        {CMD_SET_OPP_OPTION, RES_NO_MASTER_MODE, "To set OPP option is failed. (Not master mode)", W},
        {CMD_SET_SECURITY_LEVEL, RES_SUCCESS, "To set security level is succeeded.", S},
        {CMD_SET_SECURITY_LEVEL, RES_FAIL, nullptr, 0},
        {CMD_SET_SECURITY_LEVEL, RES_NO_MASTER_MODE,
         "To set security level is failed. (Not master mode)", W},
        {CMD_SET_LATENT_OPTION, RES_SUCCESS, "To set latent option is succeeded.", S},
        {CMD_SET_LATENT_OPTION, RES_FAIL, nullptr, 0},
        {CMD_SET_LATENT_OPTION, RES_NO_MASTER_MODE,
         "To set lastent option is failed. (Not master mode)", W},
        {CMD_SET_LOG_OPTION, RES_SUCCESS, "To set log option is succeeded.", S},
        {CMD_SET_LOG_OPTION, RES_FAIL, nullptr, 0},
        {CMD_SET_LOG_OPTION, RES_NO_MASTER_MODE, "To set log option failed. (Not master mode)", W},
        {CMD_SET_CAPTURE_PERIOD, RES_SUCCESS, "To set capture period is succeeded.", S},
        {CMD_SET_CAPTURE_PERIOD, RES_FAIL, nullptr, 0},
        {CMD_SET_CAPTURE_PERIOD, RES_NO_MASTER_MODE, "To set capture period failed. (Not master mode)", W},
        {CMD_SET_CAPTURE_PERIOD, RES_INVALID_PARAM, nullptr, 0},
        {CMD_GET_OPP_OPTION, RES_FAIL, "To get OPP option is failed.", W},
        {CMD_GET_OPP_OPTION, RES_NO_MASTER_MODE, "To get OPP option is failed. (Not master mode)", W},
        {CMD_GET_SECURITY_LEVEL, RES_FAIL, "To get security level is failed.", W},
        {CMD_GET_SECURITY_LEVEL, RES_NO_MASTER_MODE,
         "To get security level is failed. (Not master mode)", W},
        {CMD_GET_LATENT_OPTION, RES_FAIL, "To get latent option is failed.", W},
        {CMD_GET_LATENT_OPTION, RES_NO_MASTER_MODE, "To get latent option is failed. (Not master mode)", W},
        {CMD_GET_LOG_OPTION, RES_FAIL, "To get log option is failed.", W},
        {CMD_GET_LOG_OPTION, RES_NO_MASTER_MODE, "To get log option is failed. (Not master mode)", W},
        {CMD_GET_CAPTURE_PERIOD, RES_FAIL, "To get capture period is failed.", W},
        {CMD_GET_CAPTURE_PERIOD, RES_NO_MASTER_MODE,
         "To get capture period is failed. (Not master mode)", W},
        {CMD_GET_CAPTURE_PERIOD, RES_CANCELED, nullptr, 0},
        {CMD_GET_DB_INIT_OPTION, RES_FAIL, nullptr, 0},
        {CMD_GET_DB_INIT_OPTION, RES_NO_MASTER_MODE,
         "To get DB init option failed. (Not master mode)", W},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.answer) + " " + std::to_string(c.code));
        console.ClosePrompt();
        Ask(console, FLOW_SYSTEM_INFO, req::General(c.answer));
        log->Clear();
        Deliver(console, FLOW_SYSTEM_INFO, c.answer, static_cast<std::uint32_t>(c.code));
        EXPECT_EQ(console.Prompt(), c.text ? c.text : "");
        if (c.text) {
            EXPECT_EQ(console.PromptForm(), c.form);
        }
        EXPECT_TRUE(log->Commands().empty());  // nothing read back, nothing chained
    }
    // The DB init option set answers are message boxes.
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_DB_INIT_OPTION, RES_SUCCESS);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_DB_INIT_OPTION, RES_FAIL);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_DB_INIT_OPTION, RES_NO_MASTER_MODE);
    console.loop.RunPending();
    ASSERT_EQ(console.op.boxes.size(), 2u);
    EXPECT_EQ(console.op.boxes[0].text, "To set DB init option succeeded.");
    EXPECT_EQ(console.op.boxes[0].flags, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(console.op.boxes[1].text, "To set DB init option failed. (Not master mode)");
    EXPECT_EQ(console.op.boxes[1].flags, MB_OK | MB_ICONSTOP);
}

TEST_F(SysAnswersTest, DuringADefaultRunSetSuccessesChainSilentlyAndAFailureEndsTheRun) {
    console.ClosePrompt();
    Press(IDC_SI_SET_DEFAULT);  // ZEL12 defaults
    const struct { UINT answer; std::uint32_t next, param2; } steps[] = {
        {CMD_SET_OPP_OPTION, CMD_SET_SECURITY_LEVEL, 0x00050008},
        {CMD_SET_SECURITY_LEVEL, CMD_SET_LATENT_OPTION, 1},
        {CMD_SET_LATENT_OPTION, CMD_SET_LOG_OPTION, 0},
        {CMD_SET_LOG_OPTION, CMD_SET_CAPTURE_PERIOD, 5},
        {CMD_SET_CAPTURE_PERIOD, CMD_GET_OPP_OPTION, 0},
    };
    ASSERT_EQ(log->Requests().size(), 1u);
    EXPECT_EQ(log->Requests()[0].param2, 0x000F6403u);
    for (const auto& step : steps) {
        log->Clear();
        Deliver(console, FLOW_SYSTEM_INFO, step.answer, RES_SUCCESS);
        console.loop.RunPending();
        EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
        ASSERT_EQ(log->Requests().size(), 1u);
        EXPECT_EQ(log->Requests()[0].command, step.next);
        EXPECT_EQ(log->Requests()[0].param2, step.param2);
    }
    // A failing step: its text, the run ends, a later success is its own.
    Press(IDC_SI_SET_DEFAULT);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_OPP_OPTION, RES_SUCCESS);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_SECURITY_LEVEL, RES_FAIL);
    EXPECT_FALSE(Dlg().m_bDefaultRun);
    Ask(console, FLOW_SYSTEM_INFO, req::General(CMD_SET_LATENT_OPTION, 0, 1));
    log->Clear();
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_LATENT_OPTION, RES_SUCCESS);
    EXPECT_EQ(console.Prompt(), "To set latent option is succeeded.");
    EXPECT_TRUE(log->Commands().empty());
}

// A SET DEFAULT OPTION run ends at any failure, at a step that is never
// answered, and when the link closes: a later single SET must not write the
// defaults nobody asked for any more, and a later read must not report the
// run as succeeded.
TEST_F(SysAnswersTest, ADefaultRunEndsOnAFailedReadBackAnUnansweredStepOrALinkClose) {
    const std::uint32_t sets[] = {CMD_SET_OPP_OPTION, CMD_SET_SECURITY_LEVEL, CMD_SET_LATENT_OPTION,
                                  CMD_SET_LOG_OPTION, CMD_SET_CAPTURE_PERIOD};
    const auto readAll = [&] {
        const std::pair<std::uint32_t, std::uint32_t> reads[] = {
            {CMD_GET_OPP_OPTION, 0x000F6403}, {CMD_GET_SECURITY_LEVEL, 0x00050008}, {CMD_GET_LATENT_OPTION, 1},
            {CMD_GET_LOG_OPTION, 1}, {CMD_GET_CAPTURE_PERIOD, 5}};
        for (const auto& r : reads) Deliver(console, FLOW_SYSTEM_INFO, r.first, RES_SUCCESS, r.second);
    };
    // Every write taken, the read-back refused: the run is over.
    console.ClosePrompt();
    Press(IDC_SI_SET_DEFAULT);
    for (std::uint32_t set : sets) Deliver(console, FLOW_SYSTEM_INFO, set, RES_SUCCESS);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_GET_OPP_OPTION, RES_FAIL);
    EXPECT_EQ(console.Prompt(), "To get OPP option is failed.");
    EXPECT_FALSE(Dlg().m_bDefaultRun);
    console.ClosePrompt();
    Press(IDC_SI_GET_INFO);
    console.loop.RunPending();
    readAll();
    EXPECT_EQ(console.Prompt(), "") << "no success reported for the broken run";

    // A step never answered, then the operator's own SET: only that goes out.
    Press(IDC_SI_SET_DEFAULT);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_OPP_OPTION, RES_SUCCESS);  // the security level is asked; no answer
    Fill({"15", "100", "3", "5", "8", "9"});
    log->Clear();
    Press(IDC_SI_SET_CAPTURE_PERIOD);
    EXPECT_FALSE(Dlg().m_bDefaultRun);
    Deliver(console, FLOW_SYSTEM_INFO, CMD_SET_CAPTURE_PERIOD, RES_SUCCESS);
    EXPECT_EQ(console.Prompt(), "To set capture period is succeeded.");
    ASSERT_EQ(log->Commands(), std::vector<std::uint32_t>{CMD_SET_CAPTURE_PERIOD});
    EXPECT_EQ(log->Requests()[0].param2, 9u) << "the form's value, not the default";
    console.ClosePrompt();

    // The link closes mid-run: the run ends with it.
    Press(IDC_SI_SET_DEFAULT);
    EXPECT_TRUE(Dlg().m_bDefaultRun);
    console.View().Client().Close();
    console.View().NotifyLinkClosed();
    console.loop.RunPending();
    EXPECT_FALSE(Dlg().m_bDefaultRun);
}
