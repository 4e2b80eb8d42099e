#include "widgets/DialogTemplate.h"

#include <algorithm>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QToolTip>
#include <QTreeWidget>
#include <cmath>

#include "widgets/AnimateCtrl.h"
#include "widgets/EditValidator.h"
#include "widgets/Resources.h"

// The compiled-in resources live in a static library: make sure their
// registration is linked in and has run.
static void EnsureResources() {
    static const bool s_bDone = [] {
        Q_INIT_RESOURCE(res);
        return true;
    }();
    (void)s_bDone;
}

namespace {

// Return or Enter on a focused button presses it, as Space does. Installed
// on the buttons of a template without a default button, whose buttons are
// no auto-default buttons (so that Return typed in an edit presses none).
class CReturnPressesFocusedButton : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->isEnabled()) return false;
        button->click();
        return true;
    }
};

const char* const CONTROL_ID_PROPERTY = "controlId";
const char* const ROUTER_NAME = "pravikCommandRouter";

int RoundDiv(int numerator, int denominator) {
    // Rounds half away from zero.
    return static_cast<int>(std::lround(static_cast<double>(numerator) / denominator));
}

struct Token {
    QString text;
    bool quoted = false;
};

bool Tokenize(const QString& line, QVector<Token>& tokens, QString& why) {
    tokens.clear();
    int i = 0;
    const int n = line.size();
    while (i < n) {
        while (i < n && line[i].isSpace()) ++i;
        if (i >= n) break;
        Token token;
        while (i < n && !line[i].isSpace()) {
            if (line[i] == QLatin1Char('"')) {
                token.quoted = true;
                ++i;
                bool closed = false;
                while (i < n) {
                    QChar c = line[i++];
                    if (c == QLatin1Char('"')) {
                        closed = true;
                        break;
                    }
                    if (c == QLatin1Char('\\') && i < n) {
                        QChar e = line[i++];
                        if (e == QLatin1Char('n')) token.text += QLatin1Char('\n');
                        else if (e == QLatin1Char('t')) token.text += QLatin1Char('\t');
                        else token.text += e;
                        continue;
                    }
                    token.text += c;
                }
                if (!closed) {
                    why = QStringLiteral("unterminated string");
                    return false;
                }
            } else {
                token.text += line[i++];
            }
        }
        tokens << token;
    }
    return true;
}

bool ToInt(const Token& token, int& value) {
    if (token.quoted) return false;
    bool ok = false;
    value = token.text.toInt(&ok, 10);
    return ok;
}

bool ParseKind(const QString& word, DlgKind& kind) {
    static const struct {
        const char* name;
        DlgKind kind;
    } kKinds[] = {
        {"LABEL", DlgKind::Label},         {"BUTTON", DlgKind::Button}, {"DEFBUTTON", DlgKind::DefButton},
        {"CHECKBOX", DlgKind::CheckBox},   {"RADIO", DlgKind::Radio},   {"EDIT", DlgKind::Edit},
        {"GROUP", DlgKind::Group},         {"FRAME", DlgKind::Frame},   {"ICON", DlgKind::Icon},
        {"ANIMATION", DlgKind::Animation}, {"LIST", DlgKind::List},     {"COMBO", DlgKind::Combo},
        {"PROGRESS", DlgKind::Progress},
    };
    for (const auto& k : kKinds) {
        if (word.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0) {
            kind = k.kind;
            return true;
        }
    }
    return false;
}

bool ParseFlag(const Token& token, CDlgControl& control, QString& why) {
    static const struct {
        const char* name;
        unsigned bit;
    } kFlags[] = {
        {"READONLY", DLGF_READONLY},   {"RIGHT", DLGF_RIGHT},         {"CENTER", DLGF_CENTER},
        {"PASSWORD", DLGF_PASSWORD},   {"DISABLED", DLGF_DISABLED},   {"HIDDEN", DLGF_HIDDEN},
        {"SORTED", DLGF_SORTED},       {"SUNKEN", DLGF_SUNKEN},       {"BLACK", DLGF_BLACK},
        {"UPPERCASE", DLGF_UPPERCASE}, {"NUMBER", DLGF_NUMBER},       {"GROUPSTART", DLGF_GROUPSTART},
        {"MULTILINE", DLGF_MULTILINE}, {"AUTOPLAY", DLGF_AUTOPLAY},   {"DROPLIST", DLGF_DROPLIST},
        {"BYTETEXT", DLGF_BYTETEXT},
    };
    const QString& word = token.text;
    if (word.startsWith(QLatin1String("LIMIT="), Qt::CaseInsensitive) && !token.quoted) {
        bool ok = false;
        int limit = word.mid(6).toInt(&ok);
        if (!ok || limit <= 0) {
            why = QStringLiteral("bad LIMIT value '%1'").arg(word.mid(6));
            return false;
        }
        control.limit = limit;
        return true;
    }
    if (word.startsWith(QLatin1String("NAME="), Qt::CaseInsensitive) && token.quoted) {
        control.name = word.mid(5);
        return true;
    }
    if (word.startsWith(QLatin1String("DESC="), Qt::CaseInsensitive) && token.quoted) {
        control.description = word.mid(5);
        return true;
    }
    if (!token.quoted) {
        for (const auto& f : kFlags) {
            if (word.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0) {
                control.flags |= f.bit;
                return true;
            }
        }
    }
    why = QStringLiteral("unknown flag '%1'").arg(word);
    return false;
}

// Text for an accessible name taken from a label: without the mnemonic
// marks and a trailing colon.
QString LabelToName(QString text) {
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':'))) text.chop(1);
    return text.trimmed();
}

QString DefaultName(const CDlgControl& c) {
    switch (c.kind) {
        case DlgKind::Icon: return QStringLiteral("Icon");
        case DlgKind::Animation: return QStringLiteral("Animation");
        case DlgKind::Frame: return QStringLiteral("Picture");
        case DlgKind::Progress: return QStringLiteral("Progress");
        case DlgKind::List: return QStringLiteral("List");
        default: return QString();
    }
}

bool NeedsName(DlgKind kind) {
    switch (kind) {
        case DlgKind::Edit:
        case DlgKind::Combo:
        case DlgKind::List:
        case DlgKind::Progress:
        case DlgKind::Frame:
        case DlgKind::Icon:
        case DlgKind::Animation: return true;
        default: return false;
    }
}

Qt::Alignment HorizontalAlignment(unsigned flags) {
    if (flags & DLGF_RIGHT) return Qt::AlignRight;
    if (flags & DLGF_CENTER) return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

QWidget* MakeStandardControl(const CDlgControl& c, QWidget* owner) {
    switch (c.kind) {
        case DlgKind::Label: {
            auto* label = new QLabel(c.text, owner);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(HorizontalAlignment(c.flags) | Qt::AlignTop);
            label->setWordWrap((c.flags & DLGF_MULTILINE) != 0);
            if (c.flags & DLGF_SUNKEN) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return label;
        }
        case DlgKind::Button:
        case DlgKind::DefButton: {
            auto* button = new QPushButton(c.text, owner);
            bool inDialog = qobject_cast<QDialog*>(owner) != nullptr;
            button->setAutoDefault(inDialog);
            // Outside a dialog (the main form) the flag draws the default
            // style; the form presses the button on Return itself.
            button->setDefault(c.kind == DlgKind::DefButton);
            return button;
        }
        case DlgKind::CheckBox: return new QCheckBox(c.text, owner);
        case DlgKind::Radio: return new QRadioButton(c.text, owner);
        case DlgKind::Edit: {
            if (c.flags & DLGF_MULTILINE) {
                auto* edit = new QPlainTextEdit(c.text, owner);
                edit->setReadOnly((c.flags & DLGF_READONLY) != 0);
                return edit;
            }
            auto* edit = new QLineEdit(c.text, owner);
            edit->setReadOnly((c.flags & DLGF_READONLY) != 0);
            edit->setAlignment(HorizontalAlignment(c.flags) | Qt::AlignVCenter);
            if (c.flags & DLGF_PASSWORD) edit->setEchoMode(QLineEdit::Password);
            if (c.limit > 0) edit->setMaxLength(c.limit);
            const unsigned rules = (c.flags & DLGF_NUMBER ? CEditValidator::RULE_DIGITS : 0u) |
                                   (c.flags & DLGF_UPPERCASE ? CEditValidator::RULE_UPPER_CASE : 0u) |
                                   (c.flags & DLGF_BYTETEXT ? CEditValidator::RULE_BYTE_TEXT : 0u);
            if (rules) {
                auto* validator = new CEditValidator(rules, edit);
                // A refused character is named beside the edit, so that the
                // keystroke that did nothing is explained.
                validator->m_fnRefused = [edit](const QString& character) {
                    QToolTip::showText(edit->mapToGlobal(QPoint(0, edit->height())),
                                       QStringLiteral("The module cannot store the character '%1'.").arg(character),
                                       edit);
                };
                edit->setValidator(validator);
            }
            return edit;
        }
        case DlgKind::Group: return new QGroupBox(c.text, owner);
        case DlgKind::Frame: {
            auto* frame = new QFrame(owner);
            if (c.flags & DLGF_BLACK) {
                frame->setFrameStyle(QFrame::Box | QFrame::Plain);
                QPalette palette = frame->palette();
                palette.setColor(QPalette::WindowText, Qt::black);
                frame->setPalette(palette);
            } else {
                frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            }
            if (c.flags & DLGF_SUNKEN) frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            return frame;
        }
        case DlgKind::Icon: {
            auto* label = new QLabel(owner);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            bool ok = false;
            int iconId = c.text.toInt(&ok);
            if (ok) {
                label->setPixmap(LoadIconPixmap(iconId, 32));
                label->setProperty("iconId", iconId);
            }
            return label;
        }
        case DlgKind::Animation: {
            auto* animation = new CAnimateCtrl(owner);
            animation->SetAutoPlay((c.flags & DLGF_AUTOPLAY) != 0);
            bool ok = false;
            int clipId = c.text.toInt(&ok);
            if (ok) animation->Open(clipId);
            return animation;
        }
        case DlgKind::List: {
            auto* list = new QTreeWidget(owner);
            list->setRootIsDecorated(false);
            list->setUniformRowHeights(true);
            list->setAllColumnsShowFocus(true);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setSelectionBehavior(QAbstractItemView::SelectRows);
            list->setColumnCount(0);
            list->header()->setStretchLastSection(false);
            list->setSortingEnabled((c.flags & DLGF_SORTED) != 0);
            return list;
        }
        case DlgKind::Combo: {
            auto* combo = new QComboBox(owner);
            combo->setEditable((c.flags & DLGF_DROPLIST) == 0);
            combo->setInsertPolicy(QComboBox::NoInsert);
            if (combo->isEditable() && c.limit > 0) combo->lineEdit()->setMaxLength(c.limit);
            if (combo->isEditable() && !c.text.isEmpty()) combo->setEditText(c.text);
            return combo;
        }
        case DlgKind::Progress: {
            auto* progress = new QProgressBar(owner);
            progress->setRange(0, 100);
            progress->setValue(0);
            progress->setTextVisible(false);
            return progress;
        }
    }
    return nullptr;
}

// Sends the controls' events to the owner. The router is the context of
// every connection, so deleting it cuts them all.
QObject* RouterOf(QWidget* owner, bool create) {
    QObject* router = owner->findChild<QObject*>(QLatin1String(ROUTER_NAME), Qt::FindDirectChildrenOnly);
    if (!router && create) {
        router = new QObject(owner);
        router->setObjectName(QLatin1String(ROUTER_NAME));
    }
    return router;
}

void RouteEvents(QWidget* control, const CDlgControl& c, ICommandTarget* target, QObject* router) {
    const int id = c.id;
    auto send = [target, id](int code) { target->OnCommand(id, code); };
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (button->isCheckable()) {
            // A check box or radio button reports a change of its state,
            // however it came: a click, the keyboard, a screen reader's
            // toggle action or a check set by the program. A radio button
            // reports only being chosen, not the choice it took over from.
            const bool radio = qobject_cast<QRadioButton*>(button) != nullptr;
            QObject::connect(button, &QAbstractButton::toggled, router, [send, radio](bool checked) {
                if (checked || !radio) send(BN_CLICKED);
            });
        } else {
            QObject::connect(button, &QAbstractButton::clicked, router, [send] { send(BN_CLICKED); });
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        QObject::connect(edit, &QLineEdit::textChanged, router, [send] { send(EN_CHANGE); });
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        QObject::connect(text, &QPlainTextEdit::textChanged, router, [send] { send(EN_CHANGE); });
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        // Only the operator's choices, as selection-change notices go.
        QObject::connect(combo, &QComboBox::activated, router, [send] { send(CBN_SELCHANGE); });
        if (combo->lineEdit()) {
            QObject::connect(combo->lineEdit(), &QLineEdit::textEdited, router, [send] { send(CBN_EDITCHANGE); });
        }
    } else if (auto* tree = qobject_cast<QTreeWidget*>(control)) {
        QObject::connect(tree, &QTreeWidget::currentItemChanged, router, [send] { send(LVN_ITEMCHANGED); });
        QObject::connect(tree, &QTreeWidget::itemDoubleClicked, router, [send] { send(NM_DBLCLK); });
    }
}

}  // namespace

int DluToPixelsX(int du) { return RoundDiv(du * 7, 4); }
int DluToPixelsY(int du) { return RoundDiv(du * 13, 8); }

bool ParseDialogTemplate(const QString& text, CDlgTemplate& out, QString* error) {
    out = CDlgTemplate();
    bool haveDialog = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    auto fail = [error](int line, const QString& why) {
        if (error) *error = QStringLiteral("line %1: %2").arg(line).arg(why);
        return false;
    };
    for (int index = 0; index < lines.size(); ++index) {
        const int lineNo = index + 1;
        QString line = lines[index].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        QVector<Token> tokens;
        QString why;
        if (!Tokenize(line, tokens, why)) return fail(lineNo, why);
        const QString keyword = tokens[0].text.toUpper();
        if (keyword == QLatin1String("DIALOG") && !tokens[0].quoted) {
            if (haveDialog) return fail(lineNo, QStringLiteral("second DIALOG statement"));
            if (tokens.size() != 5 && tokens.size() != 8) return fail(lineNo, QStringLiteral("DIALOG needs id, caption, width, height [FONT face points]"));
            if (!ToInt(tokens[1], out.id)) return fail(lineNo, QStringLiteral("bad dialog id"));
            if (!tokens[2].quoted) return fail(lineNo, QStringLiteral("caption must be quoted"));
            out.caption = tokens[2].text;
            if (!ToInt(tokens[3], out.width) || !ToInt(tokens[4], out.height) || out.width <= 0 || out.height <= 0) {
                return fail(lineNo, QStringLiteral("bad dialog size"));
            }
            if (tokens.size() == 8) {
                if (tokens[5].text.toUpper() != QLatin1String("FONT") || !tokens[6].quoted) {
                    return fail(lineNo, QStringLiteral("expected FONT \"face\" points"));
                }
                out.fontFace = tokens[6].text;
                if (!ToInt(tokens[7], out.fontPoints) || out.fontPoints <= 0) return fail(lineNo, QStringLiteral("bad font size"));
            }
            haveDialog = true;
        } else if (keyword == QLatin1String("CONTROL") && !tokens[0].quoted) {
            if (!haveDialog) return fail(lineNo, QStringLiteral("CONTROL before DIALOG"));
            if (tokens.size() < 8) return fail(lineNo, QStringLiteral("CONTROL needs id, kind, text, x, y, w, h"));
            CDlgControl c;
            c.line = lineNo;
            if (!ToInt(tokens[1], c.id)) return fail(lineNo, QStringLiteral("bad control id"));
            if (!ParseKind(tokens[2].text, c.kind) || tokens[2].quoted) {
                return fail(lineNo, QStringLiteral("unknown kind '%1'").arg(tokens[2].text));
            }
            if (!tokens[3].quoted) return fail(lineNo, QStringLiteral("control text must be quoted"));
            c.text = tokens[3].text;
            if (!ToInt(tokens[4], c.x) || !ToInt(tokens[5], c.y) || !ToInt(tokens[6], c.w) || !ToInt(tokens[7], c.h) ||
                c.w < 0 || c.h < 0) {
                return fail(lineNo, QStringLiteral("bad control rectangle"));
            }
            for (int t = 8; t < tokens.size(); ++t) {
                if (!ParseFlag(tokens[t], c, why)) return fail(lineNo, why);
            }
            if (c.id != IDC_STATIC) {
                for (const CDlgControl& other : out.controls) {
                    if (other.id == c.id) {
                        return fail(lineNo, QStringLiteral("control id %1 used twice (line %2)").arg(c.id).arg(other.line));
                    }
                }
            }
            out.controls << c;
        } else {
            return fail(lineNo, QStringLiteral("unknown statement '%1'").arg(tokens[0].text));
        }
    }
    if (!haveDialog) return fail(lines.size(), QStringLiteral("no DIALOG statement"));
    return true;
}

bool LoadDialogTemplate(int templateId, CDlgTemplate& out, QString* error) {
    EnsureResources();
    QFile file(QStringLiteral(":/dialogs/%1.dlg").arg(templateId));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("dialog template %1 not found").arg(templateId);
        return false;
    }
    QString parseError;
    if (!ParseDialogTemplate(QString::fromUtf8(file.readAll()), out, &parseError)) {
        if (error) *error = QStringLiteral("dialog template %1: %2").arg(templateId).arg(parseError);
        return false;
    }
    if (out.id != templateId) {
        if (error) *error = QStringLiteral("dialog template %1 declares id %2").arg(templateId).arg(out.id);
        return false;
    }
    return true;
}

bool BuildFromTemplate(QWidget* owner, int templateId, const DlgControlFactory& factory) {
    CDlgTemplate dlg;
    QString error;
    if (!owner || !LoadDialogTemplate(templateId, dlg, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return BuildFromTemplate(owner, dlg, factory);
}

QFont TemplateFont(const QString& face, int points) {
    // The layout is in fixed pixels (base units 7 x 13), so the font is sized
    // in pixels too, as at 96 dots per inch. Where the face is missing (a
    // Debian desktop rarely has Verdana) a condensed face of the same height
    // keeps every caption inside its control.
    QFont font;
    font.setFamilies({face, QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans Narrow"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(qRound(points * 96.0 / 72.0));
    return font;
}

bool BuildFromTemplate(QWidget* owner, const CDlgTemplate& dlg, const DlgControlFactory& factory) {
    if (!owner) return false;
    if (!dlg.caption.isEmpty()) owner->setWindowTitle(dlg.caption);
    if (dlg.fontPoints > 0) owner->setFont(TemplateFont(dlg.fontFace, dlg.fontPoints));
    owner->setFixedSize(DluToPixelsX(dlg.width), DluToPixelsY(dlg.height));
    owner->setProperty("templateId", dlg.id);

    ICommandTarget* target = dynamic_cast<ICommandTarget*>(owner);
    QObject* router = target ? RouterOf(owner, true) : nullptr;

    QButtonGroup* radioGroup = nullptr;
    const CDlgControl* previous = nullptr;
    QLabel* previousLabel = nullptr;
    QList<QWidget*> behind;  // group boxes and frames go below the other controls
    for (const CDlgControl& c : dlg.controls) {
        QWidget* control = factory ? factory(c, owner) : nullptr;
        if (!control) control = MakeStandardControl(c, owner);
        if (!control) continue;
        if (control->parentWidget() != owner) control->setParent(owner);

        control->setObjectName(QStringLiteral("ctl%1").arg(c.id));
        control->setProperty(CONTROL_ID_PROPERTY, c.id);
        int left = DluToPixelsX(c.x), top = DluToPixelsY(c.y);
        int width = DluToPixelsX(c.x + c.w) - left, height = DluToPixelsY(c.y + c.h) - top;
        if (qobject_cast<QComboBox*>(control)) {
            // The template's height includes the dropped-down list.
            height = std::min(height, control->sizeHint().height());
        }
        control->setGeometry(left, top, width, height);

        if (c.kind == DlgKind::Radio) {
            if (!radioGroup || (c.flags & DLGF_GROUPSTART) || !previous || previous->kind != DlgKind::Radio) {
                radioGroup = new QButtonGroup(owner);
                radioGroup->setExclusive(true);
            }
            radioGroup->addButton(static_cast<QRadioButton*>(control));
        }

        if (!c.description.isEmpty()) control->setAccessibleDescription(c.description);
        if (!c.description.isEmpty() && c.kind == DlgKind::Label) {
            // A value label: its name is its current text, so a screen reader
            // reads the value; the fixed words are its description.
        } else if (!c.name.isEmpty()) {
            control->setAccessibleName(c.name);
        } else if (NeedsName(c.kind)) {
            if (previousLabel && !previousLabel->text().isEmpty()) {
                control->setAccessibleName(LabelToName(previousLabel->text()));
            } else {
                QString name = DefaultName(c);
                if (!name.isEmpty()) control->setAccessibleName(name);
            }
        }
        if (previousLabel && (c.kind == DlgKind::Edit || c.kind == DlgKind::Combo)) previousLabel->setBuddy(control);

        if (c.flags & DLGF_DISABLED) control->setEnabled(false);
        if (c.flags & DLGF_HIDDEN) control->setVisible(false);
        else if (owner->isVisible()) control->show();
        if (c.kind == DlgKind::Group || c.kind == DlgKind::Frame) behind << control;

        if (target) RouteEvents(control, c, target, router);
        previous = &c;
        previousLabel = c.kind == DlgKind::Label ? qobject_cast<QLabel*>(control) : nullptr;
    }
    for (auto it = behind.rbegin(); it != behind.rend(); ++it) (*it)->lower();
    // A template without a default button has none: Return must not press
    // whichever button a dialog would otherwise pick (SET BAUD RATE, say).
    const bool hasDefault = std::any_of(dlg.controls.begin(), dlg.controls.end(),
                                        [](const CDlgControl& c) { return c.kind == DlgKind::DefButton; });
    if (!hasDefault) {
        auto* returnPresses = new CReturnPressesFocusedButton(owner);
        for (QPushButton* button : owner->findChildren<QPushButton*>()) {
            button->setAutoDefault(false);
            button->installEventFilter(returnPresses);
        }
    }
    return true;
}

void DetachCommandTarget(QWidget* owner) {
    if (!owner) return;
    delete RouterOf(owner, false);
}

QWidget* GetDlgItem(const QWidget* owner, int id) {
    if (!owner) return nullptr;
    return owner->findChild<QWidget*>(QStringLiteral("ctl%1").arg(id), Qt::FindDirectChildrenOnly);
}

int GetDlgCtrlID(const QWidget* control) {
    if (!control) return IDC_STATIC;
    QVariant v = control->property(CONTROL_ID_PROPERTY);
    return v.isValid() ? v.toInt() : IDC_STATIC;
}

QString GetDlgItemText(const QWidget* owner, int id) {
    QWidget* w = GetDlgItem(owner, id);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text();
    if (auto* text = qobject_cast<QPlainTextEdit*>(w)) return text->toPlainText();
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentText();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
    if (w) return w->windowTitle();
    return QString();
}

bool SetDlgItemText(QWidget* owner, int id, const QString& text) {
    QWidget* w = GetDlgItem(owner, id);
    if (!w) return false;
    if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(w)) plain->setPlainText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (combo->isEditable()) combo->setEditText(text);
        else combo->setCurrentIndex(combo->findText(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(w)) label->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(text);
    else return false;
    return true;
}

bool EnableDlgItem(QWidget* owner, int id, bool enable) {
    QWidget* w = GetDlgItem(owner, id);
    if (!w) return false;
    w->setEnabled(enable);
    return true;
}

bool ShowDlgItem(QWidget* owner, int id, bool show) {
    QWidget* w = GetDlgItem(owner, id);
    if (!w) return false;
    w->setVisible(show);
    return true;
}

bool IsDlgItemEnabled(const QWidget* owner, int id) {
    QWidget* w = GetDlgItem(owner, id);
    return w && w->isEnabled();
}

bool IsDlgButtonChecked(const QWidget* owner, int id) {
    auto* button = DlgItem<QAbstractButton>(owner, id);
    return button && button->isChecked();
}

bool CheckDlgButton(QWidget* owner, int id, bool checked) {
    auto* button = DlgItem<QAbstractButton>(owner, id);
    if (!button || !button->isCheckable()) return false;
    // Qt keeps the chosen radio button of an exclusive group checked; here
    // unchecking it leaves none chosen.
    QButtonGroup* group = checked ? nullptr : button->group();
    const bool exclusive = group && group->exclusive();
    const bool autoExclusive = !checked && button->autoExclusive();
    if (exclusive) group->setExclusive(false);
    if (autoExclusive) button->setAutoExclusive(false);
    button->setChecked(checked);
    if (autoExclusive) button->setAutoExclusive(true);
    if (exclusive) group->setExclusive(true);
    return true;
}

bool ClickDlgItem(QWidget* owner, int id) {
    auto* button = DlgItem<QAbstractButton>(owner, id);
    // isVisibleTo: a control of a window not shown yet still counts as shown.
    if (!button || !button->isEnabled() || !button->isVisibleTo(owner)) return false;
    button->click();
    return true;
}

// ------------------------------------------------------------ CTemplateDialog

CTemplateDialog::CTemplateDialog(int templateId, QWidget* parent, const DlgControlFactory& factory)
    : QDialog(parent), m_nTemplateId(templateId) {
    m_bBuilt = BuildFromTemplate(this, templateId, factory);
}

CTemplateDialog::~CTemplateDialog() { DetachCommandTarget(this); }

bool CTemplateDialog::OnCommand(int id, int code) {
    if (code == EN_CHANGE &&
        std::find(m_RequiredEdits.begin(), m_RequiredEdits.end(), id) != m_RequiredEdits.end()) {
        UpdateRequiredOk();
        return true;
    }
    if (code != BN_CLICKED) return false;
    if (id == IDOK) {
        accept();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CTemplateDialog::HasRequiredText() const {
    return std::all_of(m_RequiredEdits.begin(), m_RequiredEdits.end(),
                       [this](int edit) { return !GetDlgItemText(this, edit).isEmpty(); });
}

void CTemplateDialog::UpdateRequiredOk() {
    if (!m_RequiredEdits.empty()) EnableDlgItem(this, IDOK, HasRequiredText());
}

void CTemplateDialog::accept() {
    if (HasRequiredText()) OnOK();
}

void CTemplateDialog::reject() { OnCancel(); }

void CTemplateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_bInitialised && !event->spontaneous()) {
        m_bInitialised = true;
        OnInitDialog();
        UpdateRequiredOk();
    }
}
