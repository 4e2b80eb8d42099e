#include "console/SerialCommDlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "console/ControlIds.h"
#include "console/ConsoleMessages.h"

CSerialCommDlg::CSerialCommDlg(CMsgTarget& view, CSerialSettings& settings, QWidget* parent)
    : CTemplateDialog(IDD_SERIAL_COMM, parent), m_View(view), m_Settings(settings) {}

void CSerialCommDlg::OnInitDialog() {
    m_Settings.LoadSettings();

    auto* ports = Item<QComboBox>(IDC_PORT_COMBO);
    auto* rates = Item<QComboBox>(IDC_BAUD_COMBO);
    if (!ports || !rates) return;
    ports->clear();
    for (int port = 1; port <= PORT_COUNT; ++port) ports->addItem(QString("COM%1").arg(port));
    ports->model()->sort(0);
    ports->setInsertPolicy(QComboBox::NoInsert);
    ports->setCurrentIndex(ports->findText(QString("COM%1").arg(m_Settings.m_nComPort)));

    rates->clear();
    for (int index = 0; index < BAUD_RATE_COUNT; ++index) rates->addItem(QString::number(BaudRateFromIndex(index)));
    rates->setInsertPolicy(QComboBox::NoInsert);
    rates->setCurrentIndex(BaudIndexFromRate(m_Settings.m_nBaudRate));
}

bool CSerialCommDlg::OnCommand(int id, int code) {
    static const CommandEntry<CSerialCommDlg> table[] = {
        {IDC_SET_BAUD_RATE, BN_CLICKED, &CSerialCommDlg::OnSetBaudRate},
        {IDC_SET_COM_PORT, BN_CLICKED, &CSerialCommDlg::OnSetComPort},
    };
    if (DispatchCommand(this, table, id, code)) return true;
    return CTemplateDialog::OnCommand(id, code);
}

int CSerialCommDlg::SelectedIndex(const QComboBox* combo) {
    if (!combo) return -1;
    if (!combo->isEditable()) return combo->currentIndex();
    // What the edit field shows decides, as typed or as chosen from the list.
    return combo->findText(combo->currentText().trimmed(), Qt::MatchFixedString);
}

void CSerialCommDlg::OnSetBaudRate() {
    const int index = SelectedIndex(Item<QComboBox>(IDC_BAUD_COMBO));
    m_View.PostMessage(WM_BAUD_CHANGED, static_cast<WPARAM>(static_cast<std::intptr_t>(index)));
}

void CSerialCommDlg::OnSetComPort() {
    const int index = SelectedIndex(Item<QComboBox>(IDC_PORT_COMBO));
    m_View.PostMessage(WM_PORT_CHANGED, static_cast<WPARAM>(static_cast<std::intptr_t>(index)));
}
