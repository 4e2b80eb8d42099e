#include "console/BatteryDlg.h"

#include "widgets/AnimateCtrl.h"
#include "widgets/DialogTemplate.h"
#include "widgets/Resources.h"
#include "widgets/WindowUtil.h"

class CBatteryDlg::CWindow : public CTemplateDialog {
public:
    CWindow(CBatteryDlg& owner, QWidget* host) : CTemplateDialog(IDD_BATTERYDLG, host), m_Owner(owner) {
        setModal(false);
    }

protected:
    void OnInitDialog() override {
        if (m_Owner.Parent()) CenterOver(this, m_Owner.Parent());
        m_Owner.m_nHighCount = 0;
        m_Owner.m_nLowCount = 0;
        if (auto* animation = DlgItem<CAnimateCtrl>(this, IDC_BATTERY_ANIMATION)) {
            animation->Open(CLIP_TRANSFER);
            animation->Play(-1);
        }
        m_Owner.ShowHighCount();
        m_Owner.ShowLowCount();
    }
    void OnOK() override {}  // no OK: Enter does not end the test
    void OnCancel() override { m_Owner.DestroyWindow(); }

private:
    CBatteryDlg& m_Owner;
};

bool CBatteryDlg::Create(QWidget* parent) {
    return OpenWindow(parent, [this](QWidget* host) { return new CWindow(*this, host); });
}

void CBatteryDlg::ShowHighCount() {
    if (m_pWnd) SetDlgItemText(m_pWnd.data(), IDC_BATTERY_HIGH_COUNT, QString::asprintf("%ld", static_cast<long>(m_nHighCount)));
}

void CBatteryDlg::ShowLowCount() {
    if (m_pWnd) SetDlgItemText(m_pWnd.data(), IDC_BATTERY_LOW_COUNT, QString::asprintf("%ld", static_cast<long>(m_nLowCount)));
}

CAnimateCtrl* CBatteryDlg::Animation() const {
    return m_pWnd ? DlgItem<CAnimateCtrl>(m_pWnd.data(), IDC_BATTERY_ANIMATION) : nullptr;
}

void CBatteryDlg::OnDestroyWindow(CTemplateDialog* window) {
    if (auto* animation = DlgItem<CAnimateCtrl>(window, IDC_BATTERY_ANIMATION)) animation->Close();
}
