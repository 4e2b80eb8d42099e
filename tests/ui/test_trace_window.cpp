// The packet trace window: columns, row texts, the 1000-row cap, the newest
// row kept in view, opening and closing, and the speed of adding rows.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTreeView>
#include <cstdio>
#include <memory>

#include "protocol/Commands.h"
#include "protocol/Packet.h"
#include "tests/ui/UiTestEnv.h"
#include "tools/PacketTraceDlg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/WindowUtil.h"

namespace {

class TraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        form.setGeometry(50, 50, 459, 421);
        form.show();
        packet = std::make_unique<CPacket>();
    }
    void TearDown() override {
        trace.DestroyWindow();
        FlushEvents();
    }
    void Add(std::uint32_t command, std::uint32_t p1, std::uint32_t p2, std::uint32_t size, std::uint32_t err,
             int direction) {
        packet->m_Command = command;
        packet->m_Param1 = p1;
        packet->m_Param2 = p2;
        packet->m_DataSize = size;
        packet->m_ErrCode = err;
        trace.AddPacket(*packet, direction);
    }

    QApplication* app = EnsureApp();  // before any widget member
    QWidget form;
    CPacketTraceDlg trace;
    std::unique_ptr<CPacket> packet;  // 64 KiB: not on the stack
};

TEST_F(TraceTest, OpensWithSixRightAlignedColumnsAndAnEmptyList) {
    ASSERT_TRUE(trace.Create(&form));
    ASSERT_TRUE(trace.IsOpen());
    QDialog* wnd = trace.Window();
    EXPECT_EQ(wnd->windowTitle(), QStringLiteral("Packet Trace"));
    EXPECT_FALSE(wnd->isModal());
    EXPECT_EQ(wnd->parentWidget(), &form);
    QTreeView* list = trace.List();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetDlgItem(wnd, IDC_TRACE_LIST), list);
    EXPECT_EQ(list->geometry(), wnd->rect());  // fills the window
    ASSERT_EQ(list->model()->columnCount(), 6);
    const QStringList headings = {"DIR", "COMMAND", "PARAM1", "PARAM2", "DATA SIZE", "ERR CODE"};
    const int widths[] = {35, 85, 85, 85, 85, 85};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(), headings[c]);
        EXPECT_EQ(list->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(list->model()->rowCount(), 0);
    EXPECT_EQ(trace.RowCounter(), 0u);
    EXPECT_FALSE(list->accessibleName().isEmpty());
    // The form stays usable: the trace window does not disable it.
    EXPECT_TRUE(form.isEnabled());
}

TEST_F(TraceTest, RowsShowDirectionAndHeaderValuesInHex) {
    trace.Create(&form);
    Add(CMD_CONNECT, 0, 0, 0, 0, 0);
    Add(CMD_CONNECT, 0x12345678, 0xFFFFFFFF, 400, ERR_CHECKSUM, 1);
    ASSERT_EQ(trace.RowCount(), 2);
    EXPECT_EQ(trace.RowTexts(0), (QStringList{"SND", "0x1", "0x0", "0x0", "0x0", "0x0"}));
    // Host order as built, never byte-swapped; any non-zero direction is received.
    EXPECT_EQ(trace.RowTexts(1), (QStringList{"RCV", "0x1", "0x12345678", "0xffffffff", "0x190", "0x2"}));
    Add(0x51, 0, 0, 0, 0, 7);
    EXPECT_EQ(trace.RowTexts(2)[0], QStringLiteral("RCV"));
    EXPECT_EQ(trace.RowTexts(2)[1], QStringLiteral("0x51"));
    EXPECT_TRUE(trace.RowTexts(3).isEmpty());

    // What the view shows is what the rows hold, right-aligned in dark blue.
    QAbstractItemModel* model = trace.List()->model();
    EXPECT_EQ(model->data(model->index(1, 4)).toString(), QStringLiteral("0x190"));
    EXPECT_EQ(model->data(model->index(1, 0)).toString(), QStringLiteral("RCV"));
    EXPECT_TRUE(model->data(model->index(1, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    EXPECT_EQ(model->data(model->index(0, 0), Qt::ForegroundRole).value<QColor>(), QColor(0, 10, 50));
}

TEST_F(TraceTest, HoldsAtMostAThousandRowsDroppingTheOldest) {
    trace.Create(&form);
    for (std::uint32_t i = 0; i < 1000; ++i) Add(CMD_CONNECT, i, 0, 0, 0, 0);
    ASSERT_EQ(trace.RowCount(), 1000);
    EXPECT_EQ(trace.RowTexts(0)[2], QStringLiteral("0x0"));

    Add(CMD_CONNECT, 1000, 0, 0, 0, 1);  // the 1001st removes the first
    EXPECT_EQ(trace.RowCount(), 1000);
    EXPECT_EQ(trace.RowTexts(0)[2], QStringLiteral("0x1"));
    EXPECT_EQ(trace.RowTexts(999)[2], QStringLiteral("0x3e8"));

    Add(CMD_CONNECT, 1001, 0, 0, 0, 1);  // the 1002nd removes the new first
    EXPECT_EQ(trace.RowCount(), 1000);
    EXPECT_EQ(trace.RowTexts(0)[2], QStringLiteral("0x2"));
    EXPECT_EQ(trace.RowTexts(999)[2], QStringLiteral("0x3e9"));
    EXPECT_EQ(trace.RowCounter(), 1002u);
    EXPECT_EQ(trace.List()->model()->rowCount(), 1000);
}

TEST_F(TraceTest, NewestRowStaysInView) {
    trace.Create(&form);
    for (std::uint32_t i = 0; i < 300; ++i) Add(CMD_CONNECT, i, 0, 0, 0, i & 1);
    FlushEvents();
    QTreeView* list = trace.List();
    QScrollBar* bar = list->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    const QRect last = list->visualRect(list->model()->index(299, 0));
    EXPECT_TRUE(list->viewport()->rect().contains(last)) << last.y() << " in " << list->viewport()->height();
}

TEST_F(TraceTest, ClosedTraceKeepsNothingAndReopensEmpty) {
    Add(CMD_CONNECT, 0, 0, 0, 0, 0);  // closed: ignored
    EXPECT_EQ(trace.RowCount(), 0);
    trace.Toggle(&form);
    EXPECT_TRUE(trace.IsOpen());
    Add(CMD_CONNECT, 0, 0, 0, 0, 0);
    EXPECT_EQ(trace.RowCount(), 1);
    trace.Toggle(&form);
    EXPECT_FALSE(trace.IsOpen());
    Add(CMD_CONNECT, 0, 0, 0, 0, 0);
    trace.Toggle(&form);
    EXPECT_EQ(trace.RowCount(), 0);
    EXPECT_EQ(trace.RowCounter(), 0u);
    EXPECT_TRUE(trace.Create(&form));  // open already: kept
    EXPECT_EQ(trace.RowCount(), 0);
}

TEST_F(TraceTest, EscapeAndCloseBoxDestroyTheWindowButEnterDoesNot) {
    int closed = 0;
    QObject::connect(&trace, &CPacketTraceDlg::Closed, [&] { ++closed; });
    trace.Create(&form);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(trace.Window(), &enter);
    EXPECT_TRUE(trace.IsOpen());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(trace.Window(), &escape);
    EXPECT_FALSE(trace.IsOpen());
    trace.Create(&form);
    trace.Window()->close();
    EXPECT_FALSE(trace.IsOpen());
    EXPECT_EQ(closed, 2);
    FlushEvents();
    EXPECT_TRUE(form.findChildren<QDialog*>().isEmpty());
}

TEST_F(TraceTest, ListFollowsTheWindowWhenResized) {
    trace.Create(&form);
    trace.Window()->resize(700, 400);
    FlushEvents();
    EXPECT_EQ(trace.List()->geometry(), QRect(0, 0, 700, 400));
}

TEST_F(TraceTest, StaysUsableWhileAPromptDisablesTheForm) {
    trace.Create(&form);
    DisableOwner(&form);
    EXPECT_FALSE(form.isEnabled());
    EXPECT_TRUE(trace.Window()->isEnabled());
    EXPECT_TRUE(trace.List()->isEnabled());
    EnableOwner(&form);
    // Opened while the form is disabled: usable too.
    trace.DestroyWindow();
    DisableOwner(&form);
    trace.Create(&form);
    EXPECT_TRUE(trace.List()->isEnabled());
    EnableOwner(&form);
    EXPECT_TRUE(form.isEnabled());
}

TEST_F(TraceTest, AddsTenThousandRowsQuickly) {
    trace.Create(&form);
    FlushEvents();
    // Rows alone, as a burst of answers handled before the window repaints.
    QElapsedTimer clock;
    clock.start();
    for (std::uint32_t i = 0; i < 10000; ++i) Add(CMD_CONNECT + (i & 7), i, i * 3, i & 0xFFF, 0, i & 1);
    const qint64 burstMs = clock.elapsed();
    FlushEvents();
    EXPECT_EQ(trace.RowCount(), 1000);
    EXPECT_EQ(trace.RowTexts(999)[2], QStringLiteral("0x270f"));

    // Rows with the window repainted after every 100 of them, as the event
    // loop would between bursts of received bytes.
    clock.restart();
    for (std::uint32_t i = 0; i < 10000; ++i) {
        Add(CMD_CONNECT, i, 0, 0, 0, i & 1);
        if (i % 100 == 99) QCoreApplication::processEvents();
    }
    FlushEvents();
    const qint64 paintedMs = clock.elapsed();
    std::printf("[ trace    ] 10000 rows: %lld ms in one burst, %lld ms with a repaint every 100 rows\n",
                static_cast<long long>(burstMs), static_cast<long long>(paintedMs));
    EXPECT_EQ(trace.RowCount(), 1000);
    // An image capture brings a few hundred packets a second; these are far more.
    EXPECT_LT(burstMs, 1000);
    EXPECT_LT(paintedMs, 4000);
}

}  // namespace
