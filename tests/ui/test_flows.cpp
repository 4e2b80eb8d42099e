// The shape shared by the console's flows: answer tables, the console
// interface of the main form, and the value labels as a screen reader reads
// them.
#include <QAccessible>
#include <QLabel>

#include "console/AnswerTable.h"
#include "console/ConsoleMessages.h"
#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

const SAnswerRow kRows[] = {
    {RES_SUCCESS, MSGFORM_SUCCESS, "Done.", "It is done."},
    {RES_FAIL, MSGFORM_ERROR, "Failed.", nullptr},
    {RES_CANCELED, PROMPT_NONE, nullptr, "Canceled."},
    {RES_FAIL, MSGFORM_WARNING, "Never shown: the first row of a code wins.", "Never shown."},
};

}  // namespace

TEST(AnswerTable, EachListedCodeShowsItsRowAndAnUnlistedCodeChangesNothing) {
    const struct { std::int32_t code; const char* prompt; int form; const char* status; } cases[] = {
        {RES_SUCCESS, "Done.", MSGFORM_SUCCESS, "It is done."},
        {RES_FAIL, "Failed.", MSGFORM_ERROR, "before"},
        {RES_CANCELED, "", -1, "Canceled."},
        {RES_TIMEOUT, "", -1, "before"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        CConsole console;
        ASSERT_TRUE(console.Start());
        CPravikView& view = console.View();
        view.SetStatusText("before");
        const SAnswerRow* row = ShowAnswer(view, c.code, kRows);
        EXPECT_EQ(row != nullptr, c.code != RES_TIMEOUT);
        if (row) {
            EXPECT_EQ(row, FindAnswer(c.code, kRows));
        }
        EXPECT_EQ(console.Prompt(), c.prompt);
        if (c.form >= 0) {
            EXPECT_EQ(console.PromptForm(), c.form);
        }
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), c.status);
    }
}

TEST(ConsoleInterface, ForwardToReachesTheFlowOfASlotAndAnEmptySlotAnswersZero) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    // The connection flow takes a port change handed to it by slot.
    view.ForwardTo(FLOW_CONNECTION, WM_PORT_CHANGED, 2);
    EXPECT_EQ(console.Text(IDC_PORT_LABEL), "Serial Port: COM3");
    EXPECT_EQ(console.Prompt(), "COM port was changed.");
    for (int slot = 0; slot < FLOW_COUNT; ++slot) {
        if (!view.Flow(static_cast<EFlow>(slot))) {
            EXPECT_EQ(view.ForwardTo(slot, WM_PORT_CHANGED, 0), 0);
        }
    }
    EXPECT_EQ(view.ForwardTo(-1, WM_PORT_CHANGED, 0), 0);
    EXPECT_EQ(view.ForwardTo(FLOW_COUNT, WM_PORT_CHANGED, 0), 0);
}

TEST(ConsoleInterface, AStalledWriteIsShownInTheStatusLine) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    console.loop.Post(console.View().Flow(FLOW_CONNECTION), WM_WRITE_STALLED, 10, 25);
    console.loop.RunPending();
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Writing to 'COM1' stalled: 10 of 25 bytes sent.");
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
}

TEST(ConsoleInterface, DroppedReceiveBytesAreCountedInTheStatusLine) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    console.loop.Post(console.View().Flow(FLOW_CONNECTION), WM_RECEIVE_DROPPED, 6144, 0);
    console.loop.RunPending();
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Receive queue full: 6144 bytes from 'COM1' dropped.");
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
}

TEST(ConsoleInterface, ValueLabelsAreReadByTheirCurrentTextWithTheFixedWordsAsDescription) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SetLabel(IDC_COUNT_LABEL, "Fingerprint Count: 7");
    const struct { int id; const char* description; } labels[] = {
        {IDC_MODULE_LABEL, "Module type"}, {IDC_FIRMWARE_LABEL, "Firmware version"},
        {IDC_COUNT_LABEL, "Fingerprint count"}, {IDC_PORT_LABEL, "Serial port"},
        {IDC_BAUD_LABEL, "Baud rate"}, {IDC_PROTOCOL_LABEL, "Protocol"},
    };
    for (const auto& label : labels) {
        SCOPED_TRACE(label.description);
        QWidget* widget = GetDlgItem(&view, label.id);
        ASSERT_NE(widget, nullptr);
        QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(a11y, nullptr);
        EXPECT_EQ(a11y->text(QAccessible::Name), console.Text(label.id));
        EXPECT_FALSE(a11y->text(QAccessible::Name).isEmpty());
        EXPECT_EQ(a11y->text(QAccessible::Description), label.description);
    }
    EXPECT_EQ(QAccessible::queryAccessibleInterface(GetDlgItem(&view, IDC_COUNT_LABEL))->text(QAccessible::Name),
              "Fingerprint Count: 7");
    // The counters and the status line are edits: a fixed name, the value read as their text.
    SetDlgItemText(&view, IDC_SUCCESS_COUNT, "12");
    QAccessibleInterface* counter = QAccessible::queryAccessibleInterface(GetDlgItem(&view, IDC_SUCCESS_COUNT));
    EXPECT_EQ(counter->text(QAccessible::Name), "Success count");
    EXPECT_EQ(counter->text(QAccessible::Value), "12");
}
