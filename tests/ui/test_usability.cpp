// The console as a person uses it: the keyboard, prompts in view and with
// focus, captions that fit, refused input, the busy search, the trace window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>

#include "console/ConsoleMessages.h"
#include "tests/ui/ConsoleFixture.h"
#include "widgets/WindowUtil.h"

using namespace console_test;

namespace {

void PressReturn(QWidget* target) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

// What of a caption does not fit its control, empty when all of it does.
QString ClippedCaption(QWidget* control) {
    const QFontMetrics fm(control->font());
    const int width = control->width();
    auto check = [&](const QString& text, int room) {
        const int need = fm.horizontalAdvance(Plain(text));
        return need > room ? QString("'%1' needs %2 px, has %3").arg(text).arg(need).arg(room) : QString();
    };
    QStyle* style = control->style();
    if (auto* button = qobject_cast<QPushButton*>(control)) return check(button->text(), width - 6);
    if (qobject_cast<QCheckBox*>(control) || qobject_cast<QRadioButton*>(control)) {
        const int indicator = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, control) +
                              style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, control);
        return check(static_cast<QAbstractButton*>(control)->text(), width - indicator);
    }
    if (auto* group = qobject_cast<QGroupBox*>(control)) {
        return group->title().isEmpty() ? QString() : check(group->title(), width - 16);
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        if (label->wordWrap() || label->text().isEmpty() || !label->pixmap().isNull()) return {};
        return check(label->text(), width);
    }
    return {};
}

}  // namespace

TEST(Keyboard, ReturnOnTheFormPressesConnectOrTheFocusedButton) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    auto* connect = DlgItem<QPushButton>(&view, IDC_CONNECT);
    ASSERT_TRUE(connect && connect->isDefault());
    PressReturn(&view);
    EXPECT_TRUE(console.Prompt().startsWith("Opening 'COM1' failed."));  // CONNECT ran: COM1 leads nowhere here
    console.ClosePrompt();
    // A focused button takes Return itself.
    view.SetConnectedLayout();
    int clicks = 0;
    auto* identify = DlgItem<QPushButton>(&view, IDC_IDENTIFY);
    QObject::connect(identify, &QPushButton::clicked, [&] { ++clicks; });
    identify->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
    QApplication::sendEvent(&view, &press);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());
}

TEST(Keyboard, ReturnInSerialCommunicationPressesNothing) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SetConnectedLayout();
    std::vector<std::uint8_t> written;
    view.Client().Channel().m_WriteTap = [&](const std::uint8_t* b, std::size_t n) {
        written.insert(written.end(), b, b + n);
    };
    console.op.Answer([&](QDialog& dialog) {
        for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
            EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->text().toStdString();
        }
        DlgItem<QComboBox>(&dialog, IDC_BAUD_COMBO)->setFocus();
        PressReturn(&dialog);
        PressReturn(DlgItem<QComboBox>(&dialog, IDC_BAUD_COMBO));
        console.loop.RunPending();
        EXPECT_TRUE(dialog.isVisible());
        return IDCANCEL;
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    console.loop.RunPending();
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(view.State().m_nLayout, LAYOUT_CONNECTED);
    EXPECT_FALSE(view.m_MsgDlg.IsOpen());
}

TEST(Prompts, APromptOpenedOverAModalDialogShowsAboveItAndStaysWhenItCloses) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    QWidget* host = nullptr;
    console.op.Answer([&](QDialog& dialog) {
        DlgItem<QComboBox>(&dialog, IDC_PORT_COMBO)->setCurrentIndex(1);
        ClickDlgItem(&dialog, IDC_SET_COM_PORT);
        console.loop.RunPending();  // the dialog's loop handles the change
        EXPECT_EQ(console.Prompt(), "COM port was changed.");
        if (view.m_MsgDlg.Window()) host = view.m_MsgDlg.Window()->parentWidget();
        EXPECT_EQ(host, static_cast<QWidget*>(&dialog));  // a child of the dialog: shown above it
        return IDCANCEL;
    });
    ASSERT_TRUE(console.Choose(ID_FILE_SERIAL_COMM));
    ASSERT_TRUE(view.m_MsgDlg.IsOpen());
    QDialog* prompt = view.m_MsgDlg.Window();
    EXPECT_EQ(prompt->parentWidget(), &view);  // handed back to the form
    EXPECT_FALSE(prompt->isHidden());
    EXPECT_FALSE(view.isEnabled());
    // OK still closes it and gives the form back.
    ClickDlgItem(prompt, IDOK);
    EXPECT_FALSE(view.m_MsgDlg.IsOpen());
    EXPECT_TRUE(view.isEnabled());
}

TEST(Prompts, AnOpenPromptTakesTheKeyboardBackWhenTheMainWindowIsActivated) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.ShowPrompt(MSGFORM_WARNING, "Connection is failed.");
    QDialog* prompt = view.m_MsgDlg.Window();
    ASSERT_NE(prompt, nullptr);
    console.Frame().activateWindow();
    // The activation arrives through the window system; the prompt answers on the next turn.
    for (int i = 0; i < 20 && QApplication::activeWindow() != prompt; ++i) {
        QApplication::processEvents();
        console.Frame().activateWindow();
        QApplication::processEvents();
    }
    EXPECT_EQ(QApplication::activeWindow(), prompt);
    EXPECT_EQ(prompt->focusWidget(), GetDlgItem(prompt, IDOK));
}

TEST(Form, CountersAreReadOnlyAndALongStatusShowsItsBeginning) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    for (int id : {IDC_SUCCESS_COUNT, IDC_FAIL_COUNT}) EXPECT_TRUE(DlgItem<QLineEdit>(&view, id)->isReadOnly()) << id;
    const QString text = "Opening 'COM2' failed. /dev/ttyS1: No such file or directory";
    view.SetStatusText(text);
    auto* line = DlgItem<QLineEdit>(&view, IDC_STATUS_LINE);
    EXPECT_EQ(line->text(), text);
    EXPECT_EQ(line->cursorPosition(), 0);
}

TEST(Form, TheBaudSearchShowsABusyCursorAndTheRateTriedUntilItsOutcome) {
    for (bool found : {true, false}) {
        SCOPED_TRACE(found);
        CRawPty pty;
        CConsole console;
        console.MapPort(1, pty.SlavePath());
        ASSERT_TRUE(console.Start());
        CPravikView& view = console.View();
        EXPECT_NE(view.cursor().shape(), Qt::BusyCursor);
        ASSERT_TRUE(console.Click(IDC_CONNECT));
        EXPECT_EQ(view.cursor().shape(), Qt::BusyCursor);
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Trying 9600bps...");
        ASSERT_EQ(pty.Next(), CMD_CONNECT);
        console.loop.Advance(CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);
        ASSERT_EQ(pty.Next(), CMD_CONNECT);
        console.loop.Advance(CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Trying 19200bps...");
        EXPECT_EQ(view.cursor().shape(), Qt::BusyCursor);
        if (found) {
            ASSERT_EQ(pty.Next(), CMD_CONNECT);
            pty.Answer(CMD_CONNECT, RES_SUCCESS, 1);
            ASSERT_TRUE(console.WaitFor([&] { return view.State().m_bConnected; }));
            EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Connection succeeded.");
        } else {
            for (int i = 0; i < 4; ++i) console.loop.Advance(CONNECT_TIMEOUT_MS + CONNECT_PAUSE_MS);
            EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Connection is failed.");
            ASSERT_EQ(console.op.boxes.size(), 1u);
        }
        EXPECT_NE(view.cursor().shape(), Qt::BusyCursor);
    }
}

TEST(Form, DisconnectEndsTheBusyCursor) {
    CRawPty pty;
    CConsole console;
    console.MapPort(1, pty.SlavePath());
    ASSERT_TRUE(console.Start());
    ASSERT_TRUE(console.Click(IDC_CONNECT));
    ASSERT_EQ(pty.Next(), CMD_CONNECT);
    pty.Answer(CMD_CONNECT, RES_SUCCESS, 1);
    ASSERT_TRUE(console.WaitFor([&] { return console.View().State().m_bConnected; }));
    console.ClosePrompt();
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "Connection succeeded.");
    ASSERT_TRUE(console.Click(IDC_CONNECT));  // DISCONNECT
    EXPECT_NE(console.View().cursor().shape(), Qt::BusyCursor);
    EXPECT_EQ(console.Text(IDC_STATUS_LINE), "");  // no stale word of the link
}

TEST(Templates, EveryCaptionOfEveryTemplateFitsItsControl) {
    EnsureApp();
    const QStringList files = QDir(":/dialogs").entryList({"*.dlg"});
    ASSERT_GE(files.size(), 8);
    int checked = 0;
    for (const QString& file : files) {
        const int id = file.section('.', 0, 0).toInt();
        SCOPED_TRACE(file.toStdString());
        QDialog dialog;
        QWidget form;
        QWidget* owner = id == IDD_PRAVIK_FORM ? &form : static_cast<QWidget*>(&dialog);
        ASSERT_TRUE(BuildFromTemplate(owner, id));
        for (QWidget* control : owner->findChildren<QWidget*>()) {
            if (control->property("controlId").isNull()) continue;
            ++checked;
            const QString clipped = ClippedCaption(control);
            EXPECT_TRUE(clipped.isEmpty()) << control->objectName().toStdString() << ": " << clipped.toStdString();
        }
    }
    EXPECT_GT(checked, 60);
}

TEST(TraceWindow, OpensBesideTheMainWindowWhereTheScreenHasRoom) {
    const QRect screen(0, 0, 1920, 1080);
    const QSize trace(400, 300);
    // Room on the right; only on the left; on neither side.
    EXPECT_EQ(PositionBeside(QRect(100, 200, 470, 480), trace, screen), QPoint(578, 200));
    EXPECT_EQ(PositionBeside(QRect(1400, 200, 470, 480), trace, screen), QPoint(1400 - 8 - 400, 200));
    EXPECT_TRUE(PositionBeside(QRect(100, 0, 1700, 480), trace, screen).isNull());
    // Kept on screen vertically.
    EXPECT_EQ(PositionBeside(QRect(100, 900, 470, 480), trace, screen).y(), 1080 - 300);

    CConsole console;
    ASSERT_TRUE(console.Start());
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));  // while disconnected
    QWidget* window = console.View().m_PacketTraceDlg.Window();
    ASSERT_NE(window, nullptr);
    // Where the test screen has room beside the main window, the window is there.
    const QPoint expected = PositionBeside(console.Frame().frameGeometry(), window->size(),
                                           console.Frame().screen()->availableGeometry());
    if (!expected.isNull()) {
        EXPECT_EQ(window->pos(), expected);
        EXPECT_FALSE(console.Frame().frameGeometry().intersects(window->frameGeometry()));
    }
}
