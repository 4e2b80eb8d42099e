#include "widgets/CaptureMsg.h"

#include "platform/qt/UiOperator.h"
#include "widgets/AnimateCtrl.h"
#include "widgets/DialogTemplate.h"
#include "widgets/Resources.h"
#include "widgets/WindowUtil.h"

namespace {
class CCaptureWindow : public CTemplateDialog {
public:
    CCaptureWindow(QWidget* parent) : CTemplateDialog(IDD_CAPTUREMSG, parent), m_pOwner(parent) {}
    ~CCaptureWindow() override {
        if (auto* animation = Item<CAnimateCtrl>(IDC_CAPTURE_ANIMATION)) animation->Close();
    }

protected:
    void OnInitDialog() override {
        if (m_pOwner) CenterOver(this, m_pOwner);
        if (auto* animation = Item<CAnimateCtrl>(IDC_CAPTURE_ANIMATION)) {
            animation->Open(CLIP_FINGER);
            animation->Play(-1);
        }
    }

private:
    QWidget* m_pOwner;
};
}  // namespace

int CCaptureMsg::DoModal(IUiOperator& op, QWidget* parent) {
    CCaptureWindow window(parent);
    if (!window.IsBuilt()) return IDCANCEL;
    return op.DoModal(window) == IDOK ? IDOK : IDCANCEL;
}
