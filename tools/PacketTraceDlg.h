#pragma once
// The packet trace window: one row per General packet sent or accepted, with
// its direction and five header values. A modeless window opened and closed
// from the View menu; the object lives as long as the main form, its window
// only while the trace is shown. Rows are added only while it is open; it
// holds at most 1000 rows, dropping the oldest.
//
// Rows live in a light table model (values kept as numbers, texts made only
// for the rows on screen), so adding a row costs a few microseconds and the
// trace keeps up with image-capture traffic.
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <cstdint>

class CPacket;
class QDialog;
class QTreeView;
class QWidget;

constexpr int IDD_PACKET_TRACE = 131;
constexpr int IDC_TRACE_LIST = 1031;
constexpr int TRACE_MAX_ROWS = 1000;
constexpr int TRACE_COLUMNS = 6;

class CPacketTraceModel;

class CPacketTraceDlg : public QObject {
    Q_OBJECT
public:
    explicit CPacketTraceDlg(QObject* parent = nullptr);
    ~CPacketTraceDlg() override;

    // Creates the window as a modeless child of parent and shows it, with an
    // empty list and the row counter at 0. Returns true when open (also when
    // it was open already).
    bool Create(QWidget* parent);
    // Destroys the window (the same as Escape or the close box); its rows go
    // with it.
    void DestroyWindow();
    // The View menu command: close when open, open otherwise.
    void Toggle(QWidget* parent);
    bool IsOpen() const { return !m_pWnd.isNull(); }

    // Adds one row: "SND" for direction 0, "RCV" for any other; command,
    // param1, param2, data size and error code as "0x%x". Keeps the newest
    // row in view and drops the oldest beyond 1000 rows. Nothing when closed.
    // stale: an answer that answered no request under way and was dropped
    // (shown grey, with a tooltip saying so).
    void AddPacket(const CPacket& packet, int direction, bool stale = false);

    // Rows now listed, and rows added since the window opened.
    int RowCount() const;
    bool IsStaleRow(int row) const;
    std::uint64_t RowCounter() const { return m_nRowCounter; }
    // The six cell texts of a row (0 = oldest), empty when out of range.
    QStringList RowTexts(int row) const;

    QDialog* Window() const;
    QTreeView* List() const;

    static QStringList Headings();
    static QList<int> ColumnWidths();

signals:
    // The window has been destroyed.
    void Closed();

private:
    class CWindow;
    friend class CWindow;
    void ScrollToNewest();

    QPointer<CWindow> m_pWnd;
    CPacketTraceModel* m_pModel = nullptr;  // owned by the window
    std::uint64_t m_nRowCounter = 0;
    bool m_bScrollPending = false;
};
