// Master mode and the device password: the request forms, the credential
// paths of the two-step entry, every row of the answers in both protocols,
// the credential dialogs, Board Password, and the console against its
// simulated module.
#include <QGroupBox>
#include <QLineEdit>

#include "console/InputIdDlg.h"
#include "console/MasterDlgs.h"
#include "console/MasterFlow.h"
#include "sim/SimPty.h"
#include "tests/ui/VerifyTestUtil.h"

using namespace console_test;
using namespace verify_test;

namespace {

using Answers = std::vector<CScriptedUiOperator::DialogAnswer>;

// The operator picks an authentication type (a radio button) and presses OK.
CScriptedUiOperator::DialogAnswer Choose(int radio) {
    return [radio](QDialog& d) {
        if (radio != IDC_AUTH_MASTER_FP) ClickDlgItem(&d, radio);
        return IDOK;
    };
}
CScriptedUiOperator::DialogAnswer Cancel() {
    return [](QDialog&) { return IDCANCEL; };
}

bool MasterLayout(CConsole& console) {
    return console.View().State().m_nLayout == LAYOUT_MASTER && console.Text(IDC_ENTER_MASTER) == "LEAVE MASTER";
}

}  // namespace

// ---------------------------------------------------------------- dialogs

TEST(MasterDialogs, EveryDialogOfVerificationAndMasterModeShowsItsExactTexts) {
    EnsureApp();
    const struct { int id; const char* title; std::vector<std::pair<int, const char*>> texts; } dialogs[] = {
        {164, "Input Fingerprint ID & Password", {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}},
        {165, "Select type of verification",
         {{1090, "Fingerprint verification"}, {1091, "Password verification"}, {IDOK, "OK"}, {IDCANCEL, "Cancel"}}},
        {IDD_ENTER_MASTER_MODE, "Enter Master Mode",
         {{IDC_AUTH_MASTER_FP, "Master FP Verification"}, {IDC_AUTH_MASTER_PASSWORD, "Master Password Verification"},
          {IDC_AUTH_DEVICE_PASSWORD, "Device password "}, {IDOK, "OK"}, {IDCANCEL, "Cancel"}}},
        {IDD_INPUT_PASSWORD, "Input Master Password", {{IDOK, "OK"}, {IDCANCEL, "Cancel"}}},
        {IDD_MASTER_PASSWORD, "Device Password",
         {{IDC_SET_PASSWORD, "SET PASSWORD"}, {IDC_DELETE_PASSWORD, "DELETE PASSWORD"}}},
    };
    for (const auto& dialog : dialogs) {
        SCOPED_TRACE(dialog.id);
        CTemplateDialog d(dialog.id);
        ASSERT_TRUE(d.IsBuilt());
        EXPECT_EQ(d.windowTitle(), dialog.title);
        for (const auto& [id, text] : dialog.texts) EXPECT_EQ(GetDlgItemText(&d, id), text) << id;
        // The labels and the group box without an ID.
        QStringList labels;
        for (QLabel* label : d.findChildren<QLabel*>()) labels << label->text();
        for (QGroupBox* group : d.findChildren<QGroupBox*>()) labels << group->title();
        for (const auto& [id, label] : std::vector<std::pair<int, QString>>{
                 {164, "Fingerprint ID:"}, {164, "ID Password:"}, {IDD_ENTER_MASTER_MODE, "Authentication Type"},
                 {IDD_INPUT_PASSWORD, "Master Password:"}}) {
            if (id == dialog.id) {
                EXPECT_TRUE(labels.contains(label)) << label.toStdString();
            }
        }
    }
    // The verification dialogs have the sizes of their templates: 115 x 54 and 125 x 86 units.
    EXPECT_EQ(CTemplateDialog(165).size(), QSize(DluToPixelsX(115), DluToPixelsY(54)));
    EXPECT_EQ(CTemplateDialog(164).size(), QSize(DluToPixelsX(125), DluToPixelsY(86)));
}

TEST(MasterDialogs, PasswordsAreMaskedAtMostFifteenCharactersAndNeverEmpty) {
    EnsureApp();
    CInputPasswordDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), "Input Master Password");
    dlg.m_strPassword = "left over";
    CScriptedUiOperator op;
    op.Answer([](QDialog& d) {
        EXPECT_EQ(GetDlgItemText(&d, IDC_MASTER_PASSWORD), "");  // cleared on opening
        EXPECT_EQ(DlgItem<QLineEdit>(&d, IDC_MASTER_PASSWORD)->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));
        return IDOK;  // refused while empty
    });
    op.Answer(TypeAndOk(IDC_MASTER_PASSWORD, "0123456789ABCDEFG"));
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_EQ(dlg.m_strPassword, "0123456789ABCDE");
    EXPECT_EQ(op.dialogResults.size(), 1u);
}

TEST(BoardPassword, SetSendsTheFifteenCharactersWithTheirZeroAndDeleteAsksFirst) {
    const QString kQuestion = "Are you sure to delete master password?";
    const struct {
        const char* name;
        CScriptedUiOperator::DialogAnswer answer;
        std::deque<int> boxes;
        bool asked;
        std::uint32_t command;  // 0: nothing sent
        std::string data;
    } cases[] = {
        {"set, a sixteenth character cannot be typed",
         [](QDialog& d) {
             EXPECT_FALSE(IsDlgItemEnabled(&d, IDC_SET_PASSWORD));
             EXPECT_EQ(DlgItem<QLineEdit>(&d, IDC_DEVICE_PASSWORD)->echoMode(), QLineEdit::Password);
             Type(d, IDC_DEVICE_PASSWORD, "ABCDEFGHIJKLMNOP");
             EXPECT_TRUE(ClickDlgItem(&d, IDC_SET_PASSWORD));
             return IDCANCEL;  // closed already: its result stands
         },
         {}, false, CMD_SET_MASTER_PASSWORD, FieldOf("ABCDEFGHIJKLMNO", 16)},
        {"Return presses SET PASSWORD", TypeAndOk(IDC_DEVICE_PASSWORD, "pw"), {}, false, CMD_SET_MASTER_PASSWORD,
         FieldOf("pw", 16)},
        {"delete, Yes",
         [](QDialog& d) {
             ClickDlgItem(&d, IDC_DELETE_PASSWORD);
             EXPECT_FALSE(d.isVisible());
             return IDCANCEL;
         },
         {IDYES}, true, CMD_DELETE_MASTER_PASSWORD, ""},
        {"delete, No keeps the dialog open",
         [](QDialog& d) {
             ClickDlgItem(&d, IDC_DELETE_PASSWORD);
             EXPECT_TRUE(d.isVisible());
             return IDCANCEL;  // Escape
         },
         {IDNO}, true, 0, ""},
        {"Escape", Cancel(), {}, false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CConsole console;
        StartOffline(console, BOARD_PELL);
        console.View().SetLayout(LAYOUT_MASTER);
        CRequestLog log(console.View());
        console.op.Answer(c.answer);
        console.op.boxAnswers = c.boxes;
        ASSERT_TRUE(console.Choose(ID_TOOLS_BOARD_PASSWORD));
        EXPECT_EQ(console.op.dialogTitles, QStringList{"Device Password"});
        ASSERT_EQ(console.op.boxes.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(console.op.boxes[0].text, kQuestion.toStdString());
            EXPECT_EQ(console.op.boxes[0].flags, MB_YESNO | MB_ICONQUESTION);
        }
        const std::vector<SWritten> requests = log.Take();
        if (!c.command) {
            EXPECT_TRUE(requests.empty());
            continue;
        }
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].command, c.command);
        EXPECT_EQ(requests[0].param1, 0u);
        EXPECT_EQ(requests[0].param2, 0u);
        EXPECT_EQ(DataOf(requests[0]), c.data);
    }
}

// -------------------------------------------------------- the opening request

TEST(EnterMaster, TheButtonSendsTheFormOfTheBoardFirmwareProtocolAndMasterFlag) {
    const struct {
        const char* name;
        int board;
        std::int32_t level;
        int protocol;
        bool master;
        bool mini;
        std::uint32_t command, param1, param2;
    } cases[] = {
        {"ZEL12 0x102: old form", BOARD_ZEL12, 0x102, PROTOCOL_GENERAL, false, false, CMD_ENTER_MASTER, 0, 3},
        {"ZEL12 0x103: new form", BOARD_ZEL12, 0x103, PROTOCOL_GENERAL, false, false, CMD_ENTER_MASTER_EX, 3, 0},
        {"Pell, any version", BOARD_PELL, 0x100, PROTOCOL_GENERAL, false, false, CMD_ENTER_MASTER_EX, 3, 0},
        {"QOR10-LV, unknown version", BOARD_QOR10_LV, 0, PROTOCOL_GENERAL, false, false, CMD_ENTER_MASTER_EX, 3, 0},
        {"Minimized", BOARD_PELL, 0x104, PROTOCOL_MINIMIZED, false, true, MINI_ENTER_MASTER, 0, 0},
        {"leave, General", BOARD_ZEL12, 0x102, PROTOCOL_GENERAL, true, false, CMD_LEAVE_MASTER, 0, 0},
        {"leave, Minimized", BOARD_ZEL12, 0x102, PROTOCOL_MINIMIZED, true, true, MINI_LEAVE_MASTER, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CConsole console;
        StartOffline(console, c.board, c.protocol);
        CPravikView& view = console.View();
        view.State().m_nFirmwareLevel = c.level;
        view.State().m_bMasterMode = c.master;
        if (c.master) view.SetLayout(LAYOUT_MASTER);
        CRequestLog log(view);
        ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));
        const std::vector<SWritten> requests = log.Take();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].mini, c.mini);
        EXPECT_EQ(requests[0].command, c.command);
        EXPECT_EQ(requests[0].param1, c.param1);
        EXPECT_EQ(requests[0].param2, c.param2);
        EXPECT_EQ(DataOf(requests[0]), "");
        // Pressing the button shows nothing.
        EXPECT_EQ(console.Prompt(), "");
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "before");
        EXPECT_EQ(view.State().m_bMasterMode, c.master);
    }
}

// ------------------------------------------------------ the credential paths

TEST(EnterMaster, AnOpeningRefusalAsksForCredentialsAndEachCancelEndsTheAttemptSilently) {
    const QString kChoice = "Enter Master Mode", kId = "Input Fingerprint ID", kPassword = "Input Master Password";
    const struct {
        const char* name;
        int board;
        UINT msg;
        Answers answers;
        QStringList titles;
        bool masterPasswordOffered;
        std::uint32_t command;  // 0: nothing sent
        std::uint32_t param1, param2;
        std::string data;
    } cases[] = {
        {"new form, master finger", BOARD_PELL, CMD_ENTER_MASTER_EX,
         {Choose(IDC_AUTH_MASTER_FP), TypeAndOk(IDC_FINGERPRINT_ID, "5")}, {kChoice, kId}, true,
         CMD_ENTER_MASTER_EX, 0, 0, FieldOf("5", 10)},
        {"new form, master password", BOARD_QOR10_HV, CMD_ENTER_MASTER_EX,
         {Choose(IDC_AUTH_MASTER_PASSWORD), TypeAndOk(IDC_FINGERPRINT_ID, "123456789"),
          TypeAndOk(IDC_MASTER_PASSWORD, "ABCDEFGHIJKLMNO")},
         {kChoice, kId, kPassword}, true, CMD_ENTER_MASTER_EX, 1, 0,
         FieldOf("123456789", 10) + FieldOf("ABCDEFGHIJKLMNO", 16)},
        {"new form, device password", BOARD_PELL, CMD_ENTER_MASTER_EX,
         {Choose(IDC_AUTH_DEVICE_PASSWORD), TypeAndOk(IDC_MASTER_PASSWORD, "dev")}, {kChoice, kPassword}, true,
         CMD_ENTER_MASTER_EX, 2, 0, FieldOf("dev", 16)},
        {"new form on a ZEL12", BOARD_ZEL12, CMD_ENTER_MASTER_EX,
         {Choose(IDC_AUTH_DEVICE_PASSWORD), TypeAndOk(IDC_MASTER_PASSWORD, "z")}, {kChoice, kPassword}, false,
         CMD_ENTER_MASTER_EX, 2, 0, FieldOf("z", 16)},
        {"old form, master finger", BOARD_ZEL12, CMD_ENTER_MASTER,
         {Choose(IDC_AUTH_MASTER_FP), TypeAndOk(IDC_FINGERPRINT_ID, "1")}, {kChoice, kId}, false, CMD_ENTER_MASTER,
         0, 0, FieldOf("1", 10)},
        {"old form, device password", BOARD_ZEL12, CMD_ENTER_MASTER,
         {Choose(IDC_AUTH_DEVICE_PASSWORD), TypeAndOk(IDC_MASTER_PASSWORD, "old")}, {kChoice, kPassword}, false,
         CMD_ENTER_MASTER, 0, 2, FieldOf("old", 16)},
        {"old form answered on a Pell: no master password offered", BOARD_PELL, CMD_ENTER_MASTER,
         {Choose(IDC_AUTH_MASTER_FP), TypeAndOk(IDC_FINGERPRINT_ID, "2")}, {kChoice, kId}, false, CMD_ENTER_MASTER,
         0, 0, FieldOf("2", 10)},
        {"cancel the choice", BOARD_PELL, CMD_ENTER_MASTER_EX, {Cancel()}, {kChoice}, true, 0, 0, 0, ""},
        {"cancel the choice, old form", BOARD_ZEL12, CMD_ENTER_MASTER, {Cancel()}, {kChoice}, false, 0, 0, 0, ""},
        {"master finger, cancel the ID", BOARD_PELL, CMD_ENTER_MASTER_EX, {Choose(IDC_AUTH_MASTER_FP), Cancel()},
         {kChoice, kId}, true, 0, 0, 0, ""},
        {"master password, cancel the ID", BOARD_PELL, CMD_ENTER_MASTER_EX,
         {Choose(IDC_AUTH_MASTER_PASSWORD), Cancel()}, {kChoice, kId}, true, 0, 0, 0, ""},
        {"master password, cancel the password", BOARD_PELL, CMD_ENTER_MASTER_EX,
         {Choose(IDC_AUTH_MASTER_PASSWORD), TypeAndOk(IDC_FINGERPRINT_ID, "5"), Cancel()}, {kChoice, kId, kPassword},
         true, 0, 0, 0, ""},
        {"device password, cancel", BOARD_PELL, CMD_ENTER_MASTER_EX, {Choose(IDC_AUTH_DEVICE_PASSWORD), Cancel()},
         {kChoice, kPassword}, true, 0, 0, 0, ""},
        {"device password, cancel, old form", BOARD_ZEL12, CMD_ENTER_MASTER,
         {Choose(IDC_AUTH_DEVICE_PASSWORD), Cancel()}, {kChoice, kPassword}, false, 0, 0, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CConsole console;
        StartOffline(console, c.board);
        CRequestLog log(console.View());
        bool offered = !c.masterPasswordOffered;
        console.op.Answer([&](QDialog& d) {
            offered = IsDlgItemEnabled(&d, IDC_AUTH_MASTER_PASSWORD);
            // "Master FP Verification" is selected on opening.
            EXPECT_TRUE(IsDlgButtonChecked(&d, IDC_AUTH_MASTER_FP));
            EXPECT_FALSE(IsDlgButtonChecked(&d, IDC_AUTH_MASTER_PASSWORD));
            EXPECT_FALSE(IsDlgButtonChecked(&d, IDC_AUTH_DEVICE_PASSWORD));
            EXPECT_EQ(GetDlgItemText(&d, IDC_AUTH_DEVICE_PASSWORD), "Device password ");
            return c.answers[0](d);
        });
        for (std::size_t i = 1; i < c.answers.size(); ++i) console.op.Answer(c.answers[i]);
        // The opening request refused (PARAM2 3): not a failure to show.
        Ask(console, FLOW_MASTER, c.msg == CMD_ENTER_MASTER ? req::EnterMaster(AUTH_NONE) : req::EnterMasterEx(AUTH_NONE));
        log.Take();
        Deliver(console, FLOW_MASTER, c.msg, RES_FAIL, AUTH_NONE);
        EXPECT_EQ(console.op.dialogTitles, c.titles);
        EXPECT_EQ(offered, c.masterPasswordOffered);
        EXPECT_EQ(console.Prompt(), "");
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "before");
        EXPECT_FALSE(console.View().State().m_bMasterMode);
        const std::vector<SWritten> requests = log.Take();
        if (!c.command) {
            EXPECT_TRUE(requests.empty());
            continue;
        }
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].command, c.command);
        EXPECT_EQ(requests[0].param1, c.param1);
        EXPECT_EQ(requests[0].param2, c.param2);
        EXPECT_EQ(DataOf(requests[0]), c.data);
    }
}

// ---------------------------------------------------------------- answers

namespace {

struct SRow {
    std::uint32_t code;
    const char* prompt;  // "" none
    int form;
    const char* status;  // "before": unchanged
    int layout;          // the layout after the answer
};

// Delivers each row to a console in the given layout and master flag.
void CheckRows(const char* name, int protocol, bool master, const std::function<void(CConsole&, std::uint32_t)>& send,
               const std::vector<SRow>& rows) {
    for (const SRow& row : rows) {
        SCOPED_TRACE(std::string(name) + " code " + std::to_string(row.code));
        CConsole console;
        StartOffline(console, BOARD_PELL, protocol);
        CPravikView& view = console.View();
        view.State().m_bMasterMode = master;
        if (master) view.SetLayout(LAYOUT_MASTER);
        view.SetStatusText("before");
        send(console, row.code);
        EXPECT_EQ(console.Prompt(), row.prompt);
        if (*row.prompt) {
            EXPECT_EQ(console.PromptForm(), row.form);
        }
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), row.status);
        EXPECT_EQ(view.State().m_nLayout, row.layout);
        EXPECT_EQ(view.State().m_bMasterMode, row.layout == LAYOUT_MASTER);
        EXPECT_EQ(console.Text(IDC_ENTER_MASTER), row.layout == LAYOUT_MASTER ? "LEAVE MASTER" : "ENTER MASTER");
        EXPECT_TRUE(console.op.dialogTitles.isEmpty());
    }
}

constexpr int W = MSGFORM_WARNING;
constexpr int S = MSGFORM_SUCCESS;
constexpr int C = LAYOUT_CONNECTED;
constexpr int M = LAYOUT_MASTER;

}  // namespace

TEST(MasterAnswers, EveryRowOfTheEnterMasterAnswersInBothProtocols) {
    const std::vector<SRow> general = {
        {RES_SUCCESS, "", 0, "Enter master mode is succeeded", M},
        {RES_FAIL, "Entering master mode is failed.", W, "Enter master mode is failed.", C},
        {RES_INVALID_ID, "Invalid ID!!!", W, "Invalid ID!!!", C},
        {RES_TIMEOUT, "Not in time!!!", W, "Not in time!!!", C},
        {RES_INVALID_PARAM, "Invalid parameter!!!", W, "Invalid parameter!!!", C},
        {RES_CANCELED, "Entering master mode is canceled.", W, "Entering master mode is canceled.", C},
        {RES_NO_MASTER_MODE, "", 0, "before", C},
        {RES_MASTER_FULL, "", 0, "before", C},
    };
    for (UINT msg : {CMD_ENTER_MASTER, CMD_ENTER_MASTER_EX}) {
        // The answer to an authenticated request (PARAM2 not 3).
        CheckRows(msg == CMD_ENTER_MASTER ? "1060" : "1073", PROTOCOL_GENERAL, false,
                  [msg](CConsole& console, std::uint32_t code) { Deliver(console, FLOW_MASTER, msg, code, AUTH_DEVICE_PASSWORD); },
                  general);
        // Granted without credentials.
        CheckRows("opening granted", PROTOCOL_GENERAL, false,
                  [msg](CConsole& console, std::uint32_t code) { Deliver(console, FLOW_MASTER, msg, code, AUTH_NONE); },
                  {general[0]});
    }
    CheckRows("1130", PROTOCOL_MINIMIZED, false,
              [](CConsole& console, std::uint32_t code) {
                  DeliverMini(console, FLOW_MASTER, MINI_ENTER_MASTER, static_cast<std::uint8_t>(code));
              },
              {general[0], general[1], general[3], general[5],
               {RES_INVALID_ID, "", 0, "before", C}, {RES_INVALID_PARAM, "", 0, "before", C}});
}

TEST(MasterAnswers, EveryRowOfTheLeaveMasterAnswersInBothProtocols) {
    CheckRows("1061", PROTOCOL_GENERAL, true,
              [](CConsole& console, std::uint32_t code) { Deliver(console, FLOW_MASTER, CMD_LEAVE_MASTER, code); },
              {
                  {RES_SUCCESS, "", 0, "Leave master mode", C},
                  // The module is not in master mode: the form says so and
                  // shows the connected layout.
                  {RES_NO_MASTER_MODE, "No master mode!!!", W, "No master mode!!!", C},
                  {RES_FAIL, "", 0, "before", M},
              });
    CheckRows("1131", PROTOCOL_MINIMIZED, true,
              [](CConsole& console, std::uint32_t code) {
                  DeliverMini(console, FLOW_MASTER, MINI_LEAVE_MASTER, static_cast<std::uint8_t>(code));
              },
              {
                  {RES_SUCCESS, "", 0, "Leave master mode", C},
                  {RES_FAIL, "No master mode!!!", W, "No master mode!!!", C},
                  {RES_NO_MASTER_MODE, "No master mode!!!", W, "No master mode!!!", C},
              });
}

TEST(MasterAnswers, EveryRowOfTheDevicePasswordAnswersLeavesTheStatusLine) {
    const struct { UINT msg; const char* success; const char* failure; } answers[] = {
        {CMD_SET_MASTER_PASSWORD, "To set master password is succeeded.", "To set master password is failed."},
        {CMD_DELETE_MASTER_PASSWORD, "To delete master password succeeded.", "To delete master password is failed."},
    };
    for (const auto& a : answers) {
        CheckRows(a.success, PROTOCOL_GENERAL, true,
                  [msg = a.msg](CConsole& console, std::uint32_t code) { Deliver(console, FLOW_MASTER, msg, code); },
                  {
                      {RES_SUCCESS, a.success, S, "before", M},
                      {RES_FAIL, a.failure, W, "before", M},
                      {RES_NO_MASTER_MODE, "No master mode!!!", W, "before", M},
                      {RES_INVALID_PARAM, "", 0, "before", M},
                  });
    }
}

// ------------------------------------------------- against the simulated module

TEST(MasterLive, ADevicePasswordIsSetMasterModeEnteredWithItAndThePasswordDeleted) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL));
    CPravikView& view = console.View();
    auto password = [&] {
        std::string text;
        console.App().Simulator()->RunLocked([&](CSimModule& module) { text = module.DevicePassword(); });
        return text;
    };
    auto waitPrompt = [&] { return console.WaitFor([&] { return view.m_MsgDlg.IsOpen(); }, kLiveWaitMs); };

    // A fresh module grants master mode to the opening request.
    ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));
    ASSERT_TRUE(console.WaitFor([&] { return view.State().m_bMasterMode; }, kLiveWaitMs));
    EXPECT_TRUE(MasterLayout(console));
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Enter master mode is succeeded");
    EXPECT_TRUE(console.ItemOn(ID_TOOLS_BOARD_PASSWORD));

    console.op.Answer(TypeAndOk(IDC_DEVICE_PASSWORD, "Open-Sesame-123"));
    ASSERT_TRUE(console.Choose(ID_TOOLS_BOARD_PASSWORD));
    ASSERT_TRUE(waitPrompt());
    EXPECT_EQ(console.Prompt(), "To set master password is succeeded.");
    EXPECT_EQ(password(), "Open-Sesame-123");
    console.ClosePrompt();

    ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));  // LEAVE MASTER
    ASSERT_TRUE(console.WaitFor([&] { return !view.State().m_bMasterMode; }, kLiveWaitMs));
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Leave master mode");
    EXPECT_EQ(console.Text(IDC_ENTER_MASTER), "ENTER MASTER");
    EXPECT_FALSE(console.ItemOn(ID_TOOLS_BOARD_PASSWORD));

    // Protected now: a wrong password is refused, the right one opens it.
    console.op.Answer(Choose(IDC_AUTH_DEVICE_PASSWORD));
    console.op.Answer(TypeAndOk(IDC_MASTER_PASSWORD, "open-sesame-123"));
    ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));
    ASSERT_TRUE(waitPrompt());
    EXPECT_EQ(console.Prompt(), "Entering master mode is failed.");
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Enter master mode is failed.");
    EXPECT_FALSE(view.State().m_bMasterMode);
    console.ClosePrompt();
    console.op.Answer(Choose(IDC_AUTH_DEVICE_PASSWORD));
    console.op.Answer(TypeAndOk(IDC_MASTER_PASSWORD, "Open-Sesame-123"));
    ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));
    ASSERT_TRUE(console.WaitFor([&] { return view.State().m_bMasterMode; }, kLiveWaitMs));
    EXPECT_TRUE(MasterLayout(console));
    EXPECT_EQ(console.op.dialogTitles,
              (QStringList{"Device Password", "Enter Master Mode", "Input Master Password", "Enter Master Mode",
                           "Input Master Password"}));

    console.op.Answer([](QDialog& d) {
        ClickDlgItem(&d, IDC_DELETE_PASSWORD);
        return IDCANCEL;
    });
    console.op.boxAnswers = {IDYES};
    ASSERT_TRUE(console.Choose(ID_TOOLS_BOARD_PASSWORD));
    ASSERT_TRUE(waitPrompt());
    EXPECT_EQ(console.Prompt(), "To delete master password succeeded.");
    EXPECT_EQ(password(), "");
}

TEST(MasterLive, MinimizedEntryAndLeaveWithoutCredentials) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL, PROTOCOL_MINIMIZED));
    CPravikView& view = console.View();
    ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));
    ASSERT_TRUE(console.WaitFor([&] { return view.State().m_bMasterMode; }, kLiveWaitMs));
    EXPECT_TRUE(MasterLayout(console));
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Enter master mode is succeeded");
    ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));
    ASSERT_TRUE(console.WaitFor([&] { return !view.State().m_bMasterMode; }, kLiveWaitMs));
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Leave master mode");
    EXPECT_EQ(console.Text(IDC_ENTER_MASTER), "ENTER MASTER");
    bool inMaster = true;
    console.App().Simulator()->RunLocked([&](CSimModule& module) { inMaster = module.IsMasterMode(); });
    EXPECT_FALSE(inMaster);
    EXPECT_TRUE(console.op.dialogTitles.isEmpty());
}

// A module power-cycled behind the console's back has left master mode: the
// first LEAVE MASTER answers "No master mode!!!" and the form shows the
// connected layout, from which master mode can be entered again.
TEST(MasterLive, ALeaveRefusedByAModuleNotInMasterModeShowsTheConnectedLayout) {
    for (int protocol : {PROTOCOL_GENERAL, PROTOCOL_MINIMIZED}) {
        SCOPED_TRACE(protocol);
        CConsole console;
        ASSERT_TRUE(StartConnected(console, BOARD_PELL, protocol));
        CPravikView& view = console.View();
        ASSERT_TRUE(EnterMasterMode(console));
        console.App().Simulator()->RunLocked([](CSimModule& module) { module.PowerCycle(); });
        ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));  // LEAVE MASTER
        ASSERT_TRUE(console.WaitFor([&] { return view.m_MsgDlg.IsOpen(); }, kLiveWaitMs));
        EXPECT_EQ(console.Prompt(), "No master mode!!!");
        EXPECT_FALSE(view.State().m_bMasterMode);
        EXPECT_FALSE(MasterLayout(console));
        EXPECT_EQ(view.State().m_nLayout, LAYOUT_CONNECTED);
        EXPECT_EQ(console.Text(IDC_ENTER_MASTER), "ENTER MASTER");
        console.ClosePrompt();
        // ENTER MASTER now enters it again.
        ASSERT_TRUE(EnterMasterMode(console));
        EXPECT_TRUE(MasterLayout(console));
    }
}
