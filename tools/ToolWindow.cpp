#include "tools/ToolWindow.h"

#include "platform/core/MessageLoop.h"
#include "widgets/DialogTemplate.h"
#include "widgets/WindowUtil.h"

// The window itself: its controls report to the owner first; Escape, the
// close box and CLOSE (IDCANCEL) destroy it, Enter (IDOK) does not close it.
class CToolWindow::CWindow : public CTemplateDialog {
public:
    CWindow(CToolWindow& owner, int templateId, QWidget* parent)
        : CTemplateDialog(templateId, parent), m_Owner(owner) {
        setModal(false);
    }

    bool OnCommand(int id, int code) override {
        return m_Owner.OnCommand(id, code) || CTemplateDialog::OnCommand(id, code);
    }

protected:
    void OnOK() override {}
    void OnCancel() override { m_Owner.DestroyWindow(); }

private:
    CToolWindow& m_Owner;
};

CToolWindow::CToolWindow(int templateId) : m_nTemplateId(templateId) {}

CToolWindow::~CToolWindow() {
    if (m_pWnd) {
        CWindow* wnd = m_pWnd.data();
        m_pWnd.clear();
        delete wnd;
    }
}

QDialog* CToolWindow::Window() const { return m_pWnd.data(); }

CTemplateDialog* CToolWindow::Dialog() const { return m_pWnd.data(); }

bool CToolWindow::Create(QWidget* parent) {
    if (m_pWnd) return true;
    auto* wnd = new CWindow(*this, m_nTemplateId, parent);
    if (!wnd->IsBuilt()) {
        delete wnd;
        return false;
    }
    m_pWnd = wnd;
    OnInitDialog();
    if (parent) CenterOver(wnd, parent->window());
    wnd->show();
    return true;
}

void CToolWindow::DestroyWindow() {
    if (!m_pWnd) return;
    CWindow* wnd = m_pWnd.data();
    m_pWnd.clear();
    wnd->hide();
    wnd->deleteLater();  // may run inside one of the window's own handlers
    OnWindowClosed();
}

void CToolWindow::Toggle(QWidget* parent) {
    if (IsOpen()) {
        DestroyWindow();
    } else {
        Create(parent);
    }
}

bool CToolWindow::OnCommand(int, int) { return false; }

bool CToolWindow::PostButton(CMsgTarget* owner, UINT msg, const int* buttons, std::size_t count, int id, int code) {
    if (code != BN_CLICKED) return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (buttons[i] != id) continue;
        if (owner) owner->PostMessage(msg, static_cast<WPARAM>(id));
        return true;
    }
    return false;
}
