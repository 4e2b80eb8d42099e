// Verification and identification: the input dialogs, the credential paths of
// VERIFY, every row of answers 1044, 1045 and 1126, the battery-test hook,
// and the console against its simulated module.
#include <QLineEdit>
#include <QRadioButton>

#include "console/InputIdDlg.h"
#include "console/RegisterUser.h"
#include "console/VerifyDlgs.h"
#include "console/VerifyFlow.h"
#include "sim/SimPty.h"
#include "console/ServiceFlow.h"
#include "tests/ui/VerifyTestUtil.h"

using namespace console_test;
using namespace verify_test;

namespace {

void OpenWaitPrompt(CPravikView& view) { view.m_WaitDlg.Popup(IDD_WAITDLG, &view); }

// The operator picks the password verification (true) or keeps the fingerprint one.
CScriptedUiOperator::DialogAnswer ChooseType(bool password) {
    return [password](QDialog& d) {
        if (password) ClickDlgItem(&d, IDC_VERIFY_PASSWORD);
        return IDOK;
    };
}

// The operator picks a type without a click: with a screen reader's toggle
// action, or by anything that checks the button.
CScriptedUiOperator::DialogAnswer ToggleType(int radio) {
    return [radio](QDialog& d) {
        EXPECT_TRUE(ToggleByScreenReader(GetDlgItem(&d, radio)));
        return IDOK;
    };
}
CScriptedUiOperator::DialogAnswer CheckType(int radio) {
    return [radio](QDialog& d) {
        EXPECT_TRUE(CheckDlgButton(&d, radio, true));
        return IDOK;
    };
}

CScriptedUiOperator::DialogAnswer IdAndPassword(const QString& id, const QString& password) {
    return [id, password](QDialog& d) {
        Type(d, IDC_ID_PASSWORD_ID, id);
        Type(d, IDC_ID_PASSWORD_PASSWORD, password);
        return IDOK;
    };
}

}  // namespace

// ---------------------------------------------------------------- dialogs

TEST(VerifyDialogs, OkIsEnabledOnlyWithEveryRequiredFieldAndTextsAreLimited) {
    EnsureApp();
    {
        CInputIdDlg dlg;
        CScriptedUiOperator op;
        op.Answer([](QDialog& d) {
            EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));
            Type(d, IDC_FINGERPRINT_ID, "1");
            EXPECT_TRUE(IsDlgItemEnabled(&d, IDOK));
            SetDlgItemText(&d, IDC_FINGERPRINT_ID, "");
            EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));
            return IDOK;  // refused: the dialog stays open for the next answer
        });
        op.Answer(TypeAndOk(IDC_FINGERPRINT_ID, "ABCDEFGHIJK"));
        EXPECT_EQ(op.DoModal(dlg), IDOK);
        EXPECT_EQ(op.dialogResults.size(), 1u);
        EXPECT_EQ(dlg.m_strId, "ABCDEFGHI");
    }
    CInputIdPassword dlg;
    ASSERT_TRUE(dlg.IsBuilt());
    EXPECT_EQ(dlg.windowTitle(), "Input Fingerprint ID & Password");
    CScriptedUiOperator op;
    op.Answer([](QDialog& d) {
        EXPECT_EQ(DlgItem<QLineEdit>(&d, IDC_ID_PASSWORD_PASSWORD)->echoMode(), QLineEdit::Password);
        EXPECT_EQ(GetDlgItemText(&d, IDC_ID_PASSWORD_ID), "");
        EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));
        Type(d, IDC_ID_PASSWORD_ID, "7");
        EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));  // the password is missing
        Type(d, IDC_ID_PASSWORD_PASSWORD, "p");
        EXPECT_TRUE(IsDlgItemEnabled(&d, IDOK));
        SetDlgItemText(&d, IDC_ID_PASSWORD_ID, "");
        EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));  // the ID is missing
        SetDlgItemText(&d, IDC_ID_PASSWORD_PASSWORD, "");
        return IDOK;
    });
    op.Answer(IdAndPassword("1234567890", "ABCDEFGHIJKLMNOPQ"));
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_EQ(dlg.m_strId, "123456789");
    EXPECT_EQ(dlg.m_strPassword, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(op.dialogResults.size(), 1u);
}

// ------------------------------------------------------------------ VERIFY

TEST(Verify, EachBoardAsksForWhatItsVerificationNeedsAndEachCancelSendsNothing) {
    using Answers = std::vector<CScriptedUiOperator::DialogAnswer>;
    const QString kId = "Input Fingerprint ID", kType = "Select type of verification",
                  kIdPw = "Input Fingerprint ID & Password";
    const struct {
        const char* name;
        int board;
        Answers answers;
        QStringList titles;
        bool sent;
        std::uint32_t type;
        std::string data;
    } cases[] = {
        {"ZEL12 by ID", BOARD_ZEL12, {TypeAndOk(IDC_FINGERPRINT_ID, "12")}, {kId}, true, 0, FieldOf("12", 10)},
        {"ZEL12 cancel", BOARD_ZEL12, {TypeAndOk(IDC_FINGERPRINT_ID, "")}, {kId}, false, 0, ""},
        {"Pell by finger", BOARD_PELL, {ChooseType(false), TypeAndOk(IDC_FINGERPRINT_ID, "3")}, {kType, kId}, true,
         0, FieldOf("3", 10)},
        {"Pell by password", BOARD_PELL, {ChooseType(true), IdAndPassword("4", "secret")}, {kType, kIdPw}, true, 1,
         FieldOf("4", 10) + FieldOf("secret", 16)},
        {"QOR10-LV 15-character password", BOARD_QOR10_LV,
         {ChooseType(true), IdAndPassword("123456789", "ABCDEFGHIJKLMNO")}, {kType, kIdPw}, true, 1,
         FieldOf("123456789", 10) + FieldOf("ABCDEFGHIJKLMNO", 16)},
        // What is shown checked at OK is what runs, however it was chosen.
        {"Pell by password, chosen by a screen reader", BOARD_PELL,
         {ToggleType(IDC_VERIFY_PASSWORD), IdAndPassword("5", "pw")}, {kType, kIdPw}, true, 1,
         FieldOf("5", 10) + FieldOf("pw", 16)},
        {"Pell by password, checked without a click", BOARD_PELL,
         {CheckType(IDC_VERIFY_PASSWORD), IdAndPassword("6", "pw")}, {kType, kIdPw}, true, 1,
         FieldOf("6", 10) + FieldOf("pw", 16)},
        {"Pell back to the finger by a screen reader", BOARD_PELL,
         {[](QDialog& d) {
              ClickDlgItem(&d, IDC_VERIFY_PASSWORD);
              EXPECT_TRUE(ToggleByScreenReader(GetDlgItem(&d, IDC_VERIFY_FINGERPRINT)));
              return IDOK;
          },
          TypeAndOk(IDC_FINGERPRINT_ID, "3")},
         {kType, kId}, true, 0, FieldOf("3", 10)},
        {"Pell type cancel", BOARD_PELL, {[](QDialog&) { return IDCANCEL; }}, {kType}, false, 0, ""},
        {"Pell ID cancel", BOARD_PELL, {ChooseType(false), TypeAndOk(IDC_FINGERPRINT_ID, "")}, {kType, kId}, false,
         0, ""},
        {"QOR10-HV ID and password cancel", BOARD_QOR10_HV,
         {ChooseType(true), [](QDialog&) { return IDCANCEL; }}, {kType, kIdPw}, false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CConsole console;
        StartOffline(console, c.board);
        CRequestLog log(console.View());
        for (const auto& answer : c.answers) console.op.Answer(answer);
        ASSERT_TRUE(console.Click(IDC_VERIFY));
        EXPECT_EQ(console.op.dialogTitles, c.titles);
        const std::vector<SWritten> requests = log.Take();
        if (!c.sent) {
            EXPECT_TRUE(requests.empty());
            EXPECT_EQ(console.Text(IDC_STATUS_LINE), "before");
            continue;
        }
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].command, static_cast<std::uint32_t>(CMD_VERIFY));
        EXPECT_EQ(requests[0].param1, c.type);
        EXPECT_EQ(DataOf(requests[0]), c.data);
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");
        EXPECT_EQ(console.Prompt(), "");
    }
}

// ---------------------------------------------------------------- answers

namespace {

struct SShown {
    std::int32_t code;
    const char* prompt;  // "" none
    int form;
    const char* status;  // "before": unchanged
};

void ExpectShown(CConsole& console, const SShown& c) {
    EXPECT_EQ(console.Prompt(), c.prompt);
    if (*c.prompt) {
        EXPECT_EQ(console.PromptForm(), c.form);
    }
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), c.status);
    // Verification and identification never count.
    EXPECT_EQ(console.Text(IDC_SUCCESS_COUNT), "3");
    EXPECT_EQ(console.Text(IDC_FAIL_COUNT), "4");
}

void SetCounters(CConsole& console) {
    SetDlgItemText(&console.View(), IDC_SUCCESS_COUNT, "3");
    SetDlgItemText(&console.View(), IDC_FAIL_COUNT, "4");
}

}  // namespace

TEST(VerifyAnswers, EveryRowOfTheVerificationAndIdentificationAnswersClosesTheWaitingPrompt) {
    const SShown verify[] = {
        {RES_SUCCESS, "Verification is succeeded.", MSGFORM_SUCCESS, "Verification is succeeded."},
        {RES_FAIL, "Verification is failed.", MSGFORM_WARNING, "Verification is failed."},
        {RES_INVALID_ID, "Invalid ID!!!", MSGFORM_WARNING, "Invalid ID!!!"},
        {RES_TIMEOUT, "Time out!!!", MSGFORM_WARNING, "Time out!!!"},
        {RES_CANCELED, "Verification canceled.", MSGFORM_WARNING, "Verification canceled."},
        {RES_NO_MASTER_MODE, "", 0, "before"},
        {RES_INVALID_PARAM, "", 0, "before"},
    };
    const SShown identify[] = {
        {RES_SUCCESS, "Identification is succeeded. (ID: 42)", MSGFORM_SUCCESS, "Identification is succeeded."},
        {RES_FAIL, "Identification is failed.", MSGFORM_WARNING, "Identification failed."},
        {RES_TIMEOUT, "Time out!!!", MSGFORM_WARNING, "Time out!!!"},
        {RES_CANCELED, "Identification canceled.", MSGFORM_WARNING, "Identification canceled."},
        {RES_INVALID_ID, "", 0, "before"},
    };
    const struct { std::uint32_t command; const SShown* rows; std::size_t count; } tables[] = {
        {CMD_VERIFY, verify, std::size(verify)},
        {CMD_IDENTIFY, identify, std::size(identify)},
    };
    CConsole console;
    StartOffline(console, BOARD_PELL);
    SetCounters(console);
    CPravikView& view = console.View();
    for (const auto& table : tables) {
        for (std::size_t i = 0; i < table.count; ++i) {
            const SShown& c = table.rows[i];
            SCOPED_TRACE(std::to_string(table.command) + " code " + std::to_string(c.code));
            OpenWaitPrompt(view);
            ASSERT_TRUE(view.m_WaitDlg.IsOpen());
            Deliver(console, FLOW_VERIFY, table.command, static_cast<std::uint32_t>(c.code), 0, FieldOf("42", 10));
            EXPECT_FALSE(view.m_WaitDlg.IsOpen());
            ExpectShown(console, c);
            console.ClosePrompt();
            view.SetStatusText("before");
        }
    }
}

TEST(VerifyAnswers, EveryRowOfTheMinimizedIdentificationAnswerWithoutAnId) {
    const SShown rows[] = {
        {1, "Identification is succeeded.", MSGFORM_SUCCESS, "Identification is succeeded."},
        {2, "Identification is failed.", MSGFORM_WARNING, "Identification failed."},
        {7, "Time out!!!", MSGFORM_WARNING, "Time out!!!"},
        {13, "Identification canceled.", MSGFORM_WARNING, "Identification canceled."},
        {5, "", 0, "before"},
        {0, "", 0, "before"},
    };
    CConsole console;
    StartOffline(console, BOARD_PELL, PROTOCOL_MINIMIZED);
    SetCounters(console);
    for (const auto& c : rows) {
        SCOPED_TRACE(c.code);
        DeliverMini(console, FLOW_VERIFY, MINI_IDENTIFY, static_cast<std::uint8_t>(c.code));
        ExpectShown(console, c);
        console.ClosePrompt();
        console.View().SetStatusText("before");
    }
}

TEST(VerifyAnswers, TheIdentifiedIdIsAtMostNineCharactersOfTheDataTheAnswerCarried) {
    const struct { std::string data; const char* shown; } cases[] = {
        {FieldOf("7", 10), "Identification is succeeded. (ID: 7)"},
        {"ABCDEFGHIJKL", "Identification is succeeded. (ID: ABCDEFGHI)"},
        {FieldOf("123456789", 10), "Identification is succeeded. (ID: 123456789)"},
        // No data: whatever lies behind it is not an ID.
        {"", "Identification is succeeded. (ID: )"},
        {"AB", "Identification is succeeded. (ID: AB)"},
    };
    CConsole console;
    StartOffline(console, BOARD_ZEL12);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        Deliver(console, FLOW_VERIFY, CMD_IDENTIFY, RES_SUCCESS, 0, c.data);
        EXPECT_EQ(console.Prompt(), c.shown);
        console.ClosePrompt();
    }
}

// ---------------------------------------------------- IDENTIFY and the battery test

TEST(Identify, SendsTheRequestOfTheProtocol) {
    for (int protocol : {PROTOCOL_GENERAL, PROTOCOL_MINIMIZED}) {
        SCOPED_TRACE(protocol);
        CConsole console;
        StartOffline(console, BOARD_PELL, protocol);
        CRequestLog log(console.View());
        ASSERT_TRUE(console.Click(IDC_IDENTIFY));
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");
        const std::vector<SWritten> requests = log.Take();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].mini, protocol == PROTOCOL_MINIMIZED);
        EXPECT_EQ(requests[0].command, protocol == PROTOCOL_MINIMIZED ? std::uint32_t{MINI_IDENTIFY}
                                                                      : std::uint32_t{CMD_IDENTIFY});
        EXPECT_EQ(DataOf(requests[0]), "");
    }
}

// The battery test sends its own identifications: their answers go to the
// service flow and are never shown by the verification flow. IDENTIFY on the
// main form (once the test's window is closed) takes the place of the test's
// identification: the test ends and that answer is shown as usual.
TEST(Identify, TheBatteryTestsAnswersAreItsOwnAndIdentifyEndsTheTest) {
    CConsole console;
    StartOffline(console, BOARD_ZEL12);
    CPravikView& view = console.View();
    auto& service = static_cast<CServiceFlow&>(*view.Flow(FLOW_SERVICE));
    CRequestLog log(view);
    ASSERT_TRUE(console.Choose(ID_TOOLS_BATTERY_TEST));
    ASSERT_TRUE(service.IsBatteryTestRunning());
    ASSERT_EQ(log.Take().size(), 1u);
    OpenWaitPrompt(view);
    console.Arrive(GeneralAnswer(CMD_IDENTIFY, RES_SUCCESS, 0, {'4', '2', 0}));
    EXPECT_FALSE(view.m_WaitDlg.IsOpen());
    EXPECT_EQ(console.Prompt(), "") << "the identification is not shown";
    std::vector<SWritten> requests = log.Take();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].command, static_cast<std::uint32_t>(CMD_CHECK_VOLTAGE));
    console.Arrive(GeneralAnswer(CMD_CHECK_VOLTAGE, RES_SUCCESS, 0));
    ASSERT_EQ(log.Take().size(), 1u) << "the next identification";
    // The operator closes the test's window, then presses IDENTIFY.
    service.BatteryDlg().Close();
    ASSERT_TRUE(console.Click(IDC_IDENTIFY));
    console.loop.RunPending();
    EXPECT_FALSE(service.IsBatteryTestRunning());
    console.Arrive(GeneralAnswer(CMD_IDENTIFY, RES_TIMEOUT));
    EXPECT_EQ(console.Prompt(), "Time out!!!");
    EXPECT_TRUE(log.Take().size() == 1) << "only IDENTIFY went out: the test sent nothing more";
}

// ------------------------------------------------- against the simulated module

TEST(VerifyLive, AFingerIsVerifiedByIdAndByIdAndPasswordAndIdentifiedWithItsId) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL));
    console.App().Simulator()->RunLocked([](CSimModule& module) {
        ASSERT_TRUE(module.AddRecord({"7", 1, false, "secret"}));
        ASSERT_TRUE(module.AddRecord({"8", 2, false, ""}));
        module.SetFinger(1);
    });
    const struct {
        const char* name;
        int command;
        std::vector<CScriptedUiOperator::DialogAnswer> answers;
        const char* prompt;
    } steps[] = {
        {"by ID", IDC_VERIFY, {ChooseType(false), TypeAndOk(IDC_FINGERPRINT_ID, "7")}, "Verification is succeeded."},
        {"by another ID", IDC_VERIFY, {ChooseType(false), TypeAndOk(IDC_FINGERPRINT_ID, "8")},
         "Verification is failed."},
        {"unknown ID", IDC_VERIFY, {ChooseType(false), TypeAndOk(IDC_FINGERPRINT_ID, "99")}, "Invalid ID!!!"},
        {"by ID and password", IDC_VERIFY, {ChooseType(true), IdAndPassword("7", "secret")},
         "Verification is succeeded."},
        {"wrong password", IDC_VERIFY, {ChooseType(true), IdAndPassword("7", "secreT")}, "Verification is failed."},
        {"identify", IDC_IDENTIFY, {}, "Identification is succeeded. (ID: 7)"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        for (const auto& answer : step.answers) console.op.Answer(answer);
        ASSERT_TRUE(console.Click(step.command));
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");
        EXPECT_TRUE(console.WaitFor([&] { return console.View().m_MsgDlg.IsOpen(); }, kLiveWaitMs));
        EXPECT_EQ(console.Prompt(), step.prompt);
        console.ClosePrompt();
    }
    console.App().Simulator()->RunLocked([](CSimModule& module) { module.SetFinger(3); });
    ASSERT_TRUE(console.Click(IDC_IDENTIFY));
    EXPECT_TRUE(console.WaitFor([&] { return console.View().m_MsgDlg.IsOpen(); }, kLiveWaitMs));
    EXPECT_EQ(console.Prompt(), "Identification is failed.");
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Identification failed.");
}

TEST(VerifyLive, TheMinimizedIdentificationOfAnEnrolledFinger) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL, PROTOCOL_MINIMIZED));
    console.App().Simulator()->RunLocked([](CSimModule& module) {
        ASSERT_TRUE(module.AddRecord({"12", 4, false, ""}));
        module.SetFinger(4);
    });
    EXPECT_FALSE(console.Enabled(IDC_VERIFY));  // the General protocol only
    ASSERT_TRUE(console.Click(IDC_IDENTIFY));
    ASSERT_TRUE(console.WaitFor([&] { return console.View().m_MsgDlg.IsOpen(); }, kLiveWaitMs));
    EXPECT_EQ(console.Prompt(), "Identification is succeeded.");
    EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Identification is succeeded.");
}

TEST(VerifyLive, AFingerEnrolledInMasterModeIsIdentifiedWithItsIdAndVerifiedWithItsPassword) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL));
    CPravikView& view = console.View();
    auto outcome = [&] {
        EXPECT_TRUE(console.WaitFor([&] { return view.m_MsgDlg.IsOpen(); }, kLiveWaitMs));
        const QString text = console.Prompt();
        console.ClosePrompt();
        return text;
    };
    ASSERT_TRUE(console.Click(IDC_ENTER_MASTER));  // a fresh module: granted at once
    ASSERT_TRUE(console.WaitFor([&] { return view.State().m_bMasterMode; }, kLiveWaitMs));
    console.op.Answer([](QDialog& d) {
        SetDlgItemText(&d, IDC_REGISTER_ID, "21");
        SetDlgItemText(&d, IDC_REGISTER_PASSWORD, "pw");
        return IDOK;
    });
    console.op.AnswerOk();  // lift prompt
    ASSERT_TRUE(console.Click(IDC_ENROLL));
    EXPECT_EQ(outcome(), "Enrollment succeeded.");

    ASSERT_TRUE(console.Click(IDC_IDENTIFY));
    EXPECT_EQ(outcome(), "Identification is succeeded. (ID: 21)");
    console.op.Answer(ChooseType(true));
    console.op.Answer(IdAndPassword("21", "pw"));
    ASSERT_TRUE(console.Click(IDC_VERIFY));
    EXPECT_EQ(outcome(), "Verification is succeeded.");
}
