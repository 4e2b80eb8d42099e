#pragma once
// The database manager window (template 152, "DB Manager"): the fingerprint
// list (ID, AUTHORITY) and the buttons that work on it. A modeless window
// opened and closed from the View menu; the object lives as long as the main
// form, its window only while it is shown, and its rows only with the window.
//
// The window sends nothing itself: each button is posted to its owner (the
// main form's side of the database manager) as WM_DBMGR_BUTTON with the
// control ID. The owner hands it the collected results through WindowProc
// with the console's forwarding messages: WM_DBMGR_LIST / WM_DBMGR_LIST_EX
// (wParam: the CFpList) show its records as the rows, one per record, with
// "MASTER" in AUTHORITY where marked; WM_DBMGR_MASTER_CHANGED sets the
// AUTHORITY of the rows of the pending master change.
#include <QObject>
#include <QString>

#include "platform/core/Messages.h"
#include "tools/ToolWindow.h"

class CFpList;
class CMsgTarget;
class QTreeWidget;
class QWidget;

constexpr int IDD_DB_MANAGER = 152;
constexpr int IDC_DB_LIST = 1005;
constexpr int IDC_DB_GET_LIST = 1034;
constexpr int IDC_DB_DELETE = 1037;
constexpr int IDC_DB_DELETE_ALL = 1038;
constexpr int IDC_DB_DELETE_ALL_USER = 1084;
constexpr int IDC_DB_DELETE_ALL_MASTER = 1072;
constexpr int IDC_DB_SET_MASTER = 1036;
constexpr int IDC_DB_RESET_MASTER = 1039;
constexpr int IDC_DB_STATUS_CHECK = 1099;
constexpr int IDC_DB_CANCEL = 1098;

// Window to owner: a button was pressed (wParam: its control ID).
constexpr UINT WM_DBMGR_BUTTON = WM_USER + 0x310;

// Pending master change modes.
constexpr int MASTER_MODE_RESET = 0;
constexpr int MASTER_MODE_SET = 1;

class CDbMgrDlg : public QObject, public CToolWindow {
    Q_OBJECT
public:
    explicit CDbMgrDlg(QObject* parent = nullptr);
    ~CDbMgrDlg() override;

    // Creates the window from its template, centred over parent, with an
    // empty list, and shows it; buttons are posted to owner. True when open.
    bool Create(QWidget* parent, CMsgTarget* owner);

    // The forwarded results (see above). Nothing when the window is closed.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // The list: emptied, its rows, the selected row (-1 when none).
    void ClearList();
    int RowCount() const;
    QString RowText(int row, int column) const;
    int SelectedRow() const;
    void SelectRow(int row);

    // The record last chosen for SET MASTER or RESET MASTER (kept while the
    // window is closed).
    QString m_strPendingId;
    int m_nPendingMode = MASTER_MODE_SET;

    QTreeWidget* List() const;

signals:
    void Closed();

private:
    void OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnWindowClosed() override { emit Closed(); }
    void ShowRows(const CFpList& list);
    void ApplyMasterChange();

    CMsgTarget* m_pOwner = nullptr;
};
