#pragma once
// Serial Communication (dialog 144): shows the port and the baud rate of the
// settings file and sends the operator's choice to the main form, which
// changes the link (WM_PORT_CHANGED 1029 and WM_BAUD_CHANGED 1031, wParam the
// chosen index). Neither button closes the dialog; CLOSE does.
#include "console/SerialSettings.h"
#include "platform/core/MessageLoop.h"
#include "widgets/DialogTemplate.h"

class QComboBox;

class CSerialCommDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // view: where the changes are posted; settings: the record shown, read
    // again from its file when the dialog opens.
    CSerialCommDlg(CMsgTarget& view, CSerialSettings& settings, QWidget* parent = nullptr);

    bool OnCommand(int id, int code) override;

    // Index of the item the combo box's text names, -1 when the typed text
    // matches no item.
    static int SelectedIndex(const QComboBox* combo);

protected:
    void OnInitDialog() override;

private:
    void OnSetBaudRate();
    void OnSetComPort();

    CMsgTarget& m_View;
    CSerialSettings& m_Settings;
};
