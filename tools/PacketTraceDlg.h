#pragma once
// The packet trace window: the frames the console keeps (CTraceHistory, fed
// by the module client whether or not the window is open), one row a frame:
// the time since the link opened, the direction and the five header values
// in hex with the command's and the result's names beside the numbers, and a
// note for re-sends, stale answers, rejected frames and Minimized frames. A
// filter narrows the rows to a command, a direction or the failures; the
// selected frame is shown whole below (hex with offsets, the data area
// decoded, passwords masked). SAVE TRACE... writes the kept frames to a
// file (the main form asks where, through SaveRequested).
//
// The list is a model over the history: it holds only the numbers of the
// frames it shows and makes cell texts only for the rows on screen. The
// window is modeless, opened and closed from the View menu; the object lives
// as long as the main form, its window only while the trace is shown.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <cstdint>

#include "protocol/TraceHistory.h"

class QDialog;
class QColor;
class QTreeView;
class QWidget;

constexpr int IDD_PACKET_TRACE = 131;
constexpr int IDC_TRACE_LIST = 1031;
constexpr int IDC_TRACE_FILTER = 1032;     // text: a command's name or number
constexpr int IDC_TRACE_SENT = 1033;       // check box: rows sent
constexpr int IDC_TRACE_RECEIVED = 1034;   // check box: rows received
constexpr int IDC_TRACE_FAILURES = 1035;   // check box: failures only
constexpr int IDC_TRACE_SAVE = 1036;       // SAVE TRACE...
constexpr int IDC_TRACE_DETAIL = 1037;     // the selected frame
constexpr int TRACE_COLUMNS = 8;           // TIME, the design's six, NOTE

class CPacketTraceModel;

class CPacketTraceDlg : public QObject, private ITraceHistoryListener {
    Q_OBJECT
public:
    explicit CPacketTraceDlg(CTraceHistory& history, QObject* parent = nullptr);
    ~CPacketTraceDlg() override;

    // Creates the window as a modeless child of parent and shows it with the
    // kept frames. Returns true when open (also when it was open already).
    bool Create(QWidget* parent);
    // Destroys the window (the same as Escape or the close box).
    void DestroyWindow();
    // The View menu command: close when open, open otherwise.
    void Toggle(QWidget* parent);
    bool IsOpen() const { return !m_pWnd.isNull(); }

    // Rows now listed (after the filter).
    int RowCount() const;
    // The cell texts of a row (0 = oldest listed), empty when out of range.
    QStringList RowTexts(int row) const;
    QColor RowColour(int row) const;
    // Selects a row as the operator would; the detail pane follows.
    bool SelectRow(int row);
    QString DetailText() const;

    QDialog* Window() const;
    QTreeView* List() const;

    static QStringList Headings();

signals:
    // The window has been destroyed.
    void Closed();
    // SAVE TRACE... was pressed.
    void SaveRequested();

private:
    class CWindow;
    friend class CWindow;
    void OnTraceHistoryChanged() override;
    void ScrollToNewest();
    void ApplyFilter();
    void ShowDetail();

    CTraceHistory& m_History;
    QPointer<CWindow> m_pWnd;
    CPacketTraceModel* m_pModel = nullptr;  // owned by the window
    bool m_bScrollPending = false;
};
