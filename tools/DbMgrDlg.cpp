#include "tools/DbMgrDlg.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "console/ConsoleMessages.h"
#include "ops/FpList.h"
#include "widgets/DialogTemplate.h"

namespace {

constexpr int COLUMN_ID = 0;
constexpr int COLUMN_AUTHORITY = 1;
const char* const kMaster = "MASTER";

}  // namespace

CDbMgrDlg::CDbMgrDlg(QObject* parent) : QObject(parent), CToolWindow(IDD_DB_MANAGER) {}

CDbMgrDlg::~CDbMgrDlg() = default;

QTreeWidget* CDbMgrDlg::List() const { return Dialog() ? Dialog()->Item<QTreeWidget>(IDC_DB_LIST) : nullptr; }

bool CDbMgrDlg::Create(QWidget* parent, CMsgTarget* owner) {
    if (IsOpen()) return true;
    m_pOwner = owner;
    return CToolWindow::Create(parent);
}

void CDbMgrDlg::OnInitDialog() {
    QTreeWidget* list = List();
    if (!list) return;
    list->setColumnCount(2);
    list->setHeaderLabels({"ID", "AUTHORITY"});
    list->setColumnWidth(COLUMN_ID, 70);
    list->setColumnWidth(COLUMN_AUTHORITY, 80);
    list->headerItem()->setTextAlignment(COLUMN_ID, Qt::AlignLeft | Qt::AlignVCenter);
    list->headerItem()->setTextAlignment(COLUMN_AUTHORITY, Qt::AlignLeft | Qt::AlignVCenter);
    list->header()->setSectionsClickable(false);
    list->header()->setSectionsMovable(false);
}

// Every button goes to the owner; CLOSE, Escape and the close box destroy the
// window, Return presses GET FINGERPRINT LIST (the default button).
bool CDbMgrDlg::OnCommand(int id, int code) {
    static const int kButtons[] = {IDC_DB_GET_LIST,        IDC_DB_DELETE,       IDC_DB_DELETE_ALL,
                                   IDC_DB_DELETE_ALL_USER, IDC_DB_DELETE_ALL_MASTER,
                                   IDC_DB_SET_MASTER,      IDC_DB_RESET_MASTER, IDC_DB_STATUS_CHECK,
                                   IDC_DB_CANCEL};
    return PostButton(m_pOwner, WM_DBMGR_BUTTON, kButtons, id, code);
}

LRESULT CDbMgrDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM) {
    if (!IsOpen()) return 0;
    switch (msg) {
    case WM_DBMGR_LIST:
    case WM_DBMGR_LIST_EX:
        if (wParam) ShowRows(*reinterpret_cast<const CFpList*>(wParam));
        return 1;
    case WM_DBMGR_MASTER_CHANGED: ApplyMasterChange(); return 1;
    default: return 0;
    }
}

void CDbMgrDlg::ClearList() {
    if (QTreeWidget* list = List()) list->clear();
}

int CDbMgrDlg::RowCount() const {
    QTreeWidget* list = List();
    return list ? list->topLevelItemCount() : 0;
}

QString CDbMgrDlg::RowText(int row, int column) const {
    QTreeWidget* list = List();
    QTreeWidgetItem* item = list ? list->topLevelItem(row) : nullptr;
    return item ? item->text(column) : QString();
}

int CDbMgrDlg::SelectedRow() const {
    QTreeWidget* list = List();
    if (!list) return -1;
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.front());
}

void CDbMgrDlg::SelectRow(int row) {
    QTreeWidget* list = List();
    if (!list) return;
    if (QTreeWidgetItem* item = list->topLevelItem(row)) {
        list->setCurrentItem(item);
        item->setSelected(true);
    } else {
        list->clearSelection();
    }
}

void CDbMgrDlg::ShowRows(const CFpList& fpList) {
    QTreeWidget* list = List();
    if (!list) return;
    // The store holds the whole list: a second answer chain (GET FINGERPRINT
    // LIST pressed again before the first was answered) replaces the rows
    // instead of listing every record twice.
    list->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(fpList.FpCount());
    for (int i = 0; i < fpList.FpCount(); ++i) {
        auto* item = new QTreeWidgetItem;
        item->setText(COLUMN_ID, QString::fromLatin1(fpList.FpId(i).c_str()));
        item->setText(COLUMN_AUTHORITY, fpList.IsMaster(i) ? kMaster : "");
        rows.append(item);
    }
    list->addTopLevelItems(rows);
}

void CDbMgrDlg::ApplyMasterChange() {
    QTreeWidget* list = List();
    if (!list) return;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = list->topLevelItem(row);
        if (item->text(COLUMN_ID) == m_strPendingId) {
            item->setText(COLUMN_AUTHORITY, m_nPendingMode == MASTER_MODE_SET ? kMaster : "");
        }
    }
}
