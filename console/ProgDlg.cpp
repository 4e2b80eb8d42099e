#include "console/ProgDlg.h"

#include "widgets/DialogTemplate.h"
#include "widgets/GradientProgressCtrl.h"
#include "widgets/WindowUtil.h"

class CProgDlg::CWindow : public CTemplateDialog {
public:
    CWindow(CProgDlg& owner, QWidget* host)
        : CTemplateDialog(IDD_PROGDLG, host,
                          [](const CDlgControl& control, QWidget* parent) -> QWidget* {
                              if (control.id != IDC_PROGRESS) return nullptr;
                              return new CGradientProgressCtrl(parent);
                          }),
          m_Owner(owner) {
        setModal(false);
    }

protected:
    void OnInitDialog() override {
        if (m_Owner.Parent()) CenterOver(this, m_Owner.Parent());
        if (auto* bar = DlgItem<CGradientProgressCtrl>(this, IDC_PROGRESS)) {
            bar->SetRange(0, 100);
            bar->ShowPercent(true);
            bar->SetStartColor(QColor(0, 0, 255));
            bar->SetEndColor(QColor(0, 0, 0));
            bar->SetTextColor(QColor(100, 100, 100));
            bar->SetBkColor(QColor(255, 255, 255));
            bar->SetPos(0);
        }
    }
    void OnOK() override {}  // no OK: Enter does not close the window
    void OnCancel() override { m_Owner.DestroyWindow(); }

private:
    CProgDlg& m_Owner;
};

bool CProgDlg::Create(QWidget* parent) {
    return OpenWindow(parent, [this](QWidget* host) { return new CWindow(*this, host); });
}

CGradientProgressCtrl* CProgDlg::Progress() const {
    return m_pWnd ? DlgItem<CGradientProgressCtrl>(m_pWnd.data(), IDC_PROGRESS) : nullptr;
}

void CProgDlg::SetRange(int upper) {
    if (auto* bar = Progress()) bar->SetRange(0, upper);
}

void CProgDlg::SetStep(int step) {
    if (auto* bar = Progress()) bar->SetStep(step);
}

void CProgDlg::SetPos(int position) {
    if (auto* bar = Progress()) bar->SetPos(position);
}

void CProgDlg::StepIt() {
    if (auto* bar = Progress()) bar->StepIt();
}
