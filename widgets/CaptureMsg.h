#pragma once
// The capture prompt: a modal "Waiting" window asking for the finger, with
// the finger clip playing, OK and Cancel. Run through IUiOperator::DoModal.
class IUiOperator;
class QWidget;

constexpr int IDD_CAPTUREMSG = 166;
constexpr int IDC_CAPTURE_ANIMATION = 1102;
constexpr int IDC_CAPTURE_TEXT = 1043;

class CCaptureMsg {
public:
    // Shows the prompt centred over parent; returns IDOK or IDCANCEL.
    int DoModal(IUiOperator& op, QWidget* parent);
};
