// Enrolment and deletion: the Register Fingerprint dialog, the requests of
// the three enrolment forms and of DELETE, every row of every answer table,
// the count label, the refresh-after-delete hand-on, and enrolment and
// deletion against the simulated module over a pseudo-terminal.
#include <QLineEdit>

#include "console/ConsoleMessages.h"
#include "console/EnrollFlow.h"
#include "console/InputIdDlg.h"
#include "console/RegisterUser.h"
#include "protocol/Notifications.h"
#include "sim/SimPty.h"
#include "tests/ui/ForwardRecorder.h"
#include "tests/ui/ConsoleFixture.h"
#include "tests/ui/FlowRequests.h"

using namespace console_test;
using namespace flow_test;

namespace {

constexpr int NOTHING = -1;  // no prompt expected
const char kBefore[] = "before";
const char kCountBefore[] = "Fingerprint Count: 0";

// A console on the virtual clock, not connected, in the master-mode layout,
// with its requests logged.
struct CEnrollConsole {
    CConsole console;
    std::unique_ptr<CRequestLog> log;
    CEnrollConsole(int board = BOARD_ZEL12, int protocol = PROTOCOL_GENERAL) {
        console.WriteSettings("[Option]\nType=" + std::to_string(board) + "\nProtocol=" + std::to_string(protocol) +
                              "\n");
        EXPECT_TRUE(console.Start());
        View().SetLayout(LAYOUT_MASTER);
        log = std::make_unique<CRequestLog>(View());
    }
    CPravikView& View() { return console.View(); }
    CScriptedUiOperator& Op() { return console.op; }
    CEnrollFlow& Flow() { return static_cast<CEnrollFlow&>(*View().Flow(FLOW_ENROLL)); }
    void Reset() {
        console.ClosePrompt();
        View().SetStatusText(kBefore);
        View().SetLabel(IDC_COUNT_LABEL, kCountBefore);
        log->Take();
    }
};

// Fills the Register Fingerprint dialog and presses OK.
CScriptedUiOperator::DialogAnswer Register(const QString& id, const QString& password = {}, bool master = false) {
    return [=](QDialog& d) {
        SetDlgItemText(&d, IDC_REGISTER_ID, id);
        SetDlgItemText(&d, IDC_REGISTER_PASSWORD, password);
        if (master) ClickDlgItem(&d, IDC_REGISTER_MASTER);
        return IDOK;
    };
}

void Type(QDialog& d, int id, const QString& keys) {
    auto* edit = DlgItem<QLineEdit>(&d, id);
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    for (QChar c : keys) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
}

// One answer in, what the operator sees out.
struct SAnswerCase {
    std::int32_t code;
    std::uint32_t param2;
    const char* prompt;  // nullptr: no prompt
    int form;
    const char* status;  // the status line afterwards
    const char* label;   // the count label afterwards
};

void CheckAnswers(CEnrollConsole& c, UINT msg, std::uint8_t miniCommand, const std::vector<SAnswerCase>& cases) {
    for (const auto& row : cases) {
        SCOPED_TRACE(std::to_string(msg) + " code " + std::to_string(row.code));
        c.Reset();
        if (miniCommand) {
            DeliverMini(c.console.loop, c.View(), msg, miniCommand, row.code);
        } else {
            Deliver(c.console.loop, c.View(), msg, row.code, row.param2);
        }
        EXPECT_EQ(c.console.Prompt(), row.prompt ? row.prompt : "");
        if (row.prompt) {
            EXPECT_EQ(c.console.PromptForm(), row.form);
        }
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), row.status);
        EXPECT_EQ(c.console.Text(IDC_COUNT_LABEL), row.label);
        EXPECT_TRUE(c.Op().dialogTitles.isEmpty()) << "no prompt is run for a final answer";
    }
}

}  // namespace

// ------------------------------------------------------------ the dialog

TEST(EnrollDialog, OpensEmptyWithUserAndOkDisabledEveryTimeAndOkFollowsTheId) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        SCOPED_TRACE(board);
        CEnrollConsole c(board);
        for (int run = 0; run < 2; ++run) {
            c.Op().Answer([&](QDialog& d) {
                EXPECT_EQ(d.windowTitle(), "Register Fingerprint...");
                EXPECT_EQ(GetDlgItemText(&d, IDC_REGISTER_ID), "");
                EXPECT_EQ(GetDlgItemText(&d, IDC_REGISTER_PASSWORD), "");
                EXPECT_TRUE(IsDlgButtonChecked(&d, IDC_REGISTER_USER));
                EXPECT_FALSE(IsDlgButtonChecked(&d, IDC_REGISTER_MASTER));
                EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));
                // The password has no place in the "ZEL12" enrolment request.
                EXPECT_EQ(IsDlgItemEnabled(&d, IDC_REGISTER_PASSWORD), board != BOARD_ZEL12);
                EXPECT_EQ(IsDlgItemEnabled(&d, IDC_REGISTER_PASSWORD_LABEL), board != BOARD_ZEL12);
                EXPECT_EQ(GetDlgItemText(&d, IDC_REGISTER_PASSWORD_LABEL), "Password:");
                Type(d, IDC_REGISTER_ID, "4");
                EXPECT_TRUE(IsDlgItemEnabled(&d, IDOK));
                SetDlgItemText(&d, IDC_REGISTER_ID, "");
                EXPECT_FALSE(IsDlgItemEnabled(&d, IDOK));
                SetDlgItemText(&d, IDC_REGISTER_ID, QString::number(run + 1));
                // Master chosen here: the next run opens with User again.
                ClickDlgItem(&d, IDC_REGISTER_MASTER);
                return IDOK;
            });
            ASSERT_TRUE(c.console.Click(IDC_ENROLL));
        }
        EXPECT_EQ(c.Op().dialogResults, (std::vector<int>{IDOK, IDOK}));
        const auto sent = c.log->Take();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(FieldText(sent[1].data, 0, 10), "2");
        EXPECT_EQ(sent[1].param1, 1u);
    }
}

TEST(EnrollDialog, KeepsNineCharactersOfIdAndFifteenOfPasswordShownInClear) {
    EnsureApp();
    CRegisterUser dlg;
    dlg.m_nBoardType = BOARD_PELL;
    CScriptedUiOperator op;
    op.Answer([](QDialog& d) {
        Type(d, IDC_REGISTER_ID, "12345678901");
        Type(d, IDC_REGISTER_PASSWORD, "abcdefghijklmnopq");
        EXPECT_EQ(DlgItem<QLineEdit>(&d, IDC_REGISTER_PASSWORD)->echoMode(), QLineEdit::Normal);
        ClickDlgItem(&d, IDC_REGISTER_MASTER);
        return IDOK;
    });
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_EQ(dlg.m_strId, "123456789");
    EXPECT_EQ(dlg.m_strPassword, "abcdefghijklmno");
    EXPECT_EQ(dlg.m_nUserType, ENROLL_TYPE_MASTER);
}

TEST(EnrollDialog, OkWithoutAnIdDoesNotCloseAndUserAfterMasterIsUser) {
    EnsureApp();
    CRegisterUser dlg;
    CScriptedUiOperator op;
    op.Answer([](QDialog&) { return IDOK; });  // refused: no ID yet
    op.Answer([](QDialog& d) {
        SetDlgItemText(&d, IDC_REGISTER_ID, "9");
        ClickDlgItem(&d, IDC_REGISTER_MASTER);
        ClickDlgItem(&d, IDC_REGISTER_USER);
        return IDOK;
    });
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_TRUE(op.dialogAnswers.empty());
    EXPECT_EQ(dlg.m_strId, "9");
    EXPECT_EQ(dlg.m_nUserType, ENROLL_TYPE_USER);
}

// ------------------------------------------------------------ the requests

TEST(EnrollRequests, Zel12SendsEnrollThenEnroll2WithoutAPromptAndShowsTheCount) {
    CEnrollConsole c(BOARD_ZEL12);
    c.Reset();
    c.Op().Answer(Register("7", "secret"));
    ASSERT_TRUE(c.console.Click(IDC_ENROLL));
    auto sent = c.log->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, CMD_ENROLL);
    EXPECT_EQ(sent[0].param1, 0u);
    ASSERT_EQ(sent[0].data.size(), 10u) << "the ID field only: no password on a ZEL12";
    EXPECT_EQ(FieldText(sent[0].data, 0, 10), "7");
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");

    Deliver(c.console.loop, c.View(), WM_RX_ENROLL, RES_SUCCESS);
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Lift your fingertip");
    EXPECT_EQ(c.Op().dialogTitles.size(), 1) << "no lift prompt on a ZEL12";
    sent = c.log->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, CMD_ENROLL2);
    EXPECT_EQ(sent[0].param1, 0u);

    Deliver(c.console.loop, c.View(), WM_RX_ENROLL2, RES_SUCCESS, 5);
    EXPECT_EQ(c.console.Prompt(), "Enrollment succeeded.");
    EXPECT_EQ(c.console.PromptForm(), MSGFORM_SUCCESS);
    EXPECT_EQ(c.console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 5");
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Lift your fingertip");
    EXPECT_TRUE(c.log->Take().empty());
}

TEST(EnrollRequests, Zel12MasterEnrolmentCarriesTypeOneInBothRequests) {
    CEnrollConsole c(BOARD_ZEL12);
    c.Op().Answer(Register("88", {}, true));
    ASSERT_TRUE(c.console.Click(IDC_ENROLL));
    Deliver(c.console.loop, c.View(), WM_RX_ENROLL, RES_SUCCESS);
    const auto sent = c.log->Take();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].param1, 1u);
    EXPECT_EQ(sent[1].command, CMD_ENROLL2);
    EXPECT_EQ(sent[1].param1, 1u);
}

TEST(EnrollRequests, OtherBoardsSendEnrollExTwiceWithTheLiftPromptBetween) {
    for (int board : {BOARD_PELL, BOARD_QOR10_HV, BOARD_QOR10_LV}) {
        SCOPED_TRACE(board);
        CEnrollConsole c(board);
        c.Op().Answer(Register("12", "abc", true));
        ASSERT_TRUE(c.console.Click(IDC_ENROLL));
        auto sent = c.log->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, CMD_ENROLL_EX);
        EXPECT_EQ(sent[0].param1, 1u);
        EXPECT_EQ(sent[0].param2, 0u);
        ASSERT_EQ(sent[0].data.size(), 26u);
        EXPECT_EQ(FieldText(sent[0].data, 0, 10), "12");
        EXPECT_EQ(FieldText(sent[0].data, 10, 16), "abc");
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");

        c.Op().AnswerOk();
        Deliver(c.console.loop, c.View(), WM_RX_ENROLL_EX, RES_SUCCESS, 0);
        ASSERT_EQ(c.Op().dialogTitles.size(), 2);
        EXPECT_EQ(c.Op().dialogTitles[1], "Dialog") << "the lift prompt";
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Lift your fingertip");
        EXPECT_EQ(c.console.Prompt(), "");
        sent = c.log->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, CMD_ENROLL_EX);
        EXPECT_EQ(sent[0].param1, 1u);
        EXPECT_EQ(sent[0].param2, 1u);
        EXPECT_TRUE(sent[0].data.empty());

        Deliver(c.console.loop, c.View(), WM_RX_ENROLL_EX, RES_SUCCESS, 9);
        EXPECT_EQ(c.console.Prompt(), "Enrollment succeeded.");
        EXPECT_EQ(c.console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 9");
    }
}

// The module keeps one byte a character, and verification, master mode and
// the database manager send IDs that way: enrolment and deletion must send
// the same bytes, or an enrolled "Jö" could never be verified or deleted.
TEST(EnrollRequests, IdsAndPasswordsBeyondAsciiGoOutOneByteACharacterAsEverywhereElse) {
    CEnrollConsole c(BOARD_PELL);
    c.Op().Answer(Register(QString::fromUtf8("J\u00f6"), QString::fromUtf8("\u00e9t\u00e9")));
    ASSERT_TRUE(c.console.Click(IDC_ENROLL));
    auto sent = c.log->Take();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].data.size(), 26u);
    EXPECT_EQ(sent[0].data[0], 'J');
    EXPECT_EQ(sent[0].data[1], 0xF6);
    EXPECT_EQ(sent[0].data[2], 0);
    EXPECT_EQ(sent[0].data[10], 0xE9);
    EXPECT_EQ(sent[0].data[11], 't');
    EXPECT_EQ(sent[0].data[12], 0xE9);
    EXPECT_EQ(sent[0].data[13], 0);

    CEnrollConsole del(BOARD_PELL);
    del.Op().Answer([](QDialog& d) {
        SetDlgItemText(&d, IDC_FINGERPRINT_ID, QString::fromUtf8("J\u00f6"));
        return IDOK;
    });
    ASSERT_TRUE(del.console.Click(IDC_DELETE));
    sent = del.log->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, CMD_DELETE);
    ASSERT_EQ(sent[0].data.size(), 10u);
    EXPECT_EQ(sent[0].data[1], 0xF6);
    EXPECT_EQ(sent[0].data[2], 0);
}

TEST(EnrollRequests, CancelInTheLiftPromptSendsNothingMore) {
    {
        CEnrollConsole c(BOARD_PELL);
        c.Op().Answer(Register("3"));
        ASSERT_TRUE(c.console.Click(IDC_ENROLL));
        c.log->Take();
        c.Op().AnswerCancel();
        Deliver(c.console.loop, c.View(), WM_RX_ENROLL_EX, RES_SUCCESS, 0);
        EXPECT_TRUE(c.log->Take().empty());
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Lift your fingertip");
    }
    {
        CEnrollConsole c(BOARD_ZEL12, PROTOCOL_MINIMIZED);
        ASSERT_TRUE(c.console.Click(IDC_ENROLL));
        c.log->Take();
        c.Op().AnswerCancel();
        DeliverMini(c.console.loop, c.View(), WM_RX_MINI_ENROLL, MINI_ENROLL, RES_SUCCESS);
        EXPECT_TRUE(c.log->Take().empty());
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Lift your fingertip");
        EXPECT_EQ(c.Flow().m_nMiniEnrollStep, 0);
    }
}

TEST(EnrollRequests, CancelInTheDialogSendsNothing) {
    CEnrollConsole c(BOARD_PELL);
    c.Reset();
    c.Op().AnswerCancel();
    ASSERT_TRUE(c.console.Click(IDC_ENROLL));
    EXPECT_TRUE(c.log->Take().empty());
    EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), kBefore);
}

TEST(EnrollRequests, MinimizedEnrolsWithoutADialogInTwoStepsWithTheLiftPrompt) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        SCOPED_TRACE(board);
        CEnrollConsole c(board, PROTOCOL_MINIMIZED);
        c.Reset();
        ASSERT_TRUE(c.console.Click(IDC_ENROLL));
        EXPECT_TRUE(c.Op().dialogTitles.isEmpty());
        EXPECT_EQ(c.Flow().m_nMiniEnrollStep, 1);
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Put your fingertip on the reader");
        auto sent = c.log->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(sent[0].mini);
        EXPECT_EQ(sent[0].command, MINI_ENROLL);
        EXPECT_EQ(sent[0].param2, 0u);

        c.Op().AnswerOk();
        DeliverMini(c.console.loop, c.View(), WM_RX_MINI_ENROLL, MINI_ENROLL, RES_SUCCESS);
        EXPECT_EQ(c.Flow().m_nMiniEnrollStep, 0);
        EXPECT_EQ(c.Op().dialogTitles, QStringList{"Dialog"});
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Lift your fingertip");
        sent = c.log->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, MINI_ENROLL);
        EXPECT_EQ(sent[0].param2, 1u);

        DeliverMini(c.console.loop, c.View(), WM_RX_MINI_ENROLL, MINI_ENROLL, RES_SUCCESS);
        EXPECT_EQ(c.console.Prompt(), "Enrollment succeeded.");
        EXPECT_EQ(c.console.PromptForm(), MSGFORM_SUCCESS);
        EXPECT_EQ(c.console.Text(IDC_COUNT_LABEL), kCountBefore) << "the Minimized answer has no count";
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), "Lift your fingertip");
        EXPECT_TRUE(c.log->Take().empty());
    }
}

TEST(DeleteRequests, GeneralAsksForTheIdAndMinimizedSendsAtOnce) {
    {
        CEnrollConsole c(BOARD_PELL);
        c.Reset();
        c.View().State().m_bRefreshAfterDelete = true;
        c.Op().Answer([](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), "Input Fingerprint ID");
            SetDlgItemText(&d, IDC_FINGERPRINT_ID, "42");
            return IDOK;
        });
        ASSERT_TRUE(c.console.Click(IDC_DELETE));
        EXPECT_FALSE(c.View().State().m_bRefreshAfterDelete);
        const auto sent = c.log->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].command, CMD_DELETE);
        ASSERT_EQ(sent[0].data.size(), 10u);
        EXPECT_EQ(FieldText(sent[0].data, 0, 10), "42");
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), kBefore);

        c.Op().AnswerCancel();
        ASSERT_TRUE(c.console.Click(IDC_DELETE));
        EXPECT_TRUE(c.log->Take().empty());
    }
    {
        CEnrollConsole c(BOARD_PELL, PROTOCOL_MINIMIZED);
        c.Reset();
        c.View().State().m_bRefreshAfterDelete = true;
        ASSERT_TRUE(c.console.Click(IDC_DELETE));
        EXPECT_FALSE(c.View().State().m_bRefreshAfterDelete);
        EXPECT_TRUE(c.Op().dialogTitles.isEmpty());
        const auto sent = c.log->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_TRUE(sent[0].mini);
        EXPECT_EQ(sent[0].command, MINI_DELETE);
        EXPECT_EQ(sent[0].param1, 0u);
        EXPECT_EQ(sent[0].param2, 0u);
        EXPECT_EQ(c.console.Text(IDC_STATUS_LINE), kBefore);
    }
}

// ------------------------------------------------------------ the answers

TEST(EnrollAnswers, EveryRowOfTheZel12FirstScanAnswer) {
    CEnrollConsole c;
    CheckAnswers(c, WM_RX_ENROLL, 0,
                 {
                     {RES_FAIL, 0, "Enrollment is failed.", MSGFORM_WARNING, "Enrollment is failed.", kCountBefore},
                     {RES_TIMEOUT, 0, "Time out!!!", MSGFORM_WARNING, "Time out!!!", kCountBefore},
                     {RES_INVALID_PARAM, 0, "Invalid parameter!!!", MSGFORM_WARNING, "Invalid parameter!!!", kCountBefore},
                     {RES_USED_ID, 0, "Used ID!!!", MSGFORM_WARNING, "Used ID!!!", kCountBefore},
                     {RES_DB_FULL, 0, "DB is full!!!", MSGFORM_WARNING, "DB is full!!!", kCountBefore},
                     {RES_NO_MASTER_MODE, 0, "No master mode!!!", MSGFORM_WARNING, "No master mode!!!", kCountBefore},
                     {RES_CANCELED, 0, "Enrollment is canceled", MSGFORM_WARNING, "Enrollment is canceled!!!", kCountBefore},
                     {RES_ANOTHER_FINGER, 0, nullptr, NOTHING, kBefore, kCountBefore},
                     {RES_INVALID_ID, 0, nullptr, NOTHING, kBefore, kCountBefore},
                     {99, 0, nullptr, NOTHING, kBefore, kCountBefore},
                 });
    // Only the success asks for the second scan.
    EXPECT_TRUE(c.log->Take().empty());
}

TEST(EnrollAnswers, EveryRowOfTheZel12SecondScanAnswer) {
    CEnrollConsole c;
    CheckAnswers(c, WM_RX_ENROLL2, 0,
                 {
                     {RES_SUCCESS, 7, "Enrollment succeeded.", MSGFORM_SUCCESS, kBefore, "Fingerprint Count: 7"},
                     {RES_FAIL, 7, "Enrollment is failed.", MSGFORM_WARNING, "Enrollment is failed.", kCountBefore},
                     {RES_TIMEOUT, 0, "Time out!!!", MSGFORM_WARNING, "Time out!!!", kCountBefore},
                     {RES_INVALID_PARAM, 0, "Invalid parameter!!!", MSGFORM_WARNING, "Invalid parameter!!!", kCountBefore},
                     {RES_ANOTHER_FINGER, 0, "Another fingerprint!!!", MSGFORM_WARNING, "Another fingerprint!!!", kCountBefore},
                     {RES_NO_MASTER_MODE, 0, "No master mode!!!", MSGFORM_WARNING, "No master mode!!!", kCountBefore},
                     {RES_CANCELED, 0, "Enrollment is canceled.", MSGFORM_WARNING, "Enrollment is canceled!!!", kCountBefore},
                     {RES_USED_ID, 3, nullptr, NOTHING, kBefore, kCountBefore},
                     {RES_DB_FULL, 3, nullptr, NOTHING, kBefore, kCountBefore},
                 });
    EXPECT_TRUE(c.log->Take().empty());
}

TEST(EnrollAnswers, EveryRowOfTheEnrollExAnswerAfterTheFirstScan) {
    CEnrollConsole c(BOARD_PELL);
    CheckAnswers(c, WM_RX_ENROLL_EX, 0,
                 {
                     {RES_SUCCESS, 11, "Enrollment succeeded.", MSGFORM_SUCCESS, kBefore, "Fingerprint Count: 11"},
                     {RES_FAIL, 0, "Enrollment is failed.", MSGFORM_WARNING, "Enrollment is failed.", kCountBefore},
                     {RES_TIMEOUT, 0, "Time out!!!", MSGFORM_WARNING, "Time out!!!", kCountBefore},
                     {RES_INVALID_PARAM, 0, "Invalid parameter!!!", MSGFORM_WARNING, "Invalid parameter!!!", kCountBefore},
                     {RES_USED_ID, 0, "Used ID!!!", MSGFORM_WARNING, "Used ID!!!", kCountBefore},
                     {RES_DB_FULL, 0, "DB is full!!!", MSGFORM_WARNING, "DB is full!!!", kCountBefore},
                     {RES_NO_MASTER_MODE, 0, "No master mode!!!", MSGFORM_WARNING, "No master mode!!!", kCountBefore},
                     {RES_ANOTHER_FINGER, 0, "Another fingerprint!!!", MSGFORM_WARNING, "Another fingerprint!!!", kCountBefore},
                     {RES_CANCELED, 0, "Enrollment is canceled", MSGFORM_WARNING, "Enrollment is canceled!!!", kCountBefore},
                     {RES_INVALID_ID, 0, nullptr, NOTHING, kBefore, kCountBefore},
                     {RES_MASTER_FULL, 4, nullptr, NOTHING, kBefore, kCountBefore},
                 });
    EXPECT_TRUE(c.log->Take().empty());
}

TEST(EnrollAnswers, EveryRowOfTheMinimizedEnrolAnswerAfterTheFirstScan) {
    CEnrollConsole c(BOARD_ZEL12, PROTOCOL_MINIMIZED);
    CheckAnswers(c, WM_RX_MINI_ENROLL, MINI_ENROLL,
                 {
                     {1, 0, "Enrollment succeeded.", MSGFORM_SUCCESS, kBefore, kCountBefore},
                     {2, 0, "Enrollment is failed.", MSGFORM_WARNING, "Enrollment is failed.", kCountBefore},
                     {7, 0, "Time out!!!", MSGFORM_WARNING, "Time out!!!", kCountBefore},
                     {9, 0, "Invalid parameter!!!", MSGFORM_WARNING, "Invalid parameter!!!", kCountBefore},
                     {6, 0, "DB is full!!!", MSGFORM_WARNING, "DB is full!!!", kCountBefore},
                     {3, 0, "No master mode!!!", MSGFORM_WARNING, "No master mode!!!", kCountBefore},
                     {14, 0, "Another fingerprint!!!", MSGFORM_WARNING, "Another fingerprint!!!", kCountBefore},
                     {13, 0, "Enrollment is canceled", MSGFORM_WARNING, "Enrollment is canceled!!!", kCountBefore},
                     {4, 0, nullptr, NOTHING, kBefore, kCountBefore},
                     {5, 0, nullptr, NOTHING, kBefore, kCountBefore},
                 });
    EXPECT_TRUE(c.log->Take().empty());
}

TEST(DeleteAnswers, EveryRowOfTheGeneralDeleteAnswerLeavesTheStatusLine) {
    CEnrollConsole c(BOARD_PELL);
    CheckAnswers(c, WM_RX_DELETE, 0,
                 {
                     {RES_SUCCESS, 2, "Deletion is succeeded.", MSGFORM_SUCCESS, kBefore, "Fingerprint Count: 2"},
                     {RES_FAIL, 2, "Deletion is failed.", MSGFORM_WARNING, kBefore, kCountBefore},
                     {RES_NO_MASTER_MODE, 0, "No master mode!!!", MSGFORM_WARNING, kBefore, kCountBefore},
                     {RES_INVALID_ID, 0, "Invalid Id!!!", MSGFORM_WARNING, kBefore, kCountBefore},
                     {RES_CANCELED, 0, "Deletion is canceled.", MSGFORM_WARNING, kBefore, kCountBefore},
                     {RES_INVALID_PARAM, 0, nullptr, NOTHING, kBefore, kCountBefore},
                     {RES_TIMEOUT, 0, nullptr, NOTHING, kBefore, kCountBefore},
                 });
}

TEST(DeleteAnswers, EveryRowOfBothMinimizedDeleteAnswers) {
    for (UINT msg : {WM_RX_MINI_DELETE, WM_RX_MINI_DELETE_ALL}) {
        CEnrollConsole c(BOARD_PELL, PROTOCOL_MINIMIZED);
        CheckAnswers(c, msg, msg == WM_RX_MINI_DELETE ? MINI_DELETE : MINI_DELETE_ALL,
                     {
                         {1, 0, "Deletion is succeeded.", MSGFORM_SUCCESS, kBefore, kCountBefore},
                         {2, 0, "Deletion is failed.", MSGFORM_WARNING, kBefore, kCountBefore},
                         {3, 0, "No master mode!!!", MSGFORM_WARNING, kBefore, kCountBefore},
                         {5, 0, nullptr, NOTHING, kBefore, kCountBefore},
                         {13, 0, nullptr, NOTHING, kBefore, kCountBefore},
                     });
    }
}

TEST(DeleteAnswers, ASuccessfulDeletionAskedForByTheDatabaseManagerReloadsItsListOnce) {
    CEnrollConsole c(BOARD_PELL);
    CForwardRecorder spy(c.View());
    CEnrollFlow flow(spy);
    auto deliver = [&](std::int32_t result) {
        auto packet = std::make_unique<CPacket>();
        packet->m_Param1 = static_cast<std::uint32_t>(result);
        packet->m_Param2 = 4;
        flow.WindowProc(WM_RX_DELETE, reinterpret_cast<WPARAM>(packet.get()), 0);
    };
    // Not asked for (the main form's DELETE cleared the flag): no reload.
    deliver(RES_SUCCESS);
    EXPECT_TRUE(spy.forwards.empty());
    // A failure keeps the flag for the deletion's own answer.
    c.View().State().m_bRefreshAfterDelete = true;
    deliver(RES_INVALID_ID);
    EXPECT_TRUE(spy.forwards.empty());
    EXPECT_TRUE(c.View().State().m_bRefreshAfterDelete);
    deliver(RES_SUCCESS);
    ASSERT_EQ(spy.forwards.size(), 1u);
    EXPECT_EQ(spy.forwards[0].flow, FLOW_DB_MANAGER);
    EXPECT_EQ(spy.forwards[0].msg, WM_DBMGR_REFRESH);
    EXPECT_FALSE(c.View().State().m_bRefreshAfterDelete);
    EXPECT_EQ(c.console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 4");
    deliver(RES_SUCCESS);
    EXPECT_EQ(spy.forwards.size(), 1u);
}

// ------------------------------------------------- against the simulated module

namespace {

// Swallows the answers the enrolment tests do not look at (master-mode entry
// made directly on the packet manager).
class CSink : public CMsgTarget {
public:
    using CMsgTarget::CMsgTarget;
    int received = 0;  // answers, not traces
    LRESULT WindowProc(UINT msg, WPARAM, LPARAM) override {
        if (msg != WM_PACKET_TRACE) ++received;
        return 0;
    }
};

// Puts the module into master mode behind the console's back (a fresh module
// grants it to the credential-free request) and shows the master layout.
bool GrantMasterMode(CConsole& console) {
    CPravikView& view = console.View();
    CSink sink(console.loop);
    view.m_PacketManager.m_pView = &sink;
    if (view.State().IsGeneral()) {
        view.m_PacketManager.SendEnterMaster(3);
    } else {
        view.m_PacketManager.SendMiniEnterMaster();
    }
    const bool answered = console.WaitFor([&] { return sink.received > 0; });
    view.m_PacketManager.m_pView = &view;
    bool master = false;
    console.App().Simulator()->RunLocked([&](CSimModule& m) { master = m.IsMasterMode(); });
    view.State().m_bMasterMode = master;
    view.SetLayout(LAYOUT_MASTER);
    return answered && master;
}

std::vector<std::string> SimIds(CConsole& console) {
    std::vector<std::string> ids;
    console.App().Simulator()->RunLocked([&](CSimModule& m) {
        for (const auto& r : m.Records()) ids.push_back(r.id);
    });
    return ids;
}

}  // namespace

TEST(EnrollWithSimulator, APellEnrolsAFingerRefusesAnotherFingerAndDeletes) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL));
    ASSERT_TRUE(GrantMasterMode(console));
    CSimPty& sim = *console.App().Simulator();

    console.op.Answer(Register("21", "pw"));
    console.op.AnswerOk();  // lift prompt
    ASSERT_TRUE(console.Click(IDC_ENROLL));
    ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
    EXPECT_EQ(console.Prompt(), "Enrollment succeeded.");
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 1");
    EXPECT_EQ(SimIds(console), std::vector<std::string>{"21"});
    console.ClosePrompt();

    // The second scan reads finger 2.
    console.op.Answer(Register("22"));
    console.op.Answer([&](QDialog&) {
        sim.SetFinger(2);
        return IDOK;
    });
    ASSERT_TRUE(console.Click(IDC_ENROLL));
    ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
    EXPECT_EQ(console.Prompt(), "Another fingerprint!!!");
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Another fingerprint!!!");
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 1");
    EXPECT_EQ(SimIds(console), std::vector<std::string>{"21"});
    console.ClosePrompt();

    console.op.Answer([](QDialog& d) {
        SetDlgItemText(&d, IDC_FINGERPRINT_ID, "21");
        return IDOK;
    });
    ASSERT_TRUE(console.Click(IDC_DELETE));
    ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
    EXPECT_EQ(console.Prompt(), "Deletion is succeeded.");
    EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 0");
    EXPECT_TRUE(SimIds(console).empty());
}

TEST(EnrollWithSimulator, Zel12AndMinimizedEnrolmentsReachTheModule) {
    {
        CConsole console;
        ASSERT_TRUE(StartConnected(console, BOARD_ZEL12));
        ASSERT_TRUE(GrantMasterMode(console));
        console.op.Answer(Register("5"));
        ASSERT_TRUE(console.Click(IDC_ENROLL));
        ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
        EXPECT_EQ(console.Prompt(), "Enrollment succeeded.");
        EXPECT_EQ(console.Text(IDC_COUNT_LABEL), "Fingerprint Count: 1");
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Lift your fingertip");
        EXPECT_EQ(SimIds(console), std::vector<std::string>{"5"});
    }
    {
        CConsole console;
        ASSERT_TRUE(StartConnected(console, BOARD_PELL, PROTOCOL_MINIMIZED));
        ASSERT_TRUE(GrantMasterMode(console));
        console.op.AnswerOk();  // lift prompt
        ASSERT_TRUE(console.Click(IDC_ENROLL));
        ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }, 5000));
        EXPECT_EQ(console.Prompt(), "Enrollment succeeded.");
        EXPECT_EQ(SimIds(console).size(), 1u);
    }
}
