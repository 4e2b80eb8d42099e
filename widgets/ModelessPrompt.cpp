#include "widgets/ModelessPrompt.h"

#include "widgets/DialogTemplate.h"
#include "widgets/WindowUtil.h"

CModelessPrompt::CModelessPrompt(QObject* parent) : QObject(parent) {}

CModelessPrompt::~CModelessPrompt() {
    if (m_pWnd) {
        CTemplateDialog* wnd = m_pWnd.data();
        m_pWnd.clear();
        delete wnd;
        EnableOwner(m_pParent.data());
    }
}

QDialog* CModelessPrompt::Window() const { return m_pWnd.data(); }

bool CModelessPrompt::OpenWindow(QWidget* parent, const std::function<CTemplateDialog*()>& make) {
    if (m_pWnd) {
        if (parent == m_pParent.data()) {
            m_pWnd->raise();
            m_pWnd->activateWindow();
            return true;
        }
        // Another owner: the open window goes, a new one is made for it.
        DestroyWindow();
    }
    m_pParent = parent;
    DisableOwner(parent);
    CTemplateDialog* wnd = make();
    if (!wnd->IsBuilt()) {
        delete wnd;
        EnableOwner(parent);
        return false;
    }
    m_pWnd = wnd;
    wnd->show();
    return true;
}

void CModelessPrompt::DestroyWindow() {
    if (!m_pWnd) return;
    CTemplateDialog* wnd = m_pWnd.data();
    m_pWnd.clear();
    wnd->hide();
    OnDestroyWindow(wnd);
    // May run inside the window's own button handler: delete it once control
    // is back in the event loop.
    wnd->deleteLater();
    EnableOwner(m_pParent.data());
    emit Closed();
}
