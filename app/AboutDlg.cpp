#include "app/AboutDlg.h"

#include "widgets/Resources.h"

CAboutDlg::CAboutDlg(QWidget* parent) : CTemplateDialog(IDD_ABOUTBOX, parent) {
    setWindowIcon(LoadIconRes(ICON_PROGRAM));
}
