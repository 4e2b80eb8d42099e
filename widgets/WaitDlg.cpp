#include "widgets/WaitDlg.h"

#include "widgets/AnimateCtrl.h"
#include "widgets/DialogTemplate.h"
#include "widgets/Resources.h"
#include "widgets/WindowUtil.h"

// The window: CANCEL, Escape and the close box destroy it.
class CWaitDlg::CWindow : public CTemplateDialog {
public:
    CWindow(CWaitDlg& owner, int templateId, QWidget* parent) : CTemplateDialog(templateId, parent), m_Owner(owner) {
        setModal(false);
    }

protected:
    void OnInitDialog() override {
        SetDlgItemText(this, IDC_WAIT_TEXT, m_Owner.m_strMessage);
        if (m_Owner.m_pParent) CenterOver(this, m_Owner.m_pParent.data());
        m_Owner.OpenClip();
    }
    void OnOK() override {}  // there is no OK; Enter does nothing
    void OnCancel() override { m_Owner.DestroyWindow(); }

private:
    CWaitDlg& m_Owner;
};

CWaitDlg::CWaitDlg(QObject* parent) : CModelessPrompt(parent) {}

CAnimateCtrl* CWaitDlg::Animation() const {
    return m_pWnd ? DlgItem<CAnimateCtrl>(m_pWnd.data(), IDC_WAIT_ANIMATION) : nullptr;
}

void CWaitDlg::SetMode(int mode) {
    m_nMode = mode;
    if (m_pWnd) OpenClip();
}

void CWaitDlg::SetMessage(const QString& text) {
    m_strMessage = text;
    if (m_pWnd) SetDlgItemText(m_pWnd.data(), IDC_WAIT_TEXT, text);
}

void CWaitDlg::OpenClip() {
    CAnimateCtrl* animation = Animation();
    if (!animation) return;
    animation->Close();
    animation->Open(m_nMode == WAITMODE_FINGER ? CLIP_FINGER : CLIP_TRANSFER);
    animation->Play(-1);
}

bool CWaitDlg::Popup(int templateId, QWidget* parent) {
    return OpenWindow(parent, [&](QWidget* host) { return new CWindow(*this, templateId, host); });
}

void CWaitDlg::OnDestroyWindow(CTemplateDialog* window) {
    if (auto* animation = DlgItem<CAnimateCtrl>(window, IDC_WAIT_ANIMATION)) animation->Close();
}
