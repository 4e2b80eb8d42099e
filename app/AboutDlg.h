#pragma once
// The About box (dialog 100): the program icon, "Pravik Version 0.441" and
// OK. Run modally through IUiOperator::DoModal.
#include "widgets/DialogTemplate.h"

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDC_ABOUT_ICON = 1200;

class CAboutDlg : public CTemplateDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
