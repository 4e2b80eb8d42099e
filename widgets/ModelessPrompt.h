#pragma once
// Base of the modeless prompts. One object lives as long as the main form; its
// window exists only while shown, and the parent (the main form) is disabled
// while the window is open. Flows learn that the operator closed a prompt by
// finding its window gone.
#include <QObject>
#include <QPointer>
#include <functional>

class CTemplateDialog;
class QDialog;
class QWidget;

class CModelessPrompt : public QObject {
    Q_OBJECT
public:
    explicit CModelessPrompt(QObject* parent = nullptr);
    ~CModelessPrompt() override;

    bool IsOpen() const { return !m_pWnd.isNull(); }
    // Destroys the window; nothing when it is not open.
    void Close() { DestroyWindow(); }
    QWidget* Parent() const { return m_pParent.data(); }
    // The open window, or nullptr.
    QDialog* Window() const;

signals:
    // The window has been destroyed (by the operator or by Close).
    void Closed();

protected:
    // Disables parent and shows the window that make builds, owned by host:
    // parent, or the modal dialog in front of it (so that the prompt shows
    // above the dialog and can be read; the operator hands it back to parent
    // when the dialog closes). An open window for the same parent is kept and
    // raised; one for another parent is destroyed first. False when the
    // window cannot be built.
    bool OpenWindow(QWidget* parent, const std::function<CTemplateDialog*(QWidget* host)>& make);
    // While open, the prompt takes the keyboard back whenever the parent's
    // window is activated (a modal dialog or message box closed, a click on
    // the disabled form).
    bool eventFilter(QObject* watched, QEvent* event) override;
    void DestroyWindow();
    // Runs just before the window goes.
    virtual void OnDestroyWindow(CTemplateDialog* window) {}

    void Activate();

    QPointer<QWidget> m_pParent;
    QPointer<QWidget> m_pWatched;  // the parent's window, filtered while open
    QPointer<CTemplateDialog> m_pWnd;
};
