// The finger prompts (message, waiting, capture, lift), the packet trace
// window, and the drawn icons and clips.
#include <QScrollBar>
#include <QTreeView>
#include <tuple>

#include "protocol/CommandCatalog.h"
#include "protocol/Packet.h"
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

class TraceTest : public PromptTest {
protected:
    void TearDown() override { trace.DestroyWindow(), PromptTest::TearDown(); }
    void Add(std::uint32_t command, std::uint32_t p1, int direction = 0, std::uint32_t p2 = 0, std::uint32_t size = 0,
             std::uint32_t err = 0) {
        std::tie(packet->m_Command, packet->m_Param1, packet->m_Param2, packet->m_DataSize, packet->m_ErrCode) =
            std::tie(command, p1, p2, size, err);
        trace.AddPacket(*packet, direction);
    }
    CPacketTraceDlg trace;
    std::unique_ptr<CPacket> packet = std::make_unique<CPacket>();  // 64 KiB: not on the stack
};

TEST_F(TraceTest, RowsShowDirectionAndHeaderValuesInHexNewestInView) {
    ASSERT_TRUE(trace.Create(form));
    EXPECT_TRUE(form->isEnabled());  // not modal
    Add(CMD_CONNECT, 0);
    Add(CMD_CONNECT, 0x12345678, 1, 0xFFFFFFFF, 400, ERR_CHECKSUM);
    Add(0x51, 0, 7);  // any non-zero direction is received
    ASSERT_EQ(trace.RowCount(), 3);
    EXPECT_EQ(trace.RowTexts(0)[0], QStringLiteral("SND"));
    EXPECT_EQ(trace.RowTexts(1), (QStringList{"RCV", "0x1", "0x12345678", "0xffffffff", "0x190", "0x2"}));
    EXPECT_EQ(trace.RowTexts(2).mid(0, 2), (QStringList{"RCV", "0x51"}));
    QAbstractItemModel* model = trace.List()->model();
    EXPECT_EQ(model->data(model->index(1, 4)).toString(), QStringLiteral("0x190"));  // the view shows the rows
    EXPECT_TRUE(model->data(model->index(1, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    for (std::uint32_t i = 0; i < 300; ++i) Add(CMD_CONNECT, i, i & 1);
    FlushEvents();
    QTreeView* list = trace.List();
    EXPECT_EQ(list->verticalScrollBar()->value(), list->verticalScrollBar()->maximum());
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(model->index(302, 0))));
    // The list fills the window when it is resized.
    trace.Window()->resize(700, 400);
    FlushEvents();
    EXPECT_EQ(list->geometry(), QRect(0, 0, 700, 400));
}

TEST_F(TraceTest, HoldsAtMostAThousandRowsDroppingTheOldest) {
    trace.Create(form);
    for (std::uint32_t i = 0; i < 1000; ++i) Add(CMD_CONNECT, i);
    ASSERT_EQ(trace.RowCount(), 1000);
    Add(CMD_CONNECT, 1000, 1);  // the 1001st removes the first
    EXPECT_EQ(trace.RowCount(), 1000);
    EXPECT_EQ(trace.RowTexts(0)[2], QStringLiteral("0x1"));
    EXPECT_EQ(trace.RowTexts(999)[2], QStringLiteral("0x3e8"));
    EXPECT_EQ(trace.List()->model()->rowCount(), 1000);
    // A burst of 10000 answers handled before the window repaints (its time
    // is measured by make bench, BM_PacketTraceBurst).
    for (std::uint32_t i = 0; i < 10000; ++i) Add(CMD_CONNECT + (i & 7), i, i & 1, i * 3, i & 0xFFF);
    FlushEvents();
    EXPECT_EQ(trace.RowCount(), 1000);
    EXPECT_EQ(trace.RowTexts(999)[2], QStringLiteral("0x270f"));
    EXPECT_EQ(trace.RowCounter(), 11001u);
}

TEST_F(TraceTest, ClosedTraceKeepsNothingAndEscapeOrCloseBoxDestroyIt) {
    int closed = 0;
    QObject::connect(&trace, &CPacketTraceDlg::Closed, [&] { ++closed; });
    Add(CMD_CONNECT, 0);  // closed: ignored
    trace.Toggle(form);
    EXPECT_EQ(trace.RowCount(), 0);
    Add(CMD_CONNECT, 0);
    Press(trace.Window(), Qt::Key_Return);
    EXPECT_TRUE(trace.IsOpen());
    EXPECT_TRUE(trace.Create(form));  // open already: kept
    EXPECT_EQ(trace.RowCount(), 1);
    Press(trace.Window(), Qt::Key_Escape);
    EXPECT_FALSE(trace.IsOpen());
    Add(CMD_CONNECT, 0);
    trace.Toggle(form);
    EXPECT_EQ(trace.RowCount(), 0);  // reopens empty
    EXPECT_EQ(trace.RowCounter(), 0u);
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
