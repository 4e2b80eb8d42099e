#pragma once
// The waiting prompt: a modeless "Waiting..." window with an animation, a
// line of text and CANCEL, shown while the module works (a fingerprint scan,
// an image transfer). One object lives as long as the main form; its window
// exists only while shown, and the flows learn of the operator's CANCEL by
// finding the window gone. The parent is disabled while the prompt is open.
#include <QString>

#include "widgets/ModelessPrompt.h"

class CAnimateCtrl;
class QDialog;
class QWidget;

constexpr int IDD_WAITDLG = 141;
constexpr int IDC_WAIT_ANIMATION = 1042;
constexpr int IDC_WAIT_TEXT = 1043;

constexpr int WAITMODE_FINGER = 0;    // clip 142
constexpr int WAITMODE_TRANSFER = 1;  // clip 144

class CWaitDlg : public CModelessPrompt {
    Q_OBJECT
public:
    explicit CWaitDlg(QObject* parent = nullptr);

    // Stores the mode; an open window switches to the mode's clip at once
    // (mode 0: clip 142, any other: clip 144), which starts playing.
    void SetMode(int mode);
    // Stores the text; an open window shows it at once.
    void SetMessage(const QString& text);
    // Disables parent and creates the window owned by parent, centred over
    // it, playing the mode's clip. When the prompt is open already, the open
    // window is kept.
    bool Popup(int templateId, QWidget* parent);

    int Mode() const { return m_nMode; }
    QString Message() const { return m_strMessage; }
    // The open window's animation control, or nullptr.
    CAnimateCtrl* Animation() const;

private:
    class CWindow;
    friend class CWindow;
    void OpenClip();
    void OnDestroyWindow(CTemplateDialog* window) override;

    int m_nMode = WAITMODE_FINGER;
    QString m_strMessage = QStringLiteral("Put your fingertip on the reader...");
};
