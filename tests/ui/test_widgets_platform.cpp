// CQtMessageLoop on Qt's event loop, and the scripted and real UI operators.
#include <gtest/gtest.h>

#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QLineEdit>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "platform/qt/QtMessageLoop.h"
#include "platform/qt/UiOperator.h"
#include "tests/ui/UiTestEnv.h"
#include "widgets/DialogTemplate.h"

namespace {

// Records every message with the thread it arrived on.
class CRecorder : public CMsgTarget {
public:
    struct Seen {
        UINT msg;
        WPARAM w;
        LPARAM l;
        bool onMainThread;
    };
    explicit CRecorder(IMessageLoop& loop) : CMsgTarget(loop) {}
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        seen.push_back({msg, w, l, QThread::currentThread() == QCoreApplication::instance()->thread()});
        if (onMessage) onMessage(msg, w);
        return static_cast<LRESULT>(w) + 1;
    }
    int Count(UINT msg, WPARAM w) const {
        int n = 0;
        for (const auto& s : seen) n += (s.msg == msg && s.w == w);
        return n;
    }
    std::vector<Seen> seen;
    std::function<void(UINT, WPARAM)> onMessage;
};

constexpr UINT WM_TEST = WM_USER + 77;

class QtMessageLoopTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    QApplication* app = EnsureApp();  // before any widget member
    CQtMessageLoop loop;
};

TEST_F(QtMessageLoopTest, PostsFromAnotherThreadArriveOnTheQtThreadInOrder) {
    CRecorder target(loop);
    constexpr int kCount = 200;
    std::thread worker([&] {
        for (int i = 0; i < kCount; ++i) EXPECT_TRUE(target.PostMessage(WM_TEST, i, -i));
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return target.seen.size() == kCount; }));
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(target.seen[i].msg, WM_TEST);
        EXPECT_EQ(target.seen[i].w, static_cast<WPARAM>(i));
        EXPECT_EQ(target.seen[i].l, -i);
        EXPECT_TRUE(target.seen[i].onMainThread);
    }
}

TEST_F(QtMessageLoopTest, PayloadLivesUntilTheHandlerHasRun) {
    CRecorder target(loop);
    std::weak_ptr<const void> watch;
    int valueSeen = 0;
    target.onMessage = [&](UINT, WPARAM w) { valueSeen = *reinterpret_cast<const int*>(w); };
    {
        auto payload = std::make_shared<int>(4242);
        watch = payload;
        loop.Post(&target, WM_TEST, reinterpret_cast<WPARAM>(payload.get()), 0, payload);
    }
    EXPECT_FALSE(watch.expired());  // held by the queued message
    ASSERT_TRUE(PumpUntil([&] { return !target.seen.empty(); }));
    EXPECT_EQ(valueSeen, 4242);
    FlushEvents();
    EXPECT_TRUE(watch.expired());
}

TEST_F(QtMessageLoopTest, MessagesToADestroyedTargetAreDropped) {
    auto doomed = std::make_unique<CRecorder>(loop);
    CRecorder sentinel(loop);
    int doomedSeen = 0;
    doomed->onMessage = [&](UINT, WPARAM) { ++doomedSeen; };
    EXPECT_TRUE(doomed->PostMessage(WM_TEST, 1));
    doomed.reset();
    sentinel.PostMessage(WM_TEST, 3);
    ASSERT_TRUE(PumpUntil([&] { return !sentinel.seen.empty(); }));
    EXPECT_EQ(sentinel.seen.size(), 1u);
    EXPECT_EQ(doomedSeen, 0);
}

TEST_F(QtMessageLoopTest, TimerIsPeriodicUntilKilled) {
    CRecorder target(loop);
    target.SetTimer(7, 2);
    EXPECT_TRUE(loop.IsTimerRunning(&target, 7));
    ASSERT_TRUE(PumpUntil([&] { return target.Count(WM_TIMER, 7) >= 3; }));
    target.KillTimer(7);
    EXPECT_FALSE(loop.IsTimerRunning(&target, 7));
    const int ticks = target.Count(WM_TIMER, 7);
    bool later = false;
    loop.CallLater(nullptr, 30, [&] { later = true; });
    ASSERT_TRUE(PumpUntil([&] { return later; }));
    EXPECT_EQ(target.Count(WM_TIMER, 7), ticks);
}

TEST_F(QtMessageLoopTest, NewSetTimerWithTheSameIdReplacesThePeriod) {
    CRecorder target(loop);
    target.SetTimer(1, 100000);
    target.SetTimer(1, 2);
    EXPECT_EQ(loop.TimerCount(), 1u);
    // With the first period still in force this would take 100 s.
    EXPECT_TRUE(PumpUntil([&] { return target.Count(WM_TIMER, 1) >= 2; }, 3000));
}

TEST_F(QtMessageLoopTest, TimerKilledInsideItsOwnHandlerFiresOnce) {
    CRecorder target(loop);
    target.onMessage = [&](UINT msg, WPARAM id) {
        if (msg == WM_TIMER) target.KillTimer(static_cast<UINT>(id));
    };
    target.SetTimer(3, 1);
    ASSERT_TRUE(PumpUntil([&] { return target.Count(WM_TIMER, 3) == 1; }));
    bool later = false;
    loop.CallLater(nullptr, 25, [&] { later = true; });
    ASSERT_TRUE(PumpUntil([&] { return later; }));
    EXPECT_EQ(target.Count(WM_TIMER, 3), 1);
}

TEST_F(QtMessageLoopTest, TimersOfTwoTargetsWithTheSameIdAreSeparate) {
    CRecorder a(loop), b(loop);
    a.SetTimer(1, 1);
    b.SetTimer(1, 1);
    a.KillTimer(1);
    EXPECT_FALSE(loop.IsTimerRunning(&a, 1));
    EXPECT_TRUE(loop.IsTimerRunning(&b, 1));
    ASSERT_TRUE(PumpUntil([&] { return b.Count(WM_TIMER, 1) >= 2; }));
    EXPECT_EQ(a.Count(WM_TIMER, 1), 0);
}

TEST_F(QtMessageLoopTest, CallLaterRunsOnceAndCanBeCancelled) {
    CRecorder owner(loop);
    int runs = 0, cancelledRuns = 0;
    loop.CallLater(&owner, 1, [&] { ++runs; });
    std::uint64_t token = loop.CallLater(&owner, 1, [&] { ++cancelledRuns; });
    loop.CancelCall(token);
    loop.CancelCall(token);  // twice is harmless
    bool later = false;
    loop.CallLater(nullptr, 25, [&] { later = true; });
    ASSERT_TRUE(PumpUntil([&] { return later; }));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(cancelledRuns, 0);
    EXPECT_EQ(loop.CallCount(), 0u);
}

TEST_F(QtMessageLoopTest, DestroyedTargetLosesItsTimersAndCalls) {
    auto owner = std::make_unique<CRecorder>(loop);
    bool ran = false;
    owner->SetTimer(5, 1);
    loop.CallLater(owner.get(), 1, [&] { ran = true; });
    EXPECT_EQ(loop.TimerCount(), 1u);
    EXPECT_EQ(loop.CallCount(), 1u);
    owner.reset();
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.CallCount(), 0u);
    bool later = false;
    loop.CallLater(nullptr, 25, [&] { later = true; });
    ASSERT_TRUE(PumpUntil([&] { return later; }));
    EXPECT_FALSE(ran);
}

// ------------------------------------------------------------ UI operators

// A dialog with an edit (id 1000) that refuses OK while the edit is empty.
class CNeedsTextDlg : public QDialog {
public:
    CNeedsTextDlg() {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("ctl1000"));
        setWindowTitle(QStringLiteral("Enter ID"));
    }
    void accept() override {
        ++acceptCalls;
        if (GetDlgItemText(this, 1000).isEmpty()) return;  // stays open
        accepted = GetDlgItemText(this, 1000);
        QDialog::accept();
    }
    void showEvent(QShowEvent* e) override {
        shownBeforeAnswer = true;
        QDialog::showEvent(e);
    }
    int acceptCalls = 0;
    bool shownBeforeAnswer = false;
    QString accepted;
};

TEST(ScriptedUiOperator, WithoutAnswersEveryDialogIsCancelled) {
    EnsureApp();
    CScriptedUiOperator op;
    CNeedsTextDlg dlg;
    EXPECT_EQ(op.DoModal(dlg), IDCANCEL);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(op.dialogTitles, QStringList{QStringLiteral("Enter ID")});
    EXPECT_EQ(dlg.acceptCalls, 0);
}

TEST(ScriptedUiOperator, AnswerFillsControlsAndOkRunsTheDialogsAcceptLogic) {
    EnsureApp();
    CScriptedUiOperator op;
    bool sawShown = false;
    op.Answer([&](QDialog& d) {
        sawShown = d.isVisible() && static_cast<CNeedsTextDlg&>(d).shownBeforeAnswer;
        SetDlgItemText(&d, 1000, QStringLiteral("42"));
        return IDOK;
    });
    CNeedsTextDlg dlg;
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_TRUE(sawShown);
    EXPECT_EQ(dlg.accepted, QStringLiteral("42"));
    EXPECT_FALSE(dlg.isVisible());
}

TEST(ScriptedUiOperator, RefusedOkGetsTheNextAnswerLikeAnOperatorCorrectingInput) {
    EnsureApp();
    CScriptedUiOperator op;
    op.AnswerOk();  // empty edit: refused
    op.Answer([](QDialog& d) {
        SetDlgItemText(&d, 1000, QStringLiteral("7"));
        return IDOK;
    });
    CNeedsTextDlg dlg;
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_EQ(dlg.acceptCalls, 2);
    EXPECT_EQ(dlg.accepted, QStringLiteral("7"));

    // Refused with nothing left to answer: cancelled.
    CNeedsTextDlg second;
    op.AnswerOk();
    EXPECT_EQ(op.DoModal(second), IDCANCEL);
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(op.dialogResults, (std::vector<int>{IDOK, IDCANCEL}));
}

TEST(ScriptedUiOperator, AnswerMayCloseTheDialogItselfOrEndWithOwnCode) {
    EnsureApp();
    CScriptedUiOperator op;
    op.Answer([](QDialog& d) {
        d.done(IDCANCEL);  // as a dialog's own button handler would
        return IDOK;       // ignored: the dialog is closed already
    });
    op.Answer([](QDialog&) { return IDYES; });
    CNeedsTextDlg a, b;
    EXPECT_EQ(op.DoModal(a), IDCANCEL);
    EXPECT_EQ(op.DoModal(b), IDYES);
}

TEST(QtOperator, ConvertsWindowsFilterStringsToQtFilters) {
    EXPECT_EQ(CQtOperator::ConvertFilter("Text(*.ext)|*.ext|All files|*.*|"),
              (QStringList{QStringLiteral("Text (*.ext *.EXT)"), QStringLiteral("All files (*)")}));
    EXPECT_EQ(CQtOperator::ConvertFilter("HEX Files (*.HEX)|*.HEX|"),
              QStringList{QStringLiteral("HEX Files (*.HEX *.hex)")});
    EXPECT_EQ(CQtOperator::ConvertFilter("Images|*.raw;*.bmp|"),
              QStringList{QStringLiteral("Images (*.raw *.RAW *.bmp *.BMP)")});
    EXPECT_TRUE(CQtOperator::ConvertFilter("").isEmpty());
}

// The real operator runs nested modal loops; a zero timer answers from inside.
TEST(QtOperator, MessageBoxHasTheProgramCaptionTheFlagsIconAndAnswersYesNo) {
    EnsureApp();
    CQtOperator op;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool hasNo = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        icon = box->icon();
        hasNo = box->button(QMessageBox::No) != nullptr;
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(op.MessageBox("Are you sure?", "", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(title, QStringLiteral("Pravik"));
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_TRUE(hasNo);

    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(op.MessageBox("Checksum error occurred!!!", "Error", MB_OK | MB_ICONSTOP), IDOK);
    EXPECT_EQ(title, QStringLiteral("Error"));
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST(QtOperator, DoModalRunsTheDialogsOwnLoop) {
    EnsureApp();
    CQtOperator op;
    CNeedsTextDlg dlg;
    QTimer::singleShot(0, [&] {
        SetDlgItemText(&dlg, 1000, QStringLiteral("5"));
        dlg.accept();
    });
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_EQ(dlg.accepted, QStringLiteral("5"));
    QTimer::singleShot(0, [&] { dlg.reject(); });
    EXPECT_EQ(op.DoModal(dlg), IDCANCEL);
}

}  // namespace
