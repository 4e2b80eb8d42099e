#include "tools/PacketTraceDlg.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QColor>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <deque>
#include <vector>

#include "protocol/TraceDecode.h"
#include "widgets/DialogTemplate.h"
#include "widgets/WindowUtil.h"

namespace {

const char* const kHeadings[TRACE_COLUMNS] = {"TIME (ms)", "DIR",      "COMMAND",  "PARAM1",
                                              "PARAM2",    "DATA SIZE", "ERR CODE", "NOTE"};
const int kWidths[TRACE_COLUMNS] = {80, 35, 150, 120, 85, 85, 85, 260};
constexpr int NOTE_COLUMN = TRACE_COLUMNS - 1;
const QColor kTextColour(0, 10, 50);       // dark blue
const QColor kStaleColour(140, 140, 140);  // grey: dropped, answering nothing
const QColor kRejectedColour(190, 0, 0);   // red: bad checksum
const QColor kResendColour(170, 90, 0);    // brown: sent again

QString BadText(EBadFrame bad) {
    switch (bad) {
        case EBadFrame::HeaderChecksum: return QStringLiteral("bad header checksum");
        case EBadFrame::DataChecksum: return QStringLiteral("bad data checksum");
        case EBadFrame::Oversized: return QStringLiteral("data size beyond 65536 bytes");
        case EBadFrame::MiniChecksum: return QStringLiteral("bad Minimized checksum");
    }
    return {};
}

// What the row is, beyond a plain request or answer.
QString NoteText(const STraceRecord& r) {
    QStringList parts;
    if (r.IsMini()) parts << QStringLiteral("Minimized");
    switch (r.kind) {
        case ETraceKind::Resend: parts << QStringLiteral("re-send %1").arg(r.send); break;
        case ETraceKind::Stale: parts << QStringLiteral("stale: no request was waiting for it; dropped"); break;
        case ETraceKind::Rejected:
            parts << QStringLiteral("rejected: %1, %2 bytes received").arg(BadText(r.bad)).arg(r.size);
            break;
        default: break;
    }
    return parts.join(QStringLiteral("; "));
}

QString KindText(ETraceKind kind) {
    switch (kind) {
        case ETraceKind::Request: return QStringLiteral("request");
        case ETraceKind::Resend: return QStringLiteral("re-sent request");
        case ETraceKind::Answer: return QStringLiteral("answer");
        case ETraceKind::Stale: return QStringLiteral("stale answer");
        case ETraceKind::Rejected: return QStringLiteral("rejected frame");
    }
    return {};
}

QString Cell(const STraceRecord& r, int column) {
    switch (column) {
        case 0: return QString::fromStdString(TraceMillisText(r.sinceOpenUs));
        case 1: return QString::fromLatin1(TraceDirText(r));
        case 2: return QString::fromStdString(TraceCommandCell(r));
        case 3: return QString::fromStdString(TraceParam1Cell(r));
        case 4: return QString::fromStdString(TraceParam2Cell(r));
        case 5: return QString::fromStdString(TraceDataSizeCell(r));
        case 6: return QString::fromStdString(TraceErrCodeCell(r));
        case NOTE_COLUMN: return NoteText(r);
        default: return {};
    }
}

QColor Colour(const STraceRecord& r) {
    switch (r.kind) {
        case ETraceKind::Stale: return kStaleColour;
        case ETraceKind::Rejected: return kRejectedColour;
        case ETraceKind::Resend: return kResendColour;
        default: return kTextColour;
    }
}

}  // namespace

// The rows: the numbers of the kept frames that pass the filter, oldest
// first. Texts are made from the history when the view asks for them.
class CPacketTraceModel : public QAbstractTableModel {
public:
    struct SFilter {
        QStringList words;  // each must occur in the COMMAND cell (any case)
        bool sent = true;
        bool received = true;
        bool failuresOnly = false;
    };

    CPacketTraceModel(CTraceHistory& history, QObject* parent) : QAbstractTableModel(parent), m_History(history) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_Rows.size());
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : TRACE_COLUMNS;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        const STraceRecord* r = index.isValid() ? Record(index.row()) : nullptr;
        if (!r || index.column() >= TRACE_COLUMNS) return QVariant();
        switch (role) {
            case Qt::DisplayRole: return Cell(*r, index.column());
            case Qt::TextAlignmentRole:
                return QVariant((index.column() == NOTE_COLUMN ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
            case Qt::ForegroundRole: return Colour(*r);
            case Qt::ToolTipRole: return r->kind == ETraceKind::Request || r->kind == ETraceKind::Answer ? QVariant()
                                                                                                        : NoteText(*r);
            default: return QVariant();
        }
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || section < 0 || section >= TRACE_COLUMNS) return QVariant();
        if (role == Qt::DisplayRole) return QString::fromLatin1(kHeadings[section]);
        if (role == Qt::TextAlignmentRole)
            return QVariant((section == NOTE_COLUMN ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
        return QVariant();
    }

    const STraceRecord* Record(int row) const {
        if (row < 0 || row >= rowCount()) return nullptr;
        const std::size_t index = m_History.IndexOf(m_Rows[static_cast<std::size_t>(row)]);
        return index < m_History.Size() ? &m_History.At(index) : nullptr;
    }
    const CTraceHistory& History() const { return m_History; }
    // The row of frame number, -1 when it is not listed.
    int RowOf(std::uint64_t number) const {
        const auto it = std::lower_bound(m_Rows.begin(), m_Rows.end(), number);
        return it != m_Rows.end() && *it == number ? static_cast<int>(it - m_Rows.begin()) : -1;
    }

    void SetFilter(SFilter filter) {
        m_Filter = std::move(filter);
        beginResetModel();
        m_Rows.clear();
        m_nSeen = 0;
        Collect(false);
        endResetModel();
    }

    // Drops the rows of frames the history no longer keeps and adds those of
    // the frames it has taken since.
    void Sync() {
        const std::uint64_t first = m_History.FirstNumber();
        std::size_t gone = 0;
        while (gone < m_Rows.size() && m_Rows[gone] < first) ++gone;
        if (gone) {
            beginRemoveRows(QModelIndex(), 0, static_cast<int>(gone) - 1);
            m_Rows.erase(m_Rows.begin(), m_Rows.begin() + static_cast<long>(gone));
            endRemoveRows();
        }
        Collect(true);
    }

private:
    bool Passes(const STraceRecord& r) const {
        if (!(r.IsReceived() ? m_Filter.received : m_Filter.sent)) return false;
        if (m_Filter.failuresOnly && !TraceIsFailure(r)) return false;
        if (m_Filter.words.isEmpty()) return true;
        const QString command = QString::fromStdString(TraceCommandCell(r));
        for (const QString& word : m_Filter.words) {
            if (!command.contains(word, Qt::CaseInsensitive)) return false;
        }
        return true;
    }

    void Collect(bool announce) {
        const std::uint64_t total = m_History.Total();
        std::uint64_t number = std::max(m_nSeen + 1, m_History.FirstNumber());
        // Called for every frame while the window is open: the list of new
        // rows keeps its storage from one call to the next.
        m_Fresh.clear();
        for (; number <= total; ++number) {
            if (Passes(m_History.At(m_History.IndexOf(number)))) m_Fresh.push_back(number);
        }
        m_nSeen = total;
        if (m_Fresh.empty()) return;
        const int at = rowCount();
        if (announce) beginInsertRows(QModelIndex(), at, at + static_cast<int>(m_Fresh.size()) - 1);
        m_Rows.insert(m_Rows.end(), m_Fresh.begin(), m_Fresh.end());
        if (announce) endInsertRows();
    }

    CTraceHistory& m_History;
    SFilter m_Filter;
    std::deque<std::uint64_t> m_Rows;
    std::vector<std::uint64_t> m_Fresh;
    std::uint64_t m_nSeen = 0;  // the last frame number looked at
};

// The window: the filter line above, the list, the selected frame below.
// Escape and the close box destroy it.
class CPacketTraceDlg::CWindow : public CTemplateDialog {
public:
    CWindow(CPacketTraceDlg& owner, QWidget* parent, CPacketTraceModel*& model)
        : CTemplateDialog(IDD_PACKET_TRACE, parent,
                          [&owner, &model](const CDlgControl& control, QWidget* dlgParent) -> QWidget* {
                              if (control.id != IDC_TRACE_LIST) return nullptr;
                              return MakeList(dlgParent, owner.m_History, model);
                          }),
          m_Owner(owner) {
        setModal(false);
        // The template gives the first size; the operator may make it larger.
        setMinimumSize(420, 240);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        CheckDlgButton(this, IDC_TRACE_SENT, true);
        CheckDlgButton(this, IDC_TRACE_RECEIVED, true);
        if (auto* detail = Item<QPlainTextEdit>(IDC_TRACE_DETAIL)) {
            detail->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            detail->setLineWrapMode(QPlainTextEdit::NoWrap);
        }
        m_Detail = Item(IDC_TRACE_DETAIL) ? Item(IDC_TRACE_DETAIL)->geometry() : QRect();
        m_List = Item(IDC_TRACE_LIST) ? Item(IDC_TRACE_LIST)->geometry() : QRect();
    }

    bool OnCommand(int id, int code) override {
        static const CommandEntry<CWindow> table[] = {
            {IDC_TRACE_FILTER, EN_CHANGE, &CWindow::OnFilter},
            {IDC_TRACE_SENT, BN_CLICKED, &CWindow::OnFilter},
            {IDC_TRACE_RECEIVED, BN_CLICKED, &CWindow::OnFilter},
            {IDC_TRACE_FAILURES, BN_CLICKED, &CWindow::OnFilter},
            {IDC_TRACE_SAVE, BN_CLICKED, &CWindow::OnSave},
        };
        return DispatchCommand(this, table, id, code) || CTemplateDialog::OnCommand(id, code);
    }

protected:
    void OnOK() override {}  // Enter must not close the trace
    void OnCancel() override { m_Owner.DestroyWindow(); }
    void resizeEvent(QResizeEvent* event) override {
        CTemplateDialog::resizeEvent(event);
        // The list takes the height the window gains; the detail pane keeps
        // its height at the bottom; both take the width.
        QWidget* list = Item(IDC_TRACE_LIST);
        QWidget* detail = Item(IDC_TRACE_DETAIL);
        if (!list || !detail || m_List.isNull()) return;
        const int margin = m_List.left();
        const int width = event->size().width() - 2 * margin;
        const int detailHeight = m_Detail.height();
        const int detailTop = event->size().height() - margin - detailHeight;
        detail->setGeometry(margin, detailTop, width, detailHeight);
        list->setGeometry(margin, m_List.top(), width, detailTop - (m_Detail.top() - m_List.bottom()) - m_List.top());
        // SAVE TRACE... stays at the right edge.
        if (QWidget* save = Item(IDC_TRACE_SAVE)) save->move(margin + width - save->width(), save->y());
    }

private:
    static QWidget* MakeList(QWidget* parent, CTraceHistory& history, CPacketTraceModel*& model) {
        auto* view = new QTreeView(parent);
        model = new CPacketTraceModel(history, view);
        view->setModel(model);
        view->setRootIsDecorated(false);
        view->setItemsExpandable(false);
        view->setUniformRowHeights(true);
        view->setAllColumnsShowFocus(true);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->header()->setStretchLastSection(true);
        view->header()->setSectionResizeMode(QHeaderView::Interactive);
        for (int c = 0; c < TRACE_COLUMNS; ++c) view->setColumnWidth(c, kWidths[c]);
        return view;
    }
    void OnFilter() { m_Owner.ApplyFilter(); }
    void OnSave() { emit m_Owner.SaveRequested(); }

    CPacketTraceDlg& m_Owner;
    QRect m_List, m_Detail;  // as the template places them
};

CPacketTraceDlg::CPacketTraceDlg(CTraceHistory& history, QObject* parent) : QObject(parent), m_History(history) {}

CPacketTraceDlg::~CPacketTraceDlg() {
    m_History.SetListener(nullptr);
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
    m_bScrollPending = false;
    ApplyFilter();
    m_History.SetListener(this);
    if (QTreeView* list = List()) {
        QObject::connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, wnd,
                         [this](const QModelIndex&, const QModelIndex&) { ShowDetail(); });
    }
    // Beside the main window, not over its buttons, where the screen has room.
    if (QWidget* main = parent ? parent->window() : nullptr) {
        if (QScreen* screen = main->screen()) {
            const QPoint at = PositionBeside(main->frameGeometry(), wnd->size(), screen->availableGeometry());
            if (!at.isNull()) wnd->move(at);
        }
    }
    wnd->show();
    ScrollToNewest();
    return true;
}

void CPacketTraceDlg::DestroyWindow() {
    if (!m_pWnd) return;
    m_History.SetListener(nullptr);
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

void CPacketTraceDlg::OnTraceHistoryChanged() {
    if (!m_pModel) return;
    QTreeView* list = List();
    // Follow the newest rows only while the operator looks at them.
    const bool atEnd = !list || list->verticalScrollBar()->value() >= list->verticalScrollBar()->maximum();
    m_pModel->Sync();
    if (atEnd) ScrollToNewest();
}

void CPacketTraceDlg::ApplyFilter() {
    if (!m_pModel || !m_pWnd) return;
    // The frame selected stays selected when the new filter lists it.
    QTreeView* list = List();
    const STraceRecord* selected = list ? m_pModel->Record(list->currentIndex().row()) : nullptr;
    const std::uint64_t number = selected ? selected->number : 0;
    CPacketTraceModel::SFilter filter;
    filter.words = GetDlgItemText(m_pWnd.data(), IDC_TRACE_FILTER).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    filter.sent = IsDlgButtonChecked(m_pWnd.data(), IDC_TRACE_SENT);
    filter.received = IsDlgButtonChecked(m_pWnd.data(), IDC_TRACE_RECEIVED);
    filter.failuresOnly = IsDlgButtonChecked(m_pWnd.data(), IDC_TRACE_FAILURES);
    m_pModel->SetFilter(std::move(filter));
    const int row = number ? m_pModel->RowOf(number) : -1;
    if (list && row >= 0) list->setCurrentIndex(m_pModel->index(row, 0));
    ShowDetail();
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

void CPacketTraceDlg::ShowDetail() {
    if (!m_pWnd) return;
    auto* pane = DlgItem<QPlainTextEdit>(m_pWnd.data(), IDC_TRACE_DETAIL);
    QTreeView* list = List();
    if (!pane || !list || !m_pModel) return;
    const STraceRecord* r = m_pModel->Record(list->currentIndex().row());
    if (!r) {
        pane->setPlainText(QString());
        return;
    }
    const std::uint8_t* bytes = m_History.Bytes(*r);
    const std::vector<STraceField> fields = TraceDecodeData(*r, bytes);
    QString text = QStringLiteral("Frame %1: %2 %3, %4, %5 bytes, %6 ms after the link opened (%7)\n")
                       .arg(r->number)
                       .arg(QString::fromLatin1(TraceDirText(*r)), KindText(r->kind),
                            r->IsMini() ? QStringLiteral("Minimized") : QStringLiteral("General"))
                       .arg(r->size)
                       .arg(QString::fromStdString(TraceMillisText(r->sinceOpenUs)),
                            QString::fromStdString(TraceWallText(r->wallUs)));
    const QString note = NoteText(*r);
    if (!note.isEmpty()) text += note + QLatin1Char('\n');
    // The decoded data first: the dump of a large frame runs long.
    if (!fields.empty()) {
        text += QStringLiteral("Data area:\n");
        for (const STraceField& f : fields) {
            text += QStringLiteral("  %1: %2\n").arg(QString::fromStdString(f.name), QString::fromStdString(f.value));
        }
    }
    text += QLatin1Char('\n') + QString::fromStdString(TraceHexDump(*r, bytes, fields));
    pane->setPlainText(text);
}

QString CPacketTraceDlg::DetailText() const {
    auto* pane = m_pWnd ? DlgItem<QPlainTextEdit>(m_pWnd.data(), IDC_TRACE_DETAIL) : nullptr;
    return pane ? pane->toPlainText() : QString();
}

bool CPacketTraceDlg::SelectRow(int row) {
    QTreeView* list = List();
    if (!list || !m_pModel || row < 0 || row >= m_pModel->rowCount()) return false;
    list->setCurrentIndex(m_pModel->index(row, 0));
    return true;
}

int CPacketTraceDlg::RowCount() const { return m_pModel ? m_pModel->rowCount() : 0; }

QColor CPacketTraceDlg::RowColour(int row) const {
    const STraceRecord* r = m_pModel ? m_pModel->Record(row) : nullptr;
    return r ? Colour(*r) : QColor();
}

QStringList CPacketTraceDlg::RowTexts(int row) const {
    QStringList texts;
    const STraceRecord* r = m_pModel ? m_pModel->Record(row) : nullptr;
    if (!r) return texts;
    for (int c = 0; c < TRACE_COLUMNS; ++c) texts << Cell(*r, c);
    return texts;
}
