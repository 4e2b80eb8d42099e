// Dialog templates: parsing, dialog-unit conversion, the widgets built for
// each kind and flag, control lookup and event routing by control ID.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include "tests/ui/UiTestEnv.h"
#include "widgets/AnimateCtrl.h"
#include "widgets/DialogTemplate.h"

namespace {

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
CONTROL 1067 EDIT "" 7 238 246 14 READONLY NAME="Status"
CONTROL -1 GROUP "Information" 154 164 99 71
CONTROL 1072 BUTTON "STATUS" 158 123 45 17 HIDDEN
)";

CDlgTemplate Parse(const char* text) {
    CDlgTemplate dlg;
    QString error;
    EXPECT_TRUE(ParseDialogTemplate(QString::fromUtf8(text), dlg, &error)) << error.toStdString();
    return dlg;
}

TEST(DialogUnits, ConvertWithBaseUnitsSevenByThirteenRounded) {
    EXPECT_EQ(DluToPixelsX(262), 459);  // 458.5 rounds up
    EXPECT_EQ(DluToPixelsY(259), 421);  // 420.875
    EXPECT_EQ(DluToPixelsX(4), 7);
    EXPECT_EQ(DluToPixelsY(8), 13);
    EXPECT_EQ(DluToPixelsX(171), 299);
    EXPECT_EQ(DluToPixelsY(54), 88);
    EXPECT_EQ(DluToPixelsX(0), 0);
}

TEST(DialogTemplateParser, ReadsDialogAndControls) {
    CDlgTemplate dlg = Parse(kFormLike);
    EXPECT_EQ(dlg.id, 9101);
    EXPECT_EQ(dlg.caption, QStringLiteral("Form"));
    EXPECT_EQ(dlg.width, 262);
    EXPECT_EQ(dlg.height, 259);
    EXPECT_EQ(dlg.fontFace, QStringLiteral("Verdana"));
    EXPECT_EQ(dlg.fontPoints, 8);
    ASSERT_EQ(dlg.controls.size(), 10);
    const CDlgControl& frame = dlg.controls[0];
    EXPECT_EQ(frame.id, 1000);
    EXPECT_EQ(frame.kind, DlgKind::Frame);
    EXPECT_EQ(frame.flags, DLGF_SUNKEN | DLGF_BLACK);
    EXPECT_EQ(frame.name, QStringLiteral("Fingerprint image"));
    EXPECT_EQ(dlg.controls[2].kind, DlgKind::DefButton);
    EXPECT_EQ(dlg.controls[5].id, IDC_STATIC);
    EXPECT_EQ(dlg.controls[6].flags, DLGF_RIGHT | DLGF_READONLY);
}

TEST(DialogTemplateParser, ReadsEscapesLimitsAndEveryKind) {
    CDlgTemplate dlg = Parse(R"(DIALOG 1 "Say \"hi\"" 10 10
CONTROL 1 LABEL "a\\b\nc" 0 0 1 1 MULTILINE
CONTROL 2 EDIT "" 0 0 1 1 LIMIT=9 UPPERCASE NUMBER PASSWORD CENTER
CONTROL 3 RADIO "x" 0 0 1 1 GROUPSTART
CONTROL 4 ICON "158" 0 0 1 1
CONTROL 5 ANIMATION "142" 0 0 1 1 AUTOPLAY
CONTROL 6 LIST "" 0 0 1 1 SORTED
CONTROL 7 COMBO "" 0 0 1 1 DROPLIST
CONTROL 8 PROGRESS "" 0 0 1 1
CONTROL 9 BUTTON "b" 0 0 1 1
CONTROL 10 CHECKBOX "c" 0 0 1 1
CONTROL 11 GROUP "g" 0 0 1 1
CONTROL 12 frame "" 0 0 1 1
)");
    EXPECT_EQ(dlg.caption, QStringLiteral("Say \"hi\""));
    ASSERT_EQ(dlg.controls.size(), 12);
    EXPECT_EQ(dlg.controls[0].text, QStringLiteral("a\\b\nc"));
    EXPECT_EQ(dlg.controls[1].limit, 9);
    EXPECT_EQ(dlg.controls[1].flags, DLGF_UPPERCASE | DLGF_NUMBER | DLGF_PASSWORD | DLGF_CENTER);
    const DlgKind kinds[] = {DlgKind::Label, DlgKind::Edit,  DlgKind::Radio,    DlgKind::Icon,
                             DlgKind::Animation, DlgKind::List, DlgKind::Combo, DlgKind::Progress,
                             DlgKind::Button, DlgKind::CheckBox, DlgKind::Group, DlgKind::Frame};
    for (int i = 0; i < 12; ++i) EXPECT_EQ(dlg.controls[i].kind, kinds[i]) << i;
}

TEST(DialogTemplateParser, RejectsBrokenTemplatesNamingTheLine) {
    struct Case {
        const char* text;
        const char* expect;
    } cases[] = {
        {"CONTROL 1 LABEL \"x\" 0 0 1 1", "line 1: CONTROL before DIALOG"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 1 SLIDER \"x\" 0 0 1 1", "line 2: unknown kind 'SLIDER'"},
        {"DIALOG 1 \"x\" 10 10\n\nCONTROL 1 LABEL \"x\" 0 0 1 1 BOLD", "line 3: unknown flag 'BOLD'"},
        {"DIALOG 1 \"x 10 10", "line 1: unterminated string"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 5 LABEL \"x\" 0 0 1 1\nCONTROL 5 EDIT \"\" 0 0 1 1", "line 3: control id 5 used twice"},
        {"# nothing", "no DIALOG statement"},
        {"DIALOG 1 \"x\" 0 10", "line 1: bad dialog size"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 1 LABEL x 0 0 1 1", "line 2: control text must be quoted"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 1 EDIT \"\" 0 0 1 1 LIMIT=0", "line 2: bad LIMIT value"},
        {"DIALOG 1 \"x\" 10 10\nCONTROL 1 EDIT \"\" 0 0 -1 1", "line 2: bad control rectangle"},
        {"DIALOG 1 \"x\" 10 10\nDIALOG 2 \"y\" 10 10", "line 2: second DIALOG"},
        {"MENU 1", "line 1: unknown statement 'MENU'"},
    };
    for (const Case& c : cases) {
        CDlgTemplate dlg;
        QString error;
        EXPECT_FALSE(ParseDialogTemplate(QString::fromUtf8(c.text), dlg, &error)) << c.text;
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.expect))) << error.toStdString() << " / " << c.expect;
    }
}

TEST(DialogTemplateLoader, EveryCompiledInTemplateParsesAndCarriesItsOwnNumber) {
    EnsureApp();
    CDlgTemplate probe;
    LoadDialogTemplate(142, probe);  // registers the resources
    const QStringList files = QDir(QStringLiteral(":/dialogs")).entryList({QStringLiteral("*.dlg")});
    EXPECT_GE(files.size(), 6);
    for (const QString& file : files) {
        bool ok = false;
        int id = QFileInfo(file).baseName().toInt(&ok);
        ASSERT_TRUE(ok) << file.toStdString();
        CDlgTemplate dlg;
        QString error;
        EXPECT_TRUE(LoadDialogTemplate(id, dlg, &error)) << error.toStdString();
        EXPECT_EQ(dlg.id, id);
    }
    CDlgTemplate missing;
    QString error;
    EXPECT_FALSE(LoadDialogTemplate(9999, missing, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("9999")));
}

TEST(DialogTemplateLoader, PromptTemplatesCarryTheirCaptionsSizesAndControls) {
    EnsureApp();
    struct Expect {
        int id;
        const char* caption;
        int w, h;
        QList<int> controls;
    } expects[] = {
        {142, "Pravik", 171, 54, {1045, 1043, IDOK, IDCANCEL}},
        {141, "Waiting...", 166, 54, {1042, 1043, IDCANCEL}},
        {166, "Waiting", 161, 50, {1102, 1043, IDOK, IDCANCEL}},
        {167, "Dialog", 135, 53, {1103, 1043, IDOK, IDCANCEL}},
        {131, "Packet Trace", 280, 160, {1031}},
    };
    for (const Expect& e : expects) {
        CDlgTemplate dlg;
        ASSERT_TRUE(LoadDialogTemplate(e.id, dlg)) << e.id;
        EXPECT_EQ(dlg.caption, QString::fromUtf8(e.caption));
        EXPECT_EQ(dlg.width, e.w);
        EXPECT_EQ(dlg.height, e.h);
        QList<int> ids;
        for (const CDlgControl& c : dlg.controls) ids << c.id;
        EXPECT_EQ(ids, e.controls) << e.id;
    }
    CDlgTemplate msg;
    ASSERT_TRUE(LoadDialogTemplate(142, msg));
    EXPECT_EQ(msg.controls[1].text, QStringLiteral("Put your fingertip on the reader..."));
    EXPECT_EQ(msg.controls[1].x, 38);
    EXPECT_EQ(msg.controls[1].w, 126);
    EXPECT_TRUE(msg.controls[3].flags & DLGF_HIDDEN);  // CANCEL never visible
}

// An owner with one table from control ID and code to handler.
class CProbeForm : public QWidget, public ICommandTarget {
public:
    ~CProbeForm() override { DetachCommandTarget(this); }
    bool OnCommand(int id, int code) override {
        static const CommandEntry<CProbeForm> table[] = {
            {1001, BN_CLICKED, &CProbeForm::OnEnterMaster},
            {1018, BN_CLICKED, &CProbeForm::OnContinuous},
            {1078, EN_CHANGE, &CProbeForm::OnCounterChanged},
        };
        events.push_back({id, code});
        return DispatchCommand(this, table, id, code);
    }
    void OnEnterMaster() { ++enterMaster; }
    void OnContinuous() { ++continuous; }
    void OnCounterChanged() { ++counterChanged; }
    int enterMaster = 0, continuous = 0, counterChanged = 0;
    std::vector<std::pair<int, int>> events;
};

TEST(BuildFromTemplate, FormLikeTemplateGivesPixelRectanglesAndStandardWidgets) {
    EnsureApp();
    CProbeForm form;
    ASSERT_TRUE(BuildFromTemplate(&form, Parse(kFormLike)));
    EXPECT_EQ(form.size(), QSize(459, 421));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Form"));
    EXPECT_EQ(form.font().pointSize(), 8);

    QWidget* frame = GetDlgItem(&form, 1000);
    ASSERT_NE(frame, nullptr);
    // 7,7,144,180 du: left 12.25 -> 12, top 11.375 -> 11, right 264.25 -> 264, bottom 303.875 -> 304.
    EXPECT_EQ(frame->geometry(), QRect(12, 11, 252, 293));
    EXPECT_EQ(frame->objectName(), QStringLiteral("ctl1000"));
    EXPECT_EQ(GetDlgCtrlID(frame), 1000);
    EXPECT_EQ(frame->accessibleName(), QStringLiteral("Fingerprint image"));

    EXPECT_NE(DlgItem<QPushButton>(&form, 1001), nullptr);
    EXPECT_NE(DlgItem<QCheckBox>(&form, 1018), nullptr);
    auto* counter = DlgItem<QLineEdit>(&form, 1078);
    ASSERT_NE(counter, nullptr);
    EXPECT_TRUE(counter->isReadOnly());
    EXPECT_TRUE(counter->alignment() & Qt::AlignRight);
    // An edit without its own name is named by the label before it.
    EXPECT_EQ(counter->accessibleName(), QStringLiteral("Success"));
    EXPECT_EQ(GetDlgItem(&form, 1067)->accessibleName(), QStringLiteral("Status"));
    EXPECT_FALSE(IsDlgItemEnabled(&form, 1065));
    EXPECT_FALSE(GetDlgItem(&form, 1072)->isVisibleTo(&form));
    EXPECT_TRUE(GetDlgItem(&form, 1001)->isVisibleTo(&form));
    EXPECT_EQ(GetDlgItem(&form, 4242), nullptr);
    EXPECT_EQ(GetDlgItemText(&form, 1016), QStringLiteral("CONNECT"));
}

TEST(BuildFromTemplate, ControlEventsReachTheOwnersTableByControlId) {
    EnsureApp();
    CProbeForm form;
    ASSERT_TRUE(BuildFromTemplate(&form, Parse(kFormLike)));
    EXPECT_TRUE(ClickDlgItem(&form, 1001));
    EXPECT_TRUE(ClickDlgItem(&form, 1018));
    EXPECT_TRUE(IsDlgButtonChecked(&form, 1018));
    EXPECT_TRUE(SetDlgItemText(&form, 1078, QStringLiteral("12")));
    EXPECT_EQ(form.enterMaster, 1);
    EXPECT_EQ(form.continuous, 1);
    EXPECT_EQ(form.counterChanged, 1);
    EXPECT_EQ(GetDlgItemText(&form, 1078), QStringLiteral("12"));

    // Disabled and hidden controls cannot be clicked.
    EXPECT_FALSE(ClickDlgItem(&form, 1065));
    EXPECT_FALSE(ClickDlgItem(&form, 1072));
    // A button without a table entry still reports its click.
    form.events.clear();
    EXPECT_TRUE(ClickDlgItem(&form, 1016));
    ASSERT_EQ(form.events.size(), 1u);
    EXPECT_EQ(form.events[0], std::make_pair(1016, BN_CLICKED));

    EnableDlgItem(&form, 1001, false);
    EXPECT_FALSE(ClickDlgItem(&form, 1001));
    EXPECT_EQ(form.enterMaster, 1);
    ShowDlgItem(&form, 1072, true);
    EXPECT_TRUE(GetDlgItem(&form, 1072)->isVisibleTo(&form));
}

TEST(BuildFromTemplate, FlagsShapeTheWidgets) {
    EnsureApp();
    QWidget owner;
    ASSERT_TRUE(BuildFromTemplate(&owner, Parse(R"(DIALOG 1 "Flags" 200 200
CONTROL -1 LABEL "&ID:" 0 0 20 8
CONTROL 1 EDIT "" 0 10 50 14 LIMIT=9 UPPERCASE
CONTROL 2 EDIT "" 0 30 50 14 PASSWORD LIMIT=15 NAME="Password"
CONTROL 3 EDIT "" 0 50 50 14 NUMBER
CONTROL 4 EDIT "" 0 70 50 40 MULTILINE READONLY
CONTROL 5 COMBO "" 0 120 50 100 DROPLIST
CONTROL 6 COMBO "" 60 120 50 100
CONTROL 7 LIST "" 60 0 100 100 SORTED
CONTROL 8 PROGRESS "" 60 105 100 10
CONTROL 9 LABEL "right" 0 150 50 8 RIGHT
CONTROL 10 ICON "155" 0 160 20 20
CONTROL 11 ANIMATION "144" 30 160 20 20 AUTOPLAY
CONTROL 12 GROUP "Box" 100 150 90 40
)")));
    auto* id = DlgItem<QLineEdit>(&owner, 1);
    ASSERT_NE(id, nullptr);
    EXPECT_EQ(id->maxLength(), 9);
    EXPECT_EQ(id->accessibleName(), QStringLiteral("ID"));
    id->setText(QStringLiteral("ab1"));
    emit id->textEdited(id->text());
    EXPECT_EQ(id->text(), QStringLiteral("AB1"));

    auto* password = DlgItem<QLineEdit>(&owner, 2);
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    EXPECT_EQ(password->maxLength(), 15);
    EXPECT_EQ(password->accessibleName(), QStringLiteral("Password"));

    auto* number = DlgItem<QLineEdit>(&owner, 3);
    ASSERT_NE(number->validator(), nullptr);
    QString text = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(number->validator()->validate(text, pos), QValidator::Invalid);
    text = QStringLiteral("123");
    EXPECT_EQ(number->validator()->validate(text, pos), QValidator::Acceptable);

    auto* multi = DlgItem<QPlainTextEdit>(&owner, 4);
    ASSERT_NE(multi, nullptr);
    EXPECT_TRUE(multi->isReadOnly());
    SetDlgItemText(&owner, 4, QStringLiteral("line1\nline2"));
    EXPECT_EQ(GetDlgItemText(&owner, 4), QStringLiteral("line1\nline2"));

    EXPECT_FALSE(DlgItem<QComboBox>(&owner, 5)->isEditable());
    EXPECT_TRUE(DlgItem<QComboBox>(&owner, 6)->isEditable());
    // A combo box is as high as its edit field, not its dropped-down list.
    EXPECT_LT(GetDlgItem(&owner, 6)->height(), 60);

    auto* list = DlgItem<QTreeWidget>(&owner, 7);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(list->isSortingEnabled());
    EXPECT_FALSE(list->rootIsDecorated());
    EXPECT_FALSE(list->accessibleName().isEmpty());
    EXPECT_NE(DlgItem<QProgressBar>(&owner, 8), nullptr);
    EXPECT_TRUE(DlgItem<QLabel>(&owner, 9)->alignment() & Qt::AlignRight);

    auto* icon = DlgItem<QLabel>(&owner, 10);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->property("iconId").toInt(), 155);
    EXPECT_FALSE(icon->pixmap().isNull());
    EXPECT_FALSE(icon->accessibleName().isEmpty());

    auto* animation = DlgItem<CAnimateCtrl>(&owner, 11);
    ASSERT_NE(animation, nullptr);
    EXPECT_EQ(animation->ClipId(), 144);
    EXPECT_TRUE(animation->IsPlaying());

    EXPECT_EQ(GetDlgItemText(&owner, 12), QStringLiteral("Box"));
    EXPECT_NE(DlgItem<QGroupBox>(&owner, 12), nullptr);
}

TEST(BuildFromTemplate, RadioGroupsAreExclusiveWithinEachGroup) {
    EnsureApp();
    QWidget owner;
    ASSERT_TRUE(BuildFromTemplate(&owner, Parse(R"(DIALOG 1 "Radios" 100 100
CONTROL 1 RADIO "a" 0 0 40 10 GROUPSTART
CONTROL 2 RADIO "b" 0 10 40 10
CONTROL 3 RADIO "c" 0 20 40 10 GROUPSTART
CONTROL 4 RADIO "d" 0 30 40 10
CONTROL -1 LABEL "x" 0 40 40 10
CONTROL 5 RADIO "e" 0 50 40 10
)")));
    CheckDlgButton(&owner, 1, true);
    CheckDlgButton(&owner, 3, true);
    CheckDlgButton(&owner, 5, true);
    EXPECT_TRUE(IsDlgButtonChecked(&owner, 1));
    EXPECT_TRUE(IsDlgButtonChecked(&owner, 3));
    EXPECT_TRUE(IsDlgButtonChecked(&owner, 5));
    CheckDlgButton(&owner, 2, true);
    EXPECT_FALSE(IsDlgButtonChecked(&owner, 1));
    EXPECT_TRUE(IsDlgButtonChecked(&owner, 3));
    CheckDlgButton(&owner, 4, true);
    EXPECT_FALSE(IsDlgButtonChecked(&owner, 3));
    EXPECT_TRUE(IsDlgButtonChecked(&owner, 2));
    EXPECT_TRUE(IsDlgButtonChecked(&owner, 5));
}

TEST(BuildFromTemplate, ControlFactoryMayReplaceAStandardWidget) {
    EnsureApp();
    QWidget owner;
    ASSERT_TRUE(BuildFromTemplate(&owner, Parse("DIALOG 1 \"x\" 100 100\nCONTROL 7 LIST \"\" 0 0 100 100\n"),
                                  [](const CDlgControl& c, QWidget* parent) -> QWidget* {
                                      return c.id == 7 ? new QLabel(QStringLiteral("custom"), parent) : nullptr;
                                  }));
    auto* label = DlgItem<QLabel>(&owner, 7);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("custom"));
    EXPECT_EQ(label->geometry(), QRect(0, 0, 175, 163));
}

TEST(BuildFromTemplate, MissingTemplateBuildsNothing) {
    EnsureApp();
    QWidget owner;
    EXPECT_FALSE(BuildFromTemplate(&owner, 9999));
    EXPECT_TRUE(owner.findChildren<QWidget*>().isEmpty());
}

// A dialog whose OK is refused until its edit holds text.
class CProbeDialog : public CTemplateDialog {
public:
    CProbeDialog() : CTemplateDialog(142) {}
    int inits = 0, oks = 0, cancels = 0;

protected:
    void OnInitDialog() override { ++inits; }
    void OnOK() override {
        ++oks;
        CTemplateDialog::OnOK();
    }
    void OnCancel() override {
        ++cancels;
        CTemplateDialog::OnCancel();
    }
};

TEST(TemplateDialog, OkCancelEscapeAndCloseBoxRunTheHandlers) {
    EnsureApp();
    CProbeDialog dlg;
    ASSERT_TRUE(dlg.IsBuilt());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Pravik"));
    EXPECT_EQ(dlg.size(), QSize(299, 88));
    dlg.show();
    dlg.show();
    EXPECT_EQ(dlg.inits, 1);
    EXPECT_TRUE(ClickDlgItem(&dlg, IDOK));
    EXPECT_EQ(dlg.oks, 1);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    dlg.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&dlg, &escape);
    EXPECT_EQ(dlg.cancels, 1);
    EXPECT_FALSE(dlg.isVisible());

    dlg.show();
    dlg.close();
    EXPECT_EQ(dlg.cancels, 2);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.inits, 1);
}

}  // namespace
