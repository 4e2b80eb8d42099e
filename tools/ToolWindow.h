#pragma once
// The window life shared by the modeless View-menu tool windows. The object
// outlives its window: it lives as long as its owner (the main form's side of
// the tool), the window only while it is shown. The window is built from its
// dialog template each time it opens and destroyed when it closes (CLOSE,
// Escape and the close box all do that), so the form starts afresh on every
// opening while the object keeps what must survive a close.
//
// A subclass fills the new window in OnInitDialog, handles its controls in
// OnCommand (anything it does not handle falls back to the template dialog's
// IDOK / IDCANCEL handling) and hears of the close in OnWindowClosed. Enter
// never closes the window: it only presses the default button.
#include <QPointer>
#include <cstddef>

#include "platform/core/Messages.h"

class CMsgTarget;
class CTemplateDialog;
class QDialog;
class QWidget;

class CToolWindow {
public:
    CToolWindow(const CToolWindow&) = delete;
    CToolWindow& operator=(const CToolWindow&) = delete;

    // Destroys the window (CLOSE, Escape and the close box do the same).
    // Safe inside one of the window's own handlers: the window is hidden at
    // once and deleted when control is back in the event loop.
    void DestroyWindow();
    bool IsOpen() const { return !m_pWnd.isNull(); }
    QDialog* Window() const;

protected:
    explicit CToolWindow(int templateId);
    virtual ~CToolWindow();

    // Builds the window from its template as a modeless child of parent,
    // runs OnInitDialog, centres it over parent's window and shows it. True
    // when open (also when it was open already); false when the template
    // could not be built.
    bool Create(QWidget* parent);
    // The View menu command: close when open, open otherwise.
    void Toggle(QWidget* parent);
    // The open window; null when closed.
    CTemplateDialog* Dialog() const;

    // The window has just been built and is not yet shown.
    virtual void OnInitDialog() {}
    // A control of the window reported id / code; true when handled.
    virtual bool OnCommand(int id, int code);
    // The window has been closed (it is already hidden).
    virtual void OnWindowClosed() {}

    // For windows whose buttons are only passed on: a click of one of
    // buttons is posted to owner as msg with the control ID in wParam (to
    // nobody when owner is null). True when id is one of them.
    template <std::size_t N>
    static bool PostButton(CMsgTarget* owner, UINT msg, const int (&buttons)[N], int id, int code) {
        return PostButton(owner, msg, buttons, N, id, code);
    }
    static bool PostButton(CMsgTarget* owner, UINT msg, const int* buttons, std::size_t count, int id, int code);

private:
    class CWindow;
    const int m_nTemplateId;
    QPointer<CWindow> m_pWnd;
};
