// The database manager: its window from the View menu, the list chains
// against the simulated module over a pseudo-terminal, the deletions and
// master changes with their questions, and every answer text.
#include <QTreeWidget>

#include "console/ConsoleMessages.h"
#include "tests/ui/ToolTestUtil.h"
#include "tools/DbMgrFlow.h"

using namespace console_test;

namespace {

class DbManagerTest : public ::testing::Test {
protected:
    CConsole console;
    std::unique_ptr<CRequestLog> log;

    void SetUp() override {
        ASSERT_TRUE(StartConnected(console));
        ASSERT_TRUE(EnterMasterMode(console));
        log = std::make_unique<CRequestLog>(console.View());
    }
    CDbMgrFlow& Flow() { return static_cast<CDbMgrFlow&>(*console.View().Flow(FLOW_DB_MANAGER)); }
    CDbMgrDlg& Dlg() { return Flow().m_Dlg; }
    void Open() {
        ASSERT_TRUE(console.Choose(ID_VIEW_DB_MANAGER));
        ASSERT_TRUE(Dlg().IsOpen());
    }
    // A button of the window as the operator clicks it.
    void Press(int id) {
        ASSERT_TRUE(ClickDlgItem(Dlg().Window(), id));
        console.loop.RunPending();
    }
    std::vector<std::pair<QString, QString>> Rows() {
        std::vector<std::pair<QString, QString>> rows;
        for (int i = 0; i < Dlg().RowCount(); ++i) rows.emplace_back(Dlg().RowText(i, 0), Dlg().RowText(i, 1));
        return rows;
    }
    // Reads the list through the window and waits until rows count rows show.
    bool Read(int rows) {
        Press(IDC_DB_GET_LIST);
        return console.WaitFor([&] { return Dlg().RowCount() == rows; });
    }
    int SimCount() {
        int n = 0;
        console.App().Simulator()->RunLocked([&](CSimModule& m) { n = static_cast<int>(m.Records().size()); });
        return n;
    }
    bool SimMaster(const std::string& id) {
        bool master = false;
        console.App().Simulator()->RunLocked([&](CSimModule& m) {
            const SimRecord* r = m.FindRecord(id);
            master = r && r->master;
        });
        return master;
    }
    void AddStandardRecords() {
        AddRecords(console, {{"9", 1, false, ""}, {"10", 2, true, ""}, {"2", 3, false, ""}, {"1", 4, false, ""},
                             {"Abc", 5, true, ""}});
    }
    const std::vector<std::pair<QString, QString>> kStandardRows = {
        {"1", ""}, {"10", "MASTER"}, {"2", ""}, {"9", ""}, {"Abc", "MASTER"}};
};

// The console on a raw line without a module: the test delivers the
// answers; requests are recorded.
class DbAnswersTest : public DbManagerTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(console.Start());
        ASSERT_TRUE(console.OpenRawLine());
        console.View().SetLayout(LAYOUT_MASTER);
        console.View().State().m_nFirmwareLevel = 0x105;
        log = std::make_unique<CRequestLog>(console.View());
        Open();
    }
};

}  // namespace

TEST_F(DbManagerTest, ViewMenuTogglesTheWindowWithItsCheckMarkAndReopensEmpty) {
    AddStandardRecords();
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_DB_MANAGER));
    Open();
    EXPECT_EQ(Dlg().Window()->windowTitle(), "DB Manager");
    EXPECT_EQ(Dlg().RowCount(), 0);  // opening reads nothing
    EXPECT_TRUE(log->Commands().empty());
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_VIEW_DB_MANAGER));
    QTreeWidget* list = Dlg().List();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->headerItem()->text(0), "ID");
    EXPECT_EQ(list->headerItem()->text(1), "AUTHORITY");
    EXPECT_EQ(list->columnWidth(0), 70);
    EXPECT_EQ(list->columnWidth(1), 80);
    ASSERT_TRUE(Read(5));
    ASSERT_TRUE(console.Choose(ID_VIEW_DB_MANAGER));
    EXPECT_FALSE(Dlg().IsOpen());
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_DB_MANAGER));
    // The store keeps the lists; the reopened window starts empty.
    EXPECT_EQ(Flow().m_FpList.FpCount(), 5);
    Open();
    EXPECT_EQ(Dlg().RowCount(), 0);
    // CLOSE and Escape destroy the window too.
    ASSERT_TRUE(ClickDlgItem(Dlg().Window(), IDCANCEL));
    EXPECT_FALSE(Dlg().IsOpen());
    Open();
    ::Press(Dlg().Window(), Qt::Key_Escape);
    EXPECT_FALSE(Dlg().IsOpen());
    // Out of master mode the item is greyed.
    console.View().SetLayout(LAYOUT_CONNECTED);
    EXPECT_FALSE(console.Choose(ID_VIEW_DB_MANAGER));
}

TEST_F(DbManagerTest, ListsAreReadWithTheCommandsOfTheFirmwareLevelAndMastersAreShown) {
    AddStandardRecords();
    Open();
    const struct { std::int32_t level; std::uint32_t fp, master; } cases[] = {
        {0x102, CMD_GET_FP_LIST, CMD_GET_MASTER_LIST},
        {0x103, CMD_GET_FP_LIST_EX, CMD_GET_MASTER_LIST_EX},
        {0x105, CMD_GET_FP_LIST_EX, CMD_GET_MASTER_LIST_EX},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        console.View().State().m_nFirmwareLevel = c.level;
        log->Clear();
        ASSERT_TRUE(Read(5));
        EXPECT_EQ(Rows(), kStandardRows);
        EXPECT_EQ(log->Commands(), (std::vector<std::uint32_t>{c.fp, c.master}));
        EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
    }
}

TEST_F(DbManagerTest, AnEmptyDatabaseStillAsksForTheMasterList) {
    Open();
    Press(IDC_DB_GET_LIST);
    ASSERT_TRUE(console.WaitFor([&] { return log->Commands().size() == 2; }));
    EXPECT_EQ(log->Commands()[1], CMD_GET_MASTER_LIST_EX);
    EXPECT_EQ(Dlg().RowCount(), 0);
}

TEST_F(DbManagerTest, DeleteRecordAsksSendsTheSelectedIdAndTheRefreshReadsTheListAgain) {
    AddStandardRecords();
    Open();
    ASSERT_TRUE(Read(5));
    // Nothing selected: the box, nothing sent.
    log->Clear();
    Press(IDC_DB_DELETE);
    ASSERT_EQ(console.op.boxes.size(), 1u);
    EXPECT_EQ(console.op.boxes[0].text, "There is no selected item.");
    EXPECT_EQ(console.op.boxes[0].flags, MB_OK);
    // No to the question: nothing sent.
    Dlg().SelectRow(2);
    console.op.boxAnswers = {IDNO};
    Press(IDC_DB_DELETE);
    EXPECT_EQ(console.op.boxes.back().text, "Are you sure to delete the selected record?");
    EXPECT_EQ(console.op.boxes.back().flags, MB_YESNO | MB_ICONQUESTION);
    EXPECT_TRUE(log->Commands().empty());
    // Yes: CMD_DELETE with the row's ID ("2") in a 10-byte field. Its answer
    // comes back to the database manager, shown as the main form's DELETE
    // shows it; on success the list is read again and shows the four records
    // left.
    console.op.boxAnswers = {IDYES};
    Press(IDC_DB_DELETE);
    ASSERT_TRUE(console.WaitFor([&] { return log->Requests().size() >= 2 && Dlg().RowCount() == 4; }));
    const std::vector<SWritten> requests = log->Requests();
    EXPECT_EQ(requests[0].command, CMD_DELETE);
    EXPECT_EQ(requests[0].data, IdFields({"2"}));
    EXPECT_TRUE(requests[1].command == CMD_GET_FP_LIST || requests[1].command == CMD_GET_FP_LIST_EX)
        << requests[1].command;
    EXPECT_EQ(console.Prompt(), "Deletion is succeeded.");
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 4");
    EXPECT_EQ(Rows(),
              (std::vector<std::pair<QString, QString>>{{"1", ""}, {"10", "MASTER"}, {"9", ""}, {"Abc", "MASTER"}}));
}

TEST_F(DbManagerTest, EachDeleteAllAsksItsQuestionSendsItsKindShowsTheCountAndReadsAgain) {
    const struct {
        int button;
        const char* question;
        std::uint32_t which;
        std::vector<std::pair<QString, QString>> rows;
    } cases[] = {
        {IDC_DB_DELETE_ALL, "Are you sure to delete all records?", 0, {}},
        {IDC_DB_DELETE_ALL_USER, "Are you sure to delete all users?", 1,
         {{"10", "MASTER"}, {"Abc", "MASTER"}}},
        {IDC_DB_DELETE_ALL_MASTER, "Are you sure to delete all users?", 2, {{"1", ""}, {"2", ""}, {"9", ""}}},
    };
    Open();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.which);
        // Each case starts from the five standard records.
        log->Clear();
        Ask(console, FLOW_DB_MANAGER, req::General(CMD_DELETE_ALL, 0));
        ASSERT_TRUE(console.WaitFor([&] { return SimCount() == 0 && log->Commands().size() == 3; }));
        console.ClosePrompt();
        AddStandardRecords();
        ASSERT_TRUE(Read(5));
        log->Clear();
        console.op.boxes.clear();

        console.op.boxAnswers = {IDNO};
        Press(c.button);
        ASSERT_EQ(console.op.boxes.size(), 1u);
        EXPECT_EQ(console.op.boxes[0].text, c.question);
        EXPECT_EQ(console.op.boxes[0].flags, MB_YESNO | MB_ICONQUESTION);
        EXPECT_TRUE(log->Commands().empty());

        console.op.boxAnswers = {IDYES};
        Press(c.button);
        ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "Deletion is succeeded."; }));
        EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
        EXPECT_EQ(console.Text(IDC_COUNT_LABEL), QString("Fingerprint Count: %1").arg(c.rows.size()));
        ASSERT_TRUE(console.WaitFor([&] { return log->Commands().size() == 3 && Rows() == c.rows; }));
        const std::vector<SWritten> requests = log->Requests();
        EXPECT_EQ(requests[0].command, CMD_DELETE_ALL);
        EXPECT_EQ(requests[0].param1, c.which);
        EXPECT_EQ(requests[1].command, CMD_GET_FP_LIST_EX);
        EXPECT_EQ(Rows(), c.rows);
        console.ClosePrompt();
    }
}

TEST_F(DbManagerTest, SetAndResetMasterCheckTheRowAskAndMarkEveryRowOfTheId) {
    AddStandardRecords();
    Open();
    ASSERT_TRUE(Read(5));
    log->Clear();
    // No selection.
    for (int button : {IDC_DB_SET_MASTER, IDC_DB_RESET_MASTER}) {
        Press(button);
        EXPECT_EQ(console.op.boxes.back().text, "There is no selected item.");
    }
    // Operator errors: the pending change is recorded, nothing is sent.
    Dlg().SelectRow(1);  // "10", MASTER
    Press(IDC_DB_SET_MASTER);
    EXPECT_EQ(console.op.boxes.back().text, "The selected record is MASTER");
    EXPECT_EQ(console.op.boxes.back().flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(Dlg().m_strPendingId, "10");
    Dlg().SelectRow(2);  // "2", general
    Press(IDC_DB_RESET_MASTER);
    EXPECT_EQ(console.op.boxes.back().text, "The selected record is not MASTER");
    EXPECT_EQ(console.op.boxes.back().flags, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(Dlg().m_strPendingId, "2");
    EXPECT_EQ(Dlg().m_nPendingMode, MASTER_MODE_RESET);
    // No: nothing sent.
    console.op.boxAnswers = {IDNO};
    Press(IDC_DB_SET_MASTER);
    EXPECT_EQ(console.op.boxes.back().text, "Do you want to change the selected record to master record?");
    EXPECT_EQ(console.op.boxes.back().flags, MB_YESNO | MB_ICONQUESTION);
    EXPECT_TRUE(log->Commands().empty());
    // Yes: the module changes the record and the row shows MASTER.
    console.op.boxAnswers = {IDYES};
    Press(IDC_DB_SET_MASTER);
    ASSERT_TRUE(console.WaitFor([&] { return Dlg().RowText(2, 1) == "MASTER"; }));
    EXPECT_TRUE(SimMaster("2"));
    std::vector<SWritten> requests = log->Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].command, CMD_SET_MASTER);
    EXPECT_EQ(requests[0].param1, 1u);
    EXPECT_EQ(requests[0].data, IdFields({"2"}));
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());  // a success shows no text
    // RESET MASTER on "Abc".
    Dlg().SelectRow(4);
    console.op.boxAnswers = {IDYES};
    Press(IDC_DB_RESET_MASTER);
    EXPECT_EQ(console.op.boxes.back().text, "Do you want to change the selected record to general record?");
    ASSERT_TRUE(console.WaitFor([&] { return Dlg().RowText(4, 1).isEmpty(); }));
    EXPECT_FALSE(SimMaster("Abc"));
    EXPECT_EQ(log->Requests().back().param1, 0u);
}

TEST_F(DbAnswersTest, ASetMasterSuccessMarksEveryRowOfThePendingId) {
    Press(IDC_DB_GET_LIST);
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_FP_LIST_EX, RES_SUCCESS, 0, IdFields({"6", "5", "5"}, true));
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_MASTER_LIST_EX, RES_SUCCESS, 0, IdFields({}, true));
    ASSERT_EQ(Dlg().RowCount(), 3);
    Dlg().m_strPendingId = "5";
    Dlg().m_nPendingMode = MASTER_MODE_SET;
    Deliver(console, FLOW_DB_MANAGER, CMD_SET_MASTER, RES_SUCCESS);
    EXPECT_EQ(Rows(), (std::vector<std::pair<QString, QString>>{{"5", "MASTER"}, {"5", "MASTER"}, {"6", ""}}));
}

TEST_F(DbAnswersTest, EveryFailureAnswerShowsItsTextInTheWarningFormAndUnlistedCodesNothing) {
    const struct { UINT answer; std::int32_t code; const char* text; } cases[] = {
        {CMD_GET_FP_LIST, RES_FAIL, "To get fingerprint list is failed."},
        {CMD_GET_FP_LIST, RES_NO_MASTER_MODE, "No master mode!!!"},
        {CMD_GET_FP_LIST, RES_CANCELED, nullptr},
        {CMD_GET_MASTER_LIST, RES_FAIL, "To get fingerprint list is failed."},
        {CMD_GET_MASTER_LIST, RES_NO_MASTER_MODE, "No master mode!!!"},
        {CMD_GET_MASTER_LIST, RES_TIMEOUT, nullptr},
        {CMD_GET_FP_LIST_EX, RES_FAIL, "To get fingerprint list is failed."},
        {CMD_GET_FP_LIST_EX, RES_NO_MASTER_MODE, "No master mode!!!"},
        {CMD_GET_FP_LIST_EX, RES_CANCELED, "To get fingerprint list is canceled."},
        {CMD_GET_FP_LIST_EX, RES_INVALID_PARAM, nullptr},
        {CMD_GET_MASTER_LIST_EX, RES_FAIL, "To get master list is failed."},
        {CMD_GET_MASTER_LIST_EX, RES_NO_MASTER_MODE, "Not master mode"},
        {CMD_GET_MASTER_LIST_EX, RES_CANCELED, "To get master list is canceled."},
        {CMD_DELETE_ALL, RES_FAIL, "Deletion is failed."},
        {CMD_DELETE_ALL, RES_NO_MASTER_MODE, "No master mode!!!"},
        {CMD_DELETE_ALL, RES_INVALID_PARAM, "Invalid parameter!!!"},
        {CMD_DELETE_ALL, RES_CANCELED, nullptr},
        {CMD_SET_MASTER, RES_FAIL, "To set/reset master is failed."},
        {CMD_SET_MASTER, RES_NO_MASTER_MODE, "No master mode!!!"},
        {CMD_SET_MASTER, RES_INVALID_ID, "Invalid ID!!!"},
        {CMD_SET_MASTER, RES_INVALID_PARAM, "Invalid parameter!!!"},
        {CMD_SET_MASTER, RES_MASTER_FULL, "Master record is full."},
        {CMD_SET_MASTER, RES_USED_ID, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.answer) + " " + std::to_string(c.code));
        console.ClosePrompt();
        Ask(console, FLOW_DB_MANAGER, req::General(c.answer));
        log->Clear();
        console.View().SetStatusText("before");
        Deliver(console, FLOW_DB_MANAGER, c.answer, static_cast<std::uint32_t>(c.code));
        EXPECT_EQ(console.Prompt(), c.text ? c.text : "");
        if (c.text) {
            EXPECT_EQ(console.PromptForm(), MSGFORM_WARNING);
        }
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "before");
        EXPECT_TRUE(log->Commands().empty());  // a failure sends nothing further
    }
}

TEST_F(DbAnswersTest, AFailedMasterListKeepsTheNewListStoredButNotShown) {
    Ask(console, FLOW_DB_MANAGER, req::General(CMD_GET_FP_LIST));
    log->Clear();
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_FP_LIST, RES_SUCCESS, 2, IdFields({"b", "a"}));
    EXPECT_EQ(log->Commands(), std::vector<std::uint32_t>{CMD_GET_MASTER_LIST});
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_MASTER_LIST, RES_FAIL);
    EXPECT_EQ(console.Prompt(), "To get fingerprint list is failed.");
    EXPECT_EQ(Dlg().RowCount(), 0);
    EXPECT_EQ(Flow().m_FpList.FpCount(), 2);
    console.ClosePrompt();
    // A trailing part of a record is no record.
    std::vector<std::uint8_t> data = IdFields({"q"}, true);
    data.insert(data.end(), {'r', 's', 0});
    Press(IDC_DB_GET_LIST);
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_FP_LIST_EX, RES_SUCCESS, 0, data);
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_MASTER_LIST_EX, RES_SUCCESS, 0, std::vector<std::uint8_t>{0, 0});
    EXPECT_EQ(Rows(), (std::vector<std::pair<QString, QString>>{{"q", ""}}));
}

TEST_F(DbAnswersTest, StatusCheckAndCancelSendAsTheMainFormsButtons) {
    Press(IDC_DB_STATUS_CHECK);
    Press(IDC_DB_CANCEL);
    EXPECT_EQ(log->Commands(), (std::vector<std::uint32_t>{CMD_STATUS, CMD_CANCEL}));
    // Their answers are shown as the main form's.
    console.Arrive(GeneralAnswer(CMD_STATUS, RES_SUCCESS, 1));
    ASSERT_EQ(console.op.boxes.size(), 1u);
    EXPECT_EQ(console.op.boxes[0].text, "Status = busy");
    console.Arrive(GeneralAnswer(CMD_CANCEL, RES_IDLE));
    EXPECT_EQ(console.Prompt(), "ZEL status is idle.");
}

TEST_F(DbAnswersTest, AnIdWithBytesBeyondAsciiIsSentBackAsItCame) {
    const std::string id = "\xE9t\xE9";  // three bytes, as the module stored them
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_FP_LIST_EX, RES_SUCCESS, 0, IdFields({id}, true));
    Deliver(console, FLOW_DB_MANAGER, CMD_GET_MASTER_LIST_EX, RES_SUCCESS, 0, IdFields({}, true));
    Dlg().SelectRow(0);
    log->Clear();
    console.op.boxAnswers = {IDYES, IDYES};
    Press(IDC_DB_DELETE);
    Press(IDC_DB_SET_MASTER);
    const std::vector<SWritten> requests = log->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].data, IdFields({id}));
    EXPECT_EQ(requests[1].data, IdFields({id}));
}

TEST_F(DbAnswersTest, TheWindowKeepsWorkingWhileAPromptDisablesTheForm) {
    Deliver(console, FLOW_DB_MANAGER, CMD_DELETE_ALL, RES_FAIL);
    ASSERT_EQ(console.Prompt(), "Deletion is failed.");
    EXPECT_FALSE(console.View().isEnabled());
    EXPECT_TRUE(Dlg().Window()->isEnabled());
    log->Clear();
    Press(IDC_DB_GET_LIST);
    EXPECT_EQ(log->Commands(), std::vector<std::uint32_t>{CMD_GET_FP_LIST_EX});
}
