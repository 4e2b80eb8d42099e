#pragma once
// Serial Communication (dialog 144): shows the port and the baud rate of the
// settings file and sends the operator's choice to the main form, which
// changes the link (WM_PORT_CHANGED 1029 and WM_BAUD_CHANGED 1031, wParam the
// chosen index). Neither button closes the dialog; CLOSE does.
//
// The port box lists COM1 to COM4 and after them every serial port present,
// each named so that a person recognises it; the list follows adapters as
// they are plugged in and pulled out while the dialog is open. SET COM PORT on
// a device sends WM_PORT_DEVICE_CHOSEN with its path: the device becomes the
// current COM port's.
#include <memory>
#include <string>

#include "console/SerialSettings.h"
#include "platform/core/MessageLoop.h"
#include "platform/core/SerialPorts.h"
#include "widgets/DialogTemplate.h"

class QComboBox;
class QSocketNotifier;

class CSerialCommDlg : public CTemplateDialog {
    Q_OBJECT
public:
    // view: where the changes are posted; settings: the record shown, read
    // again from its file when the dialog opens.
    // portMap: where each COM name leads.
    CSerialCommDlg(CMsgTarget& view, const CPortMap& portMap, CSerialSettings& settings, QWidget* parent = nullptr);
    ~CSerialCommDlg() override;

    bool OnCommand(int id, int code) override;

    // Index of the item the combo box's text names, -1 when the typed text
    // matches no item.
    static int SelectedIndex(const QComboBox* combo);

protected:
    void OnInitDialog() override;

private:
    void OnSetBaudRate();
    void OnSetComPort();
    void OnPortEvent();
    // Fills the port box: COM1..COM4, then the ports present; keeps the item
    // that was chosen when it is still there, else chooses COM<current>.
    void FillPorts();
    void ShowChoiceTip();

    CMsgTarget& m_View;
    const CPortMap& m_PortMap;
    CSerialSettings& m_Settings;
    CSerialPortMonitor m_Monitor;
    QSocketNotifier* m_pNotifier = nullptr;
};
