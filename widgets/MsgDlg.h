#pragma once
// The message prompt: a modeless window with an icon, one line of text and
// OK, through which every outcome of a device operation is reported. One
// object lives as long as the main form; its window exists only while shown.
// A new message while the prompt is open replaces form, icon, text, size and
// position of the open window. The parent (the main form) is disabled while
// the prompt is open.
#include <QString>

#include "ops/AnswerTable.h"

#include "widgets/ModelessPrompt.h"

class QDialog;
class QWidget;

constexpr int IDD_MSGDLG = 142;
constexpr int IDC_MSG_TEXT = 1043;
constexpr int IDC_MSG_ICON = 1045;

// The forms MSGFORM_WARNING (icon 155), MSGFORM_ERROR (157),
// MSGFORM_CONNECTION (154) and MSGFORM_SUCCESS (158) are those of the answer
// tables (ops/AnswerTable.h).

// Icon resource of a form; 0 for a form outside 0..3.
int MsgFormIcon(int form);

class CMsgDlg : public CModelessPrompt {
    Q_OBJECT
public:
    explicit CMsgDlg(QObject* parent = nullptr);

    // SetForm, SetMessage, then Popup(IDD_MSGDLG, parent). Return at once.
    void ShowWarning(QWidget* parent, const QString& text);
    void ShowError(QWidget* parent, const QString& text);
    void ShowConnection(QWidget* parent, const QString& text);
    void ShowSuccess(QWidget* parent, const QString& text);

    // Stores the form; an open window shows its icon at once.
    void SetForm(int form);
    // Stores the text; an open window shows it and is fitted to it.
    void SetMessage(const QString& text);
    // Disables parent and creates the window from the template, owned by
    // parent. When the prompt is open already, the open window is kept (and
    // raised); no second window is made.
    bool Popup(int templateId, QWidget* parent);
    // Width = characters * 7 + 80, template height, centred over the parent,
    // OK centred, text field ending 20 pixels inside the right edge.
    void FitToText();

    int Form() const { return m_nForm; }
    QString Message() const { return m_strMessage; }
private:
    class CWindow;
    friend class CWindow;
    void Show(int form, QWidget* parent, const QString& text);
    void ShowIcon();

    int m_nForm = MSGFORM_WARNING;
    QString m_strMessage;
};
