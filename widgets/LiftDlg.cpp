#include "widgets/LiftDlg.h"

#include <QLabel>

#include "platform/qt/UiOperator.h"
#include "widgets/DialogTemplate.h"
#include "widgets/Resources.h"
#include "widgets/WindowUtil.h"

namespace {
class CLiftWindow : public CTemplateDialog {
public:
    CLiftWindow(QWidget* parent) : CTemplateDialog(IDD_LIFTDLG, parent), m_pOwner(parent) {}

protected:
    void OnInitDialog() override {
        if (m_pOwner) CenterOver(this, m_pOwner);
        if (auto* icon = Item<QLabel>(IDC_LIFT_ICON)) {
            icon->setPixmap(LoadIconPixmap(ICON_SUCCESS, 32));
            icon->setProperty("iconId", ICON_SUCCESS);
        }
    }

private:
    QWidget* m_pOwner;
};
}  // namespace

int CLiftDlg::DoModal(IUiOperator& op, QWidget* parent) {
    CLiftWindow window(parent);
    if (!window.IsBuilt()) return IDCANCEL;
    return op.DoModal(window) == IDOK ? IDOK : IDCANCEL;
}
