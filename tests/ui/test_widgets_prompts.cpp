// The finger prompts (message, waiting, capture, lift), the packet trace
// window, and the drawn icons and clips.
#include <QScrollBar>
#include <QTreeView>
#include <tuple>

#include "protocol/CommandCatalog.h"
#include "platform/core/ManualMessageLoop.h"
#include "protocol/Packet.h"
#include "protocol/Requests.h"
#include "protocol/TraceHistory.h"
#include "tests/TraceFeeder.h"
#include "tests/ui/UiTestEnv.h"
#include "tools/PacketTraceDlg.h"
#include "widgets/CaptureMsg.h"
#include "widgets/LiftDlg.h"
#include "widgets/MsgDlg.h"
#include "widgets/Resources.h"
#include "widgets/WaitDlg.h"
#include "widgets/WindowUtil.h"

namespace {

// A main window holding a 459 x 421 form at screen 100,100, as the program
// has: the form is what the prompts disable and centre over.
class PromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame.setGeometry(100, 80, 459, 441);
        form = new QWidget(&frame);
        form->setGeometry(0, 20, 459, 421);
        button = new QPushButton(QStringLiteral("IDENTIFY"), form);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        frame.show();
    }
    void TearDown() override { FlushEvents(); }
    int OpenDialogs() const {
        const auto all = form->findChildren<QDialog*>();
        return static_cast<int>(std::count_if(all.begin(), all.end(), [](QDialog* d) { return d->isVisible(); }));
    }
    static QRect Rect(QDialog* dlg, int id) { return GetDlgItem(dlg, id)->geometry(); }
    static int Icon(QDialog* dlg, int id) { return GetDlgItem(dlg, id)->property("iconId").toInt(); }
    QApplication* app = EnsureApp();  // before any widget member
    QWidget frame;
    QWidget* form = nullptr;
    QPushButton* button = nullptr;
    int clicks = 0;
};

TEST_F(PromptTest, MessageIsFittedToItsTextCentredOverTheFormAndReplacedWhileOpen) {
    CMsgDlg msg;
    msg.ShowWarning(form, QStringLiteral("Verification is failed."));
    QDialog* wnd = msg.Window();
    ASSERT_TRUE(wnd && wnd->isVisible());
    // 23 characters: 23 * 7 + 80 pixels wide, centred, OK centred, text 20 px from the right.
    EXPECT_EQ(wnd->size(), QSize(241, DluToPixelsY(54)));
    // Centred by its client area (a frame, where there is one, lies around it).
    EXPECT_EQ(wnd->geometry().topLeft(), QPoint(100 + 459 / 2 - 241 / 2, 100 + 421 / 2 - wnd->height() / 2));
    const QRect before = wnd->geometry();
    EXPECT_EQ(Rect(wnd, IDOK).left(), (241 - Rect(wnd, IDOK).width()) / 2);
    EXPECT_EQ(Rect(wnd, IDOK).top(), DluToPixelsY(33));
    EXPECT_EQ(Rect(wnd, IDC_MSG_TEXT).left(), DluToPixelsX(38));
    EXPECT_EQ(Rect(wnd, IDC_MSG_TEXT).right() + 1, 241 - 20);
    EXPECT_EQ(Icon(wnd, IDC_MSG_ICON), ICON_WARNING);
    // The form takes no input; the frame (the menu bar's window) does.
    EXPECT_FALSE(form->isEnabled());
    EXPECT_TRUE(frame.isEnabled());
    button->click();
    EXPECT_EQ(clicks, 0);
    // A second message replaces the open one in the same window, refitted.
    msg.ShowSuccess(form, QStringLiteral("Packet type is changed!!!"));
    EXPECT_EQ(msg.Window(), wnd);
    EXPECT_EQ(OpenDialogs(), 1);
    EXPECT_EQ(GetDlgItemText(wnd, IDC_MSG_TEXT), QStringLiteral("Packet type is changed!!!"));
    EXPECT_EQ(wnd->width(), 255);
    // Refitted in place: the same line, centred again; no shift by a frame.
    EXPECT_EQ(wnd->geometry().x(), 100 + 459 / 2 - 255 / 2);
    EXPECT_EQ(wnd->geometry().top(), before.top());
    msg.SetMessage(QStringLiteral("Packet type is changed!!?"));
    EXPECT_EQ(wnd->geometry(), QRect(100 + 459 / 2 - 255 / 2, before.top(), 255, before.height()));
    EXPECT_EQ(Rect(wnd, IDOK).left(), (255 - Rect(wnd, IDOK).width()) / 2);
    EXPECT_EQ(Rect(wnd, IDC_MSG_TEXT).right() + 1, 255 - 20);
    EXPECT_EQ(Icon(wnd, IDC_MSG_ICON), ICON_SUCCESS);
    EXPECT_EQ(msg.Form(), MSGFORM_SUCCESS);
    // One OK closes it and the form takes input again.
    EXPECT_TRUE(ClickDlgItem(wnd, IDOK));
    EXPECT_FALSE(msg.IsOpen());
    EXPECT_TRUE(form->isEnabled());
    button->click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(PromptTest, MessageFormsIconsAndEveryWayOfClosing) {
    CMsgDlg msg;
    int closed = 0;
    QObject::connect(&msg, &CMsgDlg::Closed, [&] { ++closed; });
    const int icons[] = {ICON_WARNING, ICON_ERROR, ICON_CONNECTION, ICON_SUCCESS};
    for (int f = 0; f < 4; ++f) {
        msg.SetForm(f);
        msg.SetMessage(QStringLiteral("Enroll is succeeded."));  // set before opening: shown when it opens
        ASSERT_TRUE(msg.Popup(IDD_MSGDLG, form));
        auto* icon = DlgItem<QLabel>(msg.Window(), IDC_MSG_ICON);
        EXPECT_EQ(icon->property("iconId").toInt(), icons[f]);
        EXPECT_FALSE(icon->pixmap().isNull());
        EXPECT_EQ(GetDlgItemText(msg.Window(), IDC_MSG_TEXT), QStringLiteral("Enroll is succeeded."));
    }
    msg.SetForm(9);  // out of range: no icon
    EXPECT_TRUE(DlgItem<QLabel>(msg.Window(), IDC_MSG_ICON)->pixmap().isNull());
    Press(msg.Window(), Qt::Key_Escape);
    EXPECT_FALSE(msg.IsOpen());
    EXPECT_TRUE(form->isEnabled());
    msg.ShowError(form, QStringLiteral("Checksum error!"));
    msg.Window()->close();  // the close box
    EXPECT_FALSE(msg.IsOpen());
    msg.Close();  // closing a closed prompt does nothing
    EXPECT_EQ(closed, 2);
    EXPECT_TRUE(form->isEnabled());
    FlushEvents();
    EXPECT_TRUE(form->findChildren<QDialog*>().isEmpty());  // destroyed, not hidden
    {
        CMsgDlg doomed;
        doomed.ShowWarning(form, QStringLiteral("x"));
        EXPECT_FALSE(form->isEnabled());
    }
    EXPECT_TRUE(form->isEnabled());  // a prompt destroyed while open gives the form back
}

TEST_F(PromptTest, WaitingPromptPlaysItsClipAndSwitchesModeWhileOpen) {
    CWaitDlg wait;
    int closed = 0;
    QObject::connect(&wait, &CWaitDlg::Closed, [&] { ++closed; });
    wait.SetMode(WAITMODE_FINGER);
    ASSERT_TRUE(wait.Popup(IDD_WAITDLG, form));
    QDialog* wnd = wait.Window();
    EXPECT_EQ(wnd->size(), QSize(DluToPixelsX(166), DluToPixelsY(54)));
    EXPECT_EQ(wnd->geometry().topLeft(), QPoint(100 + 459 / 2 - wnd->width() / 2, 100 + 421 / 2 - wnd->height() / 2));
    EXPECT_EQ(wait.Animation()->ClipId(), CLIP_FINGER);
    EXPECT_FALSE(form->isEnabled());
    EXPECT_TRUE(PumpUntil([&] { return wait.Animation()->CurrentFrame() >= 2; }));  // it plays on Qt's loop
    wait.SetMode(WAITMODE_TRANSFER);
    wait.SetMessage(QStringLiteral("Receiving the image data..."));
    EXPECT_EQ(wait.Window(), wnd);
    EXPECT_TRUE(wnd->isVisible());
    EXPECT_EQ(closed, 0);
    EXPECT_EQ(wait.Animation()->ClipId(), CLIP_TRANSFER);
    EXPECT_EQ(wait.Animation()->CurrentFrame(), 0);
    EXPECT_TRUE(wait.Animation()->IsPlaying());
    EXPECT_EQ(GetDlgItemText(wnd, IDC_WAIT_TEXT), QStringLiteral("Receiving the image data..."));
    EXPECT_EQ(OpenDialogs(), 1);
    // A message on top: the form stays disabled until the last one closes.
    CMsgDlg msg;
    msg.ShowError(form, QStringLiteral("Checksum error!"));
    EXPECT_TRUE(wnd->isEnabled());
    msg.Close();
    EXPECT_FALSE(form->isEnabled());
    // CANCEL closes at once; a flow closing it later changes nothing.
    EXPECT_TRUE(ClickDlgItem(wnd, IDCANCEL));
    EXPECT_FALSE(wait.IsOpen());
    wait.Close();
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(OwnerDisableCount(form), 0);
    // The mode is kept for the next opening; Escape closes too.
    wait.Popup(IDD_WAITDLG, form);
    EXPECT_EQ(wait.Animation()->ClipId(), CLIP_TRANSFER);
    Press(wait.Window(), Qt::Key_Escape);
    EXPECT_FALSE(wait.IsOpen());
    EXPECT_EQ(closed, 2);
}

TEST_F(PromptTest, CaptureAndLiftPromptsReturnTheOperatorsChoice) {
    CCaptureMsg capture;
    CScriptedUiOperator op;
    bool playing = false;
    QString text;
    op.Answer([&](QDialog& d) {
        auto* animation = DlgItem<CAnimateCtrl>(&d, IDC_CAPTURE_ANIMATION);
        playing = animation && animation->ClipId() == CLIP_FINGER && animation->IsPlaying();
        text = GetDlgItemText(&d, IDC_CAPTURE_TEXT);
        return IDOK;
    });
    op.Answer([](QDialog& d) { return ClickDlgItem(&d, IDCANCEL) ? IDOK : IDYES; });  // its own CANCEL wins
    EXPECT_EQ(capture.DoModal(op, form), IDOK);
    EXPECT_TRUE(playing);
    EXPECT_EQ(text, QStringLiteral("Put your fingertip on the reader..."));
    EXPECT_EQ(capture.DoModal(op, form), IDCANCEL);
    CLiftDlg lift;
    QPoint centreOffset;
    op.Answer([&](QDialog& d) {
        EXPECT_EQ(Icon(&d, IDC_LIFT_ICON), ICON_SUCCESS);
        text = GetDlgItemText(&d, IDC_LIFT_TEXT);
        centreOffset = d.geometry().center() - QPoint(100 + 459 / 2, 100 + 421 / 2);
        return IDCANCEL;
    });
    EXPECT_EQ(lift.DoModal(op, form), IDCANCEL);
    EXPECT_EQ(text, QStringLiteral("Lift your fingertip..."));
    EXPECT_LE(centreOffset.manhattanLength(), 2);
    EXPECT_EQ(op.dialogTitles, (QStringList{"Waiting", "Waiting", "Dialog"}));
}

// The trace window over a history fed as the module client feeds it.
class TraceTest : public PromptTest {
protected:
    void TearDown() override { trace.DestroyWindow(), PromptTest::TearDown(); }
    void Add(ETraceKind kind, std::uint32_t command, std::uint32_t p1, std::uint32_t p2 = 0,
             const std::vector<std::uint8_t>& data = {}, std::uint32_t err = 0, int send = 1) {
        feed.General(kind, command, p1, p2, data, err, send);
    }
    void AddBytes(ETraceKind kind, EFrameForm form, const std::vector<std::uint8_t>& bytes,
                  EBadFrame bad = EBadFrame::HeaderChecksum) {
        feed.Raw(kind, form, bytes, bad);
    }
    static std::vector<std::uint8_t> Mini(std::uint8_t command, std::uint8_t a1, std::uint8_t a2 = 0) {
        return CTraceFeeder::Mini(command, a1, a2);
    }
    CManualMessageLoop loop;
    CTraceHistory history{loop};
    CPacketTraceDlg trace{history};
    CTraceFeeder feed{history};
};

TEST_F(TraceTest, RowsShowTimeDirectionNamesAndHeaderValuesInHexWithANoteForEveryKind) {
    Add(ETraceKind::Request, CMD_CONNECT, 0);  // before the window opens: kept all the same
    ASSERT_TRUE(trace.Create(form));
    EXPECT_TRUE(form->isEnabled());  // not modal
    EXPECT_EQ(CPacketTraceDlg::Headings(), (QStringList{"TIME (ms)", "DIR", "COMMAND", "PARAM1", "PARAM2", "DATA SIZE",
                                                         "ERR CODE", "NOTE"}));
    loop.Advance(12);
    Add(ETraceKind::Answer, CMD_CONNECT, 0x12345678, 0xFFFFFFFF, std::vector<std::uint8_t>(400), ERR_CHECKSUM);
    Add(ETraceKind::Resend, CMD_GET_IMAGE, 0, 5, {}, 0, 3);
    Add(ETraceKind::Stale, CMD_GET_IMAGE, RES_SUCCESS, 4);
    AddBytes(ETraceKind::Rejected, EFrameForm::General, std::vector<std::uint8_t>(25, 0), EBadFrame::HeaderChecksum);
    AddBytes(ETraceKind::Request, EFrameForm::Minimized, Mini(MINI_IDENTIFY, 0));
    AddBytes(ETraceKind::Answer, EFrameForm::Minimized, Mini(MINI_IDENTIFY, RES_TIMEOUT, 2));
    ASSERT_EQ(trace.RowCount(), 7);
    EXPECT_EQ(trace.RowTexts(0), (QStringList{"0.000", "SND", "0x1 CONNECT", "0x0", "0x0", "0x0", "0x0", ""}));
    EXPECT_EQ(trace.RowTexts(1),
              (QStringList{"12.000", "RCV", "0x1 CONNECT", "0x12345678", "0xffffffff", "0x190", "0x2", ""}));
    EXPECT_EQ(trace.RowTexts(2), (QStringList{"12.000", "SND", "0x60 GET_IMAGE", "0x0", "0x5", "0x0", "0x0", "re-send 3"}));
    EXPECT_EQ(trace.RowTexts(3).mid(1, 3), (QStringList{"RCV", "0x60 GET_IMAGE", "0x1 SUCCESS"}));
    EXPECT_EQ(trace.RowTexts(3)[7], "stale: no request was waiting for it; dropped");
    EXPECT_EQ(trace.RowTexts(4)[7], "rejected: bad header checksum, 25 bytes received");
    EXPECT_EQ(trace.RowTexts(5), (QStringList{"12.000", "SND", "0x12 IDENTIFY", "0x0", "0x0", "", "", "Minimized"}));
    EXPECT_EQ(trace.RowTexts(6).mid(1, 4), (QStringList{"RCV", "0x12 IDENTIFY", "0x7 TIMEOUT", "0x2"}));
    EXPECT_EQ(trace.RowColour(0), QColor(0, 10, 50));
    EXPECT_NE(trace.RowColour(2), trace.RowColour(0));
    EXPECT_NE(trace.RowColour(3), trace.RowColour(0));
    EXPECT_NE(trace.RowColour(4), trace.RowColour(3));
    QAbstractItemModel* model = trace.List()->model();
    EXPECT_EQ(model->data(model->index(1, 5)).toString(), QStringLiteral("0x190"));  // the view shows the rows
    EXPECT_TRUE(model->data(model->index(1, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    for (std::uint32_t i = 0; i < 300; ++i) Add(ETraceKind::Request, CMD_CONNECT, i);
    FlushEvents();
    QTreeView* list = trace.List();
    EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(model->index(306, 0))));
    // The list and the detail pane take the room when the window grows.
    trace.Window()->resize(1000, 700);
    FlushEvents();
    QWidget* detail = GetDlgItem(trace.Window(), IDC_TRACE_DETAIL);
    EXPECT_EQ(list->geometry().right(), detail->geometry().right());
    EXPECT_GT(list->height(), 400);
    EXPECT_EQ(detail->geometry().bottom(), 700 - 1 - list->geometry().left());
    EXPECT_EQ(GetDlgItem(trace.Window(), IDC_TRACE_SAVE)->geometry().right(), list->geometry().right());
}

TEST_F(TraceTest, ShowsTheKeptHistoryUpToItsBoundAndOpensWithWhatCameWhileItWasClosed) {
    for (std::uint32_t i = 0; i < 10500; ++i) Add(ETraceKind::Request, CMD_CONNECT, i);
    ASSERT_TRUE(trace.Create(form));
    ASSERT_EQ(trace.RowCount(), 10000);
    EXPECT_EQ(trace.RowTexts(0)[3], QStringLiteral("0x1f4"));  // 500: the oldest kept
    // A burst while open: the rows follow the history, oldest dropped.
    for (std::uint32_t i = 0; i < 2000; ++i) Add(ETraceKind::Answer, CMD_CONNECT, RES_SUCCESS, i);
    FlushEvents();
    EXPECT_EQ(trace.RowCount(), 10000);
    EXPECT_EQ(trace.RowTexts(0)[3], QStringLiteral("0x9c4"));  // 2500
    EXPECT_EQ(trace.RowTexts(9999)[4], QStringLiteral("0x7cf"));
    Press(trace.Window(), Qt::Key_Escape);
    EXPECT_FALSE(trace.IsOpen());
    Add(ETraceKind::Request, CMD_STATUS, 0);
    trace.Toggle(form);
    ASSERT_EQ(trace.RowCount(), 10000);
    EXPECT_EQ(trace.RowTexts(9999)[2], QStringLiteral("0x62 STATUS"));
}

TEST_F(TraceTest, TheFilterNarrowsToACommandADirectionOrTheFailures) {
    ASSERT_TRUE(trace.Create(form));
    Add(ETraceKind::Request, CMD_GET_IMAGE, 0, 0);
    Add(ETraceKind::Answer, CMD_GET_IMAGE, RES_SUCCESS, 0);
    Add(ETraceKind::Request, CMD_IDENTIFY, 0);
    Add(ETraceKind::Answer, CMD_IDENTIFY, RES_TIMEOUT);
    Add(ETraceKind::Resend, CMD_GET_IMAGE2, 0, 0, {}, 0, 2);
    Add(ETraceKind::Answer, CMD_GET_VERSION, 0x105);
    QDialog* wnd = trace.Window();
    auto commands = [&] {
        QStringList c;
        for (int row = 0; row < trace.RowCount(); ++row) c << trace.RowTexts(row)[1] + " " + trace.RowTexts(row)[2];
        return c;
    };
    SetDlgItemText(wnd, IDC_TRACE_FILTER, "get_image");
    EXPECT_EQ(commands(), (QStringList{"SND 0x60 GET_IMAGE", "RCV 0x60 GET_IMAGE", "SND 0x63 GET_IMAGE2"}));
    SetDlgItemText(wnd, IDC_TRACE_FILTER, "0x12");
    EXPECT_EQ(commands(), (QStringList{"SND 0x12 IDENTIFY", "RCV 0x12 IDENTIFY"}));
    ASSERT_TRUE(trace.SelectRow(1));  // kept selected while the filter lists it
    EXPECT_TRUE(trace.DetailText().startsWith("Frame 4: RCV answer"));
    ASSERT_TRUE(ClickDlgItem(wnd, IDC_TRACE_SENT));  // received only
    EXPECT_EQ(commands(), (QStringList{"RCV 0x12 IDENTIFY"}));
    Add(ETraceKind::Request, CMD_IDENTIFY, 0);  // new rows pass the same filter
    Add(ETraceKind::Answer, CMD_IDENTIFY, RES_SUCCESS);
    EXPECT_EQ(commands(), (QStringList{"RCV 0x12 IDENTIFY", "RCV 0x12 IDENTIFY"}));
    EXPECT_TRUE(trace.DetailText().startsWith("Frame 4: RCV answer"));
    EXPECT_EQ(trace.List()->currentIndex().row(), 0);
    SetDlgItemText(wnd, IDC_TRACE_FILTER, "get_image");  // not listed now: nothing shown
    EXPECT_EQ(trace.DetailText(), "");
    SetDlgItemText(wnd, IDC_TRACE_FILTER, "");
    ASSERT_TRUE(ClickDlgItem(wnd, IDC_TRACE_SENT));
    ASSERT_TRUE(ClickDlgItem(wnd, IDC_TRACE_FAILURES));
    EXPECT_EQ(commands(), (QStringList{"RCV 0x12 IDENTIFY", "SND 0x63 GET_IMAGE2"}));
    ASSERT_TRUE(ClickDlgItem(wnd, IDC_TRACE_FAILURES));
    EXPECT_EQ(trace.RowCount(), 8);
}

TEST_F(TraceTest, TheSelectedFrameIsShownWholeInHexWithItsDataDecodedAndThePasswordMasked) {
    ASSERT_TRUE(trace.Create(form));
    const SRequest verify = req::Verify(1, "12", "secret");
    Add(ETraceKind::Request, CMD_VERIFY, verify.param1, verify.param2, verify.data);
    Add(ETraceKind::Answer, CMD_VERIFY, RES_SUCCESS);
    EXPECT_EQ(trace.DetailText(), "");
    ASSERT_TRUE(trace.SelectRow(0));
    const QString detail = trace.DetailText();
    EXPECT_TRUE(detail.startsWith("Frame 1: SND request, General, 55 bytes, 0.000 ms after the link opened (")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("0000  7e 00 00 00 11 00 00 00 01 00 00 00 00 00 00 00\n")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("0010  1a 00 00 00 00 00 00 00 2c 31 32 00 00 00 00 00\n")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("0020  00 00 00 ** ** ** ** ** ** ** ** ** ** ** ** **\n0030  ** ** ** 00 00 02 e9\n")) << detail.toStdString();
    EXPECT_TRUE(detail.contains("Data area:\n  id: \"12\"\n  password: ********\n")) << detail.toStdString();
    EXPECT_FALSE(detail.contains("73 65 63"));  // "sec"
    EXPECT_LT(detail.indexOf("Data area:"), detail.indexOf("0000  7e"));  // the fields above the long dump
    ASSERT_TRUE(trace.SelectRow(1));
    EXPECT_TRUE(trace.DetailText().startsWith("Frame 2: RCV answer, General, 25 bytes"));
    EXPECT_FALSE(trace.DetailText().contains("Data area"));
    int saves = 0;
    QObject::connect(&trace, &CPacketTraceDlg::SaveRequested, [&] { ++saves; });
    ASSERT_TRUE(ClickDlgItem(trace.Window(), IDC_TRACE_SAVE));
    EXPECT_EQ(saves, 1);
    // From the keyboard: Return on the focused button presses it; Return in
    // the filter presses nothing.
    QWidget* save = GetDlgItem(trace.Window(), IDC_TRACE_SAVE);
    save->setFocus();
    Press(save, Qt::Key_Return);
    EXPECT_EQ(saves, 2);
    QWidget* filter = GetDlgItem(trace.Window(), IDC_TRACE_FILTER);
    filter->setFocus();
    Press(filter, Qt::Key_Return);
    Press(trace.Window(), Qt::Key_Return);
    EXPECT_EQ(saves, 2);
}

TEST_F(TraceTest, EscapeOrTheCloseBoxDestroyItAndItStaysUsableWhileAPromptDisablesTheForm) {
    int closed = 0;
    QObject::connect(&trace, &CPacketTraceDlg::Closed, [&] { ++closed; });
    trace.Toggle(form);
    Add(ETraceKind::Request, CMD_CONNECT, 0);
    Press(trace.Window(), Qt::Key_Return);
    EXPECT_TRUE(trace.IsOpen());
    EXPECT_TRUE(trace.Create(form));  // open already: kept
    EXPECT_EQ(trace.RowCount(), 1);
    Press(trace.Window(), Qt::Key_Escape);
    EXPECT_FALSE(trace.IsOpen());
    trace.Toggle(form);
    EXPECT_EQ(trace.RowCount(), 1);  // the history outlives the window
    trace.Window()->close();
    EXPECT_FALSE(trace.IsOpen());
    EXPECT_EQ(closed, 2);
    // Usable while a prompt disables the form, also when opened then.
    DisableOwner(form);
    trace.Create(form);
    EXPECT_TRUE(trace.List()->isEnabled());
    EnableOwner(form);
    EXPECT_TRUE(form->isEnabled());
}

TEST(Resources, IconsAndClipsAreDrawnAtTheirSizesAndDiffer) {
    EnsureApp();
    QList<QImage> images;
    for (int id : {ICON_PROGRAM, ICON_CONNECTION, ICON_WARNING, ICON_ERROR, ICON_SUCCESS}) {
        images << LoadIconPixmap(id, 32).toImage();
        EXPECT_EQ(images.count(images.back()), 1) << id;
        EXPECT_EQ(LoadIconPixmap(id, 64).size(), QSize(64, 64)) << id;
    }
    EXPECT_TRUE(LoadIconPixmap(999).isNull());
    EXPECT_EQ(images[2].pixelColor(1, 1).alpha(), 0);  // transparent corners
    const int clips[][4] = {{CLIP_FINGER, 9, 100, 32}, {CLIP_TRANSFER, 4, 200, 34}, {143, 0, 0, 0}};
    for (const auto& [clip, count, ms, side] : clips) {
        QVector<QPixmap> frames = LoadClip(clip);
        ASSERT_EQ(frames.size(), count) << clip;
        EXPECT_EQ(ClipFrameMs(clip), ms);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(frames[i].size(), QSize(side, side));
            if (i) { EXPECT_NE(frames[i].toImage(), frames[i - 1].toImage()) << clip << " " << i; }
        }
    }
}

}  // namespace
