#include "widgets/MsgDlg.h"

#include <QLabel>
#include <QPushButton>

#include "widgets/DialogTemplate.h"
#include "widgets/Resources.h"
#include "widgets/WindowUtil.h"

int MsgFormIcon(int form) {
    switch (form) {
        case MSGFORM_WARNING: return ICON_WARNING;
        case MSGFORM_ERROR: return ICON_ERROR;
        case MSGFORM_CONNECTION: return ICON_CONNECTION;
        case MSGFORM_SUCCESS: return ICON_SUCCESS;
        default: return 0;
    }
}

namespace {
QString FormName(int form) {
    switch (form) {
        case MSGFORM_WARNING: return QStringLiteral("Warning");
        case MSGFORM_ERROR: return QStringLiteral("Error");
        case MSGFORM_CONNECTION: return QStringLiteral("Connection");
        case MSGFORM_SUCCESS: return QStringLiteral("Success");
        default: return QString();
    }
}
}  // namespace

// The window: OK, Escape and the close box all destroy it.
class CMsgDlg::CWindow : public CTemplateDialog {
public:
    CWindow(CMsgDlg& owner, int templateId, QWidget* parent) : CTemplateDialog(templateId, parent), m_Owner(owner) {
        setModal(false);
    }

protected:
    void OnInitDialog() override {
        SetDlgItemText(this, IDC_MSG_TEXT, m_Owner.m_strMessage);
        m_Owner.FitToText();
        m_Owner.ShowIcon();
    }
    void OnOK() override { m_Owner.DestroyWindow(); }
    void OnCancel() override { m_Owner.DestroyWindow(); }

private:
    CMsgDlg& m_Owner;
};

CMsgDlg::CMsgDlg(QObject* parent) : CModelessPrompt(parent) {}

void CMsgDlg::ShowWarning(QWidget* parent, const QString& text) { Show(MSGFORM_WARNING, parent, text); }
void CMsgDlg::ShowError(QWidget* parent, const QString& text) { Show(MSGFORM_ERROR, parent, text); }
void CMsgDlg::ShowConnection(QWidget* parent, const QString& text) { Show(MSGFORM_CONNECTION, parent, text); }
void CMsgDlg::ShowSuccess(QWidget* parent, const QString& text) { Show(MSGFORM_SUCCESS, parent, text); }

void CMsgDlg::Show(int form, QWidget* parent, const QString& text) {
    SetForm(form);
    SetMessage(text);
    Popup(IDD_MSGDLG, parent);
}

void CMsgDlg::SetForm(int form) {
    m_nForm = form;
    if (m_pWnd) ShowIcon();
}

void CMsgDlg::SetMessage(const QString& text) {
    m_strMessage = text;
    if (m_pWnd) {
        SetDlgItemText(m_pWnd, IDC_MSG_TEXT, text);
        FitToText();
    }
}

bool CMsgDlg::Popup(int templateId, QWidget* parent) {
    return OpenWindow(parent, [&](QWidget* host) { return new CWindow(*this, templateId, host); });
}

void CMsgDlg::FitToText() {
    if (!m_pWnd) return;
    CTemplateDialog* wnd = m_pWnd.data();
    const int width = static_cast<int>(m_strMessage.size()) * 7 + 80;
    const int height = wnd->height();
    wnd->setFixedSize(width, height);
    if (m_pParent) CenterOver(wnd, m_pParent.data());
    if (QWidget* ok = GetDlgItem(wnd, IDOK)) ok->move((width - ok->width()) / 2, ok->y());
    if (QWidget* text = GetDlgItem(wnd, IDC_MSG_TEXT)) {
        const QRect r = text->geometry();
        text->setGeometry(r.left(), r.top(), width - 20 - r.left(), r.height());
    }
}

void CMsgDlg::ShowIcon() {
    if (!m_pWnd) return;
    auto* icon = DlgItem<QLabel>(m_pWnd.data(), IDC_MSG_ICON);
    if (!icon) return;
    int id = MsgFormIcon(m_nForm);
    if (id == 0) {
        // Forms outside 0..3 leave the template's empty icon field.
        icon->clear();
        icon->setProperty("iconId", QVariant());
        return;
    }
    icon->setPixmap(LoadIconPixmap(id, 32));
    icon->setProperty("iconId", id);
    icon->setAccessibleName(FormName(m_nForm));
}

