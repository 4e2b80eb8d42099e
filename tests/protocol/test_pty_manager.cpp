// The packet manager over a real pseudo-terminal: requests reach the other
// end byte for byte, answers written there come back as notifications.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include "PmHarness.h"

namespace {

class PtyManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_Master, 0);
        ASSERT_EQ(grantpt(m_Master), 0);
        ASSERT_EQ(unlockpt(m_Master), 0);
        m_SlavePath = ptsname(m_Master);
        // Keep a slave descriptor so the pair survives the channel's close.
        m_KeepSlave = open(m_SlavePath.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(m_KeepSlave, 0);
    }
    void TearDown() override {
        h.pm.m_Comm.ClosePort();
        if (m_KeepSlave >= 0) close(m_KeepSlave);
        if (m_Master >= 0) close(m_Master);
    }

    Bytes ReadMaster(std::size_t want, int timeoutMs = 2000) {
        Bytes out;
        while (out.size() < want) {
            pollfd p{m_Master, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) break;
            std::uint8_t buf[4096];
            ssize_t n = read(m_Master, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    void WriteMaster(const Bytes& bytes) { ASSERT_EQ(write(m_Master, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }

    PmHarness h;
    int m_Master = -1;
    int m_KeepSlave = -1;
    std::string m_SlavePath;
};

TEST_F(PtyManagerTest, RequestAndAnswerRoundTrip) {
    ASSERT_TRUE(h.pm.OpenCommPort(m_SlavePath, 115200)) << h.pm.m_Comm.LastError();
    h.pm.SendVerify(1, "12", "abc");
    Bytes request = ReadMaster(55);
    EXPECT_EQ(request, h.TakeWritten());

    Bytes data = {'1', '2', 0};
    // An answer with data does not end the handler; a data-less one does.
    WriteMaster(Concat({GeneralFrame(CMD_IDENTIFY, RES_SUCCESS, 0, data), GeneralFrame(CMD_VERIFY, RES_SUCCESS, 0)}));
    ASSERT_TRUE(h.loop.RunUntil([&] { return !h.view.Only(WM_RX_VERIFY).empty(); }, 3000));
    ASSERT_EQ(h.view.Only(WM_RX_IDENTIFY).size(), 1u);
    EXPECT_STREQ(reinterpret_cast<const char*>(h.view.Only(WM_RX_IDENTIFY)[0]->packet.m_Data), "12");
}

TEST_F(PtyManagerTest, AnImageSizedAnswerArrivingInPiecesIsReassembled) {
    ASSERT_TRUE(h.pm.OpenCommPort(m_SlavePath, 115200)) << h.pm.m_Comm.LastError();
    Bytes piece(2048);
    for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    Bytes stream;
    for (int p = 0; p < 3; ++p) stream = Concat({stream, GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, p, piece)});
    WriteMaster(stream);
    ASSERT_TRUE(h.loop.RunUntil([&] { return h.view.Only(WM_RX_GET_IMAGE).size() == 3; }, 3000));
    for (int p = 0; p < 3; ++p) {
        const CPacket& got = h.view.Only(WM_RX_GET_IMAGE)[p]->packet;
        EXPECT_EQ(got.m_Param2, static_cast<std::uint32_t>(p));
        EXPECT_EQ(Bytes(got.m_Data, got.m_Data + 2048), piece);
    }
}

TEST_F(PtyManagerTest, LosingThePortIsPassedOnToTheOwner) {
    ASSERT_TRUE(h.pm.OpenCommPort(m_SlavePath, 115200)) << h.pm.m_Comm.LastError();
    close(m_KeepSlave);
    m_KeepSlave = -1;
    close(m_Master);
    m_Master = -1;
    ASSERT_TRUE(h.loop.RunUntil([&] { return !h.view.Only(WM_COMM_PORT_LOST).empty(); }, 3000));
}

}  // namespace

TEST_F(PtyManagerTest, AStalledWriteIsReportedOnlyWhileThePortIsOpen) {
    ASSERT_TRUE(h.pm.OpenCommPort(m_SlavePath, 115200)) << h.pm.m_Comm.LastError();
    h.pm.m_Comm.SetWriteStallLimit(20);
    // Nobody reads the other end, so the terminal's buffer fills up.
    const std::string text(4096, 'x');
    for (int i = 0; i < 400 && h.view.Only(WM_WRITE_STALLED).empty(); ++i) {
        h.pm.SendWriteUserData(0, 4096, text);
        h.loop.RunPending();
    }
    const auto stalled = h.view.Only(WM_WRITE_STALLED);
    ASSERT_EQ(stalled.size(), 1u);
    EXPECT_LT(stalled[0]->wParam, 4125u);
    EXPECT_EQ(stalled[0]->lParam, 4125);
    // A request to a closed port goes nowhere on purpose: nothing to report.
    h.pm.m_Comm.ClosePort();
    h.pm.SendConnect();
    h.pm.SendMiniConnect();
    h.loop.RunPending();
    EXPECT_EQ(h.view.Only(WM_WRITE_STALLED).size(), 1u);
}

// A consumer that falls behind gets one "m_QueueRead FULL!" box, not one per
// dropped chunk; every dropped byte is counted for the status line, and the
// next box comes only after the first was closed.
TEST_F(PtyManagerTest, AFullReceiveQueueShowsOneBoxAtATimeAndCountsWhatWasDropped) {
    ASSERT_TRUE(h.pm.OpenCommPort(m_SlavePath, 115200)) << h.pm.m_Comm.LastError();
    CQueue& queue = h.pm.m_Comm.m_QueueRead;
    const Bytes fill(CQueue::QUEUE_SIZE - 1, 0xAB);  // no chunk fits any more
    ASSERT_TRUE(queue.PutChunk(fill.data(), static_cast<int>(fill.size())));
    auto waitDropped = [&](std::uint64_t bytes) {
        for (int i = 0; i < 2000 && h.pm.m_Comm.DroppedBytes() < bytes; ++i) usleep(1000);
        return h.pm.m_Comm.DroppedBytes();
    };
    // Five chunks dropped before the console gets to run.
    for (int i = 1; i <= 5; ++i) {
        WriteMaster(Bytes(100, 0x11));
        ASSERT_EQ(waitDropped(100u * i), 100u * i);
    }
    h.loop.RunPending();
    EXPECT_EQ(h.op.boxes.size(), 1u);
    ASSERT_FALSE(h.view.Only(WM_RECEIVE_DROPPED).empty());
    EXPECT_EQ(h.view.Only(WM_RECEIVE_DROPPED).back()->wParam, 500u);
    ASSERT_EQ(h.op.boxes.size(), 1u);
    EXPECT_EQ(h.op.boxes[0].text, "m_QueueRead FULL!");

    // The box was closed: the next drop may show one again.
    ASSERT_TRUE(queue.PutChunk(fill.data(), static_cast<int>(fill.size())));
    WriteMaster(Bytes(60, 0x22));
    ASSERT_EQ(waitDropped(560), 560u);
    ASSERT_TRUE(h.loop.RunUntil([&] { return h.op.boxes.size() == 2; }));
    ASSERT_TRUE(h.loop.RunUntil([&] { return h.view.Only(WM_RECEIVE_DROPPED).back()->wParam == 560u; }));
    h.loop.RunPending();
    EXPECT_EQ(h.op.boxes.size(), 2u);
    // The count starts again with the next connection.
    h.pm.m_Comm.ClosePort();
    ASSERT_TRUE(h.pm.OpenCommPort(m_SlavePath, 115200));
    EXPECT_EQ(h.pm.m_Comm.DroppedBytes(), 0u);
}
