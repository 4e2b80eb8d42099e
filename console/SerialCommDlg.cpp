#include "console/SerialCommDlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QAbstractItemView>

#include "console/ControlIds.h"
#include "console/ConsoleMessages.h"

namespace {

// Item data of a device in the port box: the path to store and open.
constexpr int PATH_ROLE = Qt::UserRole;

QString ComName(int port) { return QString("COM%1").arg(port); }

}  // namespace

CSerialCommDlg::CSerialCommDlg(CMsgTarget& view, const CPortMap& portMap, CSerialSettings& settings,
                               QWidget* parent)
    : CTemplateDialog(IDD_SERIAL_COMM, parent), m_View(view), m_PortMap(portMap), m_Settings(settings) {}

CSerialCommDlg::~CSerialCommDlg() {
    delete m_pNotifier;  // before the monitor's descriptor closes
    m_pNotifier = nullptr;
}

void CSerialCommDlg::OnInitDialog() {
    m_Settings.LoadSettings();

    auto* ports = Item<QComboBox>(IDC_PORT_COMBO);
    auto* rates = Item<QComboBox>(IDC_BAUD_COMBO);
    if (!ports || !rates) return;
    ports->setInsertPolicy(QComboBox::NoInsert);
    connect(ports, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { ShowChoiceTip(); });
    ports->clear();
    FillPorts();

    // Adapters plugged in or pulled out while the dialog is open.
    if (!m_pNotifier && m_Monitor.Start()) {
        m_pNotifier = new QSocketNotifier(m_Monitor.Fd(), QSocketNotifier::Read);
        connect(m_pNotifier, &QSocketNotifier::activated, this, [this] { OnPortEvent(); });
    }

    rates->clear();
    for (int index = 0; index < BAUD_RATE_COUNT; ++index) rates->addItem(QString::number(BaudRateFromIndex(index)));
    rates->setInsertPolicy(QComboBox::NoInsert);
    rates->setCurrentIndex(BaudIndexFromRate(m_Settings.m_nBaudRate));
}

void CSerialCommDlg::FillPorts() {
    auto* ports = Item<QComboBox>(IDC_PORT_COMBO);
    if (!ports) return;
    const QString chosenPath = ports->currentData(PATH_ROLE).toString();
    const QString chosenText = ports->currentIndex() >= 0 ? ports->currentText() : ComName(m_Settings.m_nComPort);

    const std::vector<SSerialPortInfo> present = ListSerialPorts();
    const CPortMap& map = m_PortMap;
    ports->blockSignals(true);
    ports->clear();
    for (int port = 1; port <= PORT_COUNT; ++port) {
        const std::string path = map.Resolve(ComName(port).toStdString());
        QString tip = ComName(port) + " leads to " + QString::fromStdString(path);
        if (const SSerialPortInfo* device = FindSerialPort(present, path)) {
            tip += "\n" + QString::fromStdString(DescribeSerialPort(*device));
        }
        ports->addItem(ComName(port));
        ports->setItemData(port - 1, tip, Qt::ToolTipRole);
    }
    // A line between the COM names and the ports present.
    if (!present.empty()) ports->insertSeparator(PORT_COUNT);
    for (const SSerialPortInfo& device : present) {
        ports->addItem(QString::fromStdString(DescribeSerialPort(device)),
                       QString::fromStdString(device.StablePath()));
        ports->setItemData(ports->count() - 1, QString::fromStdString(SerialPortListLine(device)), Qt::ToolTipRole);
    }
    int index = chosenPath.isEmpty() ? -1 : ports->findData(chosenPath, PATH_ROLE);
    if (index < 0) index = ports->findText(chosenPath.isEmpty() ? chosenText : ComName(m_Settings.m_nComPort));
    ports->setCurrentIndex(index);
    ports->blockSignals(false);
    // The names of the ports present are longer than the box: the list that
    // drops down is as wide as they need.
    ports->view()->setTextElideMode(Qt::ElideNone);
    ports->view()->setMinimumWidth(ports->view()->sizeHintForColumn(0) + 24);
    ShowChoiceTip();
}

void CSerialCommDlg::ShowChoiceTip() {
    auto* ports = Item<QComboBox>(IDC_PORT_COMBO);
    if (ports) ports->setToolTip(ports->currentData(Qt::ToolTipRole).toString());
}

void CSerialCommDlg::OnPortEvent() {
    if (m_Monitor.TakeChanges()) FillPorts();
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
    auto* ports = Item<QComboBox>(IDC_PORT_COMBO);
    const int index = SelectedIndex(ports);
    const QString path = index >= 0 ? ports->itemData(index, PATH_ROLE).toString() : QString();
    if (!path.isEmpty()) {
        auto payload = std::make_shared<const std::string>(path.toStdString());
        m_View.Loop().Post(&m_View, WM_PORT_DEVICE_CHOSEN, 0, reinterpret_cast<LPARAM>(payload.get()), payload);
        return;
    }
    m_View.PostMessage(WM_PORT_CHANGED, static_cast<WPARAM>(static_cast<std::intptr_t>(index)));
}
