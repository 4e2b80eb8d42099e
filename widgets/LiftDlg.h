#pragma once
// The lift prompt: a modal question between the two scans of an enrolment,
// with the success icon, OK and Cancel. Run through IUiOperator::DoModal.
class IUiOperator;
class QWidget;

constexpr int IDD_LIFTDLG = 167;
constexpr int IDC_LIFT_ICON = 1103;
constexpr int IDC_LIFT_TEXT = 1043;

class CLiftDlg {
public:
    // Shows the prompt centred over parent; returns IDOK or IDCANCEL.
    int DoModal(IUiOperator& op, QWidget* parent);
};
