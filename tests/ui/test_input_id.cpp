// The fingerprint-ID dialog shared by verification, deletion and master mode.
#include <QLineEdit>

#include "console/InputIdDlg.h"
#include "tests/ui/UiTestEnv.h"

TEST(InputIdDlg, KeepsAtMostNineCharactersAndReturnsThemOnOk) {
    EnsureApp();
    CInputIdDlg dlg;
    ASSERT_TRUE(dlg.IsBuilt());
    EXPECT_EQ(dlg.windowTitle(), "Input Fingerprint ID");
    CScriptedUiOperator op;
    op.dialogAnswers.push_back([](QDialog& d) {
        auto* edit = DlgItem<QLineEdit>(&d, IDC_FINGERPRINT_ID);
        if (!edit) return IDCANCEL;
        edit->setFocus();
        for (QChar c : QString("12345678901")) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
        return IDOK;
    });
    EXPECT_EQ(op.DoModal(dlg), IDOK);
    EXPECT_EQ(dlg.m_strId, "123456789");
}

TEST(InputIdDlg, CancelLeavesTheIdAsItWas) {
    EnsureApp();
    CInputIdDlg dlg;
    dlg.m_strId = "7";
    CScriptedUiOperator op;
    op.dialogAnswers.push_back([](QDialog& d) {
        SetDlgItemText(&d, IDC_FINGERPRINT_ID, "55");
        return IDCANCEL;
    });
    EXPECT_EQ(op.DoModal(dlg), IDCANCEL);
    EXPECT_EQ(dlg.m_strId, "7");
    EXPECT_EQ(GetDlgItemText(&dlg, IDC_FINGERPRINT_ID), "55");
}
