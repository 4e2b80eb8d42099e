#include "tools/PacketTraceDlg.h"

#include <QScreen>

#include <QAbstractTableModel>
#include <QColor>
#include <QHeaderView>
#include <QResizeEvent>
#include <QTimer>
#include <QTreeView>
#include <deque>

#include "protocol/Packet.h"
#include "widgets/WindowUtil.h"
#include "widgets/DialogTemplate.h"

namespace {
const char* const kHeadings[TRACE_COLUMNS] = {"DIR", "COMMAND", "PARAM1", "PARAM2", "DATA SIZE", "ERR CODE"};
const int kWidths[TRACE_COLUMNS] = {35, 85, 85, 85, 85, 85};
const QColor kTextColour(0, 10, 50);  // dark blue
const QColor kStaleColour(140, 140, 140);  // grey: dropped, answering nothing
}  // namespace

// The rows: direction and the five header values, as numbers.
class CPacketTraceModel : public QAbstractTableModel {
public:
    struct Row {
        bool received;
        std::uint32_t values[5];
        bool stale = false;  // an answer to no request under way, dropped
    };

    explicit CPacketTraceModel(QObject* parent) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_Rows.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : TRACE_COLUMNS;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount() || index.column() >= TRACE_COLUMNS) return QVariant();
        switch (role) {
            case Qt::DisplayRole: return Text(index.row(), index.column());
            case Qt::TextAlignmentRole: return QVariant(Qt::AlignRight | Qt::AlignVCenter);
            case Qt::ForegroundRole: return IsStale(index.row()) ? kStaleColour : kTextColour;
            case Qt::ToolTipRole:
                if (IsStale(index.row())) return QStringLiteral("Stale answer: no request was waiting for it; dropped.");
                return QVariant();
            default: return QVariant();
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= TRACE_COLUMNS) return QVariant();
        if (role == Qt::DisplayRole) return QString::fromLatin1(kHeadings[section]);
        if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    }

    QString Text(int row, int column) const {
        const Row& r = m_Rows[static_cast<std::size_t>(row)];
        if (column == 0) return r.received ? QStringLiteral("RCV") : QStringLiteral("SND");
        return QStringLiteral("0x") + QString::number(r.values[column - 1], 16);
    }

    bool IsStale(int row) const { return m_Rows[static_cast<std::size_t>(row)].stale; }

    void Append(const Row& row) {
        const int n = rowCount();
        beginInsertRows(QModelIndex(), n, n);
        m_Rows.push_back(row);
        endInsertRows();
    }

    void RemoveFirst() {
        if (m_Rows.empty()) return;
        beginRemoveRows(QModelIndex(), 0, 0);
        m_Rows.pop_front();
        endRemoveRows();
    }

private:
    std::deque<Row> m_Rows;
};

// The window: the list fills it; Escape and the close box destroy it.
class CPacketTraceDlg::CWindow : public CTemplateDialog {
public:
    CWindow(CPacketTraceDlg& owner, QWidget* parent, CPacketTraceModel*& model)
        : CTemplateDialog(IDD_PACKET_TRACE, parent,
                          [&model](const CDlgControl& control, QWidget* dlgParent) -> QWidget* {
                              if (control.id != IDC_TRACE_LIST) return nullptr;
                              return MakeList(dlgParent, model);
                          }),
          m_Owner(owner) {
        setModal(false);
        // The template gives the first size; the operator may make it larger.
        setMinimumSize(200, 100);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }

protected:
    void OnOK() override {}  // Enter must not close the trace
    void OnCancel() override { m_Owner.DestroyWindow(); }
    void resizeEvent(QResizeEvent* event) override {
        CTemplateDialog::resizeEvent(event);
        if (QWidget* list = Item(IDC_TRACE_LIST)) list->setGeometry(rect());
    }

private:
    static QWidget* MakeList(QWidget* parent, CPacketTraceModel*& model) {
        auto* view = new QTreeView(parent);
        model = new CPacketTraceModel(view);
        view->setModel(model);
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->header()->setStretchLastSection(false);
        view->header()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
        view->header()->setSectionResizeMode(QHeaderView::Interactive);
        for (int c = 0; c < TRACE_COLUMNS; ++c) view->setColumnWidth(c, kWidths[c]);
        return view;
    }

    CPacketTraceDlg& m_Owner;
};

CPacketTraceDlg::CPacketTraceDlg(QObject* parent) : QObject(parent) {}

CPacketTraceDlg::~CPacketTraceDlg() {
    if (m_pWnd) {
        CWindow* wnd = m_pWnd.data();
        m_pWnd.clear();
        m_pModel = nullptr;
        delete wnd;
    }
}

QStringList CPacketTraceDlg::Headings() {
    QStringList list;
    for (const char* h : kHeadings) list << QString::fromLatin1(h);
    return list;
}

QList<int> CPacketTraceDlg::ColumnWidths() {
    QList<int> list;
    for (int w : kWidths) list << w;
    return list;
}

QDialog* CPacketTraceDlg::Window() const { return m_pWnd.data(); }

QTreeView* CPacketTraceDlg::List() const {
    return m_pWnd ? DlgItem<QTreeView>(m_pWnd.data(), IDC_TRACE_LIST) : nullptr;
}

bool CPacketTraceDlg::Create(QWidget* parent) {
    if (m_pWnd) return true;
    CPacketTraceModel* model = nullptr;
    auto* wnd = new CWindow(*this, parent, model);
    if (!wnd->IsBuilt() || !model) {
        delete wnd;
        return false;
    }
    m_pWnd = wnd;
    m_pModel = model;
    m_nRowCounter = 0;
    m_bScrollPending = false;
    // Beside the main window, not over its buttons, where the screen has room.
    if (QWidget* main = parent ? parent->window() : nullptr) {
        if (QScreen* screen = main->screen()) {
            const QPoint at = PositionBeside(main->frameGeometry(), wnd->size(), screen->availableGeometry());
            if (!at.isNull()) wnd->move(at);
        }
    }
    wnd->show();
    return true;
}

void CPacketTraceDlg::DestroyWindow() {
    if (!m_pWnd) return;
    CWindow* wnd = m_pWnd.data();
    m_pWnd.clear();
    m_pModel = nullptr;
    wnd->hide();
    wnd->deleteLater();  // may run inside the window's own key handler
    emit Closed();
}

void CPacketTraceDlg::Toggle(QWidget* parent) {
    if (IsOpen()) DestroyWindow();
    else Create(parent);
}

void CPacketTraceDlg::AddPacket(const CPacket& packet, int direction, bool stale) {
    if (!m_pWnd || !m_pModel) return;
    m_pModel->Append(CPacketTraceModel::Row{
        direction != 0,
        {packet.m_Command, packet.m_Param1, packet.m_Param2, packet.m_DataSize, packet.m_ErrCode},
        stale});
    ++m_nRowCounter;
    if (m_pModel->rowCount() > TRACE_MAX_ROWS) m_pModel->RemoveFirst();
    ScrollToNewest();
}

void CPacketTraceDlg::ScrollToNewest() {
    // One scroll per burst of rows, once the view has laid them out.
    if (m_bScrollPending) return;
    m_bScrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_bScrollPending = false;
        if (QTreeView* list = List()) list->scrollToBottom();
    });
}

int CPacketTraceDlg::RowCount() const { return m_pModel ? m_pModel->rowCount() : 0; }

bool CPacketTraceDlg::IsStaleRow(int row) const {
    return m_pModel && row >= 0 && row < m_pModel->rowCount() && m_pModel->IsStale(row);
}

QStringList CPacketTraceDlg::RowTexts(int row) const {
    QStringList texts;
    if (!m_pModel || row < 0 || row >= m_pModel->rowCount()) return texts;
    for (int c = 0; c < TRACE_COLUMNS; ++c) texts << m_pModel->Text(row, c);
    return texts;
}
