// STATUS, CANCEL, the voltage check and the battery life test: every text of
// their answers, and the battery test's loop and counts over a pseudo-terminal
// on the virtual clock.
#include <QLabel>

#include "console/ServiceFlow.h"
#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"
#include "tests/ui/LinkedConsole.h"
#include "widgets/AnimateCtrl.h"
#include "widgets/WaitDlg.h"

using namespace console_test;

namespace {

CServiceFlow& Service(CConsole& console) {
    return static_cast<CServiceFlow&>(*console.View().Flow(FLOW_SERVICE));
}

}  // namespace

TEST(Service, StatusAnswersShowTheirTextInABoxAndTheStatusLine) {
    const struct { const char* name; bool mini; std::uint32_t result, state; const char* box; const char* status; }
    cases[] = {
        {"idle", false, RES_SUCCESS, 0, "Status = Idle", "Status = Idle"},
        {"busy", false, RES_SUCCESS, 1, "Status = busy", "Status = busy"},
        {"other", false, RES_SUCCESS, 2, "Status = busy!!!", "Status = busy!!!"},
        {"failed", false, RES_FAIL, 0, nullptr, "Status check is failed"},
        {"unlisted", false, RES_TIMEOUT, 0, nullptr, "before"},
        {"mini idle", true, 0, 0, "Status = Idle", "Status = Idle"},
        {"mini busy", true, 3, 0, "Status = busy", "Status = busy"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CConsole console;
        StartOnRawLine(console, BOARD_PELL, c.mini ? PROTOCOL_MINIMIZED : PROTOCOL_GENERAL);
        if (c.mini) {
            DeliverMini(console, FLOW_SERVICE, MINI_STATUS, static_cast<std::uint8_t>(c.result));
        } else {
            Deliver(console, FLOW_SERVICE, CMD_STATUS, c.result, c.state);
        }
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), c.status);
        if (c.box) {
            ASSERT_EQ(console.op.boxes.size(), 1u);
            EXPECT_EQ(console.op.boxes[0].text, c.box);
            EXPECT_EQ(console.op.boxes[0].flags, MB_OK);
        } else {
            EXPECT_TRUE(console.op.boxes.empty());
        }
        EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
    }
}

TEST(Service, StatusAndCancelReachTheSimulatedModuleInBothProtocols) {
    for (int protocol : {PROTOCOL_GENERAL, PROTOCOL_MINIMIZED}) {
        SCOPED_TRACE(protocol);
        CConsole console;
        ASSERT_TRUE(StartConnected(console, BOARD_PELL, protocol));
        ASSERT_TRUE(console.Click(IDC_STATUS));
        ASSERT_TRUE(console.WaitFor([&] { return !console.op.boxes.empty(); }));
        EXPECT_EQ(console.op.boxes[0].text, "Status = Idle");
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Status = Idle");
        // CANCEL with nothing to cancel: the module is idle.
        ASSERT_TRUE(console.Click(IDC_CANCEL));
        ASSERT_TRUE(console.WaitFor([&] { return console.View().m_MsgDlg.IsOpen(); }));
        EXPECT_EQ(console.Prompt(), "ZEL status is idle.");
        EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "ZEL status is idle. (Cancel command is useless)");
    }
}

TEST(Service, OnlyAnIdleCancelAnswerShowsAnything) {
    const struct { bool mini; std::uint32_t result; bool shown; } cases[] = {
        {false, RES_IDLE, true}, {false, RES_SUCCESS, false}, {false, RES_CANCELED, false},
        {true, RES_IDLE, true},  {true, RES_SUCCESS, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mini << " " << c.result);
        CConsole console;
        StartOnRawLine(console, BOARD_PELL, c.mini ? PROTOCOL_MINIMIZED : PROTOCOL_GENERAL);
        if (c.mini) {
            DeliverMini(console, FLOW_SERVICE, MINI_CANCEL, static_cast<std::uint8_t>(c.result));
        } else {
            Deliver(console, FLOW_SERVICE, CMD_CANCEL, c.result);
        }
        EXPECT_EQ(console.Prompt(), c.shown ? "ZEL status is idle." : "");
        EXPECT_EQ(console.Text(IDC_STATUS_LINE),
                  c.shown ? "ZEL status is idle. (Cancel command is useless)" : "before");
    }
}

TEST(Service, TheVoltageCheckSaysLowOrNotLow) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_ZEL12));
    console.View().SetStatusText("before");
    for (bool low : {false, true}) {
        SCOPED_TRACE(low);
        console.App().Simulator()->SetLowVoltage(low);
        ASSERT_TRUE(console.Choose(ID_TOOLS_CHECK_VOLTAGE));
        ASSERT_TRUE(console.WaitFor([&] { return console.View().m_MsgDlg.IsOpen(); }));
        EXPECT_EQ(console.Prompt(), low ? "Supply voltage is low. Check battery voltage." : "Supply voltage is not low.");
        EXPECT_EQ(console.PromptForm(), low ? MSGFORM_WARNING : MSGFORM_SUCCESS);
        console.ClosePrompt();
    }
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "before");  // the voltage check leaves the status line alone
    // Any other value (no module gives one: answered on a raw line) shows nothing.
    CConsole raw;
    StartOnRawLine(raw, BOARD_ZEL12);
    Deliver(raw, FLOW_SERVICE, CMD_CHECK_VOLTAGE, RES_SUCCESS, 2);
    EXPECT_FALSE(raw.View().m_MsgDlg.IsOpen());
    EXPECT_EQ(raw.Text(IDC_STATUS_LINE), "before");
}

// ------------------------------------------------------ battery life test

namespace {

struct CBatteryTest : CLinkedConsole {
    CServiceFlow& Flow() { return Service(console); }
    bool Running() { return Flow().IsBatteryTestRunning(); }
    QString Count(int id) { return GetDlgItemText(Flow().BatteryDlg().Window(), id); }
    // The module answers the test's identification.
    void Identified(std::uint32_t result = RES_SUCCESS) { Answer(CMD_IDENTIFY, result, 0); }
};

}  // namespace

TEST(Service, TheBatteryTestCountsHighAndLowChecksBetweenIdentifications) {
    CBatteryTest t;
    t.Start(BOARD_ZEL12);
    ASSERT_TRUE(t.console.Choose(ID_TOOLS_BATTERY_TEST));
    EXPECT_TRUE(t.Running());
    ASSERT_TRUE(t.Flow().BatteryDlg().IsOpen());
    QDialog* window = t.Flow().BatteryDlg().Window();
    EXPECT_EQ(window->windowTitle(), "Battery Life Test ...");
    QStringList labels;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) labels << label->text();
    }
    labels.sort();
    EXPECT_EQ(labels, (QStringList{"Count (High Voltage):", "Count (Low Voltage):"}));
    EXPECT_EQ(GetDlgItemText(window, IDCANCEL), "Cancel");
    EXPECT_EQ(t.Count(IDC_BATTERY_HIGH_COUNT), "0");
    EXPECT_EQ(t.Count(IDC_BATTERY_LOW_COUNT), "0");
    ASSERT_NE(t.Flow().BatteryDlg().Animation(), nullptr);
    EXPECT_EQ(t.Flow().BatteryDlg().Animation()->ClipId(), 144);
    EXPECT_TRUE(t.Flow().BatteryDlg().Animation()->IsPlaying());
    EXPECT_FALSE(t.console.View().isEnabled());
    EXPECT_EQ(t.pty.Next(), CMD_IDENTIFY);
    // Chosen again from the menu bar (still usable): no second loop.
    ASSERT_TRUE(t.console.Choose(ID_TOOLS_BATTERY_TEST));
    EXPECT_EQ(t.Flow().BatteryDlg().Window(), window);
    EXPECT_TRUE(t.Quiet());

    // Identified (whatever the result), checked, counted, identified again.
    const struct { std::uint32_t identify, voltage; const char* high; const char* low; } rounds[] = {
        {RES_SUCCESS, 0, "1", "0"}, {RES_FAIL, 1, "1", "1"}, {RES_TIMEOUT, 0, "2", "1"}, {RES_SUCCESS, 1, "2", "2"},
    };
    for (const auto& round : rounds) {
        t.Identified(round.identify);
        ASSERT_EQ(t.pty.Next(), CMD_CHECK_VOLTAGE);
        t.Answer(CMD_CHECK_VOLTAGE, RES_SUCCESS, round.voltage);
        EXPECT_EQ(t.Count(IDC_BATTERY_HIGH_COUNT), round.high);
        EXPECT_EQ(t.Count(IDC_BATTERY_LOW_COUNT), round.low);
        ASSERT_EQ(t.pty.Next(), CMD_IDENTIFY);
    }
    EXPECT_FALSE(t.console.View().m_MsgDlg.IsOpen());  // no voltage texts while the test runs

    // The operator closes the window while the identification is under way.
    ASSERT_TRUE(ClickDlgItem(window, IDCANCEL));
    EXPECT_FALSE(t.Flow().BatteryDlg().IsOpen());
    EXPECT_TRUE(t.Running());  // until the next answer
    t.Identified();
    EXPECT_EQ(t.console.Prompt(), "Battery life test canceled.");
    EXPECT_EQ(t.console.PromptForm(), MSGFORM_WARNING);
    EXPECT_FALSE(t.Running());
    EXPECT_TRUE(t.Quiet());

    // Opened again, the counts start from 0.
    t.console.ClosePrompt();
    ASSERT_TRUE(t.console.Choose(ID_TOOLS_BATTERY_TEST));
    EXPECT_EQ(t.Count(IDC_BATTERY_HIGH_COUNT), "0");
    EXPECT_EQ(t.Count(IDC_BATTERY_LOW_COUNT), "0");
}

TEST(Service, ClosingTheBatteryWindowDuringAVoltageCheckEndsTheTestOnItsAnswer) {
    CBatteryTest t;
    t.Start(BOARD_ZEL12);
    ASSERT_TRUE(t.console.Choose(ID_TOOLS_BATTERY_TEST));
    ASSERT_EQ(t.pty.Next(), CMD_IDENTIFY);
    // A waiting prompt left open is closed by the identification answer.
    t.console.View().m_WaitDlg.Popup(IDD_WAITDLG, &t.console.View());
    t.Identified();
    EXPECT_FALSE(t.console.View().m_WaitDlg.IsOpen());
    ASSERT_EQ(t.pty.Next(), CMD_CHECK_VOLTAGE);
    ASSERT_TRUE(ClickDlgItem(t.Flow().BatteryDlg().Window(), IDCANCEL));
    EXPECT_TRUE(t.console.View().isEnabled());
    t.Answer(CMD_CHECK_VOLTAGE, RES_SUCCESS, 0);
    EXPECT_EQ(t.console.Prompt(), "Battery life test canceled.");
    EXPECT_FALSE(t.Running());
    EXPECT_TRUE(t.Quiet());
}

TEST(Service, ALostVoltageAnswerIsResentAndAnUnknownValueStopsTheLoop) {
    CBatteryTest t;
    t.Start(BOARD_ZEL12);
    ASSERT_TRUE(t.console.Choose(ID_TOOLS_BATTERY_TEST));
    ASSERT_EQ(t.pty.Next(), CMD_IDENTIFY);
    t.Identified();
    ASSERT_EQ(t.pty.Next(), CMD_CHECK_VOLTAGE);
    t.console.loop.Advance(TIMEOUT_CHECK_VOLTAGE);  // no answer: the check goes out again
    ASSERT_EQ(t.pty.Next(), CMD_CHECK_VOLTAGE);
    t.Answer(CMD_CHECK_VOLTAGE, RES_SUCCESS, 7);
    EXPECT_TRUE(t.Quiet());  // the loop stops
    EXPECT_TRUE(t.Flow().BatteryDlg().IsOpen());
    EXPECT_EQ(t.Count(IDC_BATTERY_HIGH_COUNT), "0");
    EXPECT_EQ(t.Count(IDC_BATTERY_LOW_COUNT), "0");
    // A lost port ends the test with the link.
    t.console.loop.Post(&t.console.View().Client(), WM_COMM_PORT_LOST);
    t.console.loop.RunPending();
    EXPECT_FALSE(t.Flow().BatteryDlg().IsOpen());
    EXPECT_FALSE(t.Running());
    EXPECT_FALSE(t.console.View().Client().IsClaimed());
}

// The identification answers come over the line to the battery test, which
// sent them: no identification text is shown and every round is counted.
TEST(Service, TheBatteryTestTakesItsIdentificationAnswersFromTheLine) {
    CBatteryTest t;
    t.Start(BOARD_ZEL12);
    ASSERT_TRUE(t.console.Choose(ID_TOOLS_BATTERY_TEST));
    ASSERT_EQ(t.pty.Next(), CMD_IDENTIFY);
    for (int round = 1; round <= 3; ++round) {
        t.Answer(CMD_IDENTIFY, round == 2 ? RES_FAIL : RES_SUCCESS, 7);
        ASSERT_EQ(t.pty.Next(), CMD_CHECK_VOLTAGE) << "round " << round;
        t.Answer(CMD_CHECK_VOLTAGE, RES_SUCCESS, 0);
        EXPECT_EQ(t.Count(IDC_BATTERY_HIGH_COUNT), QString::number(round));
        ASSERT_EQ(t.pty.Next(), CMD_IDENTIFY);
    }
    EXPECT_FALSE(t.console.View().m_MsgDlg.IsOpen());
    EXPECT_TRUE(t.Running());
    // Cancelled: the next identification answer ends the test.
    ASSERT_TRUE(ClickDlgItem(t.Flow().BatteryDlg().Window(), IDCANCEL));
    t.Answer(CMD_IDENTIFY, RES_SUCCESS, 7);
    ASSERT_TRUE(t.console.WaitFor([&] { return !t.Running(); }));
    EXPECT_EQ(t.console.Prompt(), "Battery life test canceled.");
}
