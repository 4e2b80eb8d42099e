// Closing the link while a request is out ends its exchange at once: nothing
// is sent again, no box comes minutes later, each flow's own end runs, and a
// new connection on the same port is not disturbed by what came before.
#include <QDialog>

#include "console/CaptureFlow.h"
#include "console/ServiceFlow.h"
#include "console/UpgradeFlow.h"
#include "tests/ui/LinkedConsole.h"
#include "tools/LogDataDlg.h"
#include "tools/LogDataFlow.h"
#include "tools/DbMgrDlg.h"
#include "tools/DbMgrFlow.h"
#include "tools/UserDataDlg.h"
#include "tools/UserDataFlow.h"

using namespace console_test;

namespace {

constexpr int kTwentyMinutes = 20 * 60 * 1000;

struct SGuardedStart {
    const char* name;
    std::function<void(CLinkedConsole&)> start;
    std::uint32_t command;  // the request the module is left to answer
    bool formUsable;        // DISCONNECT can be pressed while it runs (no modal window)
};

// The two ways a link closes under a running exchange: DISCONNECT (when the
// form can be used) and the adapter pulled out.
void CloseLink(CLinkedConsole& t, bool disconnect) {
    if (disconnect) {
        ASSERT_TRUE(t.console.Click(IDC_CONNECT));
    } else {
        t.console.LosePort();
        EXPECT_EQ(t.console.Prompt(), "Serial port 'COM1' was lost.");
    }
}

void StartCapture(CLinkedConsole& t) { ASSERT_TRUE(t.console.Click(IDC_CAPTURE)); }

void StartVoltageCheck(CLinkedConsole& t) { ASSERT_TRUE(t.console.Choose(ID_TOOLS_CHECK_VOLTAGE)); }

// The log window is a master-mode tool.
void StartLogRead(CLinkedConsole& t) {
    CPravikView& view = t.console.View();
    ASSERT_EQ(view.Client().Send(*view.Flow(FLOW_MASTER), req::EnterMaster(AUTH_NONE)), ESendResult::Sent);
    ASSERT_EQ(t.pty.Next(), CMD_ENTER_MASTER);
    t.pty.Answer(CMD_ENTER_MASTER, RES_SUCCESS, 0);
    ASSERT_TRUE(t.console.WaitFor([&] { return view.State().m_bMasterMode; }));
    t.console.ClosePrompt();
    ASSERT_TRUE(t.console.Choose(ID_VIEW_LOG_DATA));
    auto& flow = static_cast<CLogDataFlow&>(*t.console.View().Flow(FLOW_LOG_DATA));
    ASSERT_NE(flow.Dialog().Window(), nullptr);
    ASSERT_TRUE(ClickDlgItem(flow.Dialog().Window(), IDC_LOG_READ));
}

void StartBatteryTest(CLinkedConsole& t) { ASSERT_TRUE(t.console.Choose(ID_TOOLS_BATTERY_TEST)); }

const SGuardedStart kStarts[] = {
    {"single capture", StartCapture, CMD_GET_IMAGE, false},
    {"voltage check", StartVoltageCheck, CMD_CHECK_VOLTAGE, true},
    {"log read", StartLogRead, CMD_GET_LOG, false},
    {"battery life test", StartBatteryTest, CMD_IDENTIFY, false},
};

}  // namespace

TEST(LinkClose, ClosingTheLinkEndsEachExchangeAtOnceWithNoResendAndNoLateBox) {
    for (const SGuardedStart& s : kStarts)
        for (bool disconnect : {false, true}) {
        if (disconnect && !s.formUsable) continue;
        SCOPED_TRACE(std::string(s.name) + (disconnect ? ", DISCONNECT" : ", port lost"));
        CLinkedConsole t;
        t.Start(BOARD_ZEL12);
        s.start(t);
        ASSERT_EQ(t.pty.Next(), s.command);
        CModuleClient& client = t.console.View().Client();
        ASSERT_GE(client.OpenExchanges(), 1u);
        CloseLink(t, disconnect);
        EXPECT_EQ(client.OpenExchanges(), 0u);
        EXPECT_FALSE(client.IsClaimed());
        EXPECT_FALSE(t.console.View().m_WaitDlg.IsOpen());
        // Ten re-sends and the ZEL12 log's long guard would all have run out.
        t.console.loop.Advance(kTwentyMinutes);
        t.console.loop.RunPending();
        EXPECT_TRUE(t.console.op.boxes.empty());
        EXPECT_TRUE(t.Quiet());
        EXPECT_EQ(t.console.Text(IDC_CONNECT), "CONNECT");
        }
}

// The battery window keeps the form from being used: only a pulled adapter
// can close the link under it, and the prompt names the lost port.
TEST(LinkClose, ABatteryTestEndedByALostPortClosesItsWindow) {
    CLinkedConsole t;
    t.Start(BOARD_ZEL12);
    StartBatteryTest(t);
    ASSERT_EQ(t.pty.Next(), CMD_IDENTIFY);
    auto& service = static_cast<CServiceFlow&>(*t.console.View().Flow(FLOW_SERVICE));
    ASSERT_TRUE(service.BatteryDlg().IsOpen());
    t.console.LosePort();
    EXPECT_FALSE(service.BatteryDlg().IsOpen());
    EXPECT_FALSE(service.IsBatteryTestRunning());
    EXPECT_EQ(t.console.Prompt(), "Serial port 'COM1' was lost.");
    EXPECT_TRUE(t.console.Enabled(IDC_CONNECT));
}

// The progress window's CANCEL gives the form back while the upgrade goes
// on; DISCONNECT then ends it and says so.
TEST(LinkClose, AnUpgradeEndedByTheLinkClosesItsWindowAndSaysSo) {
    CLinkedConsole t;
    t.Start(BOARD_PELL);
    t.Choose(std::string(5000, '\x11'));
    ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_BIN);
    auto& upgrade = static_cast<CUpgradeFlow&>(*t.console.View().Flow(FLOW_UPGRADE));
    ASSERT_TRUE(upgrade.ProgDlg().IsOpen());
    ASSERT_TRUE(ClickDlgItem(upgrade.ProgDlg().Window(), IDCANCEL));  // the form back
    ASSERT_TRUE(t.console.Click(IDC_CONNECT));
    EXPECT_FALSE(upgrade.IsRunning());
    EXPECT_EQ(t.console.Prompt(), "F/W upgrade is canceled.");
}

// A capture's guard left running would re-send its piece request on the new
// connection and could take the CONNECT answer's place in the queue; ended
// with the link, it sends nothing, and connecting again goes as it always does.
TEST(LinkClose, ConnectingAgainAfterACaptureIsNotDisturbedByIt) {
    CLinkedConsole t;
    t.Start(BOARD_ZEL12);
    StartCapture(t);
    ASSERT_EQ(t.pty.Next(), CMD_GET_IMAGE);
    t.console.LosePort();
    t.console.ClosePrompt();
    t.console.loop.Advance(TIMEOUT_GET_IMAGE - 1000);
    ASSERT_TRUE(t.console.Click(IDC_CONNECT));  // CONNECT again, the adapter back
    ASSERT_EQ(t.pty.Next(), CMD_CONNECT);
    // The old piece request's re-send was due now, inside the CONNECT wait.
    static_assert(CONNECT_TIMEOUT_MS > 1000 + 100);
    t.console.loop.Advance(1000 + 100);
    t.pty.Answer(CMD_CONNECT, RES_SUCCESS, 5);
    ASSERT_TRUE(t.console.WaitFor([&] { return t.console.View().State().m_bConnected; }));
    EXPECT_EQ(t.pty.Next(), CMD_GET_DEVICE_INFO);
    EXPECT_EQ(t.console.View().Client().StaleAnswers(), 0u);
}

// Tool windows stay open after DISCONNECT. A button that needs the module
// then says there is none and sends nothing: the list shown stays, no
// prompt opens, and nothing is written (so the trace has nothing to show).
TEST(LinkClose, ToolWindowButtonsWithoutAModuleSaySoAndSendNothing) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console));
    ASSERT_TRUE(EnterMasterMode(console));
    console.App().Simulator()->RunLocked([](CSimModule& m) { m.AddRecord({"7", 1, false, ""}); });
    auto& db = static_cast<CDbMgrFlow&>(*console.View().Flow(FLOW_DB_MANAGER));
    ASSERT_TRUE(console.Choose(ID_VIEW_DB_MANAGER));
    ASSERT_TRUE(ClickDlgItem(db.m_Dlg.Window(), IDC_DB_GET_LIST));
    ASSERT_TRUE(console.WaitFor([&] { return db.m_Dlg.RowCount() == 1; }));
    auto& user = static_cast<CUserDataFlow&>(*console.View().Flow(FLOW_USER_DATA));
    ASSERT_TRUE(console.Choose(ID_VIEW_USER_DATA));
    ASSERT_TRUE(console.Click(IDC_CONNECT));  // DISCONNECT
    ASSERT_TRUE(db.m_Dlg.IsOpen());
    ASSERT_TRUE(user.Dialog().IsOpen());
    std::vector<std::uint8_t> written;
    console.View().Client().Channel().m_WriteTap = [&](const std::uint8_t* b, std::size_t n) {
        written.insert(written.end(), b, b + n);
    };
    const QString none = "No module is connected: press CONNECT first.";
    const struct { const char* name; QWidget* window; int button; } presses[] = {
        {"GET FINGERPRINT LIST", db.m_Dlg.Window(), IDC_DB_GET_LIST},
        {"WRITE USER DATA", user.Dialog().Window(), IDC_UD_WRITE},
        {"READ USER DATA", user.Dialog().Window(), IDC_UD_READ},
    };
    for (const auto& p : presses) {
        SCOPED_TRACE(p.name);
        console.View().SetStatusText("before");
        if (p.button == IDC_UD_WRITE) SetDlgItemText(p.window, IDC_UD_WRITE_DATA, "abc");
        ASSERT_TRUE(ClickDlgItem(p.window, p.button));
        console.loop.RunPending();
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), none);
        EXPECT_EQ(console.Prompt(), "");
        EXPECT_TRUE(written.empty());
    }
    EXPECT_EQ(db.m_Dlg.RowCount(), 1);
}
