#pragma once
// The firmware upgrade's progress window (dialog 143, modeless): a warning,
// the gradient progress bar (control 1046) and CANCEL. The main form is
// disabled while it is open. CANCEL and Escape only close the window: nothing
// is sent to the module; the upgrade flow asks the operator what to do when
// the next answer arrives and finds the window gone.
#include "widgets/ModelessPrompt.h"

class CGradientProgressCtrl;
class QWidget;

constexpr int IDD_PROGDLG = 143;
constexpr int IDC_PROGRESS = 1046;

class CProgDlg : public CModelessPrompt {
    Q_OBJECT
public:
    explicit CProgDlg(QObject* parent = nullptr) : CModelessPrompt(parent) {}

    // Disables parent and shows the window; the bar opens at range 0 to 100,
    // position 0, blue to black on white with the percentage in grey.
    bool Create(QWidget* parent);

    // Passed to the bar of the open window; nothing when it is closed.
    void SetRange(int upper);
    void SetStep(int step);
    void SetPos(int position);
    void StepIt();

    // The open window's bar, or nullptr.
    CGradientProgressCtrl* Progress() const;

private:
    class CWindow;
};
