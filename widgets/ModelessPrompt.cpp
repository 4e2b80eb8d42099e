#include "widgets/ModelessPrompt.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

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

bool CModelessPrompt::OpenWindow(QWidget* parent, const std::function<CTemplateDialog*(QWidget* host)>& make) {
    if (m_pWnd) {
        if (parent == m_pParent.data()) {
            Activate();
            return true;
        }
        // Another owner: the open window goes, a new one is made for it.
        DestroyWindow();
    }
    m_pParent = parent;
    DisableOwner(parent);
    QWidget* host = parent;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && parent && modal != parent->window()) host = modal;
    CTemplateDialog* wnd = make(host);
    if (!wnd->IsBuilt()) {
        delete wnd;
        EnableOwner(parent);
        return false;
    }
    m_pWnd = wnd;
    wnd->show();
    Activate();
    if (parent && parent->window() != m_pWatched.data()) {
        if (m_pWatched) m_pWatched->removeEventFilter(this);
        m_pWatched = parent->window();
        m_pWatched->installEventFilter(this);
    }
    return true;
}

void CModelessPrompt::Activate() {
    if (!m_pWnd) return;
    m_pWnd->raise();
    m_pWnd->activateWindow();
    if (QWidget* ok = GetDlgItem(m_pWnd.data(), IDOK)) ok->setFocus(Qt::ActiveWindowFocusReason);
}

bool CModelessPrompt::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pWatched.data() && event->type() == QEvent::WindowActivate && m_pWnd && m_pWnd->isVisible()) {
        // Not from inside the activation itself: the window system finishes
        // activating the parent first.
        QTimer::singleShot(0, this, [this] { Activate(); });
    }
    return QObject::eventFilter(watched, event);
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
    if (m_pWatched) m_pWatched->removeEventFilter(this);
    m_pWatched.clear();
    EnableOwner(m_pParent.data());
    emit Closed();
}
