#pragma once
// Dialog templates: numbered text files res/dialogs/<id>.dlg compiled into the
// program (res/res.qrc), turned into standard Qt widgets at the template's
// rectangles.
//
// Format, one statement per line; '#' starts a comment line; strings are in
// double quotes with \" \\ and \n escapes:
//   DIALOG <id> "<caption>" <width> <height> [FONT "<face>" <points>]
//   CONTROL <id> <KIND> "<text>" <x> <y> <w> <h> [FLAGS...]
// Coordinates are dialog units with base units 7 x 13 pixels:
//   px_x = du_x * 7 / 4, px_y = du_y * 13 / 8, rounded to nearest.
// KIND: LABEL BUTTON DEFBUTTON CHECKBOX RADIO EDIT GROUP FRAME ICON ANIMATION
//       LIST COMBO PROGRESS
// FLAGS: READONLY RIGHT CENTER PASSWORD DISABLED HIDDEN SORTED SUNKEN BLACK
//        UPPERCASE NUMBER LIMIT=<n> GROUPSTART MULTILINE
//        BYTETEXT (an edit that takes only characters the module stores,
//        one byte each: Latin-1; see widgets/EditValidator.h)
//        AUTOPLAY (animation plays the clip named by its text when opened)
//        DROPLIST (combo box without an edit field)
//        NAME="<accessible name>" (for controls without a visible label)
//        DESC="<accessible description>" (on a LABEL: a value label, whose
//        accessible name is then its current text)
// Control id -1 (IDC_STATIC) marks labels and group boxes without an ID. The
// text of an ICON control may name an icon resource ("158"), that of an
// ANIMATION control a clip ("142").
//
// Widgets made: LABEL QLabel, BUTTON/DEFBUTTON QPushButton, CHECKBOX
// QCheckBox, RADIO QRadioButton (exclusive per group), EDIT QLineEdit
// (MULTILINE: QPlainTextEdit), GROUP QGroupBox, FRAME QFrame, ICON QLabel with
// a pixmap, ANIMATION CAnimateCtrl, LIST QTreeWidget in report style, COMBO
// QComboBox (editable unless DROPLIST), PROGRESS QProgressBar. Each control's
// objectName is "ctl<id>" and its dynamic property "controlId" holds the ID.
//
// Events of the controls reach the owner through ICommandTarget::OnCommand
// (control ID and notification code), which the owner dispatches through one
// table (CommandEntry / DispatchCommand below).
#include <QDialog>
#include <QFont>
#include <QString>
#include <QVector>
#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/core/Operator.h"  // IDOK, IDCANCEL

class QWidget;

constexpr int IDC_STATIC = -1;

// Notification codes passed to OnCommand.
constexpr int BN_CLICKED = 0;         // button clicked; check box toggled, radio button chosen (by any means)
constexpr int CBN_SELCHANGE = 1;      // combo box selection changed
constexpr int CBN_EDITCHANGE = 5;     // combo box edit text changed by the operator
constexpr int EN_CHANGE = 0x0300;     // edit text changed (by the operator or by code)
constexpr int LVN_ITEMCHANGED = -101; // list: current row changed
constexpr int NM_DBLCLK = -3;         // list: row double-clicked

enum class DlgKind { Label, Button, DefButton, CheckBox, Radio, Edit, Group, Frame, Icon, Animation, List, Combo, Progress };

// Flag bits of a control.
constexpr unsigned DLGF_READONLY = 1u << 0;
constexpr unsigned DLGF_RIGHT = 1u << 1;
constexpr unsigned DLGF_CENTER = 1u << 2;
constexpr unsigned DLGF_PASSWORD = 1u << 3;
constexpr unsigned DLGF_DISABLED = 1u << 4;
constexpr unsigned DLGF_HIDDEN = 1u << 5;
constexpr unsigned DLGF_SORTED = 1u << 6;
constexpr unsigned DLGF_SUNKEN = 1u << 7;
constexpr unsigned DLGF_BLACK = 1u << 8;
constexpr unsigned DLGF_UPPERCASE = 1u << 9;
constexpr unsigned DLGF_NUMBER = 1u << 10;
constexpr unsigned DLGF_GROUPSTART = 1u << 11;
constexpr unsigned DLGF_MULTILINE = 1u << 12;
constexpr unsigned DLGF_AUTOPLAY = 1u << 13;
constexpr unsigned DLGF_DROPLIST = 1u << 14;
constexpr unsigned DLGF_BYTETEXT = 1u << 15;

struct CDlgControl {
    int id = IDC_STATIC;
    DlgKind kind = DlgKind::Label;
    QString text;
    int x = 0, y = 0, w = 0, h = 0;  // dialog units
    unsigned flags = 0;
    int limit = 0;       // LIMIT=<n>, 0 = none
    QString name;        // NAME="..."
    QString description; // DESC="..."
    int line = 0;        // line in the template file
};

struct CDlgTemplate {
    int id = 0;
    QString caption;
    int width = 0, height = 0;  // dialog units
    QString fontFace;
    int fontPoints = 0;         // 0 = no FONT clause
    QVector<CDlgControl> controls;
};

// Dialog units to pixels (base units 7 x 13), rounded to nearest.
int DluToPixelsX(int du);
int DluToPixelsY(int du);

// Parses template text. On failure returns false and, when error is given,
// says which line and why.
bool ParseDialogTemplate(const QString& text, CDlgTemplate& out, QString* error = nullptr);
// Loads res/dialogs/<id>.dlg from the compiled-in resources.
bool LoadDialogTemplate(int templateId, CDlgTemplate& out, QString* error = nullptr);

// Receives the events of the controls built from a template.
class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // Returns true when the event was handled.
    virtual bool OnCommand(int id, int code) = 0;
};

// Optional hook for BuildFromTemplate: returns a widget to use instead of the
// standard one for this control (made as a child of parent), or nullptr.
using DlgControlFactory = std::function<QWidget*(const CDlgControl& control, QWidget* parent)>;

// Creates the template's controls as children of owner at the converted
// rectangles, sets the owner's size (fixed for dialogs), caption and font, and
// routes the controls' events to owner when it implements ICommandTarget.
// Returns false (and creates nothing) when the template is missing or broken.
bool BuildFromTemplate(QWidget* owner, int templateId, const DlgControlFactory& factory = {});
bool BuildFromTemplate(QWidget* owner, const CDlgTemplate& dlg, const DlgControlFactory& factory = {});

// Stops routing control events to owner. Owners that implement
// ICommandTarget themselves call this first in their destructor, so that no
// event reaches a half-destroyed object (CTemplateDialog does it).
void DetachCommandTarget(QWidget* owner);

// The control with this ID among owner's direct children, or nullptr.
QWidget* GetDlgItem(const QWidget* owner, int id);
// The font of a template's FONT clause: face and size in points as pixels at
// 96 dots per inch, with condensed fallbacks where the face is missing.
QFont TemplateFont(const QString& face, int points);
template <class T>
T* DlgItem(const QWidget* owner, int id) {
    return qobject_cast<T*>(GetDlgItem(owner, id));
}
// Control ID of a widget built from a template, IDC_STATIC when none.
int GetDlgCtrlID(const QWidget* control);

// Text of edits, buttons, labels, group boxes and combo boxes (edit text).
QString GetDlgItemText(const QWidget* owner, int id);
bool SetDlgItemText(QWidget* owner, int id, const QString& text);
bool EnableDlgItem(QWidget* owner, int id, bool enable = true);
bool ShowDlgItem(QWidget* owner, int id, bool show = true);
bool IsDlgItemEnabled(const QWidget* owner, int id);
// Check boxes and radio buttons.
bool IsDlgButtonChecked(const QWidget* owner, int id);
bool CheckDlgButton(QWidget* owner, int id, bool checked);
// Simulates the operator clicking a button, check box or radio button (the
// click reaches OnCommand). Returns false for a missing, hidden or disabled control.
bool ClickDlgItem(QWidget* owner, int id);

// One table from control ID (and notification code) to handler per class:
//   static const CommandEntry<CFoo> table[] = {{IDOK, BN_CLICKED, &CFoo::OnOK}, ...};
//   return DispatchCommand(this, table, id, code);
template <class T>
struct CommandEntry {
    int id;
    int code;
    void (T::*handler)();
};

template <class T, std::size_t N>
bool DispatchCommand(T* self, const CommandEntry<T> (&table)[N], int id, int code) {
    for (const auto& entry : table) {
        if (entry.id == id && entry.code == code) {
            (self->*entry.handler)();
            return true;
        }
    }
    return false;
}

// A dialog built from a template. OK (IDOK) and Cancel (IDCANCEL) buttons,
// Escape and the close box reach OnOK / OnCancel unless the subclass handles
// the ID in its own OnCommand table. OnInitDialog runs once, when the dialog
// is first shown (exec(), show() or a scripted DoModal).
class CTemplateDialog : public QDialog, public ICommandTarget {
    Q_OBJECT
public:
    explicit CTemplateDialog(int templateId, QWidget* parent = nullptr, const DlgControlFactory& factory = {});

    int TemplateId() const { return m_nTemplateId; }
    bool IsBuilt() const { return m_bBuilt; }
    QWidget* Item(int id) const { return GetDlgItem(this, id); }
    template <class T>
    T* Item(int id) const {
        return DlgItem<T>(this, id);
    }

    ~CTemplateDialog() override;

    // Default handling: IDOK -> OnOK, IDCANCEL -> OnCancel. Subclasses
    // dispatch their own table first and fall back to this.
    bool OnCommand(int id, int code) override;

    // accept() runs OnOK; reject() (also Escape and the close box) runs
    // OnCancel, so scripted answers go through the same checks as clicks.
    void accept() override;
    void reject() override;

protected:
    // OK is enabled only while each of these edits holds text, and refused
    // while one is empty (Return in an edit presses OK even when it is
    // disabled). Call from the constructor.
    void RequireText(std::initializer_list<int> edits) { m_RequiredEdits.assign(edits); }
    bool HasRequiredText() const;
    virtual void OnInitDialog() {}
    // Ends the dialog with IDOK (QDialog::Accepted) / IDCANCEL (Rejected).
    virtual void OnOK() { QDialog::done(QDialog::Accepted); }
    virtual void OnCancel() { QDialog::done(QDialog::Rejected); }
    void showEvent(QShowEvent* event) override;

private:
    void UpdateRequiredOk();

    int m_nTemplateId;
    std::vector<int> m_RequiredEdits;
    bool m_bBuilt = false;
    bool m_bInitialised = false;
};
