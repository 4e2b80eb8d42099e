// CQtMessageLoop on Qt's event loop, the scripted and real UI operators, and
// dialog templates: parsing, dialog units, the widgets built, routing by ID.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QThread>
#include <QToolTip>
#include <QTreeWidget>
#include <array>
#include <thread>

#include "platform/qt/QtMessageLoop.h"
#include "tests/ui/UiTestEnv.h"

namespace {

constexpr UINT WM_TEST = WM_USER + 77;

// Records every message, and whether it arrived on Qt's thread.
class CRecorder : public CMsgTarget {
public:
    explicit CRecorder(IMessageLoop& loop) : CMsgTarget(loop) {}
    LRESULT WindowProc(UINT msg, WPARAM w, LPARAM l) override {
        seen.push_back({static_cast<std::int64_t>(msg), static_cast<std::int64_t>(w), static_cast<std::int64_t>(l)});
        onQtThread = onQtThread && QThread::currentThread() == QCoreApplication::instance()->thread();
        if (onMessage) onMessage(msg, w);
        return 0;
    }
    int Count(UINT msg, WPARAM w) const {
        int n = 0;
        for (const auto& s : seen) n += s[0] == msg && s[1] == static_cast<std::int64_t>(w);
        return n;
    }
    std::vector<std::array<std::int64_t, 3>> seen;
    bool onQtThread = true;
    std::function<void(UINT, WPARAM)> onMessage;
};

class QtMessageLoopTest : public ::testing::Test {
protected:
    // Lets Qt's loop run for ms of real time.
    void RunFor(int ms) {
        bool later = false;
        loop.CallLater(nullptr, ms, [&] { later = true; });
        ASSERT_TRUE(PumpUntil([&] { return later; }));
    }
    QApplication* app = EnsureApp();
    CQtMessageLoop loop;
};

TEST_F(QtMessageLoopTest, PostsFromAnotherThreadArriveOnTheQtThreadInOrderWithTheirPayload) {
    CRecorder target(loop);
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i) EXPECT_TRUE(target.PostMessage(WM_TEST, i, -i));
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return target.seen.size() == 200; }));
    for (int i = 0; i < 200; ++i) EXPECT_EQ(target.seen[i], (std::array<std::int64_t, 3>{WM_TEST, i, -i}));
    EXPECT_TRUE(target.onQtThread);
    // A payload lives until the handler has run.
    std::weak_ptr<const void> watch;
    int valueSeen = 0;
    target.onMessage = [&](UINT, WPARAM w) { valueSeen = *reinterpret_cast<const int*>(w); };
    {
        auto payload = std::make_shared<int>(4242);
        watch = payload;
        loop.Post(&target, WM_TEST, reinterpret_cast<WPARAM>(payload.get()), 0, payload);
    }
    EXPECT_FALSE(watch.expired());
    ASSERT_TRUE(PumpUntil([&] { return valueSeen == 4242; }));
    FlushEvents();
    EXPECT_TRUE(watch.expired());
}

TEST_F(QtMessageLoopTest, TimersRepeatUntilKilledAndANewPeriodReplacesTheOld) {
    CRecorder a(loop), b(loop);
    a.SetTimer(1, 100000);
    a.SetTimer(1, 2);  // with the first period in force this would take 100 s
    b.SetTimer(1, 1);
    EXPECT_EQ(loop.TimerCount(), 2u);
    ASSERT_TRUE(PumpUntil([&] { return a.Count(WM_TIMER, 1) >= 3 && b.Count(WM_TIMER, 1) >= 3; }, 3000));
    a.KillTimer(1);  // the same ID of another target runs on
    EXPECT_FALSE(loop.IsTimerRunning(&a, 1));
    EXPECT_TRUE(loop.IsTimerRunning(&b, 1));
    const int ticks = a.Count(WM_TIMER, 1);
    b.onMessage = [&](UINT msg, WPARAM id) {  // killed inside its own handler: fires once
        if (msg == WM_TIMER) b.KillTimer(static_cast<UINT>(id));
    };
    b.SetTimer(3, 1);
    RunFor(30);
    EXPECT_EQ(a.Count(WM_TIMER, 1), ticks);
    EXPECT_EQ(b.Count(WM_TIMER, 3), 1);
}

TEST_F(QtMessageLoopTest, CallLaterRunsOnceUnlessCancelledAndADestroyedTargetLosesEverything) {
    CRecorder owner(loop);
    auto doomed = std::make_unique<CRecorder>(loop);
    int runs = 0, lost = 0;
    loop.CallLater(&owner, 1, [&] { ++runs; });
    std::uint64_t token = loop.CallLater(&owner, 1, [&] { ++lost; });
    loop.CancelCall(token);
    loop.CancelCall(token);  // twice is harmless
    doomed->onMessage = [&](UINT, WPARAM) { ++lost; };
    EXPECT_TRUE(doomed->PostMessage(WM_TEST, 1));
    doomed->SetTimer(5, 1);
    loop.CallLater(doomed.get(), 1, [&] { ++lost; });
    doomed.reset();
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.CallCount(), 1u);
    RunFor(25);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(loop.CallCount(), 0u);
}

// A dialog with an edit (id 1000) that refuses OK while the edit is empty.
class CNeedsTextDlg : public QDialog {
public:
    CNeedsTextDlg() { (new QLineEdit(this))->setObjectName(QStringLiteral("ctl1000")); }
    void accept() override {
        ++acceptCalls;
        if (GetDlgItemText(this, 1000).isEmpty()) return;  // stays open
        accepted = GetDlgItemText(this, 1000);
        QDialog::accept();
    }
    int acceptCalls = 0;
    QString accepted;
};

TEST(UiOperator, ScriptedAnswersGoThroughTheDialogsOwnAcceptLogic) {
    EnsureApp();
    CScriptedUiOperator op;
    CNeedsTextDlg unanswered, dlg, refused;
    EXPECT_EQ(op.DoModal(unanswered), IDCANCEL);  // nothing scripted: cancelled
    EXPECT_EQ(unanswered.acceptCalls, 0);
    op.AnswerOk();  // empty edit: refused, so the next answer follows
    op.Answer([&](QDialog& d) {
        EXPECT_TRUE(d.isVisible());
        SetDlgItemText(&d, 1000, QStringLiteral("7"));
        return IDOK;
    });
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_EQ(dlg.acceptCalls, 2);
    EXPECT_EQ(dlg.accepted, QStringLiteral("7"));
    EXPECT_FALSE(dlg.isVisible());
    op.AnswerOk();  // refused with nothing left: cancelled
    EXPECT_EQ(op.DoModal(refused), IDCANCEL);
    EXPECT_EQ(op.dialogResults, (std::vector<int>{IDCANCEL, IDOK, IDCANCEL}));
}

TEST(UiOperator, RealOperatorConvertsFiltersAndAsksInAModalMessageBox) {
    EXPECT_EQ(CQtOperator::ConvertFilter("Text(*.ext)|*.ext|All files|*.*|"),
              (QStringList{"Text (*.ext *.EXT)", "All files (*)"}));
    EXPECT_EQ(CQtOperator::ConvertFilter("HEX Files (*.HEX)|*.HEX|"), QStringList{"HEX Files (*.HEX *.hex)"});
    EXPECT_EQ(CQtOperator::ConvertFilter("Images|*.raw;*.bmp|"), QStringList{"Images (*.raw *.RAW *.bmp *.BMP)"});
    EnsureApp();
    CQtOperator op;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {  // answers from inside the nested loop
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box && box->button(QMessageBox::No));
        title = box->windowTitle();
        icon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(op.MessageBox("Checksum error occurred!!!", "", MB_YESNO | MB_ICONSTOP), IDNO);
    EXPECT_EQ(title, QStringLiteral("Pravik"));  // the program's name when no caption is given
    EXPECT_EQ(icon, QMessageBox::Critical);
}

// The real file dialogs of the Qt operator, headless: each is answered from
// inside its own modal loop, as the operator would, after its options have
// been read.
class QtFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        ASSERT_TRUE(m_Dir.isValid());
    }
    QString File(const QString& name) const { return m_Dir.filePath(name); }
    static void Write(const QString& path) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }

    struct SSeen {
        bool shown = false;
        QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
        QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
        bool confirmsOverwrite = false;
        QString defaultSuffix;
        QStringList nameFilters;
        QString question;  // the overwrite question, when one was asked
    };
    // Answers the next file dialog: chooses name (typed without its
    // extension) and presses Save or Open; Yes to an overwrite question.
    void AnswerNext(const QString& name) {
        m_Seen = SSeen{};
        QTimer::singleShot(0, [this, name] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            m_Seen.shown = true;
            m_Seen.acceptMode = dialog->acceptMode();
            m_Seen.fileMode = dialog->fileMode();
            m_Seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            m_Seen.defaultSuffix = dialog->defaultSuffix();
            m_Seen.nameFilters = dialog->nameFilters();
            dialog->setDirectory(m_Dir.path());
            dialog->selectFile(name);
            // Answered from inside the question's own loop, if one is asked.
            auto question = m_pQuestion;
            question->clear();
            QTimer::singleShot(0, [question] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                if (box && box->button(QMessageBox::Yes)) {
                    *question = box->text();
                    box->button(QMessageBox::Yes)->click();
                }
            });
            QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
            m_Seen.question = *question;
        });
    }
    // No answer of this test is left for a dialog of the next one.
    void TearDown() override {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }
    std::shared_ptr<QString> m_pQuestion = std::make_shared<QString>();

    QTemporaryDir m_Dir;
    SSeen m_Seen;
    CQtOperator m_Op;
};

TEST_F(QtFileDialogTest, ASaveDialogWithoutTheQuestionReplacesAFileAndAddsTheSuffix) {
    Write(File("left.MIN"));
    std::string path;
    AnswerNext("left");
    ASSERT_TRUE(m_Op.GetSaveFileName("MIN files(*.min)|*.min|All files|*.*|", "*.MIN", false, path));
    ASSERT_TRUE(m_Seen.shown);
    EXPECT_EQ(m_Seen.acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(m_Seen.fileMode, QFileDialog::AnyFile);
    EXPECT_FALSE(m_Seen.confirmsOverwrite);
    EXPECT_EQ(m_Seen.question, "");
    EXPECT_EQ(m_Seen.defaultSuffix, "MIN");
    EXPECT_EQ(m_Seen.nameFilters, (QStringList{"MIN files (*.min *.MIN)", "All files (*)"}));
    EXPECT_EQ(QString::fromStdString(path), File("left.MIN"));
}

TEST_F(QtFileDialogTest, ASaveDialogWithTheQuestionAsksBeforeAnExistingFileIsChosen) {
    std::string path;
    // A new name: nothing to ask.
    AnswerNext("fresh");
    ASSERT_TRUE(m_Op.GetSaveFileName("LOG files(*.log)|*.log|All files|*.*|", "LOG", true, path));
    EXPECT_TRUE(m_Seen.confirmsOverwrite);
    EXPECT_EQ(m_Seen.question, "");
    EXPECT_EQ(QString::fromStdString(path), File("fresh.LOG"));
    // An existing one: asked, and chosen on Yes.
    Write(File("module.LOG"));
    AnswerNext("module");
    ASSERT_TRUE(m_Op.GetSaveFileName("LOG files(*.log)|*.log|All files|*.*|", "LOG", true, path));
    EXPECT_TRUE(m_Seen.question.contains("module.LOG")) << m_Seen.question.toStdString();
    EXPECT_EQ(QString::fromStdString(path), File("module.LOG"));
}

TEST_F(QtFileDialogTest, AnOpenDialogTakesOnlyAFileThatExists) {
    Write(File("finger.raw"));
    std::string path;
    AnswerNext("finger.raw");
    ASSERT_TRUE(m_Op.GetOpenFileName("RAW files(*.raw)|*.raw|All files|*.*|", "*.RAW", path));
    EXPECT_EQ(m_Seen.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(m_Seen.fileMode, QFileDialog::ExistingFile);
    EXPECT_EQ(QString::fromStdString(path), File("finger.raw"));
    // A name that does not exist is not accepted: the dialog stays open
    // (the operator then cancels).
    bool stayed = false;
    QTimer::singleShot(0, [this, &stayed] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->setDirectory(m_Dir.path());
        dialog->selectFile("missing.raw");
        QTimer::singleShot(0, [&stayed] {
            // A notice that the file is not there, if the dialog shows one.
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
            QTimer::singleShot(0, [&stayed] {
                if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    stayed = d->isVisible();
                    d->reject();
                }
            });
        });
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
    });
    EXPECT_FALSE(m_Op.GetOpenFileName("RAW files(*.raw)|*.raw|All files|*.*|", "*.RAW", path));
    EXPECT_TRUE(stayed);
}

const char* const kFormLike = R"(
# a form like the main one
DIALOG 9101 "Form" 262 259 FONT "Verdana" 8
CONTROL 1000 FRAME "" 7 7 144 180 SUNKEN BLACK NAME="Fingerprint image"
CONTROL 1001 BUTTON "ENTER MASTER" 158 11 91 14
CONTROL 1016 DEFBUTTON "CONNECT" 200 145 49 17
CONTROL 1018 CHECKBOX "Continuous Capture" 15 199 81 10
CONTROL 1065 BUTTON "START" 106 197 40 15 DISABLED
CONTROL -1 LABEL "Success" 11 218 28 8
CONTROL 1078 EDIT "" 41 216 40 14 RIGHT READONLY
CONTROL 1072 BUTTON "STATUS" 158 123 45 17 HIDDEN
)";

CDlgTemplate Parse(const char* text) {
    CDlgTemplate dlg;
    QString error;
    EXPECT_TRUE(ParseDialogTemplate(QString::fromUtf8(text), dlg, &error)) << error.toStdString();
    return dlg;
}

TEST(DialogTemplate, DialogUnitsConvertWithBaseUnitsSevenByThirteenRounded) {
    const int x[][2] = {{262, 459}, {4, 7}, {171, 299}, {0, 0}};  // 262 du: 458.5 rounds up
    const int y[][2] = {{259, 421}, {8, 13}, {54, 88}};            // 259 du: 420.875
    for (const auto& c : x) EXPECT_EQ(DluToPixelsX(c[0]), c[1]) << c[0];
    for (const auto& c : y) EXPECT_EQ(DluToPixelsY(c[0]), c[1]) << c[0];
}

TEST(DialogTemplate, ParserReadsEscapesAndNamesTheLineOfAFault) {
    CDlgTemplate dlg = Parse("DIALOG 1 \"Say \\\"hi\\\"\" 10 10\nCONTROL 1 LABEL \"a\\\\b\\nc\" 0 0 1 1 MULTILINE\n");
    EXPECT_EQ(dlg.caption, QStringLiteral("Say \"hi\""));
    ASSERT_EQ(dlg.controls.size(), 1);
    EXPECT_EQ(dlg.controls[0].text, QStringLiteral("a\\b\nc"));
    const std::pair<const char*, const char*> faults[] = {
        {"CONTROL 1 LABEL \"x\" 0 0 1 1", "line 1: CONTROL before DIALOG"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 1 SLIDER \"x\" 0 0 1 1", "line 2: unknown kind 'SLIDER'"},
        {"DIALOG 1 \"x\" 10 10\n\nCONTROL 1 LABEL \"x\" 0 0 1 1 BOLD", "line 3: unknown flag 'BOLD'"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 5 LABEL \"x\" 0 0 1 1\nCONTROL 5 EDIT \"\" 0 0 1 1",
         "line 3: control id 5 used twice"},
        {"# nothing", "no DIALOG statement"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 1 EDIT \"\" 0 0 -1 1", "line 2: bad control rectangle"},
        {"DIALOG 1 \"x\" 10 10\nDIALOG 2 \"y\" 10 10", "line 2: second DIALOG"},
    };
    for (const auto& f : faults) {
        QString error;
        EXPECT_FALSE(ParseDialogTemplate(QString::fromUtf8(f.first), dlg, &error)) << f.first;
        EXPECT_TRUE(error.contains(QString::fromUtf8(f.second))) << error.toStdString() << " / " << f.second;
    }
}

TEST(DialogTemplate, EveryCompiledInTemplateLoadsUnderItsOwnNumber) {
    EnsureApp();
    CDlgTemplate dlg;
    QString error;
    EXPECT_FALSE(LoadDialogTemplate(9999, dlg, &error));  // also registers the resources
    EXPECT_TRUE(error.contains(QStringLiteral("9999")));
    QWidget owner;
    EXPECT_FALSE(BuildFromTemplate(&owner, 9999));
    EXPECT_TRUE(owner.findChildren<QWidget*>().isEmpty());
    const QStringList files = QDir(QStringLiteral(":/dialogs")).entryList({QStringLiteral("*.dlg")});
    EXPECT_GE(files.size(), 6);
    for (const QString& file : files) {
        const int id = QFileInfo(file).baseName().toInt();
        EXPECT_TRUE(LoadDialogTemplate(id, dlg, &error)) << error.toStdString();
        EXPECT_EQ(dlg.id, id);
    }
}

// An owner with one table from control ID and code to handler.
class CProbeForm : public QWidget, public ICommandTarget {
public:
    ~CProbeForm() override { DetachCommandTarget(this); }
    bool OnCommand(int id, int code) override {
        static const CommandEntry<CProbeForm> table[] = {
            {1001, BN_CLICKED, &CProbeForm::OnEnterMaster},
            {1078, EN_CHANGE, &CProbeForm::OnCounterChanged},
        };
        events.push_back({id, code});
        return DispatchCommand(this, table, id, code);
    }
    void OnEnterMaster() { ++enterMaster; }
    void OnCounterChanged() { ++counterChanged; }
    int enterMaster = 0, counterChanged = 0;
    std::vector<std::pair<int, int>> events;
};

TEST(DialogTemplate, FormGetsPixelRectanglesAndRoutesEventsByControlId) {
    EnsureApp();
    CProbeForm form;
    ASSERT_TRUE(BuildFromTemplate(&form, Parse(kFormLike)));
    EXPECT_EQ(form.size(), QSize(459, 421));
    EXPECT_EQ(form.font().pixelSize(), 11);  // 8 points at 96 dots per inch
    EXPECT_EQ(form.font().families().value(0), "Verdana");
    QWidget* frame = GetDlgItem(&form, 1000);
    ASSERT_NE(frame, nullptr);
    // 7,7,144,180 du: left 12.25 -> 12, top 11.375 -> 11, right 264.25 -> 264, bottom 303.875 -> 304.
    EXPECT_EQ(frame->geometry(), QRect(12, 11, 252, 293));
    EXPECT_EQ(GetDlgCtrlID(frame), 1000);
    EXPECT_EQ(frame->accessibleName(), QStringLiteral("Fingerprint image"));
    auto* counter = DlgItem<QLineEdit>(&form, 1078);
    ASSERT_NE(counter, nullptr);
    EXPECT_TRUE(counter->isReadOnly());
    EXPECT_TRUE(counter->alignment() & Qt::AlignRight);
    EXPECT_EQ(counter->accessibleName(), QStringLiteral("Success"));  // named by the label before it
    EXPECT_EQ(GetDlgItem(&form, 4242), nullptr);
    EXPECT_TRUE(ClickDlgItem(&form, 1001));
    EXPECT_TRUE(ClickDlgItem(&form, 1018));
    EXPECT_TRUE(IsDlgButtonChecked(&form, 1018));
    EXPECT_TRUE(SetDlgItemText(&form, 1078, QStringLiteral("12")));
    const std::vector<std::pair<int, int>> events = {{1001, BN_CLICKED}, {1018, BN_CLICKED}, {1078, EN_CHANGE}};
    EXPECT_EQ(form.events, events);
    EXPECT_EQ(form.enterMaster + form.counterChanged, 2);
    // Disabled and hidden controls cannot be clicked.
    EXPECT_FALSE(ClickDlgItem(&form, 1065));
    EXPECT_FALSE(ClickDlgItem(&form, 1072));
    EnableDlgItem(&form, 1001, false);
    EXPECT_FALSE(ClickDlgItem(&form, 1001));
    ShowDlgItem(&form, 1072, true);
    EXPECT_TRUE(ClickDlgItem(&form, 1072));
    EXPECT_EQ(form.enterMaster, 1);
}

TEST(DialogTemplate, FlagsShapeTheWidgetsAndRadioGroupsAreExclusive) {
    EnsureApp();
    QWidget owner;
    ASSERT_TRUE(BuildFromTemplate(&owner, Parse(R"(DIALOG 1 "Flags" 200 200
CONTROL -1 LABEL "&ID:" 0 0 20 8
CONTROL 1 EDIT "" 0 10 50 14 LIMIT=9 UPPERCASE
CONTROL 2 EDIT "" 0 30 50 14 PASSWORD
CONTROL 3 EDIT "" 0 50 50 14 NUMBER
CONTROL 4 EDIT "" 0 70 50 40 MULTILINE READONLY
CONTROL 5 COMBO "" 0 120 50 100 DROPLIST
CONTROL 6 COMBO "" 60 120 50 100
CONTROL 7 LIST "" 60 0 30 30 SORTED
CONTROL 8 PROGRESS "" 60 40 30 10
CONTROL 9 GROUP "Box" 60 60 30 30
CONTROL 10 ICON "155" 0 160 20 20
CONTROL 11 ANIMATION "144" 30 160 20 20 AUTOPLAY
CONTROL 21 RADIO "a" 100 0 40 10 GROUPSTART
CONTROL 22 RADIO "b" 100 10 40 10
CONTROL 23 RADIO "c" 100 20 40 10 GROUPSTART
CONTROL 24 RADIO "d" 100 30 40 10
CONTROL -1 LABEL "x" 100 40 40 10
CONTROL 25 RADIO "e" 100 50 40 10
)")));
    auto* id = DlgItem<QLineEdit>(&owner, 1);
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->maxLength(), 9);
    EXPECT_EQ(id->accessibleName(), QStringLiteral("ID"));
    // Capitals are made as the keys are typed: one change a keystroke.
    int changes = 0;
    QObject::connect(id, &QLineEdit::textChanged, [&] { ++changes; });
    TypeKeys(id, QStringLiteral("ab1é"));
    EXPECT_EQ(id->text(), QStringLiteral("AB1É"));
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(DlgItem<QLineEdit>(&owner, 2)->echoMode(), QLineEdit::Password);
    QString text = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(DlgItem<QLineEdit>(&owner, 3)->validator()->validate(text, pos), QValidator::Invalid);
    SetDlgItemText(&owner, 4, QStringLiteral("line1\nline2"));
    EXPECT_TRUE(DlgItem<QPlainTextEdit>(&owner, 4)->isReadOnly());
    EXPECT_EQ(GetDlgItemText(&owner, 4), QStringLiteral("line1\nline2"));
    EXPECT_FALSE(DlgItem<QComboBox>(&owner, 5)->isEditable());
    EXPECT_TRUE(DlgItem<QComboBox>(&owner, 6)->isEditable());
    EXPECT_LT(GetDlgItem(&owner, 6)->height(), 60);  // as high as its edit field, not the list
    EXPECT_TRUE(DlgItem<QTreeWidget>(&owner, 7)->isSortingEnabled());
    EXPECT_NE(DlgItem<QProgressBar>(&owner, 8), nullptr);
    EXPECT_EQ(DlgItem<QGroupBox>(&owner, 9)->title(), QStringLiteral("Box"));
    EXPECT_FALSE(DlgItem<QLabel>(&owner, 10)->pixmap().isNull());
    EXPECT_TRUE(DlgItem<CAnimateCtrl>(&owner, 11)->ClipId() == 144 && DlgItem<CAnimateCtrl>(&owner, 11)->IsPlaying());
    for (int radio : {21, 23, 25}) CheckDlgButton(&owner, radio, true);
    CheckDlgButton(&owner, 22, true);
    CheckDlgButton(&owner, 24, true);
    for (int radio : {21, 22, 23, 24, 25}) EXPECT_EQ(IsDlgButtonChecked(&owner, radio), radio != 21 && radio != 23);
}

// Every ID, password and user-data edit takes only characters the module
// stores, one byte each (Latin-1), typed key by key: the IDs "Жа" and "Юя"
// can no longer both go out as "??", nor a password be opened by "??????".
TEST(DialogTemplate, IdPasswordAndUserDataEditsTakeOnlyCharactersTheModuleStores) {
    EnsureApp();
    const struct { int dialog; int edit; const char* kept; } edits[] = {
        {135, 1019, "1é"}, {162, 1079, "1é"}, {162, 1085, "1é"}, {164, 1088, "1é"},
        {164, 1089, "1é"}, {171, 1025, "1é"}, {172, 1015, "1é"}, {155, 1013, "1É"},  // user data: capitals
    };
    for (const auto& e : edits) {
        SCOPED_TRACE(testing::Message() << e.dialog << "/" << e.edit);
        CTemplateDialog dialog(e.dialog);
        auto* edit = DlgItem<QLineEdit>(&dialog, e.edit);
        ASSERT_NE(edit, nullptr);
        TypeKeys(edit, QString::fromUtf8("Жа1Юя😀é"));
        EXPECT_EQ(edit->text(), QString::fromUtf8(e.kept));
        EXPECT_EQ(QToolTip::text(), QString::fromUtf8("The module cannot store the character '😀'."));
    }
}

}  // namespace
