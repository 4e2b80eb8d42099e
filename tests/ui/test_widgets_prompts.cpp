// The finger prompts: message prompt geometry, forms and replacement, the
// waiting prompt's clips, the modal capture and lift prompts, the About box,
// and the drawn icons and clips.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

#include "app/AboutDlg.h"
#include "platform/qt/UiOperator.h"
#include "tests/ui/UiTestEnv.h"
#include "widgets/AnimateCtrl.h"
#include "widgets/CaptureMsg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/LiftDlg.h"
#include "widgets/MsgDlg.h"
#include "widgets/Resources.h"
#include "widgets/WaitDlg.h"
#include "widgets/WindowUtil.h"

namespace {

// A main window holding a form, as the program has: the form is the parent
// the prompts disable and centre over.
class PromptTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        frame.setGeometry(100, 80, 459, 441);
        form = new QWidget(&frame);
        form->setGeometry(0, 20, 459, 421);
        button = new QPushButton(QStringLiteral("IDENTIFY"), form);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        frame.show();
    }
    void TearDown() override { FlushEvents(); }

    int OpenDialogs() const {
        int n = 0;
        for (QDialog* d : form->findChildren<QDialog*>()) n += d->isVisible();
        return n;
    }
    // Pixel rectangle of a control in the prompt window.
    static QRect Rect(QDialog* dlg, int id) { return GetDlgItem(dlg, id)->geometry(); }

    QApplication* app = EnsureApp();  // before any widget member
    QWidget frame;
    QWidget* form = nullptr;
    QPushButton* button = nullptr;
    int clicks = 0;
};

TEST_F(PromptTest, MessageFittedToVerificationFailedIs241PixelsCentredOverTheForm) {
    CMsgDlg msg;
    msg.ShowWarning(form, QStringLiteral("Verification is failed."));
    ASSERT_TRUE(msg.IsOpen());
    QDialog* wnd = msg.Window();
    ASSERT_NE(wnd, nullptr);
    EXPECT_TRUE(wnd->isVisible());
    EXPECT_EQ(wnd->windowTitle(), QStringLiteral("Pravik"));
    EXPECT_EQ(wnd->width(), 241);  // 23 * 7 + 80
    EXPECT_EQ(wnd->height(), DluToPixelsY(54));

    const QRect parent = ScreenRectOf(form);
    EXPECT_EQ(parent.topLeft(), QPoint(100, 100));
    EXPECT_EQ(wnd->x(), parent.left() + (459 / 2 - 241 / 2));
    EXPECT_EQ(wnd->y(), parent.top() + (421 / 2 - wnd->height() / 2));

    const QRect ok = Rect(wnd, IDOK);
    EXPECT_EQ(ok.left(), (241 - ok.width()) / 2);
    EXPECT_EQ(ok.top(), DluToPixelsY(33));
    const QRect text = Rect(wnd, IDC_MSG_TEXT);
    EXPECT_EQ(text.left(), DluToPixelsX(38));
    EXPECT_EQ(text.left() + text.width(), 241 - 20);
    EXPECT_EQ(GetDlgItemText(wnd, IDC_MSG_TEXT), QStringLiteral("Verification is failed."));
    EXPECT_EQ(GetDlgItem(wnd, IDC_MSG_ICON)->property("iconId").toInt(), ICON_WARNING);
    EXPECT_FALSE(GetDlgItem(wnd, IDCANCEL)->isVisible());
}

TEST_F(PromptTest, MessageDisablesTheFormButNotItselfAndOkGivesTheFormBack) {
    CMsgDlg msg;
    msg.ShowSuccess(form, QStringLiteral("Identification is succeeded."));
    EXPECT_FALSE(form->isEnabled());
    EXPECT_TRUE(frame.isEnabled());  // the menu bar's window stays usable
    button->click();
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(msg.Window()->isEnabled());
    EXPECT_TRUE(IsDlgItemEnabled(msg.Window(), IDOK));
    EXPECT_TRUE(ClickDlgItem(msg.Window(), IDOK));
    EXPECT_FALSE(msg.IsOpen());
    EXPECT_TRUE(form->isEnabled());
    button->click();
    EXPECT_EQ(clicks, 1);
}

TEST_F(PromptTest, MessageWhileOpenReplacesTheOpenWindow) {
    CMsgDlg msg;
    msg.ShowWarning(form, QStringLiteral("Verification is failed."));
    QDialog* first = msg.Window();
    msg.ShowSuccess(form, QStringLiteral("Packet type is changed!!!"));
    EXPECT_EQ(msg.Window(), first);
    EXPECT_EQ(OpenDialogs(), 1);
    EXPECT_EQ(GetDlgItemText(first, IDC_MSG_TEXT), QStringLiteral("Packet type is changed!!!"));
    EXPECT_EQ(first->width(), 25 * 7 + 80);
    EXPECT_EQ(first->x(), 100 + (459 / 2 - (25 * 7 + 80) / 2));
    EXPECT_EQ(Rect(first, IDOK).left(), (255 - Rect(first, IDOK).width()) / 2);
    EXPECT_EQ(Rect(first, IDC_MSG_TEXT).right() + 1, 255 - 20);
    EXPECT_EQ(GetDlgItem(first, IDC_MSG_ICON)->property("iconId").toInt(), ICON_SUCCESS);
    EXPECT_FALSE(form->isEnabled());
    EXPECT_EQ(msg.Form(), MSGFORM_SUCCESS);

    // One OK closes it and the form takes input again.
    EXPECT_TRUE(ClickDlgItem(first, IDOK));
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(OpenDialogs(), 0);
}

TEST_F(PromptTest, EscapeAndCloseBoxCloseTheMessageLikeOk) {
    CMsgDlg msg;
    int closed = 0;
    QObject::connect(&msg, &CMsgDlg::Closed, [&] { ++closed; });
    msg.ShowError(form, QStringLiteral("Checksum error!"));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(msg.Window(), &escape);
    EXPECT_FALSE(msg.IsOpen());
    EXPECT_TRUE(form->isEnabled());

    msg.ShowConnection(form, QStringLiteral("Connection succeeded."));
    EXPECT_EQ(GetDlgItem(msg.Window(), IDC_MSG_ICON)->property("iconId").toInt(), ICON_CONNECTION);
    msg.Window()->close();
    EXPECT_FALSE(msg.IsOpen());
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(closed, 2);
    FlushEvents();
    EXPECT_TRUE(form->findChildren<QDialog*>().isEmpty());  // the windows are gone, not hidden
}

TEST_F(PromptTest, EachFormShowsItsIconAndAFormOutsideTheRangeNone) {
    CMsgDlg msg;
    const int icons[] = {ICON_WARNING, ICON_ERROR, ICON_CONNECTION, ICON_SUCCESS};
    for (int form_ = 0; form_ < 4; ++form_) {
        msg.SetForm(form_);
        msg.SetMessage(QStringLiteral("x"));
        msg.Popup(IDD_MSGDLG, form);
        auto* icon = DlgItem<QLabel>(msg.Window(), IDC_MSG_ICON);
        EXPECT_EQ(icon->property("iconId").toInt(), icons[form_]);
        EXPECT_FALSE(icon->pixmap().isNull());
        EXPECT_FALSE(icon->accessibleName().isEmpty());
    }
    msg.SetForm(9);
    EXPECT_TRUE(DlgItem<QLabel>(msg.Window(), IDC_MSG_ICON)->pixmap().isNull());
    msg.Close();
    msg.Close();  // closing a closed prompt does nothing
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(PromptTest, MessageTextSetBeforeOpeningIsShownWhenItOpens) {
    CMsgDlg msg;
    msg.SetMessage(QStringLiteral("Enroll is succeeded."));
    msg.SetForm(MSGFORM_SUCCESS);
    EXPECT_FALSE(msg.IsOpen());
    ASSERT_TRUE(msg.Popup(IDD_MSGDLG, form));
    EXPECT_EQ(GetDlgItemText(msg.Window(), IDC_MSG_TEXT), QStringLiteral("Enroll is succeeded."));
    EXPECT_EQ(msg.Window()->width(), 20 * 7 + 80);
}

TEST_F(PromptTest, PromptDestroyedWhileOpenGivesTheFormBack) {
    {
        CMsgDlg msg;
        msg.ShowWarning(form, QStringLiteral("x"));
        EXPECT_FALSE(form->isEnabled());
    }
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(form->findChildren<QDialog*>().isEmpty());
}

TEST_F(PromptTest, WaitingPromptPlaysTheFingerClipCentredOverTheForm) {
    CWaitDlg wait;
    wait.SetMode(WAITMODE_FINGER);
    wait.SetMessage(QStringLiteral("Put your fingertip on the reader..."));
    ASSERT_TRUE(wait.Popup(IDD_WAITDLG, form, nullptr));
    QDialog* wnd = wait.Window();
    ASSERT_NE(wnd, nullptr);
    EXPECT_EQ(wnd->windowTitle(), QStringLiteral("Waiting..."));
    EXPECT_EQ(wnd->size(), QSize(DluToPixelsX(166), DluToPixelsY(54)));
    EXPECT_EQ(wnd->x(), 100 + (459 / 2 - wnd->width() / 2));
    EXPECT_EQ(wnd->y(), 100 + (421 / 2 - wnd->height() / 2));
    EXPECT_EQ(GetDlgItem(wnd, IDOK), nullptr);
    EXPECT_EQ(GetDlgItemText(wnd, IDCANCEL), QStringLiteral("CANCEL"));
    CAnimateCtrl* animation = wait.Animation();
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->ClipId(), CLIP_FINGER);
    EXPECT_EQ(animation->FrameCount(), 9);
    EXPECT_TRUE(animation->IsPlaying());
    EXPECT_FALSE(form->isEnabled());
    // The clip really advances on Qt's loop.
    EXPECT_TRUE(PumpUntil([&] { return animation->CurrentFrame() >= 2; }));
}

TEST_F(PromptTest, WaitingPromptSwitchesClipWhileOpenWithoutClosing) {
    CWaitDlg wait;
    int closed = 0;
    QObject::connect(&wait, &CWaitDlg::Closed, [&] { ++closed; });
    wait.Popup(IDD_WAITDLG, form, nullptr);
    QDialog* wnd = wait.Window();
    wait.SetMode(WAITMODE_TRANSFER);
    wait.SetMessage(QStringLiteral("Receiving the image data..."));
    EXPECT_TRUE(wait.IsOpen());
    EXPECT_EQ(wait.Window(), wnd);
    EXPECT_TRUE(wnd->isVisible());
    EXPECT_EQ(closed, 0);
    CAnimateCtrl* animation = wait.Animation();
    EXPECT_EQ(animation->ClipId(), CLIP_TRANSFER);
    EXPECT_EQ(animation->FrameCount(), 4);
    EXPECT_EQ(animation->FrameMs(), 200);
    EXPECT_EQ(animation->CurrentFrame(), 0);
    EXPECT_TRUE(animation->IsPlaying());
    EXPECT_EQ(GetDlgItemText(wnd, IDC_WAIT_TEXT), QStringLiteral("Receiving the image data..."));
    EXPECT_EQ(OpenDialogs(), 1);
}

TEST_F(PromptTest, WaitingPromptCancelClosesAtOnceAndLateCloseDoesNothing) {
    CWaitDlg wait;
    wait.Popup(IDD_WAITDLG, form, nullptr);
    EXPECT_TRUE(ClickDlgItem(wait.Window(), IDCANCEL));
    EXPECT_FALSE(wait.IsOpen());
    EXPECT_TRUE(form->isEnabled());
    wait.Close();  // a flow closing it after the operator did
    EXPECT_TRUE(form->isEnabled());
    EXPECT_EQ(OwnerDisableCount(form), 0);
    // The mode is remembered for the next opening.
    wait.SetMode(WAITMODE_TRANSFER);
    wait.Popup(IDD_WAITDLG, form, nullptr);
    EXPECT_EQ(wait.Animation()->ClipId(), CLIP_TRANSFER);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(wait.Window(), &escape);
    EXPECT_FALSE(wait.IsOpen());
}

TEST_F(PromptTest, FormStaysDisabledUntilTheLastOfTwoPromptsCloses) {
    CWaitDlg wait;
    CMsgDlg msg;
    wait.Popup(IDD_WAITDLG, form, nullptr);
    msg.ShowError(form, QStringLiteral("Checksum error!"));
    EXPECT_TRUE(wait.Window()->isEnabled());
    EXPECT_TRUE(msg.Window()->isEnabled());
    msg.Close();
    EXPECT_FALSE(form->isEnabled());
    wait.Close();
    EXPECT_TRUE(form->isEnabled());
}

TEST_F(PromptTest, CapturePromptPlaysTheFingerClipAndReturnsTheOperatorsChoice) {
    CCaptureMsg capture;
    CScriptedUiOperator op;
    bool playing = false;
    QString text;
    op.Answer([&](QDialog& d) {
        auto* animation = DlgItem<CAnimateCtrl>(&d, IDC_CAPTURE_ANIMATION);
        playing = animation && animation->ClipId() == CLIP_FINGER && animation->IsPlaying() &&
                  animation->CurrentFrame() == 0;
        text = GetDlgItemText(&d, IDC_CAPTURE_TEXT);
        return IDOK;
    });
    op.AnswerCancel();
    EXPECT_EQ(capture.DoModal(op, form), IDOK);
    EXPECT_TRUE(playing);
    EXPECT_EQ(text, QStringLiteral("Put your fingertip on the reader..."));
    EXPECT_EQ(capture.DoModal(op, form), IDCANCEL);
    EXPECT_EQ(capture.DoModal(op, form), IDCANCEL);  // nothing scripted
    EXPECT_EQ(op.dialogTitles, (QStringList{QStringLiteral("Waiting"), QStringLiteral("Waiting"), QStringLiteral("Waiting")}));
}

TEST_F(PromptTest, CapturePromptButtonsEndTheModalLoop) {
    CCaptureMsg capture;
    CScriptedUiOperator op;
    op.Answer([](QDialog& d) {
        ClickDlgItem(&d, IDCANCEL);
        return IDOK;
    });
    op.Answer([](QDialog& d) {
        ClickDlgItem(&d, IDOK);
        return IDCANCEL;
    });
    EXPECT_EQ(capture.DoModal(op, form), IDCANCEL);
    EXPECT_EQ(capture.DoModal(op, form), IDOK);
}

TEST_F(PromptTest, LiftPromptShowsTheSuccessIcon) {
    CLiftDlg lift;
    CScriptedUiOperator op;
    int iconId = 0;
    QString text;
    QPoint centreOffset;
    op.Answer([&](QDialog& d) {
        iconId = GetDlgItem(&d, IDC_LIFT_ICON)->property("iconId").toInt();
        text = GetDlgItemText(&d, IDC_LIFT_TEXT);
        centreOffset = QPoint(d.x() + d.width() / 2, d.y() + d.height() / 2) - QPoint(100 + 459 / 2, 100 + 421 / 2);
        return IDCANCEL;
    });
    EXPECT_EQ(lift.DoModal(op, form), IDCANCEL);
    EXPECT_EQ(iconId, ICON_SUCCESS);
    EXPECT_EQ(text, QStringLiteral("Lift your fingertip..."));
    EXPECT_LE(centreOffset.manhattanLength(), 2);  // placed over the form
    EXPECT_EQ(op.dialogTitles, QStringList{QStringLiteral("Dialog")});
    op.AnswerOk();
    EXPECT_EQ(lift.DoModal(op, form), IDOK);
}

TEST_F(PromptTest, AboutBoxShowsTheProgramIconVersionAndOk) {
    CAboutDlg about(form);
    CScriptedUiOperator op;
    QStringList labels;
    bool iconShown = false;
    op.Answer([&](QDialog& d) {
        for (QLabel* l : d.findChildren<QLabel*>()) labels << l->text();
        auto* icon = DlgItem<QLabel>(&d, IDC_ABOUT_ICON);
        iconShown = icon && !icon->pixmap().isNull() && icon->property("iconId").toInt() == ICON_PROGRAM;
        return ClickDlgItem(&d, IDOK) ? IDOK : IDCANCEL;
    });
    EXPECT_EQ(op.DoModal(about), IDOK);
    EXPECT_TRUE(labels.contains(QStringLiteral("Pravik Version 0.441")));
    EXPECT_TRUE(iconShown);
    EXPECT_EQ(op.dialogTitles, QStringList{QStringLiteral("About Pravik")});
}

// ------------------------------------------------------------ drawn resources

QColor PixelAt(const QPixmap& pixmap, int x, int y) { return pixmap.toImage().pixelColor(x, y); }

TEST(Resources, IconsAreDrawnAtAnySizeAndDifferFromEachOther) {
    EnsureApp();
    QList<QImage> images;
    for (int id : {ICON_PROGRAM, ICON_CONNECTION, ICON_WARNING, ICON_ERROR, ICON_SUCCESS}) {
        QPixmap pixmap = LoadIconPixmap(id, 32);
        ASSERT_FALSE(pixmap.isNull()) << id;
        EXPECT_EQ(pixmap.size(), QSize(32, 32));
        EXPECT_EQ(LoadIconPixmap(id, 64).size(), QSize(64, 64));
        EXPECT_FALSE(LoadIconRes(id).isNull());
        QImage image = pixmap.toImage();
        for (const QImage& other : images) EXPECT_NE(image, other) << id;
        images << image;
    }
    EXPECT_TRUE(LoadIconPixmap(999).isNull());
    EXPECT_TRUE(LoadIconRes(999).isNull());
}

TEST(Resources, IconColoursMatchTheirMeaning) {
    EnsureApp();
    QColor warning = PixelAt(LoadIconPixmap(ICON_WARNING, 32), 16, 27);  // triangle body, below the mark
    EXPECT_GT(warning.red(), 200);
    EXPECT_GT(warning.green(), 150);
    EXPECT_LT(warning.blue(), 80);
    QPixmap error = LoadIconPixmap(ICON_ERROR, 32);
    EXPECT_GT(PixelAt(error, 16, 6).red(), 150);   // red disc
    EXPECT_LT(PixelAt(error, 16, 6).green(), 120);
    EXPECT_EQ(PixelAt(error, 16, 16), QColor(Qt::white));  // white bar
    QColor success = PixelAt(LoadIconPixmap(ICON_SUCCESS, 32), 16, 5);
    EXPECT_GT(success.green(), success.red());
    EXPECT_EQ(PixelAt(LoadIconPixmap(ICON_WARNING, 32), 1, 1).alpha(), 0);  // transparent corner
}

TEST(Resources, FingerClipHasNineFramesAndTheTargetGlowsInTheMiddleOne) {
    EnsureApp();
    QVector<QPixmap> frames = LoadClip(CLIP_FINGER);
    ASSERT_EQ(frames.size(), 9);
    for (const QPixmap& f : frames) EXPECT_EQ(f.size(), QSize(32, 32));
    EXPECT_EQ(ClipFrameMs(CLIP_FINGER), 100);
    // The centre of the target, below the finger tip.
    auto isYellow = [](QColor c) { return c.red() > 200 && c.green() > 180 && c.blue() < 140; };
    int yellowFrames = 0;
    for (int i = 0; i < 9; ++i) {
        QColor c = PixelAt(frames[i], 16, 26);
        if (isYellow(c)) {
            ++yellowFrames;
            EXPECT_EQ(i, 4);
        }
    }
    EXPECT_EQ(yellowFrames, 1);
    // The finger moves: the first and the middle frame differ.
    EXPECT_NE(frames[0].toImage(), frames[4].toImage());
}

TEST(Resources, TransferClipHasFourFramesWithAFlashingLink) {
    EnsureApp();
    QVector<QPixmap> frames = LoadClip(CLIP_TRANSFER);
    ASSERT_EQ(frames.size(), 4);
    for (const QPixmap& f : frames) EXPECT_EQ(f.size(), QSize(34, 34));
    EXPECT_EQ(ClipFrameMs(CLIP_TRANSFER), 200);
    for (int i = 1; i < 4; ++i) EXPECT_NE(frames[i].toImage(), frames[i - 1].toImage());
    EXPECT_TRUE(LoadClip(143).isEmpty());
    EXPECT_EQ(ClipFrameMs(143), 0);
}

TEST(AnimateCtrl, PlaysRepeatsAndStopsOnTheLastFrameOfACountedRun) {
    EnsureApp();
    CAnimateCtrl animation;
    EXPECT_FALSE(animation.Open(1));
    EXPECT_FALSE(animation.Play());
    ASSERT_TRUE(animation.Open(CLIP_TRANSFER));
    EXPECT_FALSE(animation.IsPlaying());  // not auto-playing
    ASSERT_TRUE(animation.Play(2));
    for (int i = 0; i < 7; ++i) animation.Step();
    EXPECT_EQ(animation.CurrentFrame(), 3);
    EXPECT_TRUE(animation.IsPlaying());
    animation.Step();  // the second pass ends
    EXPECT_FALSE(animation.IsPlaying());
    EXPECT_EQ(animation.CurrentFrame(), 3);
    animation.Play(-1);
    for (int i = 0; i < 40; ++i) animation.Step();
    EXPECT_TRUE(animation.IsPlaying());
    animation.Close();
    EXPECT_FALSE(animation.IsOpen());
    EXPECT_FALSE(animation.IsPlaying());
    EXPECT_TRUE(animation.pixmap().isNull());
}

}  // namespace
